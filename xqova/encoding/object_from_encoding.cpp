// Objects built from received bytes: the shape follows the encoding's class
// and version (Construct steps through the encoding with the decoder's own
// reader for the nested objects, the element version of fixed-count vectors
// and the room of UNBOUNDED members), then the bytes are decoded without the
// strict flag, so that a nested object that fails leaves the rest of the
// object filled. Each checksum is computed once, by the construction. The construction and the decode share one budget
// (xqova/core/budget.h): elements that the decode inserts into vectors count
// with the objects the shape needed.
#include "xqova/core/budgeted_operation.h"
#include "xqova/core/frame_header.h"
#include "xqova/core/types.h"
#include "xqova/object/object.h"

CXQOVAObject::CXQOVAObject(CXQOVADictionary* dictionary, unsigned char* encoding) {
    const xqova::BudgetedOperation operation;
    // The caller vouches for the buffer: the header's stated total is taken
    // as its length.
    const std::size_t length = encoding == nullptr ? 0 : xqova::EncodedSize(encoding);
    Construct(dictionary, nullptr, xqova::kNoClass, xqova::kCurrentVersion, {encoding, length}, kTopLevel);
    Decode(encoding, length, false, nullptr, true);
    EndConstruction(operation);
}

CXQOVAObject::CXQOVAObject(CXQOVADictionary* dictionary, xqova::EncodedBytes encoding) {
    const xqova::BudgetedOperation operation;
    Construct(dictionary, nullptr, xqova::kNoClass, xqova::kCurrentVersion, encoding, kTopLevel);
    Decode(encoding.bytes, encoding.length, false, nullptr, true);
    EndConstruction(operation);
}
