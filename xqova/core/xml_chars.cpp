#include "xqova/core/xml_chars.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace xqova {

Utf8Sequence DecodeUtf8Sequence(const unsigned char* s, std::size_t available) {
    const unsigned char lead = s[0];
    std::size_t n;
    std::uint32_t cp;
    if (lead < 0x80) {
        return {lead, 1};
    } else if (lead < 0xC2) {
        return {};  // a continuation byte, or the overlong leads 0xC0 and 0xC1
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
        return {};  // beyond U+10FFFF, or more than three continuation bytes
    }
    if (available < n) return {};
    for (std::size_t k = 1; k < n; ++k) {
        if ((s[k] & 0xC0u) != 0x80u) return {};
        cp = (cp << 6) | (s[k] & 0x3Fu);
    }
    if ((n == 3 && cp < 0x800u) || (n == 4 && cp < 0x10000u)) return {};  // overlong
    if ((cp >= 0xD800u && cp <= 0xDFFFu) || cp > 0x10FFFFu) return {};
    return {cp, n};
}

namespace {

std::size_t PutUtf8(std::uint32_t cp, char* out) {
    unsigned char bytes[4];
    const std::size_t n = EncodeUtf8(cp, bytes);
    if (out != nullptr) std::memcpy(out, bytes, n);
    return n;
}

}  // namespace

std::size_t SafeCdataText(const char* text, std::size_t length, char* out, unsigned* brackets) {
    constexpr std::string_view kSplit = "]]><![CDATA[";
    std::size_t written = 0;
    Utf8Reader reader(text, length);
    for (std::uint32_t cp = 0; reader.Next(&cp);) {
        if (!XmlCharacterAllowed(cp)) cp = kReplacement;
        if (cp == '>' && *brackets >= 2) {
            if (out != nullptr) std::copy(kSplit.begin(), kSplit.end(), out + written);
            written += kSplit.size();
        }
        *brackets = cp == ']' ? *brackets + 1 : 0;
        written += PutUtf8(cp, out == nullptr ? nullptr : out + written);
    }
    return written;
}

}  // namespace xqova
