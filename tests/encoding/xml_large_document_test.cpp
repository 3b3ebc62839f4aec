// Objects whose documents pass 4 GiB: every size is counted in 64 bits, and
// a document or encoding that a 32-bit result cannot state is refused before
// anything is written. Built from encodings of 23 and 46 MB (see
// tests/support/large_encoding.h); slow under the sanitizers, so these run in
// optimised builds only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tests/support/large_encoding.h"
#include "xqova/builtin/builtin.h"
#include "xqova/core/budget.h"
#include "xml_test_support.h"

namespace {

using namespace xml_test;

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define XQOVA_TEST_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define XQOVA_TEST_SANITIZED 1
#endif

// Native optimised 64-bit Linux builds only (about a minute there; the
// sanitizers, 32-bit address space and emulators make it far longer).
// XQOVA_LARGE_TESTS=1 runs them in any build.
bool OptimisedBuild() {
    const char* forced = std::getenv("XQOVA_LARGE_TESTS");
    if (forced != nullptr && forced[0] == '1') return true;
#if defined(NDEBUG) && defined(__linux__) && !defined(XQOVA_TEST_SANITIZED)
    return sizeof(void*) == 8;
#else
    return false;
#endif
}

// No writer may touch a buffer when the document cannot be stated.
void ExpectRefused(CXQOVAObject& object, XMLEncoding_e encoding) {
    std::vector<char> chars(1 << 16, 0x5A);
    std::vector<unsigned short> units(1 << 16, 0x5A);
    const bool wide = encoding == XML_ENCODING_UTF16;
    EXPECT_EQ(object.XMLSizeAll(encoding, 0xFFFF) | object.XMLSizeAllSafe(encoding, 0xFFFF), 0u);
    EXPECT_EQ(wide ? object.XMLSerialize(units.data(), 0xFFFF) : object.XMLSerialize(chars.data(), 0xFFFF), 0u);
    EXPECT_EQ(wide ? object.XMLSerializeSafe(units.data(), units.size() * 2, 0xFFFF)
                   : object.XMLSerializeSafe(chars.data(), chars.size(), 0xFFFF),
              0u);
    EXPECT_TRUE(Untouched(units) && Untouched(chars));
}

TEST(XmlLargeDocument, UtfSixteenDocumentPastFourGiBIsRefused) {
    if (!OptimisedBuild()) GTEST_SKIP() << "runs in optimised builds";
    const xqova_test::Encoding bytes = xqova_test::Wide();
    // Millions of objects: far past the default budget, which is not what
    // these tests are about.
    const xqova::ScopedConstructionBudget budget(4000000, 8000000000ull);
    ASSERT_EQ(bytes.size(), 23003261u);
    CXQOVAObject object(&xqova::AllBuiltinClasses(), xqova::EncodedBytes{bytes.data(), bytes.size()});
    ASSERT_EQ(object.ClassID(), kNumExt);

    // The encoding itself round-trips.
    ASSERT_EQ(object.SizeAll(0xFFFF), bytes.size());
    std::vector<unsigned char> out(bytes.size(), 0x5A);
    EXPECT_EQ(object.Serialize(out.data(), out.size(), 0xFFFF), bytes.size());
    EXPECT_EQ(out, bytes);

    // The 8-bit document (about 2.2 GB) still fits: its size is the sum of
    // the parts, beyond 2^31.
    CXQOVAObject leaf(&xqova::AllBuiltinClasses(), 0x00180800, 0);
    CXQOVAObject empty(&xqova::AllBuiltinClasses(), kNumExt, 200);
    const std::uint64_t leafSize = leaf.XMLSizeAll(0xFFFF) - 1, emptySize = empty.XMLSizeAll(0xFFFF) - 1;
    ASSERT_GT(leafSize, 1000u);
    const std::uint64_t expected = emptySize + 27 * (emptySize + 65535 * leafSize) + 1;
    EXPECT_GT(expected, 0x80000000u);
    EXPECT_EQ(object.XMLSizeAll(0xFFFF), expected);

    ExpectRefused(object, XML_ENCODING_UTF16);
}

TEST(XmlLargeDocument, EightBitDocumentPastFourGiBIsRefused) {
    if (!OptimisedBuild()) GTEST_SKIP() << "runs in optimised builds";
    const xqova_test::Encoding bytes = xqova_test::Deep();
    const xqova::ScopedConstructionBudget budget(4000000, 8000000000ull);
    ASSERT_EQ(bytes.size(), 46006522u);
    CXQOVAObject object(&xqova::AllBuiltinClasses(), xqova::EncodedBytes{bytes.data(), bytes.size()});
    ASSERT_EQ(object.SizeAll(0xFFFF), bytes.size());
    ExpectRefused(object, XML_ENCODING_CHAR);
}

}  // namespace
