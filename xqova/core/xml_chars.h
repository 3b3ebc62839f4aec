// Characters that the well-formed XML forms carry as they are.
//
// XML 1.0 allows tab, line feed, carriage return, U+0020 to U+D7FF, U+E000
// to U+FFFD and U+10000 to U+10FFFF. The well-formed forms narrow this so
// that no document can steer a terminal either: of the controls only tab and
// line feed pass; carriage return, DEL (U+007F) and the C1 controls (U+0080
// to U+009F) do not. Everything else, and anything that does not decode as a
// character at all, is written as the replacement character U+FFFD.
#ifndef XQOVA_CORE_XML_CHARS_H
#define XQOVA_CORE_XML_CHARS_H

#include <cstddef>
#include <cstdint>

namespace xqova {

constexpr std::uint32_t kReplacement = 0xFFFDu;

constexpr bool XmlCharacterAllowed(std::uint32_t cp) {
    return cp == 0x09u || cp == 0x0Au || (cp >= 0x20u && cp < 0x7Fu) || (cp >= 0xA0u && cp <= 0xD7FFu) ||
           (cp >= 0xE000u && cp <= 0xFFFDu) || (cp >= 0x10000u && cp <= 0x10FFFFu);
}

// One UTF-8 sequence: its code point and its byte length, the length 0 when
// no well-formed sequence starts there.
struct Utf8Sequence {
    std::uint32_t codePoint;
    std::size_t length;
};

// Decodes the one UTF-8 sequence (RFC 3629) at the start of `s` (`available`
// >= 1 bytes). Of length 0 when it is ill-formed: a continuation byte in lead
// position, a lead byte that cannot start a sequence (0xC0, 0xC1, 0xF5 and
// above), a sequence cut off, a missing continuation byte, an overlong form,
// a surrogate or a code point above U+10FFFF.
Utf8Sequence DecodeUtf8Sequence(const unsigned char* s, std::size_t available);

// The UTF-8 bytes of a code point (at most U+10FFFF) into `out` (room for
// 4); returns their number.
inline std::size_t EncodeUtf8(std::uint32_t cp, unsigned char* out) {
    std::size_t n;
    if (cp < 0x80) {
        out[0] = static_cast<unsigned char>(cp);
        return 1;
    } else if (cp < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
        n = 2;
    } else if (cp < 0x10000) {
        out[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
        n = 3;
    } else {
        out[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
        n = 4;
    }
    for (std::size_t k = 1; k < n; ++k) out[k] = static_cast<unsigned char>(0x80 | ((cp >> (6 * (n - 1 - k))) & 0x3F));
    return n;
}

// The UTF-16 code units of a code point (at most U+10FFFF, no surrogate)
// into `out` (room for 2): a surrogate pair from U+10000 up. Returns their
// number.
inline std::size_t EncodeUtf16(std::uint32_t cp, unsigned short* out) {
    if (cp < 0x10000u) {
        out[0] = static_cast<unsigned short>(cp);
        return 1;
    }
    cp -= 0x10000u;
    out[0] = static_cast<unsigned short>(0xD800u + (cp >> 10));
    out[1] = static_cast<unsigned short>(0xDC00u + (cp & 0x3FFu));
    return 2;
}

// 8-bit text read as UTF-8, one character at a time: each byte that starts
// no well-formed sequence stands alone for U+FFFD.
class Utf8Reader {
public:
    Utf8Reader(const char* text, std::size_t length)
        : at_(reinterpret_cast<const unsigned char*>(text)), end_(at_ + length) {}

    // The next character; false at the end of the text.
    bool Next(std::uint32_t* codePoint) {
        if (at_ == end_) return false;
        const auto [cp, length] = DecodeUtf8Sequence(at_, static_cast<std::size_t>(end_ - at_));
        *codePoint = length == 0 ? kReplacement : cp;
        at_ += length == 0 ? 1 : length;
        return true;
    }

private:
    const unsigned char* at_;
    const unsigned char* end_;
};

// Appends to `out` (when not null) the well-formed form of 8-bit text meant
// for a CDATA section: the text read as UTF-8, each byte that starts no
// well-formed sequence and each character not allowed above written as
// U+FFFD, and "]]>" split as "]]]]><![CDATA[>". Returns the bytes of that
// form; `brackets` carries the count of "]" just written between calls.
std::size_t SafeCdataText(const char* text, std::size_t length, char* out, unsigned* brackets);

}  // namespace xqova

#endif
