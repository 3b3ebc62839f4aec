// Strict UTF-8 to UTF-16 conversion for the UTF-16 XML documents.
#ifndef XQOVA_ENCODING_UTF16_H
#define XQOVA_ENCODING_UTF16_H

#include <cstddef>

namespace xqova {

// Converts `length` bytes of UTF-8 (RFC 3629) into UTF-16 code units in host
// order at `target` and returns the bytes written (twice the code units).
// Code points from U+10000 become a surrogate pair.
//
// The piece is taken whole or not at all: a continuation byte in lead
// position, a lead byte that cannot start a sequence (0xC0, 0xC1, 0xF5 and
// above), a sequence cut off by the end of the piece, a missing continuation
// byte, an overlong form, a surrogate code point (U+D800 to U+DFFF) or one
// above U+10FFFF makes the result 0, and then nothing is written at all.
//
// With `target` null nothing is written and the same count is returned.
// DecodeUtf8Sequence (xqova/core/xml_chars.h) decodes one sequence by the
// same rules.
std::size_t Utf8ToUtf16(const char* text, std::size_t length, unsigned short* target);

}  // namespace xqova

#endif
