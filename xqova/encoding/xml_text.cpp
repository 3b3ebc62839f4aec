#include "xqova/encoding/xml_text.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace xqova {
namespace xml {

ValueKind KindOf(std::uint8_t type) {
    if ((type & kTypeWidthMask) == kTypeTime) return ValueKind::Time;
    switch (type & 0x28) {
        case 0x08:
            return ValueKind::Character;
        case 0x20:
            return ValueKind::Float;
        default:  // integers and BITMASK members
            return (type & 0x10) ? ValueKind::Unsigned : ValueKind::Signed;
    }
}

std::uint32_t ElementLow32(const unsigned char* p, std::uint8_t widthCode) {
    switch (widthCode) {
        case 0:
            return *p;
        case 1: {
            std::uint16_t v;
            std::memcpy(&v, p, sizeof v);
            return v;
        }
        case 7: {
            std::uint64_t v;
            std::memcpy(&v, p, sizeof v);
            return static_cast<std::uint32_t>(v);
        }
        default: {
            std::uint32_t v;
            std::memcpy(&v, p, sizeof v);
            return v;
        }
    }
}

std::int32_t SignExtend(std::uint32_t low, std::uint8_t widthCode) {
    switch (widthCode) {
        case 0:
            return static_cast<std::int8_t>(static_cast<std::uint8_t>(low));
        case 1:
            return static_cast<std::int16_t>(static_cast<std::uint16_t>(low));
        default:
            return static_cast<std::int32_t>(low);
    }
}

double ReadFloating(const unsigned char* p, bool single) {
    if (single) {
        float f;
        std::memcpy(&f, p, sizeof f);
        return f;
    }
    double d;
    std::memcpy(&d, p, sizeof d);
    return d;
}

std::size_t UnsignedText(std::uint32_t value, char* out) {
    const int n = std::snprintf(out, kNumberTextSize, "%" PRIu32, value);
    return n < 0 ? 0 : static_cast<std::size_t>(n);
}

std::size_t SignedText(std::int32_t value, char* out) {
    const int n = std::snprintf(out, kNumberTextSize, "%" PRId32, value);
    return n < 0 ? 0 : static_cast<std::size_t>(n);
}

std::size_t FloatText(double value, bool single, char* out) {
    const char sign = std::signbit(value) ? '-' : '+';
    if (!std::isfinite(value)) {
        out[0] = sign;
        std::memcpy(out + 1, std::isnan(value) ? "NAN" : "INF", 4);
        return 4;
    }
    // The C library writes at least two exponent digits, some three, and the
    // locale's decimal point: the text is rebuilt from its digits so that it
    // is the same everywhere.
    const int digits = single ? 9 : 16;
    char formatted[48];
    const int n = std::snprintf(formatted, sizeof formatted, "%+.*E", digits, value);
    const char* e = n > 0 ? std::strchr(formatted, 'E') : nullptr;
    if (e == nullptr || e - formatted < digits + 3) {
        out[0] = '\0';
        return 0;
    }
    int exponent = std::atoi(e + 1);
    std::size_t length = 0;
    out[length++] = sign;
    out[length++] = formatted[1];
    out[length++] = '.';
    std::memcpy(out + length, e - digits, static_cast<std::size_t>(digits));
    length += static_cast<std::size_t>(digits);
    out[length++] = 'E';
    out[length++] = exponent < 0 ? '-' : '+';
    if (exponent < 0) exponent = -exponent;
    out[length++] = static_cast<char>('0' + exponent / 100 % 10);
    out[length++] = static_cast<char>('0' + exponent / 10 % 10);
    out[length++] = static_cast<char>('0' + exponent % 10);
    out[length] = '\0';
    return length;
}

std::size_t TimeText(const QOVA_TIME& time, char* out) {
    TimeToStr(&time, out);
    return TimeTextLength(time);
}

unsigned DecimalLength(std::uint32_t value) {
    unsigned digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

unsigned SignedDecimalLength(std::int32_t value) {
    if (value >= 0) return DecimalLength(static_cast<std::uint32_t>(value));
    // The magnitude of INT32_MIN does not fit an int32_t; it does a uint32_t.
    return 1 + DecimalLength(0u - static_cast<std::uint32_t>(value));
}

std::uint32_t ValueTextLength(const MemberValue& v) {
    const std::uint8_t w = v.type & kTypeWidthMask;
    const std::uint16_t size = ElementSize(v.type);
    const ValueKind kind = KindOf(v.type);

    if ((v.type & (kTypeUnbounded | kTypeFixedArray)) == 0) {
        switch (kind) {
            case ValueKind::Time: {
                QOVA_TIME time;
                std::memcpy(&time, v.value, sizeof time);
                return TimeTextLength(time);
            }
            case ValueKind::Character: {
                const std::uint32_t c = ElementLow32(v.value, w);
                return (c < 256 && c != 0) ? 1 : 0;
            }
            case ValueKind::Float:
                return size <= 4 ? kFloat32TextLength : kFloat64TextLength;
            case ValueKind::Unsigned:
                return DecimalLength(ElementLow32(v.value, w));
            case ValueKind::Signed:
                return SignedDecimalLength(SignExtend(ElementLow32(v.value, w), w));
        }
        return 0;
    }

    if (v.data == nullptr) return 0;
    const unsigned char* p = v.data;
    const std::uint16_t n = v.elements;
    std::uint32_t length = 0;
    switch (kind) {
        case ValueKind::Time:
            for (std::uint16_t i = 0; i < n; ++i, p += size) {
                QOVA_TIME time;
                std::memcpy(&time, p, sizeof time);
                length += TimeTextLength(time) + 1;
            }
            break;
        case ValueKind::Character:
            for (std::uint16_t i = 0; i < n && ElementLow32(p, w) != 0; ++i, p += size) ++length;
            break;
        case ValueKind::Float:
            if (size == 4) length = n * (kFloat32TextLength + 1u);
            if (size == 8) length = n * (kFloat64TextLength + 1u);
            break;
        case ValueKind::Unsigned:
            for (std::uint16_t i = 0; i < n; ++i, p += size) length += DecimalLength(ElementLow32(p, w)) + 1;
            break;
        case ValueKind::Signed:
            for (std::uint16_t i = 0; i < n; ++i, p += size) {
                length += SignedDecimalLength(SignExtend(ElementLow32(p, w), w)) + 1;
            }
            break;
    }
    return length;
}

}  // namespace xml
}  // namespace xqova
