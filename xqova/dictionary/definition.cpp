#include "xqova/dictionary/definition.h"

#include <algorithm>
#include <optional>

#include "xqova/core/class_id.h"
#include "xqova/core/checksum.h"
#include "xqova/core/types.h"

namespace {

const unsigned char* Bytes(const void* block) { return static_cast<const unsigned char*>(block); }

// Header fields follow the N species codes.
std::size_t HeaderField(const void* block, std::size_t fieldOffset) { return Bytes(block)[0] + fieldOffset; }

std::uint16_t HeaderU16(const void* block, std::size_t fieldOffset) {
    return ReadInt16(Bytes(block) + HeaderField(block, fieldOffset));
}

constexpr std::size_t kVersionField = 4;
constexpr std::size_t kTextOffsetField = 6;
constexpr std::size_t kFullSizeField = 8;
constexpr std::size_t kXmlSizeField = 10;
constexpr std::size_t kMemberCountField = 12;
constexpr std::size_t kRecordsField = 14;

constexpr const char* kTypeNames[24] = {
    "int8",     "int16",    "TIME", "int32",   "OBJECT", "int64",
    "ansichar", "widechar", "",     "",        "",       "",
    "uint8",    "uint16",   "",     "uint32",  "OBJECT", "uint64",
    "",         "",         "",     "float32", "",       "float64",
};
constexpr unsigned kTypeColumn[8] = {0, 1, 2, 3, 2, 3, 4, 5};

// Text section entry k: u16 enumOffset, u16 nameOffset.
struct TextEntry {
    std::uint16_t enumOffset;
    std::uint16_t nameOffset;
};

// The entry a text entry index names (see DefinitionText), or none.
std::optional<TextEntry> FindTextEntry(const void* block, std::uint16_t index) {
    if (block == nullptr || xqova::DefinitionXMLSize(block) == 0) return std::nullopt;
    const unsigned char* text = Bytes(block) + xqova::DefinitionTextOffset(block);
    const std::uint16_t m = ReadInt16(text);
    const std::uint16_t e = ReadInt16(text + 2);
    std::uint16_t k;
    if (index < m) {
        k = index;
    } else if (index == m) {
        return std::nullopt;
    } else {
        k = static_cast<std::uint16_t>(m - index - 1);
        if (k >= e) return std::nullopt;
    }
    return TextEntry{ReadInt16(text + 4 + 4u * k), ReadInt16(text + 6 + 4u * k)};
}

// Reads the attribute field of `width` bytes at `field` of the member's
// record, or returns false when the record does not reach it.
const unsigned char* AttributeField(const void* block, std::uint16_t position, std::size_t fieldEnd) {
    if (block == nullptr || position >= xqova::DefinitionMemberCount(block)) return nullptr;
    const std::uint16_t s = xqova::DefinitionAttributeSize(block);
    if (s < fieldEnd) return nullptr;
    return Bytes(block) + xqova::DefinitionAttributeTableOffset(block) + static_cast<std::size_t>(s) * position;
}

}  // namespace

std::uint32_t DefinitionClassID(const void* block) {
    return block == nullptr ? xqova::kNoClass : ReadInt32(Bytes(block) + 1);
}

std::uint16_t DefinitionVersion(const void* block) {
    return block == nullptr ? 0 : HeaderU16(block, kVersionField);
}

std::uint16_t DefinitionFullSize(const void* block) {
    return block == nullptr ? 0 : HeaderU16(block, kFullSizeField);
}

