// Definitions loaded from a file (qova --definitions): classes of a host's
// own, inheritance included, are named, encoded and decoded like built-in
// ones; damaged blocks are refused with the offset.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <utility>

#include "tests/support/mutations.h"
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
    Member level = test_objects::With(M("Level", 0x03), 0xFFFFFFFFu, 7, 5, -1);
    level.enumerators = {{-1 & 0xFFFF, "LEVEL_LOW"}, {2, "LEVEL_HIGH"}};
    const Member gain = test_objects::With(M("Gain", 0x11), 0xFFFFFFFFu, 0xFF, 3);  // scaled without an exponent
    return test_mutations::Cat({  // back to back, as a definitions file holds them
        Build(Class("CHostBase", kBase, {M("Count", 0x11), M("Label", 0x48)}, 100, "SpBASE"), "CHostBase"),
        Build(Class("CHostDerived", kDerived, {test_objects::InheritFrom(kBase), level, gain}, 100, "SpDERIVED"),
              "CHostBase")});
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

    qova::EncodeRequest request{"CHostDerived", "", 0xFFFF, false, false, false,
                                {"Count=7", "Label=left arm", "Level=LEVEL_HIGH", "Gain=2"}};
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
    // What is loaded, whether the same blocks were loaded before, and the reason.
    const std::tuple<Bytes, bool, std::string> cases[] = {
        {Flipped(sound, second + 20), false,
         "host.def: the definition at offset " + std::to_string(second) + " (0x00F00100) was refused: checksum mismatch"},
        {Cut(sound, sound.size() - 1), false, "bytes, " + std::to_string(sound.size() - 1 - second) + " are left"},
        {sound, true, "was refused: not newer than version 100 serving its class"},
    };
    for (const auto& [blocks, loadedBefore, reason] : cases) {
        qova::Catalog catalog;
        if (loadedBefore) catalog.AddDefinitions(sound, "before.def");
        const std::string message = FailureOf([&, &blocks = blocks] { catalog.AddDefinitions(blocks, "host.def"); });
        EXPECT_NE(message.find(reason), std::string::npos) << message;
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
    for (const qova::ClassEntry& entry : catalog.Classes()) all = test_mutations::Cat({all, block(entry.classId)});
    // The class asked for, how the document starts (a list of classes, or one class as its own document), the blocks.
    const std::tuple<const char*, const char*, Bytes> cases[] = {
        {"", "{\n  \"classes\": [", all}, {"0x00170001", "{\n  \"name\": \"CSESDZentoRec\"", block(0x00170001)}};
    for (const auto& [className, start, blocks] : cases) {
        std::string warning = "unset";
        const std::string text = qova::DumpDefinitions(catalog, className, &warning);
        EXPECT_EQ(warning, "unset");
        EXPECT_EQ(text.rfind(start, 0), 0u) << text.substr(0, 40);
        EXPECT_NE(text.find("\"object CNIBPDStd\""), std::string::npos);
        EXPECT_EQ(qova::CompileDefinitions(catalog, Bytes(text.begin(), text.end()), "defs.json"), blocks);
    }
}

}  // namespace
