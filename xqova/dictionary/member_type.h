// The member type byte as a value with named queries, and the layout of the
// header of an object encoding. This is the one place that knows which bits
// of a type byte mean what and at which offsets the header fields of an
// encoding lie; everything else asks here.
#ifndef XQOVA_DICTIONARY_MEMBER_TYPE_H
#define XQOVA_DICTIONARY_MEMBER_TYPE_H

#include <cstddef>
#include <cstdint>

#include "xqova/core/bytes.h"
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

// Offsets of the header fields of an object encoding, for a length field of
// `width` (2 or 4) bytes.
struct EncodingLayout {
    static constexpr std::size_t kClassId = 0;
    static constexpr std::size_t kLength = 4;
    static constexpr std::size_t Version(std::size_t width) { return 4 + width; }
    static constexpr std::size_t Status(std::size_t width) { return 6 + width; }
    static constexpr std::size_t FixedSize(std::size_t width) { return 7 + width; }
    static constexpr std::size_t FixedSection(std::size_t width) { return 9 + width; }
    static constexpr std::size_t kChecksumSize = 2;
    // The smallest encoding: header, version, status, fixed size, checksum.
    static constexpr std::size_t Minimum(std::size_t width) { return 11 + width; }
};

// The one reader of the structure of encodings: the decoder and the
// construction of objects from bytes both step through an encoding with
// these, so they agree on where every header field, nested encoding and
// size prefix lies. None of them checks a checksum.

// A window [pos, end) of bytes; every read is checked against end.
class ByteWindow {
public:
    ByteWindow(const unsigned char* bytes, std::size_t pos, std::size_t end) : bytes_(bytes), pos_(pos), end_(end) {}
    std::size_t Remaining() const { return end_ - pos_; }
    bool AtEnd() const { return pos_ == end_; }
    const unsigned char* Here() const { return bytes_ + pos_; }
    bool Skip(std::size_t n) {
        if (Remaining() < n) return false;
        pos_ += n;
        return true;
    }
    bool U16(std::uint16_t* v) {
        if (Remaining() < 2) return false;
        *v = LoadBig16(bytes_ + pos_);
        pos_ += 2;
        return true;
    }
    bool U32(std::uint32_t* v) {
        if (Remaining() < 4) return false;
        *v = LoadBig32(bytes_ + pos_);
        pos_ += 4;
        return true;
    }

private:
    const unsigned char* bytes_;
    std::size_t pos_;
    std::size_t end_;
};

// The total size of the encoding at p when its header lies within
// `available` bytes and states at least a complete header and no more than
// `available`; 0 otherwise.
inline std::size_t EncodingExtent(const unsigned char* p, std::size_t available) {
    if (available < 4) return 0;
    const std::size_t total = BoundedTotal(p, available);
    return total >= EncodingLayout::Minimum(HeaderLengthWidth(LoadBig32(p))) ? total : 0;
}

// The header of an encoding whose extent is known to be sound.
struct EncodingHeader {
    std::uint32_t classId = kNoClass;
    std::size_t width = 2;
    std::size_t total = 0;
    std::uint16_t version = 0;
    std::uint8_t status = 0;
    std::uint16_t fixedSize = 0;

    // False, with nothing read, when the bytes hold no encoding extent
    // (EncodingExtent gives 0).
    bool Read(const unsigned char* p, std::size_t available) {
        total = EncodingExtent(p, available);
        if (total == 0) return false;
        classId = LoadBig32(p);
        width = HeaderLengthWidth(classId);
        version = LoadBig16(p + EncodingLayout::Version(width));
        status = p[EncodingLayout::Status(width)];
        fixedSize = LoadBig16(p + EncodingLayout::FixedSize(width));
        return true;
    }
    std::size_t FixedStart() const { return EncodingLayout::FixedSection(width); }
    // Where the checksum starts: the end of the variable section.
    std::size_t ChecksumAt() const { return total - EncodingLayout::kChecksumSize; }
};

// A single nested object at the window's position: u32 size, then an
// encoding of exactly that size. Gives the encoding and its size and steps
// over both; false (the window possibly moved) when they do not lie within it.
inline bool NextNestedObject(ByteWindow* window, const unsigned char** nested, std::size_t* size) {
    std::uint32_t stated;
    if (!window->U32(&stated) || stated > window->Remaining()) return false;
    if (EncodingExtent(window->Here(), stated) != stated) return false;
    *nested = window->Here();
    *size = stated;
    window->Skip(stated);
    return true;
}

// One element of a vector: an optional u16 size, then an encoding (of
// exactly that size when the size is there). Gives the element and its size
// and steps over both; false when they do not lie within the window.
inline bool NextVectorElement(ByteWindow* window, bool sizePrefixes, const unsigned char** element,
                              std::size_t* size) {
    if (sizePrefixes) {
        std::uint16_t prefix;
        if (!window->U16(&prefix) || prefix > window->Remaining()) return false;
        if (EncodingExtent(window->Here(), prefix) != prefix) return false;
        *size = prefix;
    } else {
        *size = EncodingExtent(window->Here(), window->Remaining());
        if (*size == 0) return false;
    }
    *element = window->Here();
    window->Skip(*size);
    return true;
}

// Steps over a vector: u16 count, then its elements. Gives the count and the
// version of the last element (0xFFFF when there is none); false when the
// vector does not lie within the window.
inline bool SkipVector(ByteWindow* window, bool sizePrefixes, std::uint16_t* count, std::uint16_t* lastVersion) {
    *lastVersion = 0xFFFF;
    if (!window->U16(count)) return false;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const unsigned char* element;
        std::size_t size;
        if (!NextVectorElement(window, sizePrefixes, &element, &size)) return false;
        *lastVersion = LoadBig16(element + EncodingLayout::Version(HeaderLengthWidth(LoadBig32(element))));
    }
    return true;
}

// Steps over an UNBOUNDED member: u16 byte length, then the bytes. Gives the
// length; false when they do not lie within the window.
inline bool SkipUnbounded(ByteWindow* window, std::uint16_t* bytes) {
    return window->U16(bytes) && window->Skip(*bytes);
}

}  // namespace xqova

#endif