namespace xqova {

MemberWalker::MemberWalker(const void* block)
    : block_(Bytes(block)),
      offset_(block == nullptr ? 0 : HeaderField(block, kRecordsField)),
      remaining_(block == nullptr ? 0 : DefinitionMemberCount(block)) {}

bool MemberWalker::Next(MemberRecord* record) {
    if (remaining_ == 0) return false;
    const unsigned char* p = block_ + offset_;
    record->minVersion = ReadInt16(p);
    record->maxVersion = ReadInt16(p + 2);
    record->type = p[4];
    record->memberClass = kNoClass;
    record->fixedCount = 0;
    offset_ += 5;
    if (MemberType(record->type).IsObject()) {
        record->memberClass = ReadInt32(block_ + offset_);
        offset_ += 4;
    }
    if (MemberType(record->type).IsFixedArray()) {
        record->fixedCount = ReadInt16(block_ + offset_);
        offset_ += 2;
    }
    --remaining_;
    return true;
}

const char* TypeName(std::uint8_t type) {
    const std::uint8_t t = MemberType(type).NameKey();
    const unsigned row = ((t >> 3) & 3u) + ((t & MemberType::kFloatBit) ? 3u : 0u);
    const unsigned index = row * 6 + kTypeColumn[t & kTypeWidthMask];
    return index < 24 ? kTypeNames[index] : kTypeNames[8];
}

std::uint8_t DefinitionSpeciesCount(const void* block) { return block == nullptr ? 0 : Bytes(block)[0]; }

bool DefinitionServesSpecies(const void* block, std::uint8_t species) {
    if (block == nullptr) return false;
    const unsigned char* p = Bytes(block);
    for (unsigned i = 0; i < p[0]; ++i) {
        if (p[4 + i] == species) return true;
    }
    return false;
}

std::uint16_t DefinitionTextOffset(const void* block) { return block == nullptr ? 0 : HeaderU16(block, kTextOffsetField); }
std::uint16_t DefinitionXMLSize(const void* block) { return block == nullptr ? 0 : HeaderU16(block, kXmlSizeField); }
std::uint16_t DefinitionMemberCount(const void* block) {
    return block == nullptr ? 0 : HeaderU16(block, kMemberCountField);
}

bool DefinitionMemberRecord(const void* block, std::uint16_t position, MemberRecord* record) {
    MemberWalker walker(block);  // a null block has no members
    for (std::uint16_t p = 0; walker.Next(record); ++p) {
        if (p == position) return true;
    }
    return false;
}

std::uint8_t DefinitionMember(const void* block, std::uint16_t position, std::uint32_t* memberClass,
                              std::uint16_t* fixedCount) {
    MemberRecord record;
    if (!DefinitionMemberRecord(block, position, &record)) return kTypeNoMember;
    const MemberType type(record.type);
    if (memberClass != nullptr && type.IsObject()) *memberClass = record.memberClass;
    if (fixedCount != nullptr && type.IsFixedArray()) *fixedCount = record.fixedCount;
    return record.type;
}

std::size_t DefinitionAttributeTableOffset(const void* block) {
    if (block == nullptr) return 0;
    MemberWalker walker(block);
    MemberRecord record;
    while (walker.Next(&record)) {
    }
    return walker.Offset();
}

std::uint16_t DefinitionAttributeSize(const void* block) {
    const std::uint16_t count = DefinitionMemberCount(block);
    if (count == 0) return 0;
    const std::size_t table = DefinitionAttributeTableOffset(block);
    const std::size_t text = DefinitionTextOffset(block);
    // Text that starts before the table leaves no room for attributes.
    return static_cast<std::uint16_t>((std::max(text, table) - table) / count);
}

std::uint32_t DefinitionMemberAlias(const void* block, std::uint16_t position) {
    const unsigned char* p = AttributeField(block, position, 4);
    return p == nullptr ? 0xFFFFFFFFu : ReadInt32(p);
}

std::uint8_t DefinitionMemberUnits(const void* block, std::uint16_t position) {
    const unsigned char* p = AttributeField(block, position, 5);
    return p == nullptr ? 0xFF : p[4];
}

std::uint16_t DefinitionMemberScaleCoefficient(const void* block, std::uint16_t position) {
    const unsigned char* p = AttributeField(block, position, 7);
    return p == nullptr ? 1 : ReadInt16(p + 5);
}

std::int8_t DefinitionMemberScaleExponent(const void* block, std::uint16_t position) {
    const unsigned char* p = AttributeField(block, position, 8);
    return p == nullptr ? 0 : static_cast<std::int8_t>(p[7]);
}

const char* DefinitionText(const void* block, std::uint16_t index) {
    const std::optional<TextEntry> entry = FindTextEntry(block, index);
    if (!entry) return nullptr;
    return reinterpret_cast<const char*>(Bytes(block) + DefinitionTextOffset(block) + entry->nameOffset);
}

namespace {

// The pairs of the value table of a text entry of the block (0 without one).
std::uint16_t PairCount(const void* block, const std::optional<TextEntry>& entry) {
    if (!entry || entry->enumOffset == 0xFFFF) return 0;
    const unsigned char* text = Bytes(block) + DefinitionTextOffset(block);
    const std::uint16_t end = ReadInt16(text + entry->enumOffset);
    if (end < entry->enumOffset + 2u) return 0;
    return static_cast<std::uint16_t>((end - entry->enumOffset - 2u) / 4u);
}

}  // namespace

std::uint16_t DefinitionEnumerationSize(const void* block, std::uint16_t index) {
    return PairCount(block, FindTextEntry(block, index));
}

std::optional<EnumerationPair> DefinitionEnumerationPair(const void* block, std::uint16_t index, std::uint16_t k) {
    const std::optional<TextEntry> entry = FindTextEntry(block, index);
    if (k >= PairCount(block, entry)) return std::nullopt;
    const unsigned char* text = Bytes(block) + DefinitionTextOffset(block);
    const unsigned char* pair = text + entry->enumOffset + 2 + 4u * k;
    return EnumerationPair{ReadInt16(pair), reinterpret_cast<const char*>(text + ReadInt16(pair + 2))};
}

std::uint16_t DefinitionEnumerationTableOffset(const void* block, std::uint16_t index) {
    const std::optional<TextEntry> entry = FindTextEntry(block, index);
    return entry ? entry->enumOffset : 0xFFFF;
}

const char* DefinitionEnumerator(const void* block, std::uint16_t index, std::uint16_t value) {
    for (std::uint16_t k = 0; const auto pair = DefinitionEnumerationPair(block, index, k); ++k) {
        if (pair->value == value) return pair->name;
    }
    return nullptr;
}

std::uint8_t DefinitionHasEnumeration(const void* block, std::uint16_t position) {
    if (block == nullptr || DefinitionXMLSize(block) == 0) return 0;
    const unsigned char* text = Bytes(block) + DefinitionTextOffset(block);
    if (position >= ReadInt16(text)) return 0;
    return ReadInt16(text + 4 + 4u * position) != 0xFFFF ? 1 : 0;
}

bool DefinitionChecksumHolds(const void* block) {
    if (block == nullptr) return false;
    const std::uint16_t size = DefinitionFullSize(block);
    return size >= 2 && ChecksumHolds(Bytes(block), size - 2u);
}

namespace {

// One past the last zero byte in [from, limit), or `from` when there is none.
// A string that starts at an offset from `from` up to below this value ends
// before `limit`: one backward scan answers every string of a block.
std::size_t TerminatedBelow(const unsigned char* block, std::size_t from, std::size_t limit) {
    std::size_t i = std::max(limit, from);
    while (i != from && block[i - 1] != 0) --i;
    return i;
}

}  // namespace

const char* DefinitionCheckName(DefinitionCheck check) {
    switch (check) {
        case DefinitionCheck::kNone: return "no failure";
        case DefinitionCheck::kHeader: return "too short for its header";
        case DefinitionCheck::kSize: return "stated size does not fit";
        case DefinitionCheck::kChecksum: return "checksum mismatch";
        case DefinitionCheck::kMemberRecord: return "member record past the member section";
        case DefinitionCheck::kMemberType: return "member type not allowed";
        case DefinitionCheck::kFixedCount: return "fixed array larger than 65535 bytes";
        case DefinitionCheck::kTextOffset: return "text offset outside the block";
        case DefinitionCheck::kTextHeader: return "text section header does not fit";
        case DefinitionCheck::kName: return "name outside the text section or not terminated";
        case DefinitionCheck::kEnumeration: return "enumeration table does not fit";
    }
    return "unknown check";
}

namespace {

bool Refuse(DefinitionReport* report, DefinitionCheck check, std::size_t at, std::uint64_t found,
            std::uint64_t expected, std::uint16_t member = 0xFFFF) {
    if (report != nullptr) {
        report->check = check;
        report->at = at;
        report->found = found;
        report->expected = expected;
        report->member = member;
    }
    return false;
}

}  // namespace

bool CheckDefinition(const void* block, std::size_t available, DefinitionReport* report) {
    if (report != nullptr) *report = DefinitionReport();
    if (block == nullptr || available < 1) return Refuse(report, DefinitionCheck::kHeader, 0, available, 1);
    const unsigned char* p = Bytes(block);
    const std::size_t n = p[0];
    const std::size_t header = n + kRecordsField;
    if (n == 0) return Refuse(report, DefinitionCheck::kHeader, 0, 0, 1);  // no species code
    if (available < header) return Refuse(report, DefinitionCheck::kHeader, 0, available, header);
    if (report != nullptr) {
        report->classId = DefinitionClassID(block);
        report->classRead = true;
    }
    const std::size_t fullSize = ReadInt16(p + n + kFullSizeField);
    if (fullSize > available) return Refuse(report, DefinitionCheck::kSize, n + kFullSizeField, fullSize, available);
    if (fullSize < header + 2) return Refuse(report, DefinitionCheck::kSize, n + kFullSizeField, fullSize, header + 2);
    const std::size_t limit = fullSize - 2;  // the checksum starts here
    const std::uint16_t stored = ReadInt16(p + limit);
    const std::uint16_t computed = CalculateCRC(p, static_cast<std::uint32_t>(limit));
    if (!ChecksumEquals(computed, stored)) return Refuse(report, DefinitionCheck::kChecksum, limit, stored, computed);

    // Member records.
    const std::uint16_t memberCount = ReadInt16(p + n + kMemberCountField);
    std::size_t offset = header;
    for (std::uint16_t i = 0; i < memberCount; ++i) {
        if (offset + 5 > limit) return Refuse(report, DefinitionCheck::kMemberRecord, offset, offset + 5, limit, i);
        const MemberType type(p[offset + 4]);
        const std::uint8_t width = type.Width();
        // The no-member type 0xF8 is both UNBOUNDED and fixed: refused below.
        bool allowed = !(width == 4 || width == 5);
        allowed = allowed && !(type.IsUnbounded() && type.IsFixedArray());
        allowed = allowed && !(type.IsInherit() && i != 0);
        // An OBJECT member is a single object, the inherit member or a
        // vector; any other kind bits would make it look like a number array
        // to the member operations.
        allowed = allowed && !(type.IsObject() && type.Byte() != MemberType::kSingleObject && !type.IsInherit() &&
                               type.Byte() != MemberType::kUnboundedVector &&
                               type.Byte() != MemberType::kFixedVector);
        if (!allowed) return Refuse(report, DefinitionCheck::kMemberType, offset + 4, type.Byte(), 0, i);
        std::size_t recordSize = 5;
        if (type.IsObject()) recordSize += 4;
        if (type.IsFixedArray()) recordSize += 2;
        if (offset + recordSize > limit) {
            return Refuse(report, DefinitionCheck::kMemberRecord, offset, offset + recordSize, limit, i);
        }
        if (type.IsFixedArray() && !type.IsObject()) {
            const std::size_t count = ReadInt16(p + offset + recordSize - 2);
            if (count * type.ElementSize() > 0xFFFF) {
                return Refuse(report, DefinitionCheck::kFixedCount, offset + recordSize - 2,
                              count * type.ElementSize(), 0xFFFF, i);
            }
        }
        offset += recordSize;
    }

    // Attribute table and text section.
    const std::size_t textOffset = ReadInt16(p + n + kTextOffsetField);
    if (textOffset < offset) return Refuse(report, DefinitionCheck::kTextOffset, n + kTextOffsetField, textOffset, offset);
    if (textOffset > limit) return Refuse(report, DefinitionCheck::kTextOffset, n + kTextOffsetField, textOffset, limit);
    const std::uint16_t xmlSize = ReadInt16(p + n + kXmlSizeField);
    if (xmlSize == 0) return true;  // no text: nothing in the text section is ever read

    if (textOffset + 4 > limit) return Refuse(report, DefinitionCheck::kTextHeader, textOffset, textOffset + 4, limit);
    const unsigned char* text = p + textOffset;
    const std::uint16_t m = ReadInt16(text);
    const std::uint16_t e = ReadInt16(text + 2);
    if (m != memberCount) return Refuse(report, DefinitionCheck::kTextHeader, textOffset, m, memberCount);
    if (e < m + 1u) return Refuse(report, DefinitionCheck::kTextHeader, textOffset + 2, e, m + 1u);
    if (textOffset + 4 + 4u * e > limit) {
        return Refuse(report, DefinitionCheck::kTextHeader, textOffset + 2, textOffset + 4 + 4u * e, limit);
    }
    // Every name offset counts from the text section, so one scan serves all
    // of them: the check takes time linear in the block, however many
    // entries name the same long string.
    const std::size_t terminated = TerminatedBelow(p, textOffset, limit);
    const auto stringInside = [&](std::size_t offset) { return textOffset + offset < terminated; };
    for (std::uint16_t k = 0; k < e; ++k) {
        const std::size_t entryAt = textOffset + 4 + 4u * k;
        const std::uint16_t enumOffset = ReadInt16(text + 4 + 4u * k);
        const std::uint16_t nameOffset = ReadInt16(text + 6 + 4u * k);
        // Entries below M are the members'; the rest name the class and
        // further enumerations.
        const std::uint16_t member = k < m ? k : 0xFFFF;
        if (!stringInside(nameOffset)) return Refuse(report, DefinitionCheck::kName, entryAt + 2, nameOffset, 0, member);
        if (enumOffset == 0xFFFF) continue;
        if (textOffset + enumOffset + 2u > limit) {
            return Refuse(report, DefinitionCheck::kEnumeration, entryAt, enumOffset, limit - textOffset, member);
        }
        const std::uint16_t end = ReadInt16(text + enumOffset);
        if (end < enumOffset + 2u || (end - enumOffset - 2u) % 4u != 0 || textOffset + end > limit) {
            return Refuse(report, DefinitionCheck::kEnumeration, textOffset + enumOffset, end, enumOffset + 2u, member);
        }
        for (std::size_t pair = enumOffset + 2u; pair < end; pair += 4) {
            const std::uint16_t valueName = ReadInt16(text + pair + 2);
            if (!stringInside(valueName)) {
                return Refuse(report, DefinitionCheck::kName, textOffset + pair + 2, valueName, 0, member);
            }
        }
    }
    return true;
}

bool DefinitionIsWellFormed(const void* block, std::size_t available) { return CheckDefinition(block, available, nullptr); }

}  // namespace xqova
