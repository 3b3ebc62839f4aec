// Shared pieces of the qova tool tests.
#ifndef XQOVA_TESTS_TOOL_TOOL_TEST_SUPPORT_H
#define XQOVA_TESTS_TOOL_TOOL_TEST_SUPPORT_H

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/objects.h"
#include "tools/qova/bytes_io.h"
#include "tools/qova/catalog.h"
#include "tools/qova/commands.h"
#include "xqova/core/class_id.h"
#include "xqova/core/frame_header.h"

namespace tool_test {

using qova::Bytes;

// One catalog for all tests: building the English names takes a moment.
inline qova::Catalog& TestCatalog() {
    static qova::Catalog catalog;
    return catalog;
}

inline Bytes Hex(const std::string& text) { return qova::ParseHex(text); }

// Edits of sound bytes: cut to `size`, one bit flipped, a field of `width`
// bytes set, the checksum of the encoding at `at` stamped again.
inline Bytes Cut(const Bytes& b, std::size_t n) { return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n)); }
inline Bytes Flipped(Bytes b, std::size_t at) {
    b[at] ^= 0x01;
    return b;
}
inline Bytes Set(Bytes b, std::size_t at, int width, std::uint32_t value) {
    if (width == 1) b[at] = static_cast<unsigned char>(value);
    if (width == 2) WriteInt16(b.data() + at, static_cast<std::uint16_t>(value));
    if (width == 4) WriteInt32(b.data() + at, value);
    return b;
}
inline Bytes Stamped(Bytes b, std::size_t at = 0) {
    test_objects::Restamp(b, at, xqova::EncodedSize(b.data() + at));
    return b;
}

// Checks `actual` against the golden output `name` (tests/tool/golden), as
// the command-line cases do; XQOVA_UPDATE_GOLDEN=1 in the environment
// rewrites the file instead.
inline void ExpectGolden(const std::string& actual, const std::string& name) {
    const std::string path = std::string(XQOVA_TOOL_GOLDEN_DIR) + "/" + name;
    if (std::getenv("XQOVA_UPDATE_GOLDEN") != nullptr) return qova::WriteOutput(path, actual);
    const Bytes expected = qova::ReadInput(path);
    EXPECT_EQ(actual, std::string(expected.begin(), expected.end())) << name;
}

// The options of encode besides the class and the values.
struct Options {
    const char* species = "";
    std::uint16_t version = 0xFFFF;
    bool force = false;
    bool valid = false;
};

inline Bytes Encode(const std::string& className, std::vector<std::string> assignments, const Options& options = {}) {
    const qova::EncodeRequest request{className, options.species, options.version, options.valid, /*dirty=*/false,
                                      options.force, std::move(assignments)};
    return qova::EncodeObject(TestCatalog(), request);
}

// The failure message of a call that must fail; "" when it succeeded.
template <class F>
std::string FailureOf(F f) {
    try {
        f();
    } catch (const qova::Failure& failure) {
        return failure.what();
    }
    return std::string();
}

}  // namespace tool_test

#endif
