// The member type byte as a value with named queries. This is the one place
// that knows which bits of a type byte mean what; everything else asks here
// (the layout of an encoding's header is in encoding_structure.h).
#ifndef XQOVA_DICTIONARY_MEMBER_TYPE_H
#define XQOVA_DICTIONARY_MEMBER_TYPE_H

#include <cstddef>
#include <cstdint>

#include "xqova/core/types.h"

namespace xqova {

class MemberType {
public:
    // Bits of the type byte.
    static constexpr std::uint8_t kWidthMask = 0x07;
    static constexpr std::uint8_t kKindMask = 0x38;
    static constexpr std::uint8_t kFloatOrBitmask = 0x28;  // both set: BITMASK; 0x20 alone: float
    static constexpr std::uint8_t kUnsignedBit = 0x10;     // for OBJECT: the inherit member
    static constexpr std::uint8_t kCharacterBit = 0x08;
    static constexpr std::uint8_t kFloatBit = 0x20;
    static constexpr std::uint8_t kUnboundedBit = 0x40;
    static constexpr std::uint8_t kFixedArrayBit = 0x80;
    static constexpr std::uint8_t kArrayBits = 0xC0;
    // Width codes.
    static constexpr std::uint8_t kWidthTime = 0x02;
    static constexpr std::uint8_t kWidthObject = 0x06;
    // Whole type bytes with a meaning of their own.
    static constexpr std::uint8_t kSingleObject = 0x06;
    static constexpr std::uint8_t kInherit = 0x16;
    static constexpr std::uint8_t kUnboundedVector = 0x46;
    static constexpr std::uint8_t kFixedVector = 0x86;
    static constexpr std::uint8_t kNoMember = 0xF8;  // the type of the accessor that stands for no member

    constexpr MemberType() : byte_(kNoMember) {}
    constexpr explicit MemberType(std::uint8_t byte) : byte_(byte) {}

    constexpr std::uint8_t Byte() const { return byte_; }
    constexpr std::uint8_t Width() const { return static_cast<std::uint8_t>(byte_ & kWidthMask); }
    constexpr std::uint8_t Kind() const { return static_cast<std::uint8_t>(byte_ & kKindMask); }
    // Bytes of one element: 8 for TIME, 4 (a pointer's slot) for OBJECT, else width code + 1.
    constexpr std::uint16_t ElementSize() const {
        return Width() == kWidthTime ? 8 : Width() == kWidthObject ? 4 : static_cast<std::uint16_t>(Width() + 1);
    }
    // The width code + 1, which the array setters compare with their element width.
    constexpr std::uint8_t WidthCodePlusOne() const { return static_cast<std::uint8_t>(Width() + 1); }

    constexpr bool IsObject() const { return Width() == kWidthObject; }
    constexpr bool IsTime() const { return Width() == kWidthTime; }
    constexpr bool IsUnbounded() const { return (byte_ & kUnboundedBit) != 0; }
    constexpr bool IsFixedArray() const { return (byte_ & kFixedArrayBit) != 0; }
    // Fixed array, UNBOUNDED member or vector (and the no-member type).
    constexpr bool IsArray() const { return (byte_ & kArrayBits) != 0; }
    constexpr bool IsVector() const { return IsObject() && IsArray(); }
    constexpr bool IsSingleObject() const { return IsObject() && !IsArray(); }
    constexpr bool IsInherit() const { return byte_ == kInherit; }
    constexpr bool IsFloat() const { return (byte_ & kFloatOrBitmask) == kFloatBit; }
    constexpr bool IsText() const { return (byte_ & kFloatOrBitmask) == kCharacterBit; }
    constexpr bool IsBitmask() const { return (byte_ & kFloatOrBitmask) == kFloatOrBitmask; }
    constexpr bool IsUnsigned() const { return (byte_ & kUnsignedBit) != 0 && !IsFloat(); }
    constexpr bool IsSigned() const { return (byte_ & kUnsignedBit) == 0 && !IsFloat(); }
    constexpr bool IsNoMember() const { return byte_ == kNoMember; }
    // Numbers, characters and bitmasks held in the accessor itself: below
    // 0x40 with a width of 1, 2, 4 or 8 bytes (not TIME, not OBJECT).
    constexpr bool IsConvertibleScalar() const {
        return byte_ < kUnboundedBit && (Width() == 0 || Width() == 1 || Width() == 3 || Width() == 5 || Width() == 7);
    }
    // Members of the fixed section of an encoding: not OBJECT, not UNBOUNDED.
    constexpr bool InFixedSection() const { return !IsObject() && !IsUnbounded(); }
    // Members of the variable section: OBJECT or UNBOUNDED.
    constexpr bool InVariableSection() const { return !InFixedSection(); }
    // The byte with the BITMASK pair cleared and without the array bits, by
    // which text forms name the type.
    constexpr std::uint8_t NameKey() const {
        return static_cast<std::uint8_t>(IsBitmask() ? (byte_ & 0x3F & ~kFloatOrBitmask) : (byte_ & 0x3F));
    }

    // Whether the elements of a vector carry a u16 size before each of them:
    // a vector of a named class without a fixed count (a fixed count of 0
    // included). The one rule for writers, readers and the shape walk.
    static constexpr bool VectorHasSizePrefixes(std::uint32_t elementClass, std::uint16_t fixedCount) {
        return elementClass != kNoClass && fixedCount == 0;
    }
    // A vector whose element count is fixed by its member: a named class
    // with a fixed count above 0.
    static constexpr bool VectorIsFixed(std::uint32_t elementClass, std::uint16_t fixedCount) {
        return elementClass != kNoClass && fixedCount != 0;
    }

private:
    std::uint8_t byte_;
};

}  // namespace xqova

#endif
