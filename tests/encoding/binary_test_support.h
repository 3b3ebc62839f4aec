// The encoding tests' own helper over the shared object support: the
// read-back check.
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

}  // namespace test_objects

#endif
