#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/bmi_block.h"
#include "support/mutations.h"
#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"
#include "xqova/dictionary/definition.h"

namespace {

using xqova_test::BmiBlockBytes;

TEST(DefinitionBuilder, ReproducesTheBmiBlockByteForByte) {
    const std::vector<unsigned char> golden = BmiBlockBytes();
    ASSERT_EQ(golden.size(), 336u);
    const std::vector<unsigned char> built =
        xqova::build::BuildDefinition(xqova_test::BmiDescription(), xqova_test::NoClassName);
    EXPECT_EQ(built, golden);
    EXPECT_EQ(xqova::build::EmptyDocumentLength(xqova_test::BmiDescription(), xqova_test::NoClassName), 391u);
}

TEST(DefinitionReader, HeaderFields) {
    std::vector<unsigned char> block = BmiBlockBytes();
    EXPECT_EQ(DefinitionClassID(block.data()), 0x00110800u);
    EXPECT_EQ(DefinitionVersion(block.data()), 100);
    EXPECT_EQ(DefinitionFullSize(block.data()), 336);
    EXPECT_EQ(xqova::DefinitionTextOffset(block.data()), 54);
    EXPECT_EQ(xqova::DefinitionXMLSize(block.data()), 391);
    EXPECT_EQ(xqova::DefinitionMemberCount(block.data()), 3);
    EXPECT_EQ(xqova::DefinitionAttributeTableOffset(block.data()), 30u);
    EXPECT_EQ(xqova::DefinitionAttributeSize(block.data()), 8);
    EXPECT_TRUE(xqova::DefinitionChecksumHolds(block.data()));
    EXPECT_TRUE(xqova::DefinitionIsWellFormed(block.data(), block.size()));

}

// Every reader given no block answers its default and reads nothing.
TEST(DefinitionReader, NoBlockGivesTheDefaults) {
    xqova::MemberRecord record;
    const std::uint32_t got[] = {
        DefinitionClassID(nullptr), DefinitionVersion(nullptr), DefinitionFullSize(nullptr),
        xqova::DefinitionSpeciesCount(nullptr), xqova::DefinitionServesSpecies(nullptr, 0),
        xqova::DefinitionTextOffset(nullptr), xqova::DefinitionXMLSize(nullptr), xqova::DefinitionMemberCount(nullptr),
        xqova::DefinitionMember(nullptr, 0), xqova::DefinitionMemberRecord(nullptr, 0, &record),
        static_cast<std::uint32_t>(xqova::DefinitionAttributeTableOffset(nullptr)), xqova::DefinitionAttributeSize(nullptr),
        xqova::DefinitionMemberAlias(nullptr, 0), xqova::DefinitionMemberUnits(nullptr, 0),
        xqova::DefinitionMemberScaleCoefficient(nullptr, 0), static_cast<std::uint32_t>(xqova::DefinitionMemberScaleExponent(nullptr, 0)),
        xqova::DefinitionText(nullptr, 0xFFFF) != nullptr, xqova::DefinitionEnumerator(nullptr, 0xFFFF, 0) != nullptr,
        xqova::DefinitionHasEnumeration(nullptr, 0), xqova::DefinitionEnumerationSize(nullptr, 0xFFFF),
        xqova::DefinitionEnumerationTableOffset(nullptr, 0), xqova::DefinitionChecksumHolds(nullptr),
        xqova::MemberWalker(nullptr).Next(&record)};
    const std::uint32_t expected[] = {0xFFFFFFFFu, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0, 0, 0, 0xFFFFFFFFu, 0xFF, 1, 0,
                                      0, 0, 0, 0, 0xFFFF, 0, 0};
    static_assert(sizeof got == sizeof expected, "one default per reader");
    for (std::size_t i = 0; i < sizeof got / sizeof got[0]; ++i) EXPECT_EQ(got[i], expected[i]) << "reader " << i;
}

TEST(DefinitionReader, MembersAndAttributes) {
    std::vector<unsigned char> block = BmiBlockBytes();
    EXPECT_EQ(xqova::DefinitionMember(block.data(), 0), 0x10);
    EXPECT_EQ(xqova::DefinitionMember(block.data(), 2), 0x11);
    EXPECT_EQ(xqova::DefinitionMember(block.data(), 3), 0xF8);
    xqova::MemberRecord record;
    ASSERT_TRUE(xqova::DefinitionMemberRecord(block.data(), 1, &record));
    EXPECT_EQ(record.minVersion, 100);
    EXPECT_EQ(record.maxVersion, 0xFFFF);
    EXPECT_TRUE(record.InVersion(100));
    EXPECT_FALSE(record.InVersion(99));
    EXPECT_EQ(xqova::DefinitionMemberAlias(block.data(), 0), 0xFFFFFFFFu);
    EXPECT_EQ(xqova::DefinitionMemberUnits(block.data(), 0), 0xFF);
    EXPECT_EQ(xqova::DefinitionMemberScaleCoefficient(block.data(), 0), 1);
    EXPECT_EQ(xqova::DefinitionMemberScaleExponent(block.data(), 0), 0);
}

TEST(DefinitionReader, TextEntriesCountFromTheEnd) {
    std::vector<unsigned char> block = BmiBlockBytes();
    const void* b = block.data();
    EXPECT_STREQ(xqova::DefinitionText(b, 0), "Enabled");
    EXPECT_STREQ(xqova::DefinitionText(b, 2), "HeightDisplayUnits");
    EXPECT_EQ(xqova::DefinitionText(b, 3), nullptr);  // M itself
    EXPECT_STREQ(xqova::DefinitionText(b, 0xFFFF), "CBMICStd");
    EXPECT_EQ(xqova::DefinitionText(b, 0xFFFE), nullptr);  // E = M + 1: no further enumeration
    EXPECT_STREQ(xqova::DefinitionEnumerator(b, 0xFFFF, 0), "SpSTANDARD");
    EXPECT_STREQ(xqova::DefinitionEnumerator(b, 1, 1), "WEIGHTDISPLAYUNITS_UNITS_KG");
    EXPECT_STREQ(xqova::DefinitionEnumerator(b, 2, 2), "HEIGHTDISPLAYUNITS_UNITS_FEET_INCHES");
    EXPECT_EQ(xqova::DefinitionEnumerator(b, 2, 3), nullptr);
    EXPECT_EQ(xqova::DefinitionEnumerator(b, 0, 0), nullptr);  // no table
    EXPECT_EQ(xqova::DefinitionHasEnumeration(b, 0), 0);
    EXPECT_EQ(xqova::DefinitionHasEnumeration(b, 1), 1);
    EXPECT_EQ(xqova::DefinitionHasEnumeration(b, 0xFFFF), 0);  // positions only
}

TEST(DefinitionReader, NamedEnumerationsAndShortAttributeRecords) {
    xqova::build::ClassDescription d = xqova_test::BmiDescription();
    d.enumerations = {{"ModeID", {{0, "MODEID_NONE"}, {2, "MODEID_APPLICATION"}}}};
    d.attributeSize = 4;
    d.members[1].alias = 0x01020304u;
    const std::vector<unsigned char> block = xqova::build::BuildDefinition(d, xqova_test::NoClassName);
    const void* b = block.data();
    ASSERT_TRUE(xqova::DefinitionIsWellFormed(b, block.size()));
    EXPECT_STREQ(xqova::DefinitionText(b, 0xFFFE), "ModeID");
    EXPECT_STREQ(xqova::DefinitionEnumerator(b, 0xFFFE, 2), "MODEID_APPLICATION");
    EXPECT_EQ(xqova::DefinitionText(b, 0xFFFD), nullptr);
    EXPECT_EQ(xqova::DefinitionAttributeSize(b), 4);
    EXPECT_EQ(xqova::DefinitionMemberAlias(b, 1), 0x01020304u);
    EXPECT_EQ(xqova::DefinitionMemberUnits(b, 1), 0xFF);
    EXPECT_EQ(xqova::DefinitionMemberScaleCoefficient(b, 1), 1);

    d.attributeSize = 0;
    const std::vector<unsigned char> bare = xqova::build::BuildDefinition(d, xqova_test::NoClassName);
    EXPECT_EQ(xqova::DefinitionMemberAlias(bare.data(), 1), 0xFFFFFFFFu);
}

TEST(DefinitionReader, NoTextMeansNoLookups) {
    xqova::build::ClassDescription d = xqova_test::BmiDescription();
    d.xmlBaseSize = 0;
    const std::vector<unsigned char> block = xqova::build::BuildDefinition(d, xqova_test::NoClassName);
    EXPECT_EQ(xqova::DefinitionText(block.data(), 0xFFFF), nullptr);
    EXPECT_EQ(xqova::DefinitionText(block.data(), 0), nullptr);
    EXPECT_EQ(xqova::DefinitionEnumerator(block.data(), 1, 0), nullptr);
    EXPECT_EQ(xqova::DefinitionHasEnumeration(block.data(), 1), 0);
}

TEST(TypeNames, TableOfTheTypeByte) {
    const struct {
        std::uint8_t type;
        const char* name;
    } cases[] = {
        {0x00, "int8"},     {0x01, "int16"},  {0x02, "TIME"},     {0x03, "int32"},   {0x06, "OBJECT"},
        {0x07, "int64"},    {0x08, "ansichar"}, {0x09, "widechar"}, {0x10, "uint8"}, {0x11, "uint16"},
        {0x13, "uint32"},   {0x16, "OBJECT"}, {0x17, "uint64"},   {0x23, "float32"}, {0x27, "float64"},
        {0x39, "uint16"},   {0x3B, "uint32"}, {0x2B, "int32"},    {0x46, "OBJECT"},  {0x48, "ansichar"},
        {0x89, "widechar"}, {0x90, "uint8"},  {0x0A, ""},         {0x30, ""},        {0x20, ""},
    };
    for (const auto& c : cases) {
        std::size_t length = 99;
        EXPECT_STREQ(xqova::TypeName(c.type, &length), c.name) << std::hex << int(c.type);
        EXPECT_EQ(length, std::strlen(c.name));
    }
    EXPECT_EQ(xqova::ElementSize(0x02), 8);
    EXPECT_EQ(xqova::ElementSize(0x46), 4);
    EXPECT_EQ(xqova::ElementSize(0x27), 8);
    EXPECT_EQ(xqova::ElementSize(0x89), 2);
}

// Each mutation of a sound block must be refused without a read outside the
// block (the sanitizers watch the reads).
struct Malformation {
    const char* what;
    xqova::DefinitionCheck check;  // the check that names the fault
    std::size_t at;                // and the offset of the field at fault
    void (*apply)(std::vector<unsigned char>&);
};

void Restamp(std::vector<unsigned char>& b) {
    const std::size_t size = b.size();
    const std::uint16_t crc = CalculateCRC(b.data(), static_cast<std::uint32_t>(size - 2));
    b[size - 2] = static_cast<unsigned char>(crc >> 8);
    b[size - 1] = static_cast<unsigned char>(crc & 0xFF);
}

TEST(DefinitionReader, MalformedBlocksAreRefused) {
    const Malformation cases[] = {
        {"checksum", xqova::DefinitionCheck::kChecksum, 334, [](std::vector<unsigned char>& b) { b[100] ^= 1; }},
        {"no species", xqova::DefinitionCheck::kHeader, 0, [](std::vector<unsigned char>& b) { b[0] = 0; }},
        {"full size beyond the buffer", xqova::DefinitionCheck::kSize, 9, [](std::vector<unsigned char>& b) { b[9] = 0x02; }},
        {"full size below the header", xqova::DefinitionCheck::kSize, 9, [](std::vector<unsigned char>& b) { b[9] = 0; b[10] = 10; }},
        {"members run into the text", xqova::DefinitionCheck::kMemberType, 34, [](std::vector<unsigned char>& b) { b[14] = 40; Restamp(b); }},
        {"member count past the block", xqova::DefinitionCheck::kMemberType, 34, [](std::vector<unsigned char>& b) { b[13] = 0xFF; Restamp(b); }},
        {"width code 4", xqova::DefinitionCheck::kMemberType, 19, [](std::vector<unsigned char>& b) { b[19] = 0x14; Restamp(b); }},
        {"width code 5", xqova::DefinitionCheck::kMemberType, 24, [](std::vector<unsigned char>& b) { b[24] = 0x15; Restamp(b); }},
        {"text offset past the end", xqova::DefinitionCheck::kTextOffset, 7, [](std::vector<unsigned char>& b) { b[7] = 0x02; Restamp(b); }},
        {"text offset inside the records", xqova::DefinitionCheck::kTextOffset, 7, [](std::vector<unsigned char>& b) { b[8] = 20; Restamp(b); }},
        {"entry count too small", xqova::DefinitionCheck::kTextHeader, 56, [](std::vector<unsigned char>& b) { b[57] = 3; Restamp(b); }},
        {"entry count past the end", xqova::DefinitionCheck::kTextHeader, 56, [](std::vector<unsigned char>& b) { b[56] = 0x7F; Restamp(b); }},
        {"name offset outside", xqova::DefinitionCheck::kName, 60, [](std::vector<unsigned char>& b) { b[60] = 0x7F; Restamp(b); }},
        {"enumeration offset outside", xqova::DefinitionCheck::kEnumeration, 62, [](std::vector<unsigned char>& b) { b[62] = 0x7F; Restamp(b); }},
        {"enumeration end outside", xqova::DefinitionCheck::kEnumeration, 80, [](std::vector<unsigned char>& b) { b[80] = 0x7F; Restamp(b); }},
        {"enumeration end not whole pairs", xqova::DefinitionCheck::kEnumeration, 80, [](std::vector<unsigned char>& b) { b[81] = 0x25; Restamp(b); }},
        {"pair name outside", xqova::DefinitionCheck::kName, 84, [](std::vector<unsigned char>& b) { b[84] = 0x7F; Restamp(b); }},
        {"string not terminated", xqova::DefinitionCheck::kName, 60, [](std::vector<unsigned char>& b) {
             for (std::size_t i = 104; i < b.size() - 2; ++i) b[i] = 'x';
             Restamp(b);
         }},
        {"member record past the block", xqova::DefinitionCheck::kMemberRecord, 15, [](std::vector<unsigned char>& b) {
             // The header alone, stating one member and no text.
             b.resize(15);
             b[7] = 0, b[8] = 15, b[9] = 0, b[10] = 17, b[11] = 0, b[12] = 0, b[13] = 0, b[14] = 1;
             b.resize(17);
             Restamp(b);
         }},
        {"object member with number kind bits", xqova::DefinitionCheck::kMemberType, 24, [](std::vector<unsigned char>& b) {
             xqova::build::ClassDescription d = xqova_test::BmiDescription();
             d.members[1].type = 0xAE;
             d.members[1].fixedCount = 2;
             d.members[1].memberClass = 0x00110800u;
             b = xqova::build::BuildDefinition(d, xqova_test::NoClassName);
         }},
        {"inherit member not first", xqova::DefinitionCheck::kMemberType, 29, [](std::vector<unsigned char>& b) {
             // Turn the last uint16 member into an inherit member: the record
             // grows by a class identifier, so rebuild instead.
             (void)b;
             xqova::build::ClassDescription d = xqova_test::BmiDescription();
             d.members[2].type = 0x16;
             d.members[2].memberClass = 0x00110800u;
             b = xqova::build::BuildDefinition(d, xqova_test::NoClassName);
         }},
    };
    for (const Malformation& c : cases) {
        std::vector<unsigned char> block = BmiBlockBytes();
        c.apply(block);
        // Hand the checks a copy of exactly the block's bytes, so that any
        // read past them is caught.
        std::vector<unsigned char> exact(block);
        EXPECT_FALSE(xqova::DefinitionIsWellFormed(exact.data(), exact.size())) << c.what;
        xqova::DefinitionReport report;
        EXPECT_FALSE(xqova::CheckDefinition(exact.data(), exact.size(), &report));
        EXPECT_EQ(report.check, c.check) << c.what << ": " << xqova::DefinitionCheckName(report.check);
        EXPECT_EQ(report.at, c.at) << c.what;
    }
    std::vector<unsigned char> block = BmiBlockBytes();
    xqova::DefinitionReport report;
    test_mutations::EveryPrefix(block, [&](const std::vector<unsigned char>& prefix, std::size_t cut) {
        EXPECT_FALSE(xqova::CheckDefinition(prefix.data(), prefix.size(), &report)) << cut;
        // A cut block states more bytes than it has, or lacks its header.
        EXPECT_EQ(report.check, cut < 15 ? xqova::DefinitionCheck::kHeader : xqova::DefinitionCheck::kSize) << cut;
    });
    // Every changed byte fails the checksum at least.
    test_mutations::EveryByteChange(block, {0x01, 0x80}, [](const std::vector<unsigned char>& changed, std::size_t i, unsigned char) {
        EXPECT_FALSE(xqova::DefinitionIsWellFormed(changed.data(), changed.size())) << i;
    });
    EXPECT_TRUE(xqova::CheckDefinition(block.data(), block.size(), &report));
    EXPECT_EQ(report.check, xqova::DefinitionCheck::kNone);
    EXPECT_FALSE(xqova::DefinitionIsWellFormed(nullptr, 336));
}

}  // namespace
