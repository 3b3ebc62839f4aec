// decode --json, then encode --json --force: the same bytes for random
// objects of every class the tool knows, at every version (random numbers
// have no names, which only --force takes).
#include <gtest/gtest.h>

#include "support/objects.h"
#include "tool_test_support.h"
#include "xqova/dictionary/definition.h"

namespace {

namespace binary_test = test_objects;

TEST(JsonRoundTrip, DecodeThenEncodeGivesTheSameBytesForEveryClass) {
    qova::Catalog& catalog = tool_test::TestCatalog();
    unsigned cases = 0;
    for (const qova::ClassEntry& entry : catalog.Classes()) {
        for (std::uint16_t v = 1; v <= DefinitionVersion(entry.block); ++v) {
            SCOPED_TRACE(entry.name + " version " + std::to_string(v));
            CXQOVAObject object(&catalog.Dictionary(), entry.classId, v);
            ASSERT_EQ(v, object.Version());
            binary_test::Filler filler(entry.classId + v, {binary_test::kNumD, binary_test::kNIBPD});
            filler.Fill(object);
            const qova::Bytes bytes = binary_test::Encode(object);
            const std::string json = qova::DecodeObject(catalog, bytes, qova::ObjectOutput::kJson, nullptr);
            const qova::Bytes text(json.begin(), json.end());
            EXPECT_EQ(binary_test::Hex(bytes), binary_test::Hex(qova::EncodeJson(catalog, text, true)));
            ++cases;
        }
    }
    EXPECT_GT(cases, 57u);
}

}  // namespace
