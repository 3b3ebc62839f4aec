// Objects built from received bytes: the shape follows the encoding's class
// and version (Construct walks the encoding for the nested objects and the
// element version of fixed-count vectors), then the bytes are decoded
// without the strict flag, so that a nested object that fails leaves the rest
// of the object filled.
#include "xqova/core/frame_header.h"
#include "xqova/core/types.h"
#include "xqova/object/object.h"

CXQOVAObject::CXQOVAObject(CXQOVADictionary* dictionary, unsigned char* encoding) {
    ClearFields();
    // The caller vouches for the buffer: the header's stated total is taken
    // as its length.
    const std::size_t length = encoding == nullptr ? 0 : xqova::EncodedSize(encoding);
    Construct(dictionary, nullptr, xqova::kNoClass, xqova::kCurrentVersion, encoding, length, 0);
    Deserialize(encoding, length, 0);
}

CXQOVAObject::CXQOVAObject(CXQOVADictionary* dictionary, const unsigned char* encoding, std::size_t length) {
    ClearFields();
    Construct(dictionary, nullptr, xqova::kNoClass, xqova::kCurrentVersion, encoding, length, 0);
    Deserialize(encoding, length, 0);
}
