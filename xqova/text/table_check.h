// Why a language or link table was refused.
//
// AddLanguageTables, AddLinkTables and the table managers store a table from
// outside only when it passes the full structure check. These entry points
// make the same check on `available` bytes and, when it fails, name the
// first check the table failed and the offset of the field at fault:
//
//     xqova::TableReport why;
//     if (!xqova::CheckLanguageTable(bytes, length, &why)) {
//         std::printf("refused: %s at offset %zu\n", xqova::TableCheckName(why.check), why.at);
//     }
//
// They read nothing outside min(available, stated size) bytes.
#ifndef XQOVA_TEXT_TABLE_CHECK_H
#define XQOVA_TEXT_TABLE_CHECK_H

#include <cstddef>
#include <cstdint>

#include "xqova/core/export.h"

namespace xqova {

enum class TableCheck : std::uint8_t {
    kNone = 0,
    kHeader,       // too short for its header (found: bytes there; expected: header size)
    kSize,         // stated size beyond the input, or too small for header and checksum (found: stated; expected)
    kCounts,       // a link table with fewer entries than members + 1 (found: entries; expected: members + 1)
    kChecksum,     // checksum mismatch (found: stored; expected: computed)
    kString,       // a string offset outside the strings, or its string unterminated (found: the offset)
    kEnumeration   // an enumeration table outside the table or of no whole pairs (found: offset or end)
};

XQOVA_API const char* TableCheckName(TableCheck check);

struct TableReport {
    TableCheck check = TableCheck::kNone;
    std::size_t at = 0;  // offset of the field at fault from the table's first byte
    std::uint16_t entry = 0xFFFF;  // the string number or link entry at fault, else 0xFFFF
    std::uint64_t found = 0;
    std::uint64_t expected = 0;

    explicit operator bool() const { return check != TableCheck::kNone; }
};

// True when the table passes; else false and `report` (when not null) says why.
XQOVA_API bool CheckLanguageTable(const unsigned char* table, std::size_t available, TableReport* report);
XQOVA_API bool CheckLinkTable(const unsigned char* table, std::size_t available, TableReport* report);

}  // namespace xqova

#endif
