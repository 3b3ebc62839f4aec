#include "xqova/encoding/xml_text.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace xqova {
namespace xml {





namespace {

// "00" to "99": two digits per step.
struct DigitPairs {
    char text[200];
};

constexpr DigitPairs MakeDigitPairs() {
    DigitPairs pairs{};
    for (unsigned n = 0; n < 100; ++n) {
        pairs.text[2 * n] = static_cast<char>('0' + n / 10);
        pairs.text[2 * n + 1] = static_cast<char>('0' + n % 10);
    }
    return pairs;
}

constexpr DigitPairs kDigitPairs = MakeDigitPairs();

// Writes the `digits` decimal digits of `value` (which has no more) ending
// just before `end`.
inline void WriteDigits(std::uint32_t value, char* end) {
    while (value >= 100) {
        const std::uint32_t pair = value % 100;
        value /= 100;
        end -= 2;
        std::memcpy(end, kDigitPairs.text + 2 * pair, 2);
    }
    if (value >= 10) {
        std::memcpy(end - 2, kDigitPairs.text + 2 * value, 2);
    } else {
        end[-1] = static_cast<char>('0' + value);
    }
}

// `value` with at least `width` digits, zeros to the left.
inline char* WritePadded(std::uint32_t value, unsigned width, char* out) {
    const unsigned digits = DecimalLength(value);
    const unsigned zeros = digits < width ? width - digits : 0;
    std::memset(out, '0', zeros);
    out += zeros + digits;
    WriteDigits(value, out);
    return out;
}

}  // namespace



std::size_t UnsignedText(std::uint32_t value, char* out) {
    const unsigned digits = DecimalLength(value);
    WriteDigits(value, out + digits);
    out[digits] = '\0';
    return digits;
}

std::size_t SignedText(std::int32_t value, char* out) {
    if (value >= 0) return UnsignedText(static_cast<std::uint32_t>(value), out);
    out[0] = '-';
    return 1 + UnsignedText(0u - static_cast<std::uint32_t>(value), out + 1);
}

std::size_t FloatText(double value, bool single, char* out) {
    const char sign = std::signbit(value) ? '-' : '+';
    if (!std::isfinite(value)) {
        out[0] = sign;
        std::memcpy(out + 1, std::isnan(value) ? "NAN" : "INF", 4);
        return 4;
    }
    // The digits come correctly rounded (ties to even) from std::to_chars;
    // the exponent is rewritten with exactly three digits and "E".
    const int digits = single ? 9 : 16;
    char formatted[40];
    const std::to_chars_result r =
        std::to_chars(formatted, formatted + sizeof formatted, std::fabs(value), std::chars_format::scientific, digits);
    // "d.<digits>e<sign><two or three digits>"
    const char* e = formatted + 2 + digits;
    if (r.ec != std::errc() || r.ptr - formatted < digits + 5 || *e != 'e') {
        out[0] = '\0';
        return 0;
    }
    unsigned exponent = 0;
    for (const char* p = e + 2; p < r.ptr; ++p) exponent = exponent * 10 + static_cast<unsigned>(*p - '0');
    std::size_t length = 0;
    out[length++] = sign;
    std::memcpy(out + length, formatted, static_cast<std::size_t>(digits) + 2);
    length += static_cast<std::size_t>(digits) + 2;
    out[length++] = 'E';
    out[length++] = e[1];
    out[length++] = static_cast<char>('0' + exponent / 100 % 10);
    std::memcpy(out + length, kDigitPairs.text + 2 * (exponent % 100), 2);
    length += 2;
    out[length] = '\0';
    return length;
}

std::size_t TimeText(const QOVA_TIME& time, char* out) {
    // Each field at least as wide as its place, wider when its value needs.
    char* p = WritePadded(time.year, 4, out);
    *p++ = '/';
    p = WritePadded(time.month, 2, p);
    *p++ = '/';
    p = WritePadded(time.day, 2, p);
    *p++ = ' ';
    p = WritePadded(time.hour, 2, p);
    *p++ = ':';
    p = WritePadded(time.minute, 2, p);
    *p++ = ':';
    p = WritePadded(time.second, 2, p);
    *p++ = ' ';
    p = WritePadded(time.fraction, 2, p);
    *p = '\0';
    return static_cast<std::size_t>(p - out);
}


std::uint32_t ArrayTextLength(const MemberValue& v) {
    const MemberType type(v.type);
    const std::uint8_t w = type.Width();
    const std::uint16_t size = type.ElementSize();
    const ValueKind kind = KindOf(v.type);
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
            for (std::uint16_t i = 0; i < n && LoadLow32(p, w) != 0; ++i, p += size) ++length;
            break;
        case ValueKind::Float:
            if (size == 4) length = n * (kFloat32TextLength + 1u);
            if (size == 8) length = n * (kFloat64TextLength + 1u);
            break;
        case ValueKind::Unsigned:
            for (std::uint16_t i = 0; i < n; ++i, p += size) length += DecimalLength(LoadLow32(p, w)) + 1;
            break;
        case ValueKind::Signed:
            for (std::uint16_t i = 0; i < n; ++i, p += size) {
                length += SignedDecimalLength(SignExtend(LoadLow32(p, w), w)) + 1;
            }
            break;
    }
    return length;
}

}  // namespace xml
}  // namespace xqova
