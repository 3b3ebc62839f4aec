// Number conversions shared by the member accessor and the setters.
#ifndef XQOVA_OBJECT_NUMERIC_H
#define XQOVA_OBJECT_NUMERIC_H

#include <cstdint>
#include <cstring>

namespace xqova {
namespace detail {

// Toward zero to a signed 32-bit number; NaN and values outside the range
// give 0x80000000, as the processor's truncating conversion does.
inline std::int32_t DoubleToInt32(double d) {
    if (!(d > -2147483649.0 && d < 2147483648.0)) return INT32_MIN;
    return static_cast<std::int32_t>(d);
}

// Toward zero to a signed 64-bit number (NaN and values outside the range
// give 0x8000000000000000), then its low 32 bits: -1.0 gives 0xFFFFFFFF.
inline std::uint32_t DoubleToLow32(double d) {
    if (!(d > -9223372036854775808.0 && d < 9223372036854775808.0)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(d)));
}

// Stores the low bytes of a 32-bit number as a host-order integer of the
// member's width code into an 8-byte value already cleared; an 8-byte member
// gets the number zero-extended.
inline void StoreLow(unsigned char* value, std::uint8_t width, std::uint32_t v) {
    switch (width) {
        case 0: {
            const std::uint8_t x = static_cast<std::uint8_t>(v);
            std::memcpy(value, &x, 1);
            break;
        }
        case 1: {
            const std::uint16_t x = static_cast<std::uint16_t>(v);
            std::memcpy(value, &x, 2);
            break;
        }
        case 7: {
            const std::uint64_t x = v;
            std::memcpy(value, &x, 8);
            break;
        }
        default:
            std::memcpy(value, &v, 4);
            break;
    }
}

// The low 32 bits of a host-order integer of width code 0, 1, 3 or 7 at `p`
// (a 1-, 2-, 4- or 8-byte integer, read whole, so that the result does not
// depend on the host's byte order), and of width code 5, whose 6-byte value
// holds the 4 bytes StoreLow put there. Other width codes hold no integer: 0.
inline std::uint32_t LoadLow32(const unsigned char* p, std::uint8_t width) {
    switch (width) {
        case 0:
            return *p;
        case 1: {
            std::uint16_t x;
            std::memcpy(&x, p, sizeof x);
            return x;
        }
        case 3:
        case 5: {
            std::uint32_t x;
            std::memcpy(&x, p, sizeof x);
            return x;
        }
        case 7: {
            std::uint64_t x;
            std::memcpy(&x, p, sizeof x);
            return static_cast<std::uint32_t>(x);
        }
        default:
            return 0;
    }
}

// The low 32 bits of an integer of width code `width`, sign-extended from
// its top bit (bit 31 for the wider ones).
inline std::int32_t SignExtend(std::uint32_t low, std::uint8_t width) {
    switch (width) {
        case 0:
            return static_cast<std::int8_t>(static_cast<std::uint8_t>(low));
        case 1:
            return static_cast<std::int16_t>(static_cast<std::uint16_t>(low));
        default:
            return static_cast<std::int32_t>(low);
    }
}

// A float-kind value is an 8-byte double at width code 7 and a 4-byte float
// at every other width a definition allows (0, 1 and 3; 4 and 5 are refused).
constexpr bool IsDoubleWidth(std::uint8_t width) { return width == 7; }

// A floating value in host order, a float when `single`, else a double.
inline double ReadFloating(const unsigned char* p, bool single) {
    if (single) {
        float f;
        std::memcpy(&f, p, sizeof f);
        return f;
    }
    double d;
    std::memcpy(&d, p, sizeof d);
    return d;
}

// The value of a float-kind scalar, widened to double.
inline double LoadFloating(const unsigned char* value, std::uint8_t width) {
    return ReadFloating(value, !IsDoubleWidth(width));
}

// Stores a floating value into a cleared 8-byte value.
inline void StoreFloating(unsigned char* value, std::uint8_t width, double v) {
    if (IsDoubleWidth(width)) {
        std::memcpy(value, &v, sizeof v);
    } else {
        const float f = static_cast<float>(v);
        std::memcpy(value, &f, sizeof f);
    }
}

}  // namespace detail
}  // namespace xqova

#endif
