#include "xqova/encoding/utf16.h"

#include "xqova/core/xml_chars.h"

#include <cstdint>

namespace xqova {

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
        const auto [cp, n] = DecodeUtf8Sequence(s + i, length - i);
        if (n == 0) return 0;
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
        const auto [cp, n] = DecodeUtf8Sequence(s + i, length - i);  // checked above
        out += EncodeUtf16(cp, target + out);
        i += n;
    }
    return units * 2;
}

}  // namespace xqova
