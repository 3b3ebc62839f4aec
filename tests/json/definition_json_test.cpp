// Class definitions as JSON: every built-in block dumps and compiles back
// byte for byte, a hand-written class compiles to the golden block, and
// hostile documents are refused with the place and the reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/bmi_block.h"
#include "support/objects.h"
#include "support/timing.h"
#include "xqova/builtin/builtin.h"
#include "xqova/dictionary/definition.h"
#include "xqova/dictionary/definition_builder.h"
#include "xqova/dictionary/dictionary.h"
#include "xqova/json/definition_json.h"
#include "xqova/json/json.h"
#include "xqova/object/object.h"

namespace {

using Blocks = std::vector<std::vector<unsigned char>>;
using xqova::build::ClassDescription;

Blocks Compile(const std::string& text, const CXQOVADictionary* dictionary, xqova::JsonError* error) {
    Blocks blocks;
    xqova::DefinitionBlocksFromJson(text.data(), text.size(), dictionary, &blocks, error);
    return blocks;
}

std::vector<unsigned char> Bytes(const void* block) {
    const auto* p = static_cast<const unsigned char*>(block);
    return std::vector<unsigned char>(p, p + DefinitionFullSize(block));
}

TEST(DefinitionJson, EveryBuiltInBlockDumpsAndCompilesBackByteForByte) {
    for (void* (*chain)() : {&RER_SDK::Dictionary, &RER_KLEV_ZENTO::Dictionary}) {
        const std::vector<const void*> blocks = test_objects::ChainBlocks(chain());
        ASSERT_FALSE(blocks.empty());
        // The whole chain in one document, names resolved within it (the
        // tool's tests dump classes alone, named by the dictionary, and find
        // no block laid out otherwise than the library builds it).
        xqova::JsonError error;
        const std::string text = xqova::DefinitionBlocksToJson(blocks, nullptr, &error, false);
        ASSERT_FALSE(error) << error.Text();
        const Blocks again = Compile(text, nullptr, &error);
        ASSERT_FALSE(error) << error.Text();
        ASSERT_EQ(again.size(), blocks.size());
        for (std::size_t i = 0; i < blocks.size(); ++i) EXPECT_EQ(again[i], Bytes(blocks[i])) << i;
    }
}

// A short hand-written class: defaults fill in the rest of the golden block.
TEST(DefinitionJson, HandWrittenClassCompilesToTheGoldenBlock) {
    const std::string text = R"({"name": "CBMICStd", "identifier": "0x00110800", "members": [
        {"name": "Enabled", "type": "uint8"},
        {"name": "WeightDisplayUnits", "type": "uint16",
         "values": ["WEIGHTDISPLAYUNITS_UNITS_LBS", "WEIGHTDISPLAYUNITS_UNITS_KG"]},
        {"name": "HeightDisplayUnits", "type": "uint16",
         "values": ["HEIGHTDISPLAYUNITS_UNITS_INCHES", "HEIGHTDISPLAYUNITS_UNITS_CENTIMETRES",
                    "HEIGHTDISPLAYUNITS_UNITS_FEET_INCHES"]}]})";
    xqova::JsonError error;
    const Blocks blocks = Compile(text, nullptr, &error);
    ASSERT_FALSE(error) << error.Text();
    ASSERT_EQ(blocks, Blocks{xqova_test::BmiBlockBytes()});

    const std::string dumped = xqova::DefinitionBlocksToJson({blocks[0].data()}, nullptr, &error, true);
    EXPECT_EQ(dumped,
              "{\n"
              "  \"name\": \"CBMICStd\",\n"
              "  \"identifier\": \"0x00110800\",\n"
              "  \"family\": 17,\n"
              "  \"genus\": 8,\n"
              "  \"version\": 100,\n"
              "  \"members\": [\n"
              "    {\"name\": \"Enabled\", \"type\": \"uint8\"},\n"
              "    {\n"
              "      \"name\": \"WeightDisplayUnits\",\n"
              "      \"type\": \"uint16\",\n"
              "      \"values\": [\"WEIGHTDISPLAYUNITS_UNITS_LBS\", \"WEIGHTDISPLAYUNITS_UNITS_KG\"]\n"
              "    },\n"
              "    {\n"
              "      \"name\": \"HeightDisplayUnits\",\n"
              "      \"type\": \"uint16\",\n"
              "      \"values\": [\n"
              "        \"HEIGHTDISPLAYUNITS_UNITS_INCHES\", \"HEIGHTDISPLAYUNITS_UNITS_CENTIMETRES\",\n"
              "        \"HEIGHTDISPLAYUNITS_UNITS_FEET_INCHES\"\n"
              "      ]\n"
              "    }\n"
              "  ]\n"
              "}\n");
    // A member whose line with its comma ends at column 100 stays on that line.
    ClassDescription d = xqova_test::BmiDescription();
    d.members[0].name.assign(66, 'E');
    const std::vector<unsigned char> wide = xqova::build::BuildDefinition(d, {}, nullptr);
    const std::string line = "    {\"name\": \"" + d.members[0].name + "\", \"type\": \"uint8\"},\n";
    EXPECT_NE(xqova::DefinitionBlocksToJson({wide.data()}, nullptr, &error, true).find(line), std::string::npos);
    // Members without values stand on lines of their own too, however short.
    d.members[1] = {}, d.members[2] = {};
    d.members[1].name = "W", d.members[2].name = "H";
    d.members[1].type = d.members[2].type = 0x11;
    const std::vector<unsigned char> plain = xqova::build::BuildDefinition(d, {}, nullptr);
    EXPECT_NE(xqova::DefinitionBlocksToJson({plain.data()}, nullptr, &error, true)
                  .find(line + "    {\"name\": \"W\", \"type\": \"uint16\"},\n    {\"name\": \"H\", \"type\": \"uint16\"}\n"),
              std::string::npos);
    d.members[0].type = 0x93, d.members[0].fixedCount = 20000;  // a block the checks refuse is not dumped
    const std::vector<unsigned char> refused = xqova::build::BuildDefinition(d, {}, nullptr);
    EXPECT_EQ(xqova::DefinitionBlocksToJson({refused.data()}, nullptr, &error), "");
    EXPECT_EQ(error.Text(), "at /classes/0: not a well-formed definition block: fixed array larger than 65535 bytes at offset 20");
}

