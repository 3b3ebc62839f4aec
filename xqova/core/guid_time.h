// GUID and time texts.
#ifndef XQOVA_CORE_GUID_TIME_H
#define XQOVA_CORE_GUID_TIME_H

#include <cstdint>

#include "xqova/core/export.h"
#include "xqova/core/types.h"

// Writes the first `count` bytes (at most 16) of `bytes` as braced uppercase
// hexadecimal, a dash after the 4th, 6th, 8th and 10th byte, into `text`, which
// must hold 39 bytes (all 39 are written). Returns `text`.
XQOVA_API char* GUIDToStr(const unsigned char* bytes, char* text, std::uint16_t count);

// Reads hexadecimal digit pairs from the first `textLength` characters of
// `text` ("-", "{" and "}" are passed over) into at most `count` bytes. The
// bytes stay all zero when there are no digits or when they would need more
// than `count` bytes. At most 39 characters are collected; longer text is cut.
XQOVA_API unsigned char* StrToGuid(const char* text, std::uint16_t textLength, unsigned char* bytes, std::uint16_t count);

// Writes "YYYY/MM/DD hh:mm:ss ff" (each field at least that wide) into `text`,
// which must hold 30 bytes. A null `text` writes nothing and returns null.
XQOVA_API char* TimeToStr(const QOVA_TIME* time, char* text);

namespace xqova {
// Length of the text TimeToStr writes for `time`, without the terminator.
XQOVA_API unsigned TimeTextLength(const QOVA_TIME& time);
}  // namespace xqova

#endif
