#include "xqova/encoding/utf16.h"

#include <cstdint>

namespace xqova {
namespace {

// Decodes the sequence at the start of `s` (at least one byte available).
// Gives its code point and byte length; false when it is ill-formed.
bool DecodeSequence(const unsigned char* s, std::size_t available, std::uint32_t* codePoint, std::size_t* length) {
    const unsigned char lead = s[0];
    std::size_t n;
    std::uint32_t cp;
    if (lead < 0x80) {
        *codePoint = lead;
        *length = 1;
        return true;
    } else if (lead < 0xC2) {
        return false;  // a continuation byte, or the overlong leads 0xC0 and 0xC1
    } else if (lead < 0xE0) {
        n = 2;
        cp = lead & 0x1Fu;
    } else if (lead < 0xF0) {
        n = 3;
        cp = lead & 0x0Fu;
    } else if (lead < 0xF5) {
        n = 4;
        cp = lead & 0x07u;
    } else {
        return false;  // beyond U+10FFFF, or more than three continuation bytes
    }
    if (available < n) return false;
    for (std::size_t k = 1; k < n; ++k) {
        if ((s[k] & 0xC0u) != 0x80u) return false;
        cp = (cp << 6) | (s[k] & 0x3Fu);
    }
    if ((n == 3 && cp < 0x800u) || (n == 4 && cp < 0x10000u)) return false;  // overlong
    if ((cp >= 0xD800u && cp <= 0xDFFFu) || cp > 0x10FFFFu) return false;
    *codePoint = cp;
    *length = n;
    return true;
}

}  // namespace

std::size_t Utf8ToUtf16(const char* text, std::size_t length, unsigned short* target) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);

    // The piece is checked and counted first, so that an ill-formed piece
    // leaves the target untouched.
    std::size_t units = 0;
    bool ascii = true;
    for (std::size_t i = 0; i < length;) {
        if (s[i] < 0x80) {
            ++units;
            ++i;
            continue;
        }
        ascii = false;
        std::uint32_t cp = 0;
        std::size_t n = 1;
        if (!DecodeSequence(s + i, length - i, &cp, &n)) return 0;
        units += cp >= 0x10000u ? 2 : 1;
        i += n;
    }
    if (target == nullptr) return units * 2;

    if (ascii) {
        for (std::size_t i = 0; i < length; ++i) target[i] = s[i];
        return units * 2;
    }
    std::size_t out = 0;
    for (std::size_t i = 0; i < length;) {
        std::uint32_t cp = 0;
        std::size_t n = 1;
        DecodeSequence(s + i, length - i, &cp, &n);  // checked above
        if (cp >= 0x10000u) {
            cp -= 0x10000u;
            target[out++] = static_cast<unsigned short>(0xD800u + (cp >> 10));
            target[out++] = static_cast<unsigned short>(0xDC00u + (cp & 0x3FFu));
        } else {
            target[out++] = static_cast<unsigned short>(cp);
        }
        i += n;
    }
    return units * 2;
}

}  // namespace xqova
