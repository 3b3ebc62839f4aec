// Small records shared by every subsystem of the library.
#ifndef XQOVA_CORE_TYPES_H
#define XQOVA_CORE_TYPES_H

#include <cstdint>

// A time stamp as devices record it. In memory `year` is in host order; in
// encodings and frames it travels big-endian. `fraction` is a two-digit field
// after the seconds, carried without further meaning.
struct QOVA_TIME {
    std::uint16_t year;
    std::uint8_t month;
    std::uint8_t day;
    std::uint8_t hour;
    std::uint8_t minute;
    std::uint8_t second;
    std::uint8_t fraction;
};

// Node of a singly linked list of blocks: definition blocks in a dictionary,
// language or link tables in a string table.
struct TableEntry_s {
    void* block;
    TableEntry_s* next;
};

// Text encodings of an object's XML document.
enum XMLEncoding_e {
    XML_ENCODING_CHAR = 1,   // 8-bit text
    XML_ENCODING_UTF16 = 2   // UTF-16 code units in host order, no byte-order mark
};

// Special values used across the library.
namespace xqova {
constexpr std::uint32_t kNoClass = 0xFFFFFFFFu;       // no class / ANY_CLASS
constexpr std::uint32_t kNoAlias = 0xFFFFFFFFu;       // a member without an alias
constexpr std::uint16_t kCurrentVersion = 0xFFFFu;    // "own version" / no upper limit
constexpr std::uint16_t kAllTaken = 0xFFFFu;          // bulk add consumed the whole buffer
}  // namespace xqova

#endif
