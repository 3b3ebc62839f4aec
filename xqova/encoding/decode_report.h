// Why bytes were refused, and the strict way for a host to build an object
// from bytes.
//
// The decoder of object encodings (CXQOVAObject::Deserialize) fills a
// DecodeReport when one is given: the check that failed, where the encoding
// at fault starts, its class, the member path leading to it from the
// outermost object and the numbers the check compared. The first failure is
// reported (the deepest one, since enclosing objects fail because of it). The
// entry points without a report give the results they always gave.
//
//     xqova::DecodeReport why;
//     xqova::DecodedObject reading = xqova::DecodeObject(&dictionary, bytes, length, &why);
//     if (!reading) {
//         std::printf("refused: %s at offset %zu (%s)\n", xqova::DecodeCheckName(why.check), why.offset,
//                     why.path);
//     } else {
//         long systolic = reading->GetMember(kSystolic);
//     }
#ifndef XQOVA_ENCODING_DECODE_REPORT_H
#define XQOVA_ENCODING_DECODE_REPORT_H

#include <cstddef>
#include <cstdint>

#include "xqova/core/export.h"

class CXQOVADictionary;
class CXQOVAObject;

namespace xqova {

enum class DecodeCheck : std::uint8_t {
    kNone = 0,
    kHeader,        // too short for its header (found: bytes there; expected: header size)
    kLength,        // stated length beyond the input (found: stated total; expected: bytes there)
    kTooSmall,      // stated length below the smallest encoding (found: stated total; expected: minimum)
    kChecksum,      // checksum mismatch (found: stored; expected: computed)
    kUnknownClass,  // no definition serves the class
    kNewerVersion,  // newer version than the object reads (found: encoded; expected: the object's version,
                    // its definition's unless it was built at an older one)
    kFixedSection,  // fixed-section size differs from the version's (found: stated; expected: the version's)
    kMemberData,    // a member's bytes run past the encoding, or are no whole elements (found: bytes
                    // needed or held; expected: bytes there, or the element size)
    kNestedSize,    // the size stated before a nested encoding differs from its own (found; expected)
    kNestedClass,   // a nested encoding of another class than its member holds (found; expected)
    kVectorCount,   // a fixed-count vector with another element count (found; expected)
    kLayout,        // bytes that belong to no member (found: how many)
    kTooDeep,       // nested deeper than objects may nest (expected: the deepest level allowed)
    kOutOfMemory    // memory, or the construction budget (overBudget), ran out
};

// A short name of the check ("checksum mismatch", "unknown class", ...).
XQOVA_API const char* DecodeCheckName(DecodeCheck check);

struct DecodeReport {
    DecodeCheck check = DecodeCheck::kNone;
    // Where the encoding at fault starts, counted from the first byte given.
    std::size_t offset = 0;
    // Where the failing field or member starts (for member checks the
    // member's bytes; else the encoding's start).
    std::size_t at = 0;
    std::uint32_t classId = 0xFFFFFFFFu;  // the class of the encoding at fault, when readable
    bool classRead = false;
    std::uint32_t outerClassId = 0xFFFFFFFFu;  // the outermost encoding's class, when readable
    // Members leading from the outermost object to the encoding at fault
    // ("NIBPData", "Container[0].Container[1]"); empty for the outermost.
    char path[256] = {};
    // The member of the encoding at fault that failed a member check, else empty.
    char member[64] = {};
    std::uint64_t found = 0;
    std::uint64_t expected = 0;
    // For kMemberData: "not a whole number of elements" when the member's
    // byte length is no multiple of its element size (found: bytes; expected:
    // element size); null when its data runs past the encoding.
    const char* detail = nullptr;
    bool overBudget = false;  // kOutOfMemory caused by the construction budget
    // Size of the outermost encoding (its stated total), once its header was read.
    std::size_t size = 0;

    explicit operator bool() const { return check != DecodeCheck::kNone; }
};

// An object that a DecodeObject call built and owns; destroys the object
// with it. Move-only.
class XQOVA_API DecodedObject {
public:
    DecodedObject() = default;
    explicit DecodedObject(CXQOVAObject* object) : object_(object) {}
    DecodedObject(DecodedObject&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
    DecodedObject& operator=(DecodedObject&& other) noexcept;
    DecodedObject(const DecodedObject&) = delete;
    DecodedObject& operator=(const DecodedObject&) = delete;
    ~DecodedObject();

    CXQOVAObject* Get() const { return object_; }
    CXQOVAObject* operator->() const { return object_; }
    CXQOVAObject& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    CXQOVAObject* object_ = nullptr;
};

// Builds an object from the encoding at the start of `bytes` (`length`
// bytes readable; bytes after the encoding are not read) and decodes it
// strictly: the result holds an object only when the encoding and
// everything nested in it decoded completely (every nested object and vector
// element of a known class, laid out as its definition says). Otherwise it is
// empty and `report` (when given) says why. The object borrows the
// dictionary, which must outlive it. Runs under the construction budget
// (xqova/core/budget.h).
XQOVA_API DecodedObject DecodeObject(CXQOVADictionary* dictionary, const unsigned char* bytes, std::size_t length,
                                     DecodeReport* report);

}  // namespace xqova

#endif
