// Definitions loaded from a file (qova --definitions): classes of a host's
// own, inheritance included, are named, encoded and decoded like built-in
// ones; damaged blocks are refused with the offset.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "support/objects.h"
#include "tests/tool/tool_test_support.h"
#include "tools/qova/commands.h"
#include "tools/qova/members.h"
#include "tools/qova/render.h"
#include "xqova/dictionary/definition.h"
#include "xqova/encoding/decode_report.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

namespace {

using qova::Json;
using tool_test::Bytes;
using tool_test::FailureOf;
using test_objects::Build;
using test_objects::Class;
using test_objects::M;
using xqova::build::Member;

constexpr std::uint32_t kBase = 0x00F00000u;
constexpr std::uint32_t kDerived = 0x00F00100u;

// Blocks one after the other, as a definitions file holds them.
Bytes Joined(std::vector<Bytes> blocks) {
    Bytes all;
    for (const Bytes& b : blocks) all.insert(all.end(), b.begin(), b.end());
    return all;
}

// A base class with a number and a text, and a class derived from it with a
// member whose values are named.
Bytes Blocks() {
    Member level = M("Level", 0x03);
    level.enumerators = {{-1 & 0xFFFF, "LEVEL_LOW"}, {2, "LEVEL_HIGH"}};
    level.units = 7;
    level.scaleCoefficient = 5;
    level.scaleExponent = -1;
    return Joined({Build(Class("CHostBase", kBase, {M("Count", 0x11), M("Label", 0x48)}, 100, "SpBASE"), "CHostBase"),
                   Build(Class("CHostDerived", kDerived, {test_objects::InheritFrom(kBase), level}, 100, "SpDERIVED"),
                         "CHostBase")});
}

TEST(LoadedDefinitions, InheritedMembersComeFirstAndDescribeShowsTheBase) {
    qova::Catalog catalog;
    catalog.AddDefinitions(Blocks(), "host.def");
    EXPECT_EQ(catalog.Classes().back().name, "CHostDerived");
    EXPECT_EQ(catalog.Classes().back().source, "host.def");
    EXPECT_EQ(catalog.ResolveClass("CHostDerived"), kDerived);

    qova::EncodeRequest request;
    request.className = "CHostDerived";
    request.assignments = {"Count=7", "Label=left arm", "Level=LEVEL_HIGH"};
    const Bytes bytes = qova::EncodeObject(catalog, request);
    const Json decoded = Json::parse(qova::DecodeObject(catalog, bytes, qova::ObjectOutput::kJson, nullptr));
    EXPECT_EQ(decoded["class"], "CHostDerived");
    EXPECT_EQ(decoded["members"].dump(),
              R"({"Count":{"type":"uint16","value":7},)"
              R"("Label":{"type":"ansichar UNBOUNDED","value":"left arm"},)"
              R"("Level":{"type":"int32","value":2,"physical":1.0,"units":7,"enumerator":"LEVEL_HIGH"}})");
    // The physical value and units code read back, and show in the table.
    const std::string json = qova::DecodeObject(catalog, bytes, qova::ObjectOutput::kJson, nullptr);
    EXPECT_EQ(qova::EncodeJson(catalog, Bytes(json.begin(), json.end())), bytes);
    for (const auto& edit : {std::make_pair("\"physical\": 1.0", "\"physical\": 2.0"),
                             std::make_pair("\"units\": 7", "\"units\": 8")}) {
        std::string changed = json;
        ASSERT_NE(changed.find(edit.first), std::string::npos) << changed;
        changed.replace(changed.find(edit.first), std::strlen(edit.first), edit.second);
        EXPECT_NE(FailureOf([&] { qova::EncodeJson(catalog, Bytes(changed.begin(), changed.end())); })
                      .find(edit.first[1] == 'p' ? "2.0 is not the physical value of the member's value (1.0)"
                                                 : "8 is not the member's units code (7)"),
                  std::string::npos);
    }
    const std::string table = qova::DecodeObject(catalog, bytes, qova::ObjectOutput::kTable, nullptr);
    EXPECT_NE(table.find("  Level  int32               2  = 1.0 (units code 7)  LEVEL_HIGH\n"), std::string::npos) << table;

    request.assignments = {"Level=-1"};
    const Json low = Json::parse(
        qova::DecodeObject(catalog, qova::EncodeObject(catalog, request), qova::ObjectOutput::kJson, nullptr));
    EXPECT_EQ(low["members"]["Level"]["value"], -1);
    EXPECT_EQ(low["members"]["Level"]["enumerator"], "LEVEL_LOW");

    // describe shows the base, units and scale.
    const std::string text = qova::RenderDescription(catalog, catalog.ResolveClass("CHostDerived"));
    EXPECT_NE(text.find("dictionary host.def, version 100"), std::string::npos) << text;
    EXPECT_NE(text.find("  0    (base)  OBJECT of CHostBase  -      100-CURRENT  -      -      -\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("  1    Level   int32                4      100-CURRENT  7      5e-1   -\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("  Level\n    65535  LEVEL_LOW\n    2      LEVEL_HIGH\n"), std::string::npos) << text;
    // The same as JSON, for classes and describe.
    const Json described = qova::DescriptionJson(catalog, kDerived);
    EXPECT_EQ(described["members"][0].dump(),
              R"({"position":0,"name":"Base","base":true,"type":"OBJECT of CHostBase","bytes":"-","minVersion":100,)"
              R"("maxVersion":65535})");
    EXPECT_EQ(described["members"][1].dump(),
              R"({"position":1,"name":"Level","type":"int32","bytes":"4","minVersion":100,"maxVersion":65535,)"
              R"("units":7,"scale":{"coefficient":5,"exponent":-1}})");
    EXPECT_EQ(described["enumerations"].dump(),
              R"([{"name":"Level","kind":"member","values":[{"value":65535,"name":"LEVEL_LOW"},)"
              R"({"value":2,"name":"LEVEL_HIGH"}]}])");
    EXPECT_EQ(described["dictionary"], "host.def");
    EXPECT_EQ(qova::ClassesJson(catalog).back().dump(),
              R"({"class":"CHostDerived","classId":"0x00F00100","family":240,"genus":1,"species":0,)"
              R"("speciesCount":1,"version":100,"members":2,"dictionary":"host.def"})");
}

// Every class names its dictionary (the base dictionary's blocks are
// served as copies), and a fixed array shows the bytes of all its elements.
TEST(LoadedDefinitions, DescribeNamesTheDictionaryAndTheBytesOfEachMember) {
    qova::Catalog& catalog = tool_test::TestCatalog();
    for (const qova::ClassEntry& entry : catalog.Classes()) {
        const std::string text = qova::RenderDescription(catalog, entry.classId);
        EXPECT_NE(text.find("\ndictionary " + entry.source + ", version"), std::string::npos) << text;
    }
    const struct {
        const char* className;
        const char* row;
    } rows[] = {
        {"CFileSysDExtStd", "  0    PathName   widechar UNBOUNDED             2 each  200-CURRENT"},
        {"CFileSysDExtStd", "  1    Container  OBJECT UNBOUNDED of ANY_CLASS  -       200-CURRENT"},
        {"CDeviceDStd", "  2    ModelName     ansichar[32]  32     100-CURRENT"},
        {"CDeviceDStd", "  4    DeviceGUID    uint8[16]     16     100-CURRENT"},
        {"CDeviceCStd", "widechar[21]  42 "},
    };
    for (const auto& row : rows) {
        const std::string text = qova::RenderDescription(catalog, catalog.ResolveClass(row.className));
        EXPECT_NE(text.find(row.row), std::string::npos) << text;
    }
}

TEST(LoadedDefinitions, DamagedBlocksAreRefusedWithTheirOffset) {
    Bytes blocks = Blocks();
    const std::size_t second = DefinitionFullSize(blocks.data());
    blocks[second + 20] ^= 0x10;
    qova::Catalog catalog;
    EXPECT_NE(FailureOf([&] { catalog.AddDefinitions(blocks, "host.def"); })
                  .find("host.def: the definition at offset " + std::to_string(second) +
                        " (0x00F00100) was refused: checksum mismatch"),
              std::string::npos);
    Bytes cut = Blocks();  // the second block loses its last byte
    cut.resize(cut.size() - 1);
    qova::Catalog other;
    EXPECT_NE(FailureOf([&] { other.AddDefinitions(cut, "host.def"); }).find("bytes, " + std::to_string(cut.size() - second) + " are left"), std::string::npos);
    // Sound blocks the dictionary already serves at their version.
    qova::Catalog twice;
    twice.AddDefinitions(Blocks(), "host.def");
    EXPECT_NE(FailureOf([&] { twice.AddDefinitions(Blocks(), "again.def"); })
                  .find("was refused: not newer than version 100 serving its class"),
              std::string::npos);
}

// A class holding two objects of its own class and a 65,535-byte array would
// take 2^32 arrays: the tool names the budget instead of showing a part.
TEST(LoadedDefinitions, ClassesPastTheBudgetAreRefused) {
    using test_objects::Nested;
    qova::Catalog catalog;
    catalog.AddDefinitions(Build(Class("CSelf", 0x00F10000u,
                                       {Nested("Left", 0x00F10000u), Nested("Right", 0x00F10000u),
                                        test_objects::FixedArray("Bulk", 0x00, 65535)},
                                       100, "SpSELF"),
                                 "CSelf"),
                           "self.def");
    qova::EncodeRequest request;
    request.className = "CSelf";
    const std::string expected =
        "CSelf (0x00F10000): building it takes more than the budget of 262144 objects and 67108864 bytes per call";
    EXPECT_NE(FailureOf([&] { qova::EncodeObject(catalog, request); }).find(expected), std::string::npos);
    // The user's budget is the one applied and named.
    catalog.SetBudget(1000, 1u << 20);
    EXPECT_NE(FailureOf([&] { qova::EncodeObject(catalog, request); }).find("budget of 1000 objects and 1048576 bytes"),
              std::string::npos);
}

// A vector member with a fixed count of 0 (type 0x86) grows like an
// UNBOUNDED one, its elements carrying size prefixes: the library writes it,
// reads it back, and decode accepts what the library wrote.
TEST(LoadedDefinitions, FixedVectorOfNoElementsGrowsWithSizePrefixes) {
    Member items = test_objects::VectorOf("Items", kBase, 1);
    items.fixedCount = 0;  // type 0x86 with no count
    xqova::build::ClassDescription holder = Class("CHolder", 0x00F20000u, {items}, 100, "SpHOLDER");
    qova::Catalog catalog;
    catalog.AddDefinitions(Joined({Blocks(), Build(holder, "CHostBase")}), "host.def");

    CXQOVAObject object(&catalog.Dictionary(), 0x00F20000u, 0xFFFF);
    CXQOVAVector* vector = object.GetMember(0);
    ASSERT_NE(vector, nullptr);
    CXQOVAObject* element = vector->Push(kBase);
    ASSERT_NE(element, nullptr);
    element->SetMember(0, static_cast<unsigned short>(7));
    Bytes bytes(object.SizeAll(0xFFFF));
    ASSERT_EQ(object.Serialize(bytes.data(), bytes.size(), 0xFFFF), bytes.size());
    // Header, count 1, the element's size prefix (00 11), its 17 bytes, checksum.
    ASSERT_EQ(bytes.size(), 34u);
    EXPECT_EQ(ReadInt16(bytes.data() + 13), 17u);

    CXQOVAObject back(&catalog.Dictionary(), xqova::EncodedBytes{bytes.data(), bytes.size()});
    ASSERT_EQ(back.Deserialize(bytes.data(), bytes.size(), 1), bytes.size());
    CXQOVAVector* read = back.GetMember(0);
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->Size(), 1);
    EXPECT_EQ(static_cast<unsigned short>(read->At(0)->GetMember(0)), 7);
    std::string warning = "unset";
    EXPECT_NO_THROW(qova::DecodeObject(catalog, bytes, qova::ObjectOutput::kTable, &warning));
    EXPECT_EQ(warning, "");

    // With a fixed count of 1 the vector holds its element from the start,
    // without a size prefix; an encoding stating another count is refused
    // with that reason.
    items.fixedCount = 1;
    catalog.AddDefinitions(Build(Class("CPair", 0x00F30000u, {items}, 100, "SpHOLDER"), "CHostBase"), "pair.def");
    CXQOVAObject one(&catalog.Dictionary(), 0x00F30000u, 0xFFFF);
    Bytes fixed(one.SizeAll(0xFFFF));
    ASSERT_EQ(one.Serialize(fixed.data(), fixed.size(), 0xFFFF), fixed.size());
    ASSERT_EQ(fixed.size(), 13u + 2u + 17u);  // no size prefix before the element
    EXPECT_EQ(ReadInt16(fixed.data() + 11), 1u);
    WriteInt16(fixed.data() + 11, 2);
    tool_test::StampChecksum(fixed.data(), fixed.size());
    xqova::DecodeReport why;
    EXPECT_FALSE(xqova::DecodeObject(&catalog.Dictionary(), fixed.data(), fixed.size(), &why));
    EXPECT_EQ(why.check, xqova::DecodeCheck::kVectorCount);
    EXPECT_STREQ(why.member, "Items");
    EXPECT_EQ(why.at, 11u);
    EXPECT_NE(FailureOf([&] { qova::DecodeObject(catalog, fixed, qova::ObjectOutput::kTable, nullptr); })
                  .find("vector Items at offset 11 holds 2 elements, its fixed count is 1"),
              std::string::npos);
}

}  // namespace