// Every type spelling, and the fields beside the type, reach the block.
TEST(DefinitionJson, TypesAndMemberFieldsReachTheBlock) {
    const std::string text = R"({"classes": [
      {"name": "CPartDStd", "identifier": "0x00C90000", "species": ["SpSTANDARD", {"name": "SpB", "value": 7}],
       "members": [{"name": "V", "type": "int64"}, {"name": "W", "type": "int8", "from": 101}]},
      {"name": "CHostDStd", "family": 200, "genus": 3, "version": 102, "membersFrom": 101, "attributeSize": 12,
       "xmlBaseSize": 500, "members": [
        {"name": "Base", "type": "inherit CPartDStd"},
        {"name": "A", "type": "bitmask uint32", "from": 102, "until": 103, "alias": 4294967294,
         "units": 9, "scaleCoefficient": 25, "scaleExponent": -3},
        {"name": "B", "type": "widechar[UNBOUNDED]"}, {"name": "C", "type": "float64[4]"}, {"name": "D", "type": "0x3A"}, {"name": "D2", "type": "0x0B"},
        {"name": "E", "type": "object CNIBPDStd[0]"}, {"name": "F", "type": "object 0x00C90007[UNBOUNDED]"},
        {"name": "G", "type": "object ANY_CLASS"}]}]})";
    const CXQOVADictionary& all = xqova::AllBuiltinClasses();
    xqova::JsonError error;
    const Blocks blocks = Compile(text, &all, &error);
    ASSERT_FALSE(error) << error.Text();
    ASSERT_EQ(blocks.size(), 2u);
    const void* b = blocks[1].data();
    EXPECT_EQ(DefinitionClassID(b), 0x00C80300u);
    EXPECT_EQ(DefinitionVersion(b), 102);
    // Each member's type, member class, fixed count, first and last version.
    const std::uint32_t rows[][5] = {
        {0x16, 0x00C90000, 0, 101, 0xFFFF}, {0x3B, 0xFFFFFFFF, 0, 102, 103},     {0x49, 0xFFFFFFFF, 0, 101, 0xFFFF},
        {0xA7, 0xFFFFFFFF, 4, 101, 0xFFFF}, {0x3A, 0xFFFFFFFF, 0, 101, 0xFFFF},  {0x0B, 0xFFFFFFFF, 0, 101, 0xFFFF}, {0x86, 0x00050000, 0, 101, 0xFFFF},
        {0x46, 0x00C90007, 0, 101, 0xFFFF}, {0x06, 0xFFFFFFFF, 0, 101, 0xFFFF},
    };
    ASSERT_EQ(xqova::DefinitionMemberCount(b), sizeof rows / sizeof rows[0]);
    for (std::uint16_t p = 0; p < sizeof rows / sizeof rows[0]; ++p) {
        xqova::MemberRecord r;
        ASSERT_TRUE(xqova::DefinitionMemberRecord(b, p, &r));
        EXPECT_EQ((std::vector<std::uint32_t>{r.type, r.memberClass, r.fixedCount, r.minVersion, r.maxVersion}),
                  std::vector<std::uint32_t>(rows[p], rows[p] + 5)) << p;
    }

    // And the dump, read from the blocks, spells every type and field the way it was written.
    const std::string dumped = xqova::DefinitionBlocksToJson({blocks[0].data(), b}, &all, &error, true);
    for (const char* spelling : {"{\n  \"classes\"", "\"attributeSize\": 12", "\"xmlBaseSize\": 500", "\"inherit CPartDStd\"",
                                 "\"bitmask uint32\"", "\"widechar[UNBOUNDED]\"", "\"float64[4]\"", "\"0x3A\"", "\"0x0B\"", "\"object CNIBPDStd[0]\"",
                                 "\"int8\", \"from\": 101", "\"object 0x00C90007[UNBOUNDED]\"", "\"object ANY_CLASS\"",
                                 "\"membersFrom\": 101", "\"species\": [\"SpSTANDARD\", {\"name\": \"SpB\", \"value\": 7}]",
                                 "\"alias\": 4294967294", "\"units\": 9", "\"scaleCoefficient\": 25", "\"scaleExponent\": -3"}) {
        EXPECT_NE(dumped.find(spelling), std::string::npos) << spelling;
    }

    // Descriptions read from the text write a document that compiles to the
    // same blocks; one class is listed under "classes" unless asked for alone
    // (as each built-in class is dumped above).
    std::vector<xqova::build::ClassDescription> classes;
    ASSERT_TRUE(xqova::DefinitionsFromJson(text.data(), text.size(), &all, &classes, &error)) << error.Text();
    classes.resize(1);
    const std::string listed = xqova::DefinitionsToJson(classes, &all, &error);
    EXPECT_NE(listed.find("\"classes\""), std::string::npos);
    EXPECT_EQ(Compile(listed, &all, &error), Blocks{blocks[0]}) << error.Text();

    // The dictionary's classes are known by name, its first and last too.
    const std::uint16_t count = all.GetDefinitionCount(SEARCH_MODE_ALL);
    for (std::uint16_t i : {std::uint16_t{0}, static_cast<std::uint16_t>(count - 1)}) {
        const void* named = all.GetDefinitionAt(i, SEARCH_MODE_ALL);
        const std::string holder = R"({"classes": [{"name": "CHolderDStd", "identifier": "0x00C90000", "members": [)"
                                   R"({"name": "H", "type": "object )" + std::string(xqova::DefinitionText(named, 0xFFFF)) + "\"}]}]}";
        const Blocks held = Compile(holder, &all, &error);
        xqova::MemberRecord r;
        ASSERT_TRUE(held.size() == 1 && xqova::DefinitionMemberRecord(held[0].data(), 0, &r)) << error.Text();
        EXPECT_EQ(r.memberClass, DefinitionClassID(named)) << i;
    }
}

