// Value texts of the XML documents: the CDATA content of a member, its
// length as the 8-bit size counts it, and the number texts behind both.
//
// The texts by member (the element size is 8 for TIME, else width code + 1):
//   TIME              "YYYY/MM/DD hh:mm:ss ff", each field at least that wide
//   character scalar  the one character, nothing for 0
//   float             sign, digit, point, 9 (4-byte) or 16 (8-byte) digits,
//                     "E", exponent sign and exactly three exponent digits:
//                     17 or 24 characters. Infinities and NaN are written
//                     "+INF", "-INF", "+NAN" or "-NAN" (the sign bit decides),
//                     shorter than any count made for a float.
//   unsigned integer  decimal of the first 32 bits
//   signed integer    decimal of the first min(element size, 4) bytes,
//                     sign-extended from their top bit
//   arrays            every element so, each followed by ";"; except
//                     character arrays, which are text up to the first zero
//                     character (never more than the element count)
// Eight-byte integers take part with their low 32 bits only.
#ifndef XQOVA_ENCODING_XML_TEXT_H
#define XQOVA_ENCODING_XML_TEXT_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "xqova/core/guid_time.h"
#include "xqova/core/types.h"
#include "xqova/dictionary/definition.h"
#include "xqova/object/numeric.h"

namespace xqova {
namespace xml {

// A member's value as the documents read it: the type byte, the 8-byte
// inline value of a scalar, and an array's buffer with its element count.
struct MemberValue {
    std::uint8_t type;
    const unsigned char* value;  // 8 bytes, host order
    const unsigned char* data;   // array buffer; null when none is held
    std::uint16_t elements;      // elements in the buffer
};

// How a type byte's value is written.
enum class ValueKind : std::uint8_t { Time, Character, Float, Unsigned, Signed };
inline ValueKind KindOf(std::uint8_t type) {
    const MemberType t(type);
    if (t.IsTime()) return ValueKind::Time;
    if (t.IsText()) return ValueKind::Character;
    if (t.IsFloat()) return ValueKind::Float;
    // integers and BITMASK members
    return t.IsUnsigned() ? ValueKind::Unsigned : ValueKind::Signed;
}

// Integer elements are read by their low 32 bits, sign-extended from their
// top bit for signed members (bit 31 for 4- and 8-byte ones).
using detail::LoadLow32;
using detail::SignExtend;
using detail::ReadFloating;

// Number texts, written into `out` (kNumberTextSize bytes, terminated); each
// returns the text's length.
constexpr std::size_t kNumberTextSize = 32;
std::size_t UnsignedText(std::uint32_t value, char* out);
std::size_t SignedText(std::int32_t value, char* out);
std::size_t FloatText(double value, bool single, char* out);
// The length of a QOVA_TIME text (22 at the least). `out` holds 30 bytes.
std::size_t TimeText(const QOVA_TIME& time, char* out);

// Digits of an unsigned number (at least 1); of a signed one with its "-".
inline unsigned DecimalLength(std::uint32_t value) {
    if (value < 10) return 1;
    if (value < 100) return 2;
    if (value < 1000) return 3;
    if (value < 10000) return 4;
    if (value < 100000) return 5;
    if (value < 1000000) return 6;
    if (value < 10000000) return 7;
    if (value < 100000000) return 8;
    if (value < 1000000000) return 9;
    return 10;
}
inline unsigned SignedDecimalLength(std::int32_t value) {
    if (value >= 0) return DecimalLength(static_cast<std::uint32_t>(value));
    // The magnitude of INT32_MIN does not fit an int32_t; it does a uint32_t.
    return 1 + DecimalLength(0u - static_cast<std::uint32_t>(value));
}
// Characters of a float text as the size counts it: 17 or 24.
constexpr unsigned kFloat32TextLength = 17;
constexpr unsigned kFloat64TextLength = 24;

// Length of the value text as the 8-bit size counts it. It equals what the
// 8-bit writer writes, except for non-finite floats (counted at full length)
// and wide characters above 255 (counted, though the 8-bit writer stops there).
// Arrays are counted out of line.
std::uint32_t ArrayTextLength(const MemberValue& v);

inline std::uint32_t ValueTextLength(const MemberValue& v) {
    const MemberType type(v.type);
    if (type.IsArray()) return ArrayTextLength(v);
    const std::uint8_t w = type.Width();
    switch (KindOf(v.type)) {
        case ValueKind::Time: {
            QOVA_TIME time;
            std::memcpy(&time, v.value, sizeof time);
            return TimeTextLength(time);
        }
        case ValueKind::Character: {
            const std::uint32_t c = LoadLow32(v.value, w);
            return (c < 256 && c != 0) ? 1 : 0;
        }
        case ValueKind::Float:
            return type.ElementSize() <= 4 ? kFloat32TextLength : kFloat64TextLength;
        case ValueKind::Unsigned:
            return DecimalLength(LoadLow32(v.value, w));
        case ValueKind::Signed:
            return SignedDecimalLength(SignExtend(LoadLow32(v.value, w), w));
    }
    return 0;
}

// Writes the value text through a sink, which provides:
//   Ascii(const char*, n)          ASCII text
//   Text(const char*, n)           8-bit text held by the object (one piece)
//   Unsigned(u32), Signed(i32), Float(double, single), Time(const QOVA_TIME&)
//   Character(elementSize, low32)  a character scalar that is not 0
//   WideCharacter(low32) -> bool   the next non-zero element of a character
//                                  array of 2-byte (or wider) elements;
//                                  false ends the text
template <class Sink>
void WriteValueText(Sink& sink, const MemberValue& v) {
    const MemberType type(v.type);
    const std::uint8_t w = type.Width();
    const std::uint16_t size = type.ElementSize();
    const ValueKind kind = KindOf(v.type);

    if (!type.IsArray()) {
        switch (kind) {
            case ValueKind::Time: {
                QOVA_TIME time;
                std::memcpy(&time, v.value, sizeof time);
                sink.Time(time);
                return;
            }
            case ValueKind::Character: {
                const std::uint32_t c = LoadLow32(v.value, w);
                if (c != 0) sink.Character(size, c);
                return;
            }
            case ValueKind::Float:
                sink.Float(ReadFloating(v.value, size <= 4), size <= 4);
                return;
            case ValueKind::Unsigned:
                sink.Unsigned(LoadLow32(v.value, w));
                return;
            case ValueKind::Signed:
                sink.Signed(SignExtend(LoadLow32(v.value, w), w));
                return;
        }
        return;
    }

    if (v.data == nullptr) return;
    const unsigned char* p = v.data;
    const std::uint16_t n = v.elements;
    switch (kind) {
        case ValueKind::Time:
            for (std::uint16_t i = 0; i < n; ++i, p += size) {
                QOVA_TIME time;
                std::memcpy(&time, p, sizeof time);
                sink.Time(time);
                sink.Ascii(";", 1);
            }
            return;
        case ValueKind::Character:
            if (size == 1) {
                const void* end = std::memchr(p, 0, n);
                const std::size_t length = end == nullptr ? n : static_cast<std::size_t>(static_cast<const unsigned char*>(end) - p);
                sink.Text(reinterpret_cast<const char*>(p), length);
                return;
            }
            for (std::uint16_t i = 0; i < n; ++i, p += size) {
                const std::uint32_t c = LoadLow32(p, w);
                if (c == 0 || !sink.WideCharacter(c)) return;
            }
            return;
        case ValueKind::Float:
            // Floating elements of one or two bytes hold no float: nothing.
            if (size != 4 && size != 8) return;
            for (std::uint16_t i = 0; i < n; ++i, p += size) {
                sink.Float(ReadFloating(p, size == 4), size == 4);
                sink.Ascii(";", 1);
            }
            return;
        case ValueKind::Unsigned:
            for (std::uint16_t i = 0; i < n; ++i, p += size) {
                sink.Unsigned(LoadLow32(p, w));
                sink.Ascii(";", 1);
            }
            return;
        case ValueKind::Signed:
            for (std::uint16_t i = 0; i < n; ++i, p += size) {
                sink.Signed(SignExtend(LoadLow32(p, w), w));
                sink.Ascii(";", 1);
            }
            return;
    }
}

}  // namespace xml
}  // namespace xqova

#endif
