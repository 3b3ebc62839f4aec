// Shared pieces of the qova tool tests.
#ifndef XQOVA_TESTS_TOOL_TOOL_TEST_SUPPORT_H
#define XQOVA_TESTS_TOOL_TOOL_TEST_SUPPORT_H

#include <string>
#include <vector>

#include "tools/qova/bytes_io.h"
#include "tools/qova/catalog.h"
#include "tools/qova/commands.h"
#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"

namespace tool_test {

using qova::Bytes;

// One catalog for all tests: building the English names takes a moment.
inline qova::Catalog& TestCatalog() {
    static qova::Catalog catalog;
    return catalog;
}

inline Bytes Hex(const std::string& text) { return qova::ParseHex(text); }

// Writes the checksum of the `size` bytes at `at` into its last two bytes.
inline void StampChecksum(unsigned char* at, std::size_t size) {
    WriteInt16(at + size - 2, CalculateCRC(at, static_cast<std::uint32_t>(size - 2)));
}

inline Bytes Encode(const std::string& className, std::vector<std::string> assignments, bool valid = false) {
    qova::EncodeRequest request;
    request.className = className;
    request.assignments = std::move(assignments);
    request.valid = valid;
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
