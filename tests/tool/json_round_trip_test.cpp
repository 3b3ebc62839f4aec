// decode --json, then encode --json: the same bytes for objects of every
// class the tool knows, at every version, as built (no --force needed) and
// randomly filled (random numbers have no names, which only --force takes).
#include <gtest/gtest.h>

#include "support/objects.h"
#include "tests/tool/tool_test_support.h"
#include "tools/qova/commands.h"
#include "xqova/dictionary/definition.h"

namespace {

TEST(JsonRoundTrip, DecodeThenEncodeGivesTheSameBytesForEveryClass) {
    qova::Catalog& catalog = tool_test::TestCatalog();
    unsigned cases = 0;
    for (const qova::ClassEntry& entry : catalog.Classes()) {
        for (std::uint16_t v = 1; v <= DefinitionVersion(entry.block); ++v) {
            for (const bool filled : {false, true}) {
                SCOPED_TRACE(entry.name + " version " + std::to_string(v) + (filled ? " filled" : " as built"));
                CXQOVAObject object(&catalog.Dictionary(), entry.classId, v);
                ASSERT_EQ(v, object.Version());
                if (filled) test_objects::Filler(entry.classId + v, {test_objects::kNumD, test_objects::kNIBPD}).Fill(object);
                const qova::Bytes bytes = test_objects::Encode(object);
                const std::string json = qova::DecodeObject(catalog, bytes, qova::ObjectOutput::kJson, nullptr);
                const qova::Bytes text(json.begin(), json.end());
                EXPECT_EQ(test_objects::Hex(bytes), test_objects::Hex(qova::EncodeJson(catalog, text, filled)));
                ++cases;
            }
        }
    }
    EXPECT_GT(cases, 2 * 57u);
}

}  // namespace
