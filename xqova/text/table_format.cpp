#include "xqova/text/table_format.h"

#include "xqova/core/class_id.h"
#include "xqova/core/checksum.h"
#include "xqova/core/limits.h"

namespace xqova {

namespace {

// The last NUL before `limit`, plus one; 0 when there is none. A string that
// starts at an offset below this value ends before `limit`.
std::size_t TerminatedBelow(const unsigned char* table, std::size_t from, std::size_t limit) {
    for (std::size_t i = limit; i > from; --i) {
        if (table[i - 1] == 0) return i;
    }
    return 0;
}

}  // namespace

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

bool LanguageTableIsWellFormed(const unsigned char* table, std::size_t available) {
    const std::size_t size = LanguageTableStatedSize(table, available);
    const std::uint16_t count = size == 0 ? 0 : ReadInt16(table + kLanguageCountField);
    const std::size_t header = LanguageHeaderSize(count);
    if (size < kMinLanguageTable || size < header + 2 || size > available) return false;
    const std::size_t limit = size - 2;
    if (!ChecksumHolds(table, static_cast<std::uint32_t>(limit))) return false;

    // Strings lie between the header and the checksum, each ending there.
    const std::size_t terminated = TerminatedBelow(table, header, limit);
    for (std::uint16_t k = 0; k < count; ++k) {
        const std::uint32_t offset = ReadInt32(table + kLanguageOffsetsField + 4u * k);
        if (offset < header || offset >= terminated) return false;
    }
    return true;
}

bool LinkTableIsWellFormed(const unsigned char* table, std::size_t available) {
    const std::size_t size = LinkTableStatedSize(table, available);
    if (size < kMinLinkTable || size > available) return false;
    const std::uint16_t members = ReadInt16(table + kLinkMemberCountField);
    const std::uint16_t entries = ReadInt16(table + kLinkEntryCountField);
    if (entries < members + 1u) return false;
    const std::size_t header = LinkHeaderSize(entries);
    if (size < header + 2) return false;
    const std::size_t limit = size - 2;
    if (!ChecksumHolds(table, static_cast<std::uint32_t>(limit))) return false;

    // Enumeration tables lie between the entries and the checksum.
    for (std::uint16_t k = 0; k < entries; ++k) {
        const std::uint16_t enumOffset = ReadInt16(table + kLinkEntriesField + 4u * k);
        if (enumOffset == kNoEnumeration) continue;
        if (enumOffset < header || enumOffset + 2u > limit) return false;
        const std::uint16_t end = ReadInt16(table + enumOffset);
        if (end < enumOffset + 2u || end > limit || (end - enumOffset - 2u) % 4u != 0) return false;
    }
    return true;
}

const char* LanguageString(const unsigned char* table, std::uint16_t number) {
    if (table == nullptr || number >= ReadInt16(table + kLanguageCountField)) return nullptr;
    return reinterpret_cast<const char*>(table + ReadInt32(table + kLanguageOffsetsField + 4u * number));
}

bool LinkEntry(const unsigned char* table, std::uint16_t index, std::uint16_t* enumOffset,
               std::uint16_t* stringNumber) {
    if (table == nullptr) return false;
    const std::uint16_t members = ReadInt16(table + kLinkMemberCountField);
    const std::uint16_t entries = ReadInt16(table + kLinkEntryCountField);
    std::uint16_t k;
    if (index < members) {
        k = index;
    } else if (index == members) {
        return false;
    } else {
        k = static_cast<std::uint16_t>(members - index - 1);
        if (k >= entries) return false;
    }
    const unsigned char* entry = table + kLinkEntriesField + 4u * k;
    if (enumOffset != nullptr) *enumOffset = ReadInt16(entry);
    if (stringNumber != nullptr) *stringNumber = ReadInt16(entry + 2);
    return true;
}

bool LinkEnumerator(const unsigned char* table, std::uint16_t enumOffset, std::uint16_t value,
                    std::uint16_t* stringNumber) {
    if (table == nullptr || enumOffset == kNoEnumeration) return false;
    const std::uint16_t end = ReadInt16(table + enumOffset);
    for (std::size_t pair = enumOffset + 2u; pair + 4u <= end; pair += 4) {
        if (ReadInt16(table + pair) == value) {
            if (stringNumber != nullptr) *stringNumber = ReadInt16(table + pair + 2);
            return true;
        }
    }
    return false;
}

}  // namespace xqova
