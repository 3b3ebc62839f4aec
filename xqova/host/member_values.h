// Reads of member values that say whether there was a value to read, and the
// physical value of a numeric member.
//
//     if (auto systolic = xqova::ReadPhysical(record, "NIBPData.Systolic")) {
//         std::printf("%g (units code %u)\n", systolic->value, systolic->units);
//     }
//     std::optional<std::string_view> id = xqova::ReadText(record, "Patient.Identifier");
//
// Each read takes a location (xqova::FindMember, member_path.h) or an object
// and a path, and gives nothing (std::nullopt) when the path finds no member
// or the member is not of a kind the read takes. An array member is read one
// element at a time: the path names the element ("Samples[2]"); a path
// naming a whole number array reads nothing. Nothing is allocated; a text
// view points into the member's buffer and lasts until the member is set
// again or its object reset or destroyed.
#ifndef XQOVA_HOST_MEMBER_VALUES_H
#define XQOVA_HOST_MEMBER_VALUES_H

#include <cstdint>
#include <optional>
#include <string_view>

#include "xqova/core/export.h"
#include "xqova/core/types.h"
#include "xqova/host/member_path.h"

namespace xqova {

constexpr std::uint8_t kNoUnits = 0xFF;  // units code of a member without units

// A numeric member's value as a quantity: the stored value times the scale
// coefficient times ten to the scale exponent, in the units the units code
// names. Members without scale attributes have coefficient 1 and exponent 0,
// so the value is the stored one.
struct PhysicalValue {
    double value = 0.0;             // stored x coefficient x 10^exponent
    double stored = 0.0;            // the member's value as held
    std::uint8_t units = kNoUnits;  // units code; kNoUnits for none
    std::uint16_t coefficient = 1;
    std::int8_t exponent = 0;
};

// Signed, unsigned and bitmask members. A 64-bit scalar is not read (the
// accessor gives its low 32 bits only), nor a uint64 element above the
// int64 range.
XQOVA_API std::optional<std::int64_t> ReadInteger(const MemberLocation& location);
// Integer, bitmask and float members, as double.
XQOVA_API std::optional<double> ReadNumber(const MemberLocation& location);
// What ReadNumber reads, with the member's units and scale.
XQOVA_API std::optional<PhysicalValue> ReadPhysical(const MemberLocation& location);
// An ansichar array (fixed or UNBOUNDED): its characters before the first
// zero character, never beyond the array.
XQOVA_API std::optional<std::string_view> ReadText(const MemberLocation& location);
// A TIME member, or an element of a TIME array.
XQOVA_API std::optional<QOVA_TIME> ReadTime(const MemberLocation& location);

inline std::optional<std::int64_t> ReadInteger(CXQOVAObject& root, const char* path) {
    return ReadInteger(FindMember(root, path));
}
inline std::optional<double> ReadNumber(CXQOVAObject& root, const char* path) {
    return ReadNumber(FindMember(root, path));
}
inline std::optional<PhysicalValue> ReadPhysical(CXQOVAObject& root, const char* path) {
    return ReadPhysical(FindMember(root, path));
}
inline std::optional<std::string_view> ReadText(CXQOVAObject& root, const char* path) {
    return ReadText(FindMember(root, path));
}
inline std::optional<QOVA_TIME> ReadTime(CXQOVAObject& root, const char* path) {
    return ReadTime(FindMember(root, path));
}

}  // namespace xqova

#endif
