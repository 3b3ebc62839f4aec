// The member accessor: the handle through which one member of an object is
// read and written.
//
// An accessor is the storage of one member itself (see object.h for how an
// object lays its accessors out), so what it answers always reflects the
// object's current values. Reads never fail loudly: a member that cannot be
// read as the requested type gives 0, 0.0, an all-zero time or null.
//
// Integer types. The 32-bit conversions and setters use std::int32_t and
// std::uint32_t, so results are the same on every data model. Besides the
// listed types, an accessor converts to any other integral type (long and
// unsigned long on LP64, long long, ...): a signed target gets the value as
// the std::int32_t conversion gives it, an unsigned one as the std::uint32_t
// conversion gives it. `bool` is deliberately left out: test a member with an
// explicit comparison.
#ifndef XQOVA_OBJECT_MEMBER_ACCESSOR_H
#define XQOVA_OBJECT_MEMBER_ACCESSOR_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "xqova/dictionary/member_type.h"
#include "xqova/core/export.h"
#include "xqova/core/types.h"

class CXQOVAObject;
class CXQOVAVector;

namespace xqova {
namespace detail {

// True for the integral types that have a conversion or setter of their own.
template <class T>
struct IsListedIntegral
    : std::integral_constant<bool, std::is_same<T, char>::value || std::is_same<T, signed char>::value ||
                                       std::is_same<T, unsigned char>::value || std::is_same<T, short>::value ||
                                       std::is_same<T, unsigned short>::value ||
                                       std::is_same<T, std::int32_t>::value ||
                                       std::is_same<T, std::uint32_t>::value || std::is_same<T, bool>::value> {};

// Integral types that are routed through the 32-bit conversions instead.
template <class T>
using EnableOtherIntegral =
    typename std::enable_if<std::is_integral<T>::value && !IsListedIntegral<T>::value, int>::type;

}  // namespace detail
}  // namespace xqova

class XQOVA_API CXQOVAData_u {
public:
    // An accessor is owned by its object: it is neither copied nor assigned,
    // since a copy would share the member's buffer, nested object or vector.
    // Values move between objects with CXQOVAObject::Copy.
    CXQOVAData_u(const CXQOVAData_u&) = delete;
    CXQOVAData_u& operator=(const CXQOVAData_u&) = delete;

    // ---- Queries --------------------------------------------------------
    std::uint8_t Type() const { return type_; }
    // 1 for a member, 0 for the accessor that stands for no member.
    std::uint8_t Available() const;
    // Element bytes: 8 for TIME, 4 for OBJECT, else width code + 1.
    std::uint8_t Size() const;
    // 1 for a scalar or single object; a vector's element count; an UNBOUNDED
    // text member's characters without the terminator; else `elements`.
    std::uint16_t Elements() const;
    std::uint32_t Alias() const;
    std::uint8_t Units() const;
    std::uint16_t ScaleCoefficient() const;
    signed char ScaleExponent() const;
    // The localised name of this member, through the owner's string table.
    const char* Text(std::uint8_t language);

    // ---- Scalar conversions --------------------------------------------
    operator std::int32_t() const;
    operator std::uint32_t() const;
    operator signed char() const;
    operator char() const;
    operator unsigned char() const;
    operator short() const;
    operator unsigned short() const;
    operator double() const;
    operator float() const;
    operator QOVA_TIME() const;

    template <class T, xqova::detail::EnableOtherIntegral<T> = 0>
    operator T() const {
        return std::is_signed<T>::value ? static_cast<T>(static_cast<std::int32_t>(*this))
                                        : static_cast<T>(static_cast<std::uint32_t>(*this));
    }

    // ---- Pointer conversions (the member's buffer, or null) -------------
    operator signed char*() const;
    operator char*() const;
    operator unsigned char*() const;
    operator short*() const;
    operator unsigned short*() const;
    operator std::int32_t*() const;
    operator std::uint32_t*() const;
    operator float*() const;
    operator double*() const;
    operator QOVA_TIME*() const;
    operator CXQOVAObject*() const;
    operator CXQOVAVector*() const;
    operator void*() const;

    // ---- Writes ---------------------------------------------------------
    // Sets a scalar numeric member; anything else is left unchanged.
    CXQOVAData_u& operator=(std::uint32_t value);

    // Sets an array member from `count` elements (1 success, 0 failure). A
    // text member given a non-null pointer and count 0 through the char or
    // unsigned short form holds the empty text.
    std::uint8_t Set(const char* data, std::uint16_t count);
    std::uint8_t Set(const signed char* data, std::uint16_t count);
    std::uint8_t Set(const unsigned char* data, std::uint16_t count);
    std::uint8_t Set(const short* data, std::uint16_t count);
    std::uint8_t Set(const unsigned short* data, std::uint16_t count);
    std::uint8_t Set(const std::int32_t* data, std::uint16_t count);
    std::uint8_t Set(const std::uint32_t* data, std::uint16_t count);
    std::uint8_t Set(const float* data, std::uint16_t count);
    std::uint8_t Set(const double* data, std::uint16_t count);
    std::uint8_t Set(const QOVA_TIME* data, std::uint16_t count);

    // Bits of a BITMASK member: bit k is bit k % 8 of byte k / 8 of the
    // member's bytes in host order.
    std::uint8_t GetBit(std::uint16_t bit) const;
    std::uint8_t SetBit(std::uint16_t bit, std::uint8_t value);

private:
    friend class CXQOVAObject;
    friend class CXQOVAVector;

    CXQOVAData_u();
    explicit CXQOVAData_u(std::uint8_t type);

    // Shared array write behind every Set and CXQOVAObject::SetBuffer.
    // `width` is the element width, 3 standing for TIME (8-byte elements).
    std::uint8_t SetData(const void* data, std::uint8_t width, std::uint16_t count, std::uint8_t isFloat);
    // The char / unsigned short forms: the empty-text rule, then SetData.
    std::uint8_t SetText(const void* data, std::uint8_t width, std::uint16_t count);
    void* GetPtr(std::uint8_t width, std::uint8_t isFloat) const;

    // Releases the buffer, nested object or vector this accessor holds (as its
    // object ends) and leaves the accessor empty.
    void ReleaseStorage();

    bool IsSentinel() const { return type_ == xqova::MemberType::kNoMember; }
    bool IsConvertibleScalar() const;
    bool IsArrayAccessor() const { return xqova::MemberType(type_).IsArray(); }
    std::uint32_t Low32() const;
    // Stores `real` into a float-kind convertible scalar and the low bytes
    // of `bits` into any other.
    void StoreNumber(double real, std::uint32_t bits);

    // Storage; see the layout notes in object.h.
    alignas(8) unsigned char value_[8];  // scalar value, host order, first bytes
    void* buffer_;                        // array buffer, CXQOVAObject* or CXQOVAVector*
    std::uint16_t elements_;
    std::uint16_t size_;
    std::uint8_t type_;
    std::uint16_t position_;              // definition position of the member
    std::uint16_t attributeSize_;
    const unsigned char* attributes_;
    CXQOVAObject* owner_;
};

#endif
