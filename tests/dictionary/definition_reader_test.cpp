#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "support/bmi_block.h"
#include "support/mutations.h"
#include "text/table_bytes.h"
#include "xqova/dictionary/definition.h"

namespace {

using xqova_test::BmiBlockBytes;

// The worked example with member `position` of class CBMICStd.
std::vector<unsigned char> WithMember(std::size_t position, std::uint8_t type, std::uint16_t fixedCount) {
    xqova::build::ClassDescription d = xqova_test::BmiDescription();
    d.members[position].type = type;
    d.members[position].fixedCount = fixedCount;
    d.members[position].memberClass = 0x00110800u;
    return xqova::build::BuildDefinition(d, xqova_test::NoClassName);
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
    for (const auto& c : cases) EXPECT_STREQ(xqova::TypeName(c.type), c.name) << std::hex << int(c.type);
}

// Every reader over the worked example, a block with a named enumeration
// and short attribute records, one without text, and no block at all (the
// readers' defaults, nothing read). Then each damage of a sound block is
// refused, naming the check, the field at fault, the member and the values
// found and expected, without a read outside the block (the sanitizers
// watch); the rows of kNone sit on a limit and are accepted.
using Bytes = std::vector<unsigned char>;
using Check = xqova::DefinitionCheck;
using Report = std::tuple<Check, std::size_t, std::uint16_t, std::uint64_t, std::uint64_t>;  // at, member, found, expected

struct Malformation {
    const char* what;
    Report report;
    std::size_t byte;  // the byte set to `value`, the checksum restamped or not
    unsigned char value;
    bool restamp;
    Bytes block = BmiBlockBytes();
};

TEST(DefinitionReader, ReadsEveryFieldOrItsDefaultAndRefusesMalformedBlocks) {
    using namespace xqova;
    const std::vector<unsigned char> bmi = BmiBlockBytes();
    build::ClassDescription d = xqova_test::BmiDescription();
    d.enumerations = {{"ModeID", {{0, "MODEID_NONE"}, {2, "MODEID_APPLICATION"}}}};
    d.attributeSize = 4;
    d.members[1].alias = 0x01020304u;
    const std::vector<unsigned char> named = build::BuildDefinition(d, xqova_test::NoClassName);
    d.attributeSize = 0;
    const std::vector<unsigned char> bare = build::BuildDefinition(d, xqova_test::NoClassName);
    d = xqova_test::BmiDescription();
    d.xmlBaseSize = 0;  // carries no text
    const std::vector<unsigned char> noText = build::BuildDefinition(d, xqova_test::NoClassName);
    const std::vector<unsigned char> fixed = WithMember(2, 0x91, 4);  // uint16[4]
    // Unchecked: a full size of 1, a value table ending before it starts, and its one species now 7, so that the
    // byte after the list (the version's high byte, 0) would show as species 0 if it were read.
    std::vector<unsigned char> damaged = bmi;
    damaged[9] = 0, damaged[10] = 1, damaged[81] = 0, damaged[4] = 7;
    const void *b = bmi.data(), *n = named.data(), *t = noText.data(), *f = fixed.data(), *none = nullptr;
    MemberRecord record, nothing;
    std::uint32_t memberClass = 7;
    std::uint16_t fixedCount = 0;
    ASSERT_TRUE(DefinitionMemberRecord(b, 1, &record));
    const std::uint64_t numbers[][2] = {
        {DefinitionClassID(b), 0x00110800}, {DefinitionVersion(b), 100}, {DefinitionFullSize(b), 336},
        {DefinitionTextOffset(b), 54}, {DefinitionXMLSize(b), 391}, {DefinitionMemberCount(b), 3},
        {DefinitionAttributeTableOffset(b), 30}, {DefinitionAttributeSize(b), 8}, {DefinitionChecksumHolds(b), 1},
        {DefinitionIsWellFormed(b, bmi.size()), 1}, {DefinitionMember(b, 0), 0x10}, {DefinitionMember(b, 2), 0x11},
        {DefinitionMember(b, 3), 0xF8}, {DefinitionMember(f, 2, &memberClass, &fixedCount), 0x91}, {fixedCount, 4},
        {memberClass, 7}, {DefinitionChecksumHolds(damaged.data()), 0}, {DefinitionEnumerationSize(damaged.data(), 1), 0},
        {DefinitionServesSpecies(damaged.data(), 7), 1}, {DefinitionServesSpecies(damaged.data(), 0), 0},
        {DefinitionEnumerationPair(b, 2, 2).has_value(), 1}, {DefinitionEnumerationPair(b, 2, 3).has_value(), 0},
        {DefinitionMemberAlias(b, 3), 0xFFFFFFFF}, {DefinitionIsWellFormed(b, 0), 0}, {record.minVersion, 100}, {record.maxVersion, 0xFFFF},
        {record.InVersion(100), 1}, {record.InVersion(99), 0}, {DefinitionMemberAlias(b, 0), 0xFFFFFFFF},
        {DefinitionMemberUnits(b, 0), 0xFF}, {DefinitionMemberScaleCoefficient(b, 0), 1},
        {static_cast<std::uint64_t>(DefinitionMemberScaleExponent(b, 0)), 0}, {DefinitionHasEnumeration(b, 0), 0},
        {DefinitionHasEnumeration(b, 1), 1}, {DefinitionHasEnumeration(b, 0xFFFF), 0},  // positions only
        {DefinitionIsWellFormed(n, named.size()), 1}, {DefinitionAttributeSize(n), 4},
        {DefinitionMemberAlias(n, 1), 0x01020304}, {DefinitionMemberUnits(n, 1), 0xFF},
        {DefinitionMemberScaleCoefficient(n, 1), 1}, {DefinitionMemberAlias(bare.data(), 1), 0xFFFFFFFF},
        {DefinitionHasEnumeration(t, 1), 0}, {DefinitionClassID(none), 0xFFFFFFFF}, {DefinitionVersion(none), 0},
        {DefinitionFullSize(none), 0}, {DefinitionSpeciesCount(none), 0}, {DefinitionServesSpecies(none, 0), 0},
        {DefinitionTextOffset(none), 0}, {DefinitionXMLSize(none), 0}, {DefinitionMemberCount(none), 0},
        {DefinitionMember(none, 0), 0xF8}, {DefinitionMemberRecord(none, 0, &nothing), 0},
        {DefinitionAttributeTableOffset(none), 0}, {DefinitionAttributeSize(none), 0},
        {DefinitionMemberAlias(none, 0), 0xFFFFFFFF}, {DefinitionMemberUnits(none, 0), 0xFF},
        {DefinitionMemberScaleCoefficient(none, 0), 1}, {ElementSize(0x46), 4},  // an object's slot
        {static_cast<std::uint64_t>(DefinitionMemberScaleExponent(none, 0)), 0}, {DefinitionHasEnumeration(none, 0), 0},
        {DefinitionEnumerationSize(none, 0xFFFF), 0}, {DefinitionEnumerationTableOffset(none, 0), 0xFFFF},
        {DefinitionChecksumHolds(none), 0}, {MemberWalker(none).Next(&nothing), 0}};
    for (std::size_t i = 0; i < sizeof numbers / sizeof numbers[0]; ++i) EXPECT_EQ(numbers[i][0], numbers[i][1]) << i;
    // Text entries count from the end: E = M + 1 has no further enumeration.
    const char* const texts[][2] = {
        {DefinitionText(b, 0), "Enabled"}, {DefinitionText(b, 2), "HeightDisplayUnits"}, {DefinitionText(b, 3), nullptr},
        {DefinitionText(b, 0xFFFF), "CBMICStd"}, {DefinitionText(b, 0xFFFE), nullptr},
        {DefinitionEnumerator(b, 0xFFFF, 0), "SpSTANDARD"}, {DefinitionEnumerator(b, 1, 1), "WEIGHTDISPLAYUNITS_UNITS_KG"},
        {DefinitionEnumerator(b, 2, 2), "HEIGHTDISPLAYUNITS_UNITS_FEET_INCHES"}, {DefinitionEnumerator(b, 2, 3), nullptr},
        {DefinitionEnumerator(b, 0, 0), nullptr}, {DefinitionText(n, 0xFFFE), "ModeID"},
        {DefinitionEnumerator(n, 0xFFFE, 2), "MODEID_APPLICATION"}, {DefinitionText(n, 0xFFFD), nullptr},
        {DefinitionText(t, 0xFFFF), nullptr}, {DefinitionText(t, 0), nullptr}, {DefinitionEnumerator(t, 1, 0), nullptr},
        {DefinitionText(none, 0xFFFF), nullptr}, {DefinitionEnumerator(none, 0xFFFF, 0), nullptr}};
    for (std::size_t i = 0; i < sizeof texts / sizeof texts[0]; ++i) EXPECT_STREQ(texts[i][0], texts[i][1]) << i;

    constexpr std::uint16_t kClass = 0xFFFF;  // no member at fault
    // The header alone, stating no member and no text; one object member
    // whose class identifier lies past the block; the smallest blocks with
    // text: no members, counts 0 and 1, the class's entry naming the empty
    // string at 0, then the checksum, or the counts alone.
    const Bytes header = {1, 0, 0x11, 8, 0, 0, 100, 0, 15, 0, 17, 0, 0, 0, 0, 0, 0};
    const Bytes object = {1, 0, 0x11, 8, 0, 0, 100, 0, 15, 0, 22, 0, 0, 0, 1, 0, 100, 0xFF, 0xFF, 0x10, 0, 0};
    const Bytes entries = {1, 0, 0x11, 8, 0, 0, 100, 0, 15, 0, 25, 0, 1, 0, 0, 0, 0, 0, 1, 0xFF, 0xFF, 0, 0, 0, 0};
    const Bytes counts = {1, 0, 0x11, 8, 0, 0, 100, 0, 15, 0, 21, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0};
    Bytes unterminated = BmiBlockBytes();
    std::fill(unterminated.begin() + 104, unterminated.end() - 2, 'x');
    Bytes far = BmiBlockBytes();
    far[62] = 1;  // Weight's value table from 0x11A, past the text's 280 bytes
    const Malformation cases[] = {
        {"checksum", {Check::kChecksum, 334, kClass, 0x00DC, 0x49DC}, 334, 0x00, false},
        {"no species", {Check::kHeader, 0, kClass, 0, 1}, 0, 0, false},
        {"full size beyond the buffer", {Check::kSize, 9, kClass, 0x250, 336}, 9, 0x02, false},
        {"full size below the header", {Check::kSize, 9, kClass, 16, 17}, 10, 16, false, header},
        {"members run into the text", {Check::kMemberType, 34, 3, 0xFF, 0}, 14, 40, true},
        {"width code 4", {Check::kMemberType, 19, 0, 0x14, 0}, 19, 0x14, true},
        {"width code 5", {Check::kMemberType, 24, 1, 0x15, 0}, 24, 0x15, true},
        {"the no-member type", {Check::kMemberType, 19, 0, 0xF8, 0}, 19, 0xF8, true},
        // The records grow by a class identifier, so the block is rebuilt.
        {"object member with number kind bits", {Check::kMemberType, 24, 1, 0xAE, 0}, 0, 1, false, WithMember(1, 0xAE, 2)},
        {"inherit member not first", {Check::kMemberType, 29, 2, 0x16, 0}, 0, 1, false, WithMember(2, 0x16, 0)},
        {"member record past the block", {Check::kMemberRecord, 15, 0, 20, 15}, 14, 1, true, header},
        {"object record past the block", {Check::kMemberRecord, 15, 0, 24, 20}, 19, 0x06, true, object},
        {"fixed array of 65536 bytes", {Check::kFixedCount, 30, 2, 0x10000, 0xFFFF}, 0, 1, false, WithMember(2, 0x93, 0x4000)},
        {"fixed array of 65535 bytes", {Check::kNone, 0, kClass, 0, 0}, 0, 1, false, WithMember(2, 0x90, 0xFFFF)},
        {"text offset past the end", {Check::kTextOffset, 7, kClass, 0x236, 334}, 7, 0x02, true},
        {"text offset inside the records", {Check::kTextOffset, 7, kClass, 20, 30}, 8, 20, true},
        {"text header past the end", {Check::kTextHeader, 16, kClass, 20, 19}, 8, 16, true, counts},
        {"text member count differs", {Check::kTextHeader, 54, kClass, 2, 3}, 55, 2, true},
        {"entry count too small", {Check::kTextHeader, 56, kClass, 3, 4}, 57, 3, true},
        {"entry count past the end", {Check::kTextHeader, 56, kClass, 54 + 4 + 4 * 0x7F04, 334}, 56, 0x7F, true},
        {"text counts end at the checksum", {Check::kTextHeader, 17, kClass, 23, 19}, 0, 1, true, counts},
        {"text entries end at the checksum", {Check::kNone, 0, kClass, 0, 0}, 0, 1, true, entries},
        {"name offset outside", {Check::kName, 60, 0, 0x7F46, 0}, 60, 0x7F, true},
        // The class's name at the first byte past the last terminator, and
        // one byte before it.
        {"name at the checksum", {Check::kName, 21, kClass, 7, 0}, 22, 7, true, entries},
        {"name ending at the checksum", {Check::kNone, 0, kClass, 0, 0}, 22, 6, true, entries},
        {"string not terminated", {Check::kName, 60, 0, 0x46, 0}, 333, 'x', true, unterminated},
        {"enumeration offset outside", {Check::kEnumeration, 62, 1, 0x7F1A, 334 - 54}, 62, 0x7F, true},
        // A table whose end field is the text's last two bytes, then one byte further.
        {"enumeration end at the checksum", {Check::kEnumeration, 332, 1, 0, 0x118}, 63, 0x16, true, far},
        {"enumeration offset one past the end", {Check::kEnumeration, 62, 1, 0x117, 334 - 54}, 63, 0x17, true, far},
        {"enumeration end before its table", {Check::kEnumeration, 80, 1, 0x1B, 0x1C}, 81, 0x1B, true},
        {"an empty value table", {Check::kNone, 0, kClass, 0, 0}, 81, 0x1C, true},
        {"enumeration end outside", {Check::kEnumeration, 80, 1, 0x7F24, 0x1C}, 80, 0x7F, true},
        {"enumeration end not whole pairs", {Check::kEnumeration, 80, 1, 0x25, 0x1C}, 81, 0x25, true},
        {"pair name outside", {Check::kName, 84, 1, 0x7F74, 0}, 84, 0x7F, true},
    };
    // One report for every row: an accepted block leaves no trace of the
    // refusal before it.
    xqova::DefinitionReport report;
    const auto fields = [&report] { return Report{report.check, report.at, report.member, report.found, report.expected}; };
    for (const Malformation& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes exact = c.block;
        exact[c.byte] = c.value;
        if (c.restamp) text_test::Stamp(&exact);
        EXPECT_EQ(xqova::CheckDefinition(exact.data(), exact.size(), &report), std::get<0>(c.report) == Check::kNone);
        EXPECT_EQ(fields(), c.report) << xqova::DefinitionCheckName(report.check);
        EXPECT_EQ(report.classRead, std::get<0>(c.report) != Check::kHeader);
    }
    // A cut block states more bytes than it has, or lacks its header.
    test_mutations::EveryPrefix(bmi, [&](const Bytes& prefix, std::size_t cut) {
        EXPECT_FALSE(xqova::CheckDefinition(prefix.data(), prefix.size(), &report)) << cut;
        const Report cutReport = cut < 15 ? Report(Check::kHeader, 0, kClass, cut, cut == 0 ? 1 : 15)
                                          : Report(Check::kSize, 9, kClass, 336, cut);
        EXPECT_EQ(fields(), cutReport) << cut;
    });
    // Every changed byte fails the checksum at least.
    test_mutations::EveryByteChange(bmi, {0x01, 0x80}, [](const Bytes& changed, std::size_t i, unsigned char) {
        EXPECT_FALSE(xqova::DefinitionIsWellFormed(changed.data(), changed.size())) << i;
    });
    EXPECT_FALSE(xqova::DefinitionIsWellFormed(nullptr, 336));
}

}  // namespace