// A class C of the fields given, of the member list `members`, of one member
// of type `type`, of valued members A and B and the table order `order`, or
// of a member A of the fields given.
std::string Family(const std::string& fields) { return R"({"name": "C", "family": 1, "genus": 0, )" + fields + "}"; }
std::string Members(const std::string& members) { return Family(R"("members": [)" + members + "]"); }
std::string OfType(const std::string& type) { return Members(R"({"name": "A", "type": ")" + type + "\"}"); }
std::string Order(const std::string& order) {
    return R"({"name": "C", "family": 1, "genus": 0, "tableOrder": )" + order +
           R"(, "members": [{"name": "A", "type": "uint8", "values": ["X"]}, {"name": "B", "type": "uint8"}]})";
}
std::string MemberA(const std::string& fields) { return Members(R"({"name": "A", "type": "uint8", )" + fields + "}"); }

TEST(DefinitionJson, HostileDocumentsAreRefusedNamingThePlace) {
    const std::string longName(1025, 'N');
    // Classes C0 .. C9, each holding two of the next, C9 two of C0.
    std::string ring = R"({"classes": [)";
    for (int i = 0; i < 10; ++i) {
        ring += (i ? ", " : "") + std::string(R"({"name": "C)") + std::to_string(i) + R"(", "family": )" +
                std::to_string(i + 1) + R"(, "genus": 0, "members": [{"name": "m", "type": "object C)" +
                std::to_string(i == 9 ? 1 : i + 1) + R"([2]"}]})";  // C0 leads into the ring
    }
    ring += "]}";
    // Values or members of long names.
    std::string bigValues, longMembers;
    for (int i = 0; i < 70; ++i) bigValues += (i ? ", \"" : "\"") + std::string(1000, 'A' + i % 26) + std::to_string(i) + "\"";
    const auto member = [](const std::string& name) { return R"({"name": ")" + name + R"(", "type": "uint8"})"; };
    for (int i = 0; i < 70; ++i) longMembers += (i ? ", " : "") + member(std::string(1000, 'A' + i % 26) + std::to_string(i));
    struct Case {
        std::string text;
        const char* path;
        const char* reason;  // a part of the reason; "" when taken
    };
    std::vector<Case> cases = {
        {R"({"name": )", "", "not JSON"},
        {R"({"name": null, "identifier": "0x00C80000"})", "/name", "a string is expected, not null"},
        {R"({"name": "C", "name": "D", "identifier": "0x00C80000"})", "/name", "given twice"},
        {R"({"name": "C", "identifier": "0x00C80000", "version": 70000})", "/version", "outside 0 to 65535"},
        {R"({"name": "C", "identifier": "0x00C80000", "version": 1.5})", "/version", "an integer is expected"},
        {R"({"name": "C", "identifier": "C80000"})", "/identifier", "not an identifier"},
        {R"({"name": "C", "identifier": "0xG0C80000"})", "/identifier", "not an identifier"},
        {Family(R"("enumerations": [{"name": "E"}])"), "/enumerations/0", "has a \"name\" and \"values\""},
        {R"({"name": "C"})", "", "\"identifier\", or a \"family\""},
        {R"({"name": "C", "identifier": "0x00C80001", "species": ["SpA"]})", "/species/0", "identifier's"},
        {Family(R"("species": [])"), "/species", "at least one"},
        {Family(R"("species": [{"name": "S", "value": 254}, "T", "U"])"), "/species/2", "the value after 255 is past 255"},
        {Members(R"({"name": "A", "tpye": "uint8"})"), "/members/0/tpye", "no such field"},
        {std::string((16u << 20) + 1, ' '), "", "16777217 bytes, more than the limit of 16777216"},
        {OfType("uint32[20000]"), "/members/0", "refused: fixed array larger"},
        {Members(member("A") + ", " + member("A")), "/members/1/name", "names an earlier member"},
        {Members(R"({"name": ")" + longName + R"(", "type": "uint8"})"), "/members/0/name", "more than 1024"},
        {Members(R"({"name": "A", "type": "uint16", "values": [{"name": "X", "value": 65535}, "Y"]})"),
         "/members/0/values/1", "past 65535"},
        {Members(R"({"name": "A", "type": "uint16", "values": [)" + bigValues + "]}"), "",
         "class C, member 0 \"A\": the block's size with its name would be"},
        {Members(member("A") + R"(, {"name": "B", "type": "inherit CNIBPDStd"})"), "/members/1/type", "only the first member inherits"},
        {R"({"name": "C", "identifier": "0x00180000", "members": [{"name": "R", "type": "object CSESDZentoRec"}]})", "",
         "cycle: C.R -> CSESDZentoRec.DeviceInfo -> C"},
        {ring, "/classes/0",
         "cycle: C0.m -> C1.m -> C2.m -> C3.m -> ... (2 more) -> C6.m -> C7.m -> C8.m -> C9.m -> C1"},
        {R"({"classes": {}})", "/classes", "a list of classes"},
        {MemberA(R"("units": -1)"), "/members/0/units", "-1 is outside 0 to 255"},
        {R"({"classes": [{"name": "CA", "family": 1, "genus": 0}, {"name": "CA", "family": 2, "genus": 0},
            {"name": "CB", "family": 3, "genus": 0, "members": [{"name": "A", "type": "object CA"}]}]})",
         "/classes/2/members/0/type", "differ in identifier"},
        {R"({"name": "C", "identifier": "0xFFFFFFFF"})", "/identifier", "0xFFFFFFFF stands for any class"},
        {R"({"name": "C", "identifier": "0x00C80000", "family": 2})", "/family", "differs from the identifier's"},
        {R"({"name": "C", "identifier": "0x00C80000", "genus": 1})", "/genus", "differs from the identifier's"},
        {R"({"name": "C", "identifier": "0x00C80000", "species": ["SpA", {"name": "SpB", "value": 0}]})", "/species",
         "code 0 is listed twice"},
        {Family(R"("members": {})"), "/members", "a list of members is expected"},
        {Family(R"("enumerations": [{"name": "E", "values": []}, {"name": "E", "values": []}])"), "/enumerations/1/name",
         "\"E\" names an earlier enumeration too"},
        {Members("5"), "/members/0", "an object is expected, not a number"},
        {Members(R"("m")"), "/members/0", "an object is expected, not a string"},
        {Members("true"), "/members/0", "an object is expected, not a boolean"},
        {Members("[]"), "/members/0", "an object is expected, not an array"},
        {R"({"name": {}, "identifier": "0x00C80000"})", "/name", "a string is expected, not an object"},
        {Members(R"({"type": "uint8"})"), "/members/0", "a member has a \"name\""},
        {Members(R"({"name": "A"})"), "/members/0", "a member has a \"type\""},
        {Members(R"({"name": "", "type": "int8"})"), "/members/0/name", "a name is not empty"},
        {Members(R"({"name": "A\u0000", "type": "int8"})"), "/members/0/name", "a name holds no zero character"},
        {MemberA(R"("from": 102, "until": 101)"), "/members/0", "\"until\" is before"},
        {MemberA(R"("values": "X")"), "/members/0/values", "a list of names"},
        {MemberA(R"("values": [{"name": "X"}])"), "/members/0/values/0", "a value is a name, or"},
        {MemberA(R"("values": ["X", "X"])"), "/members/0/values/1", "\"X\" is named twice"},
        {Members(longMembers), "", "its empty-member document would be 75627 characters"},
        {Order("{}"), "/tableOrder", "a list of member names is expected"},
        {Order(R"(["Z"])"), "/tableOrder/0", "no member is named \"Z\""},
        {Order(R"(["B"])"), "/tableOrder/0", "member \"B\" has no values"},
        {Order(R"(["A", "A"])"), "/tableOrder/1", "member \"A\" is listed twice"},
        {Order("[]"), "/tableOrder", "member \"A\" has values and is not listed"},
        {std::string(64, '[') + std::string(64, ']'), "/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0/0", "nested deeper"},
        // A vector of its own class may be empty (no cycle); a name of 1024 bytes is still taken; classes held
        // without a cycle: one no definition serves, one met twice.
        {Members(R"({"name": "B", "type": "object C[UNBOUNDED]"})"), "", ""},
        {Members(member(longName.substr(1))), "", ""},
        {Members(R"({"name": "D", "type": "object 0x00AB0000"})"), "", ""},
        {R"({"classes": [{"name": "CA", "family": 1, "genus": 0, "members": [{"name": "B", "type": "object CB"}]},
            {"name": "CB", "family": 2, "genus": 0}]})", "", ""},
    };
    // Type spellings that name no type.
    const char* const types[][2] = {
        {"uint7", "unknown type"}, {"uint8[70000]", "0 to 65535"}, {"uint8 x", "unknown type"},
        {"bitmask float32", "integer type"}, {"object CNope", "no class is named \"CNope\""},
        {"uint8[3", "an array size ends with ]"}, {"uint8[123456]", "an array size is a count"},
        {"object", "the class held is missing"}, {"inherit CNIBPDStd[2]", "an inherit member is no array"},
        {"inherit ANY_CLASS", "an inherit member names its base class"},
        {"0x40", "a type byte written in hex is below 0x40"}, {"0xG3", "unknown type"},
        {"object 0xG0C90007", "no class is named \"0xG0C90007\""}, {"0x06", "object members are written object CLASS"}
    };
    for (const auto& t : types) cases.push_back({OfType(t[0]), "/members/0/type", t[1]});
    const CXQOVADictionary& all = xqova::AllBuiltinClasses();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 160));
        xqova::JsonError error;
        EXPECT_EQ(Compile(c.text, &all, &error).empty(), *c.reason != '\0') << error.Text();
        EXPECT_EQ(error.path, c.path);
        EXPECT_NE(error.reason.find(c.reason), std::string::npos) << error.Text();
    }
    // No text; no error to fill.
    xqova::JsonError error;
    Blocks blocks;
    EXPECT_FALSE(xqova::DefinitionBlocksFromJson(nullptr, 1, &all, &blocks, &error));
    EXPECT_EQ("no text", error.Text());
    EXPECT_FALSE(xqova::DefinitionBlocksFromJson("[", 1, &all, &blocks, nullptr));
}

// Both readers of the component parse a long list in time linear in it
// (each is refused after parsing: no class has a name, no object a class).
TEST(DefinitionJson, ReadersTakeTimeLinearInALongList) {
    const auto list = [](std::size_t n) {
        std::string text = "{\"classes\": [{}";
        for (std::size_t i = 1; i < n; ++i) text += ", {}";
        return text + "]}";
    };
    CXQOVADictionary& all = xqova::AllBuiltinClasses();
    for (bool objects : {false, true}) {
        const auto read = [&](std::size_t n) -> test_timing::Work {
            return [text = list(n), objects, &all] {
                xqova::JsonError error;
                Blocks blocks;
                EXPECT_FALSE(objects ? xqova::ObjectFromJson(&all, text.data(), text.size(), &error) != nullptr
                                     : xqova::DefinitionBlocksFromJson(text.data(), text.size(), &all, &blocks, &error));
            };
        };
        test_timing::ExpectLinear(read, 4000, objects ? "objects" : "definitions");
    }
}

}  // namespace
