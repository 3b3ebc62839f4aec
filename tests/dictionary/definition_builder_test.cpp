// The definition builder's refusals of what a block cannot state, and the
// reader that turns a block back into its description.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "support/bmi_block.h"
#include "text/table_bytes.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/definition_builder.h"

namespace {

using xqova::build::ClassDescription;

// What a block cannot state is refused naming the place (an empty error:
// the change still builds, on a limit).
TEST(DefinitionBuilder, RefusesWhatABlockCannotStateAndReadsABlockBack) {
    using D = ClassDescription;
    struct Case {
        const char* error;
        std::function<void(D&)> change;
    };
    const Case cases[] = {
        {"class (unnamed): a class has at least one species", [](D& d) { d.species.clear(), d.name.clear(); }},
        {"class C \\x00\\x1F\\x7F~: the class name holds a zero byte", [](D& d) { d.name.assign("C \0\x1F\x7F~", 6); }},
        {"class CBMICStd: 256 species, more than the 255", [](D& d) { d.species.assign(256, {0, "Sp"}); }},
        {"class CBMICStd, member 1 \"Weight\\x00X\": the name holds a zero byte",
         [](D& d) { d.members[1].name = std::string("Weight\0X", 8); }},
        {"class CBMICStd: the member count would be 65536, more than 65535",
         [](D& d) { d.members.assign(65536, xqova::build::Member(d.members[0])); }},
        {"class CBMICStd: the text entry count (members, class and named enumerations) would be 65536",
         [](D& d) { d.enumerations.resize(65532); }},
        {"class CBMICStd: the XML base size would be 70000, more than 65535", [](D& d) { d.xmlBaseSize = 70000; }},
        {"", [](D& d) { d.xmlBaseSize = 65535; }},
        {"class CBMICStd, member 5956 \"Enabled\": the member records' end would be 65542",  // 11 bytes a record
         [](D& d) { d.members[0].type = 0x86, d.xmlBaseSize = 0, d.members.assign(6000, xqova::build::Member(d.members[0])); }},
        {"class CBMICStd: the attribute table's end would be", [](D& d) { d.attributeSize = 30000; }},
        {"class CBMICStd: the text entries' end would be 65537", [](D& d) { d.attributeSize = 21829; }},
        {"class CBMICStd, species: the end of its value table would be 65826",
         [](D& d) { d.members.clear(), d.species.assign(255, {0, "S"}), d.enumerations.resize(16199); }},
        // The last name ending at 65535 bytes, then at 65531 (a block of 65534).
        {"class CBMICStd: the block's size would be 65538", [](D& d) { d.attributeSize = 21737, d.members[2].enumerators[2].name += "XXXXXXXXXXXXXX"; }},
        {"", [](D& d) { d.attributeSize = 21737, d.members[2].enumerators[2].name += "XXXXXXXXXX"; }},
        // Each name that no longer fits, in the order they are placed.
        {"class CBMICStd: the block's size with its name would be", [](D& d) { d.attributeSize = 21820; }},
        {"class CBMICStd, species: the block's size with its name", [](D& d) { d.attributeSize = 21811; }},
        {"class CBMICStd, member 0 \"Enabled\": the block's size with", [](D& d) { d.attributeSize = 21809; }},
        {"class CBMICStd, member 2 \"HeightDisplayUnits\": the block's size with its name would be",
         [](D& d) { d.members[2].enumerators[0].name.assign(66000, 'H'); }},
        {"class CBMICStd, enumeration 0 \"NNN", [](D& d) { d.enumerations = {{std::string(66000, 'N'), {}}}; }},
        {"class CBMICStd, enumeration 0 \"N\": the block's size with its name",
         [](D& d) { d.enumerations = {{"N", {{0, std::string(66000, 'V')}}}}; }},
        {"class CBMICStd: the table order names position 3, past the last member", [](D& d) { d.enumerationTableOrder = {2, 3}; }},
        {"class CBMICStd, member 2 \"HeightDisplayUnits\": listed twice in the table order",
         [](D& d) { d.enumerationTableOrder = {2, 1, 2}; }},
        {"class CBMICStd, member 1 \"WeightDisplayUnits\": has values but is missing from the table order",
         [](D& d) { d.enumerationTableOrder = {2}; }},
        {"class CBMICStd, member 0 \"Enabled\": has values but is missing from the table order",
         [](D& d) { d.members[0].enumerators = {{1, "ON"}}, d.enumerationTableOrder = {2, 1}; }},
        {"class CBMICStd, member 2 \"HeightDisplayUnits\": the end of its value table would be",
         [](D& d) { d.members[2].enumerators.assign(16500, {0, "V"}); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        ClassDescription d = xqova_test::BmiDescription();
        c.change(d);
        std::string error = "stale";
        EXPECT_EQ(xqova::build::BuildDefinition(d, {}, &error).empty(), *c.error != 0);
        EXPECT_EQ(xqova::build::BuildDefinition(d, {}).empty(), *c.error != 0);
        EXPECT_EQ(*c.error == 0 ? error : error.substr(0, std::string(c.error).size()), c.error);
    }
    // The untouched description builds the golden block, its checksum left
    // to the caller on request.
    std::vector<unsigned char> golden = xqova_test::BmiBlockBytes();
    EXPECT_EQ(xqova::build::BuildDefinition(xqova_test::BmiDescription(), {}), golden);
    golden[334] = golden[335] = 0;
    EXPECT_EQ(xqova::build::BuildDefinition(xqova_test::BmiDescription(), {}, nullptr, false), golden);
    EXPECT_EQ(xqova::build::EmptyDocumentLength(xqova_test::BmiDescription(), xqova_test::NoClassName), 391u);

    // The reader turns a block of the worked example's description, with
    // every field set, back into its description.
    ClassDescription d = xqova_test::BmiDescription();
    d.species = {{9, "SpNINE"}, {5, "SpFIVE"}, {2, "SpTWO"}};
    d.members[0].alias = 0x01020304u;
    d.members[0].units = 7;
    d.members[0].scaleCoefficient = 300;
    d.members[0].scaleExponent = -2;
    d.members[0].minVersion = 101;
    d.members[0].maxVersion = 104;
    d.members[2].type = 0x86;
    d.members[2].memberClass = 0x00050000u;
    d.members[2].fixedCount = 3;
    d.members[0].enumerators = {{1, "ON"}};
    d.enumerationTableOrder = {2, 0, 1};
    d.enumerations = {{"ModeID", {{0, "MODEID_NONE"}, {5, "MODEID_FIVE"}}}};
    d.attributeSize = 7;
    d.xmlBaseSize = 1234;
    const std::vector<unsigned char> block = xqova::build::BuildDefinition(d, {});
    ASSERT_FALSE(block.empty());
    // The species table runs by code, whatever the order of the header.
    std::uint16_t codes[3] = {};
    for (std::uint16_t k = 0; k < 3; ++k) codes[k] = xqova::DefinitionEnumerationPair(block.data(), 0xFFFF, k)->value;
    EXPECT_EQ(std::vector<std::uint16_t>(codes, codes + 3), (std::vector<std::uint16_t>{2, 5, 9}));

    // Every field read back builds the same block again.
    ClassDescription read;
    std::string error;
    bool exact = false;
    ASSERT_TRUE(xqova::build::ReadDefinition(block.data(), block.size(), &read, &error, &exact)) << error;
    // A scale exponent beyond a 7-byte record: the default.
    EXPECT_EQ(std::make_tuple(exact, read.ClassId(), read.members[0].scaleExponent, read.members[2].enumerators[2].name),
              std::make_tuple(true, 0x00110809u, std::int8_t{0}, std::string("HEIGHTDISPLAYUNITS_UNITS_FEET_INCHES")));

    // A nonzero padding byte, or two entries naming one string: the same
    // description, other bytes.
    std::vector<unsigned char> shared = xqova_test::BmiBlockBytes();
    shared[333] = 'x';
    text_test::Stamp(&shared);
    ASSERT_TRUE(xqova::build::ReadDefinition(shared.data(), shared.size(), &read, &error, &exact)) << error;
    EXPECT_FALSE(exact);
    const std::size_t entries = 54 + 4;
    shared[entries + 4 + 2] = shared[entries + 2];  // member 1 takes member 0's name
    shared[entries + 4 + 3] = shared[entries + 3];
    text_test::Stamp(&shared);
    ASSERT_TRUE(xqova::build::ReadDefinition(shared.data(), shared.size(), &read, &error, &exact)) << error;
    EXPECT_FALSE(exact);
    EXPECT_EQ(read.members[1].name, "Enabled");

    shared[100] ^= 1;  // the checksum no longer holds
    EXPECT_FALSE(xqova::build::ReadDefinition(shared.data(), shared.size(), &read, &error, &exact));
    EXPECT_EQ(error, "not a well-formed definition block: checksum mismatch at offset 334");
    EXPECT_FALSE(xqova::build::ReadDefinition(shared.data(), shared.size(), &read));

    // Without members or text: no names, the attribute records of 8 bytes.
    const std::vector<unsigned char> tiny = text_test::TinyDefinition(0x00110800);
    ASSERT_TRUE(xqova::build::ReadDefinition(tiny.data(), tiny.size(), &read));
    EXPECT_EQ(read.name + std::to_string(read.attributeSize), "8");
}

}  // namespace
