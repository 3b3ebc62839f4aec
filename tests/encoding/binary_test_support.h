// The encoding tests' own helpers over the shared object support: a
// hand-made encoding, and the read-back check.
#ifndef XQOVA_TESTS_ENCODING_BINARY_TEST_SUPPORT_H
#define XQOVA_TESTS_ENCODING_BINARY_TEST_SUPPORT_H

#include <string>

#include "support/objects.h"

namespace test_objects {

// `bytes`, the encoding of `object`, read back both ways: a strict decode into
// a fresh object of its class and version, which re-encodes byte for byte,
// and the construction from an exact-size copy; both hold what `object` holds.
inline void ExpectReadsBack(CXQOVADictionary* dictionary, CXQOVAObject& object, const Bytes& bytes,
                            const std::string& where = "object") {
    SCOPED_TRACE(where);
    CXQOVAObject decoded(dictionary, object.ClassID(), object.Version());
    ASSERT_EQ(bytes.size(), Decode(decoded, bytes, 1));
    ExpectSameObject(object, decoded);
    EXPECT_EQ(Hex(bytes), Hex(Encode(decoded)));
    HeapCopy copy(bytes);
    CXQOVAObject built(dictionary, xqova::EncodedBytes{copy.data(), copy.size()});
    ExpectSameObject(object, built, "built from bytes");
}

// An encoding of `classId` at `version` (status 0) with the given fixed and
// variable sections, its length field and checksum filled in.
inline Bytes EncodingOf(std::uint32_t classId, std::uint16_t version, const Bytes& fixed, const Bytes& variable) {
    const unsigned width = xqova::LengthFieldWidth(classId);
    Bytes b(4 + width + 5);
    WriteInt32(b.data(), classId);
    WriteInt16(b.data() + 4 + width, version);
    WriteInt16(b.data() + 7 + width, static_cast<std::uint16_t>(fixed.size()));
    b.insert(b.end(), fixed.begin(), fixed.end());
    b.insert(b.end(), variable.begin(), variable.end());
    b.resize(b.size() + 2);
    const std::uint32_t length = static_cast<std::uint32_t>(b.size() - 4 - width);
    if (width == 4) {
        WriteInt32(b.data() + 4, length);
    } else {
        WriteInt16(b.data() + 4, static_cast<std::uint16_t>(length));
    }
    Restamp(b, 0, b.size());
    return b;
}

}  // namespace test_objects

#endif
