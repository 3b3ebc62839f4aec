// qova defs: every class the tool knows dumps to JSON and compiles back to
// the library's blocks byte for byte; a refused document names its place.
#include <gtest/gtest.h>

#include <string>

#include "tool_test_support.h"
#include "xqova/dictionary/definition.h"

namespace {

using tool_test::Bytes;

TEST(Defs, DumpAllThenCompileGivesBackEveryBuiltInBlock) {
    qova::Catalog& catalog = tool_test::TestCatalog();
    std::string warning;
    const std::string text = qova::DumpDefinitions(catalog, "", &warning);
    EXPECT_EQ(warning, "");
    Bytes expected;
    for (const qova::ClassEntry& entry : catalog.Classes()) {
        const auto* block = static_cast<const unsigned char*>(entry.block);
        expected.insert(expected.end(), block, block + DefinitionFullSize(block));
    }
    ASSERT_EQ(catalog.Classes().size(), 57u);
    EXPECT_EQ(qova::CompileDefinitions(catalog, Bytes(text.begin(), text.end()), "all.json"), expected);

    const std::string one = qova::DumpDefinitions(catalog, "0x00170001", &warning);
    EXPECT_NE(one.find("\"object CNIBPDStd\""), std::string::npos);
    const auto* zento = static_cast<const unsigned char*>(catalog.Definition(0x00170001));
    EXPECT_EQ(qova::CompileDefinitions(catalog, Bytes(one.begin(), one.end()), "one.json"),
              Bytes(zento, zento + DefinitionFullSize(zento)));
}

TEST(Defs, RefusalNamesTheFileAndThePlace) {
    const std::string text =
        R"({"name": "CMine", "family": 3, "genus": 300, "members": [{"name": "A", "type": "object CNowhere"}]})";
    try {
        qova::CompileDefinitions(tool_test::TestCatalog(), Bytes(text.begin(), text.end()), "my.json");
        FAIL() << "compiled";
    } catch (const qova::Failure& failure) {
        EXPECT_STREQ(failure.what(), "my.json: at /genus: 300 is outside 0 to 255");
    }
}

}  // namespace
