#include "xqova/text/table_format.h"

#include <algorithm>

#include "xqova/text/table_check.h"
#include "xqova/core/class_id.h"
#include "xqova/core/checksum.h"
#include "xqova/core/limits.h"

namespace xqova {

namespace {

// The last NUL in [from, limit), plus one; `from` when there is none. A
// string that starts at or after `from` and below this value ends before
// `limit`.
std::size_t TerminatedBelow(const unsigned char* table, std::size_t from, std::size_t limit) {
    std::size_t end = limit;
    while (end > from && table[end - 1] != 0) --end;
    return end;
}

}  // namespace

// The smallest tables the limits state: a header (with one entry for a link
// table) and a checksum.
static_assert(kMinLanguageTable == LanguageHeaderSize(0) + 2 && kMinLinkTable == LinkHeaderSize(1) + 2,
              "the smallest tables are a header and a checksum");

std::size_t LanguageTableStatedSize(const unsigned char* table, std::size_t available) {
    if (table == nullptr || available < kLanguageOffsetsField) return 0;
    const std::uint16_t count = ReadInt16(table + kLanguageCountField);
    if (available < LanguageHeaderSize(count)) return 0;
    return ReadInt32(table + LanguageSizeField(count));
}

std::size_t LinkTableStatedSize(const unsigned char* table, std::size_t available) {
    if (table == nullptr || available < kLinkEntriesField) return 0;
    return ReadInt16(table + kLinkSizeField);
}

namespace {

bool Refuse(TableReport* report, TableCheck check, std::size_t at, std::uint64_t found, std::uint64_t expected,
            std::uint16_t entry = 0xFFFF) {
    if (report != nullptr) {
        report->check = check;
        report->at = at;
        report->found = found;
        report->expected = expected;
        report->entry = entry;
    }
    return false;
}

// The checksum over the first `limit` bytes against the two stored after them.
bool TableChecksumHolds(const unsigned char* table, std::size_t limit, TableReport* report) {
    if (report == nullptr) return ChecksumHolds(table, static_cast<std::uint32_t>(limit));
    const std::uint16_t stored = ReadInt16(table + limit);
    const std::uint16_t computed = CalculateCRC(table, static_cast<std::uint32_t>(limit));
    return ChecksumEquals(computed, stored) || Refuse(report, TableCheck::kChecksum, limit, stored, computed);
}

}  // namespace

const char* TableCheckName(TableCheck check) {
    switch (check) {
        case TableCheck::kNone: return "no failure";
        case TableCheck::kHeader: return "too short for its header";
        case TableCheck::kSize: return "stated size does not fit";
        case TableCheck::kCounts: return "fewer entries than members and class";
        case TableCheck::kChecksum: return "checksum mismatch";
        case TableCheck::kString: return "string outside the table or not terminated";
        case TableCheck::kEnumeration: return "enumeration table does not fit";
    }
    return "unknown check";
}

bool CheckLanguageTable(const unsigned char* table, std::size_t available, TableReport* report) {
    if (report != nullptr) *report = TableReport();
    if (table == nullptr || available < kLanguageOffsetsField) {
        return Refuse(report, TableCheck::kHeader, 0, table == nullptr ? 0 : available, kLanguageOffsetsField);
    }
    const std::uint16_t count = ReadInt16(table + kLanguageCountField);
    const std::size_t header = LanguageHeaderSize(count);
    if (available < header) return Refuse(report, TableCheck::kHeader, 0, available, header);
    const std::size_t size = ReadInt32(table + LanguageSizeField(count));
    const std::size_t smallest = header + 2;
    if (size < smallest) return Refuse(report, TableCheck::kSize, LanguageSizeField(count), size, smallest);
    if (size > available) return Refuse(report, TableCheck::kSize, LanguageSizeField(count), size, available);
    const std::size_t limit = size - 2;
    if (!TableChecksumHolds(table, limit, report)) return false;

    // Strings lie between the header and the checksum, each ending there.
    const std::size_t terminated = TerminatedBelow(table, header, limit);
    for (std::uint16_t k = 0; k < count; ++k) {
        const std::uint32_t offset = ReadInt32(table + kLanguageOffsetsField + 4u * k);
        if (offset < header || offset >= terminated) {
            return Refuse(report, TableCheck::kString, kLanguageOffsetsField + 4u * k, offset, header, k);
        }
    }
    return true;
}

bool CheckLinkTable(const unsigned char* table, std::size_t available, TableReport* report) {
    if (report != nullptr) *report = TableReport();
    if (table == nullptr || available < kLinkEntriesField) {
        return Refuse(report, TableCheck::kHeader, 0, table == nullptr ? 0 : available, kLinkEntriesField);
    }
    const std::size_t size = ReadInt16(table + kLinkSizeField);
    if (size < kMinLinkTable) return Refuse(report, TableCheck::kSize, kLinkSizeField, size, kMinLinkTable);
    if (size > available) return Refuse(report, TableCheck::kSize, kLinkSizeField, size, available);
    const std::uint16_t members = ReadInt16(table + kLinkMemberCountField);
    const std::uint16_t entries = ReadInt16(table + kLinkEntryCountField);
    if (entries < members + 1u) return Refuse(report, TableCheck::kCounts, kLinkEntryCountField, entries, members + 1u);
    const std::size_t header = LinkHeaderSize(entries);
    if (size < header + 2) return Refuse(report, TableCheck::kSize, kLinkSizeField, size, header + 2);
    const std::size_t limit = size - 2;
    if (!TableChecksumHolds(table, limit, report)) return false;

    // Enumeration tables lie between the entries and the checksum.
    for (std::uint16_t k = 0; k < entries; ++k) {
        const std::size_t entryAt = kLinkEntriesField + 4u * k;
        const std::uint16_t enumOffset = ReadInt16(table + entryAt);
        if (enumOffset == kNoEnumeration) continue;
        if (enumOffset < header || enumOffset + 2u > limit) {
            return Refuse(report, TableCheck::kEnumeration, entryAt, enumOffset, header, k);
        }
        const std::uint16_t end = ReadInt16(table + enumOffset);
        if (end < enumOffset + 2u || end > limit || (end - enumOffset - 2u) % 4u != 0) {
            return Refuse(report, TableCheck::kEnumeration, enumOffset, end, enumOffset + 2u, k);
        }
    }
    return true;
}

bool LanguageTableIsWellFormed(const unsigned char* table, std::size_t available) {
    return CheckLanguageTable(table, available, nullptr);
}

bool LinkTableIsWellFormed(const unsigned char* table, std::size_t available) {
    return CheckLinkTable(table, available, nullptr);
}

const char* LanguageString(const unsigned char* table, std::uint16_t number) {
    if (table == nullptr || number >= ReadInt16(table + kLanguageCountField)) return nullptr;
    return reinterpret_cast<const char*>(table + ReadInt32(table + kLanguageOffsetsField + 4u * number));
}

bool LinkEntry(const unsigned char* table, std::uint16_t index, std::uint16_t* enumOffset,
               std::uint16_t* stringNumber) {
    const std::uint16_t members = ReadInt16(table + kLinkMemberCountField);
    const std::uint16_t entries = ReadInt16(table + kLinkEntryCountField);
    std::uint16_t k;
    if (index < members) {
        k = index;
    } else {
        // Counting down from the end, M itself gives 0xFFFF, never below E:
        // a table of at most 65,535 bytes holds at most 16,380 entries.
        k = static_cast<std::uint16_t>(members - index - 1);
    }
    if (k >= entries) return false;
    const unsigned char* entry = table + kLinkEntriesField + 4u * k;
    if (enumOffset != nullptr) *enumOffset = ReadInt16(entry);
    if (stringNumber != nullptr) *stringNumber = ReadInt16(entry + 2);
    return true;
}

bool LinkEnumerator(const unsigned char* table, std::uint16_t enumOffset, std::uint16_t value,
                    std::uint16_t* stringNumber) {
    if (enumOffset == kNoEnumeration) return false;
    const std::uint16_t end = ReadInt16(table + enumOffset);
    for (std::size_t pair = enumOffset + 2u; pair + 4u <= end; pair += 4) {
        if (ReadInt16(table + pair) == value) {
            *stringNumber = ReadInt16(table + pair + 2);
            return true;
        }
    }
    return false;
}

}  // namespace xqova
