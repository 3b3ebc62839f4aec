#include "xqova/host/member_values.h"

#include <cmath>
#include <cstring>

#include "xqova/dictionary/member_type.h"
#include "xqova/object/member_accessor.h"

namespace xqova {
namespace {

// The bytes of the element a location names in an array member's buffer
// (host order), or null: no element named, one past the array (a location
// is the caller's to change), or no buffer. Callers read scalars themselves.
const unsigned char* ElementBytes(const MemberLocation& location) {
    const CXQOVAData_u& member = *location.member;
    const MemberType type(member.Type());
    // kNoElement (0xFFFF) is at or past the end of every array.
    if (location.element >= member.Elements()) return nullptr;
    const void* buffer = member;
    if (buffer == nullptr) return nullptr;
    return static_cast<const unsigned char*>(buffer) + std::size_t{location.element} * type.ElementSize();
}

template <class T>
T Load(const unsigned char* bytes) {
    T v;
    std::memcpy(&v, bytes, sizeof v);
    return v;
}

// An integer element of `width` code, signed or not, as int64; false for a
// uint64 above the int64 range.
bool LoadInteger(const unsigned char* bytes, std::uint8_t width, bool isUnsigned, std::int64_t* out) {
    switch (width) {
        case 0:
            *out = isUnsigned ? std::int64_t{Load<std::uint8_t>(bytes)} : std::int64_t{Load<std::int8_t>(bytes)};
            return true;
        case 1:
            *out = isUnsigned ? std::int64_t{Load<std::uint16_t>(bytes)} : std::int64_t{Load<std::int16_t>(bytes)};
            return true;
        case 3:
            *out = isUnsigned ? std::int64_t{Load<std::uint32_t>(bytes)} : std::int64_t{Load<std::int32_t>(bytes)};
            return true;
        default: {
            if (!isUnsigned) {
                *out = Load<std::int64_t>(bytes);
                return true;
            }
            const auto v = Load<std::uint64_t>(bytes);
            if (v > 0x7FFFFFFFFFFFFFFFull) return false;
            *out = static_cast<std::int64_t>(v);
            return true;
        }
    }
}

bool IsIntegerKind(MemberKind kind) {
    return kind == MemberKind::kSignedInteger || kind == MemberKind::kUnsignedInteger || kind == MemberKind::kBitmask;
}

// Ten to the power n, exact while n <= 22.
double PowerOfTen(unsigned n) {
    if (n > 22) return std::pow(10.0, static_cast<double>(n));
    double p = 1.0;
    while (n-- > 0) p *= 10.0;
    return p;
}

}  // namespace

std::optional<std::int64_t> ReadInteger(const MemberLocation& location) {
    if (!IsIntegerKind(location.Kind())) return std::nullopt;
    const CXQOVAData_u& member = *location.member;
    const MemberType type(member.Type());
    std::int64_t value = 0;
    if (type.IsArray()) {
        const unsigned char* bytes = ElementBytes(location);
        if (bytes == nullptr || !LoadInteger(bytes, type.Width(), type.IsUnsigned(), &value)) return std::nullopt;
        return value;
    }
    if (type.Width() == 7) return std::nullopt;
    if (type.IsUnsigned()) return std::int64_t{static_cast<std::uint32_t>(member)};
    return std::int64_t{static_cast<std::int32_t>(member)};
}

std::optional<double> ReadNumber(const MemberLocation& location) {
    if (location.Kind() != MemberKind::kFloat) {
        const std::optional<std::int64_t> integer = ReadInteger(location);
        if (!integer) return std::nullopt;
        return static_cast<double>(*integer);
    }
    const CXQOVAData_u& member = *location.member;
    const MemberType type(member.Type());
    if (!type.IsArray()) return static_cast<double>(member);
    const unsigned char* bytes = ElementBytes(location);
    if (bytes == nullptr) return std::nullopt;
    return type.Width() == 7 ? Load<double>(bytes) : static_cast<double>(Load<float>(bytes));
}

std::optional<PhysicalValue> ReadPhysical(const MemberLocation& location) {
    const std::optional<double> stored = ReadNumber(location);
    if (!stored) return std::nullopt;
    const CXQOVAData_u& member = *location.member;
    PhysicalValue physical;
    physical.stored = *stored;
    physical.units = member.Units();
    physical.coefficient = member.ScaleCoefficient();
    physical.exponent = member.ScaleExponent();
    const double scaled = *stored * physical.coefficient;
    const double power = PowerOfTen(static_cast<unsigned>(physical.exponent < 0 ? -physical.exponent : physical.exponent));
    // Dividing by an exact power keeps 365 x 10^-1 at 36.5.
    physical.value = physical.exponent < 0 ? scaled / power : scaled * power;
    return physical;
}

std::optional<std::string_view> ReadText(const MemberLocation& location) {
    if (location.Kind() != MemberKind::kText || location.element != kNoElement) return std::nullopt;
    const CXQOVAData_u& member = *location.member;
    const MemberType type(member.Type());
    if (type.Width() != 0 || !type.IsArray()) return std::nullopt;
    const char* text = member;
    if (text == nullptr) return std::string_view();
    const std::size_t limit = member.Elements();
    std::size_t length = 0;
    while (length < limit && text[length] != '\0') ++length;
    return std::string_view(text, length);
}

std::optional<QOVA_TIME> ReadTime(const MemberLocation& location) {
    if (location.Kind() != MemberKind::kTime) return std::nullopt;
    const CXQOVAData_u& member = *location.member;
    if (!MemberType(member.Type()).IsArray()) return static_cast<QOVA_TIME>(member);
    const unsigned char* bytes = ElementBytes(location);
    if (bytes == nullptr) return std::nullopt;
    return Load<QOVA_TIME>(bytes);
}

}  // namespace xqova
