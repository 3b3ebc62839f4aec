// What a member holds, named: the kind of its elements, told from the member's
// type byte, so that a host never tests raw type bits.
#ifndef XQOVA_HOST_MEMBER_KIND_H
#define XQOVA_HOST_MEMBER_KIND_H

#include <cstdint>

#include "xqova/core/export.h"

namespace xqova {

// The kind of a member's elements. Whether a member of a number, text or time
// kind holds one element or an array says its accessor's Elements() and
// MemberType(type).IsArray(); objects and vectors of objects are kinds of
// their own, since they are reached differently.
enum class MemberKind : std::uint8_t {
    kNoMember = 0,     // the accessor that stands for no member
    kSignedInteger,    // int8, int16, int32, int64
    kUnsignedInteger,  // uint8, uint16, uint32, uint64
    kFloat,            // float32, float64
    kText,             // ansichar (8-bit) or widechar (16-bit) characters
    kBitmask,          // an integer whose bits are named one by one
    kTime,             // a QOVA_TIME record
    kObject,           // one nested object
    kVector,           // a vector of objects (fixed count or growing)
    kBase,             // the base-class part of a derived object
    kUnknown           // a type byte no definition the library accepts has
};

// The kind of a type byte (CXQOVAData_u::Type(), CXQOVAObject::GetMemberAtType).
XQOVA_API MemberKind KindOfType(std::uint8_t type);

// A short English name of a kind: "signed integer", "text", "vector", ...
XQOVA_API const char* MemberKindName(MemberKind kind);

}  // namespace xqova

#endif
