// The byte layout of language and link tables, their structure checks and
// their readers. Internal to the text subsystem.
//
// Language table (big-endian):
//   0           u8        language id
//   1           u16       string count N
//   3           N × u32   offset of string k from the table's start
//   3 + 4N      u32       table size, checksum included
//   7 + 4N      ...       NUL-terminated strings
//   size - 2    u16       checksum of the first size - 2 bytes
//
// Link table (big-endian), one per class:
//   0           u32       class id
//   4           u16       table size, checksum included
//   6           u16       member count M
//   8           u16       entry count E (at least M + 1)
//   10          E × 4     entries: u16 enumeration offset (0xFFFF none), u16 string number
//   ...                   enumeration tables: u16 end offset, then {u16 value, u16 string
//                         number} pairs up to the end offset
//   size - 2    u16       checksum
// Every offset in a link table counts from the table's own start. Entry k
// below M names the member at definition position k, entry M the class
// itself (its enumeration maps species codes to species names), entries
// above M further named enumerations.
#ifndef XQOVA_TEXT_TABLE_FORMAT_H
#define XQOVA_TEXT_TABLE_FORMAT_H

#include <cstddef>
#include <cstdint>

namespace xqova {

constexpr std::size_t kLanguageCountField = 1;
constexpr std::size_t kLanguageOffsetsField = 3;
constexpr std::size_t LanguageSizeField(std::uint16_t stringCount) { return 3 + 4u * std::size_t{stringCount}; }
constexpr std::size_t LanguageHeaderSize(std::uint16_t stringCount) { return 7 + 4u * std::size_t{stringCount}; }

constexpr std::size_t kLinkSizeField = 4;
constexpr std::size_t kLinkMemberCountField = 6;
constexpr std::size_t kLinkEntryCountField = 8;
constexpr std::size_t kLinkEntriesField = 10;
constexpr std::size_t LinkHeaderSize(std::uint16_t entryCount) { return 10 + 4u * std::size_t{entryCount}; }

constexpr std::uint16_t kNoEnumeration = 0xFFFF;

// The stated size of a table whose header lies within `available` bytes, or 0
// when the header itself does not (or `table` is null). Read nothing beyond
// min(available, header).
std::size_t LanguageTableStatedSize(const unsigned char* table, std::size_t available);
std::size_t LinkTableStatedSize(const unsigned char* table, std::size_t available);

// The full check a table from outside passes before a string table stores it:
// the stated size covers header and checksum and lies within `available`,
// the checksum holds, and every string offset, entry and enumeration table
// points inside the table, each string ending before the checksum. Reads
// nothing outside min(available, stated size) bytes.
bool LanguageTableIsWellFormed(const unsigned char* table, std::size_t available);
bool LinkTableIsWellFormed(const unsigned char* table, std::size_t available);

// Readers of a stored (checked, or the host's own) table, never null.

// String number `number` of a language table; null past the last string or
// without a table.
const char* LanguageString(const unsigned char* table, std::uint16_t number);

// The link table's entry chosen by a text entry index: an index below M is
// that entry, M chooses nothing, above M it counts down from the end (0xFFFF
// the class entry M, 0xFFFE entry M + 1, ...) and must stay below E.
bool LinkEntry(const unsigned char* table, std::uint16_t index, std::uint16_t* enumOffset,
               std::uint16_t* stringNumber);

// The string number of the first pair holding `value` in the enumeration
// table at `enumOffset`; false when there is no table or no such pair.
bool LinkEnumerator(const unsigned char* table, std::uint16_t enumOffset, std::uint16_t value,
                    std::uint16_t* stringNumber);

}  // namespace xqova

#endif
