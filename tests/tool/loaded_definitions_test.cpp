// Definitions loaded from a file (qova --definitions): classes of a host's
// own, inheritance included, are named, encoded and decoded like built-in
// ones; damaged blocks are refused with the offset.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "tests/tool/tool_test_support.h"
#include "tools/qova/members.h"
#include "tools/qova/render.h"
#include "xqova/dictionary/definition.h"
#include "xqova/object/object.h"
#include "xqova/object/vector.h"

namespace {

using qova::Json;
using namespace tool_test;
using test_objects::Build;
using test_objects::Class;
using test_objects::M;
using xqova::build::Member;

constexpr std::uint32_t kBase = 0x00F00000u;
constexpr std::uint32_t kDerived = 0x00F00100u;

// A base class with a number and a text, and a class derived from it with a
// member whose values are named and units and scale given, and a member
// scaled without an exponent.
Bytes Blocks() {
    Member level = M("Level", 0x03);
    level.enumerators = {{-1 & 0xFFFF, "LEVEL_LOW"}, {2, "LEVEL_HIGH"}};
    level.units = 7;
    level.scaleCoefficient = 5;
    level.scaleExponent = -1;
    Member gain = M("Gain", 0x11);  // scaled without an exponent
    gain.scaleCoefficient = 3;
    Bytes blocks = Build(Class("CHostBase", kBase, {M("Count", 0x11), M("Label", 0x48)}, 100, "SpBASE"), "CHostBase");
    const Bytes derived = Build(
        Class("CHostDerived", kDerived, {test_objects::InheritFrom(kBase), level, gain}, 100, "SpDERIVED"), "CHostBase");
    blocks.insert(blocks.end(), derived.begin(), derived.end());  // back to back, as a definitions file holds them
    return blocks;
}

// The describe text and JSON and the decoded table and JSON of a derived
// class are golden outputs: inherited members first, the base named, units,
// scale and value names shown. A vector of a fixed count of a loaded class
// holds its element from the start, and decode shows it; an encoding stating
// another count is refused naming the count. (The vector forms themselves,
// fixed counts of 0 and 1 among them, are the library's tests'.)
TEST(LoadedDefinitions, InheritedMembersComeFirstAndFixedVectorCountsAreNamed) {
    qova::Catalog catalog;
    catalog.AddDefinitions(Blocks(), "host.def");
    ExpectGolden(qova::RenderDescription(catalog, kDerived), "describe_host.txt");
    ExpectGolden(qova::DescriptionJson(catalog, kDerived).dump(2) + "\n", "describe_host.json");
    EXPECT_EQ(qova::ClassesJson(catalog).back().dump(),
              R"({"class":"CHostDerived","classId":"0x00F00100","family":240,"genus":1,"species":0,)"
              R"("speciesCount":1,"version":100,"members":3,"dictionary":"host.def"})");

    qova::EncodeRequest request;
    request.className = "CHostDerived";
    request.assignments = {"Count=7", "Label=left arm", "Level=LEVEL_HIGH", "Gain=2"};
    const Bytes bytes = qova::EncodeObject(catalog, request);
    const std::string json = qova::DecodeObject(catalog, bytes, qova::ObjectOutput::kJson, nullptr);
    ExpectGolden(json, "decode_host.json");
    ExpectGolden(qova::DecodeObject(catalog, bytes, qova::ObjectOutput::kTable, nullptr), "decode_host.txt");
    // The JSON reads back; a physical value or units code that is not the member's is refused.
    EXPECT_EQ(qova::EncodeJson(catalog, Bytes(json.begin(), json.end())), bytes);
    for (const auto& edit :
         {std::make_pair("\"physical\": 1", "2.0 is not the physical value of the member's value (1.0)"),
          std::make_pair("\"units\": 7", "8 is not the member's units code (7)")}) {
        std::string changed = json;
        ASSERT_NE(changed.find(edit.first), std::string::npos) << changed;
        changed[changed.find(edit.first) + std::strlen(edit.first) - 1] += 1;
        const std::string message =
            FailureOf([&] { qova::EncodeJson(catalog, Bytes(changed.begin(), changed.end())); });
        EXPECT_NE(message.find(edit.second), std::string::npos) << message;
    }
    request.assignments = {"Level=-1"};
    const Json low = Json::parse(
        qova::DecodeObject(catalog, qova::EncodeObject(catalog, request), qova::ObjectOutput::kJson, nullptr));
    EXPECT_EQ(low["members"]["Level"]["enumerator"], "LEVEL_LOW");

    const Member items = test_objects::VectorOf("Items", kBase, 1);
    catalog.AddDefinitions(Build(Class("CPair", 0x00F30000u, {items}, 100, "SpPAIR"), "CHostBase"), "pair.def");
    CXQOVAObject object(&catalog.Dictionary(), 0x00F30000u, 0xFFFF);
    CXQOVAVector* vector = object.GetMember(0);
    ASSERT_TRUE(vector != nullptr && vector->At(0) != nullptr);
    vector->At(0)->SetMember(0, static_cast<unsigned short>(7));
    const Bytes pair = qova::Encoding(catalog, object);
    const Json decoded = Json::parse(qova::DecodeObject(catalog, pair, qova::ObjectOutput::kJson, nullptr));
    EXPECT_EQ(decoded["members"]["Items"]["value"][0]["members"]["Count"]["value"], 7) << decoded.dump();
    const Bytes two = Stamped(Set(pair, 11, 2, 2));
    EXPECT_NE(FailureOf([&] { qova::DecodeObject(catalog, two, qova::ObjectOutput::kTable, nullptr); })
                  .find("vector Items at offset 11 holds 2 elements, its fixed count is 1"),
              std::string::npos);
}

TEST(LoadedDefinitions, DamagedBlocksAreRefusedWithTheirOffset) {
    const Bytes sound = Blocks();
    const std::size_t second = DefinitionFullSize(sound.data());
    const struct {
        const char* name;
        Bytes blocks;
        bool loadedBefore;  // the same blocks already loaded
        std::string reason;
    } cases[] = {
        {"damaged", Flipped(sound, second + 20), false,
         "host.def: the definition at offset " + std::to_string(second) +
             " (0x00F00100) was refused: checksum mismatch"},
        {"cut", Cut(sound, sound.size() - 1), false,
         "bytes, " + std::to_string(sound.size() - 1 - second) + " are left"},
        {"again", sound, true, "was refused: not newer than version 100 serving its class"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qova::Catalog catalog;
        if (c.loadedBefore) catalog.AddDefinitions(sound, "before.def");
        const std::string message = FailureOf([&] { catalog.AddDefinitions(c.blocks, "host.def"); });
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    }
}


// qova defs: the classes the tool knows, all of them or one, dump to JSON
// and compile back to their blocks byte for byte, back to back in the order
// of the catalog. (A refused document is a command-line case: it names the
// file and the place.)
TEST(Defs, DumpThenCompileGivesBackTheBlocks) {
    qova::Catalog& catalog = TestCatalog();
    const auto block = [&](std::uint32_t classId) {
        const auto* b = static_cast<const unsigned char*>(catalog.Definition(classId));
        return Bytes(b, b + DefinitionFullSize(b));
    };
    Bytes all;
    for (const qova::ClassEntry& entry : catalog.Classes()) {
        const Bytes one = block(entry.classId);
        all.insert(all.end(), one.begin(), one.end());
    }
    const struct {
        const char* className;
        const char* start;  // a list of classes, or one class as its own document
        Bytes blocks;
    } cases[] = {{"", "{\n  \"classes\": [", all},
                 {"0x00170001", "{\n  \"name\": \"CSESDZentoRec\"", block(0x00170001)}};
    for (const auto& c : cases) {
        std::string warning = "unset";
        const std::string text = qova::DumpDefinitions(catalog, c.className, &warning);
        EXPECT_EQ(warning, "unset");
        EXPECT_EQ(text.rfind(c.start, 0), 0u) << text.substr(0, 40);
        EXPECT_NE(text.find("\"object CNIBPDStd\""), std::string::npos);
        EXPECT_EQ(qova::CompileDefinitions(catalog, Bytes(text.begin(), text.end()), "defs.json"), c.blocks);
    }
}

}  // namespace
