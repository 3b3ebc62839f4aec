// Readers of class definition blocks.
//
// A definition is one immutable big-endian block: a header (species codes,
// version, text offset, full size, XML base size, member count), the member
// records, the member attribute table, the text section (names and
// enumerations) and a trailing checksum. The readers here trust the block
// they are given; blocks from outside are checked once, by
// DefinitionIsWellFormed, before the library accepts them (the dictionary and
// object construction do so).
#ifndef XQOVA_DICTIONARY_DEFINITION_H
#define XQOVA_DICTIONARY_DEFINITION_H

#include <cstddef>
#include <cstdint>
#include <optional>

#include "xqova/core/export.h"
#include "xqova/dictionary/member_type.h"

// The block's own class identifier (family, genus, first species); 0xFFFFFFFF
// for a null block.
XQOVA_API std::uint32_t DefinitionClassID(const void* block);
// The definition's version; 0 for a null block.
XQOVA_API std::uint16_t DefinitionVersion(const void* block);
// The block's size, checksum included; 0 for a null block.
XQOVA_API std::uint16_t DefinitionFullSize(const void* block);

namespace xqova {

// Type byte fields, by their names in MemberType (member_type.h).
constexpr std::uint8_t kTypeWidthMask = MemberType::kWidthMask;
constexpr std::uint8_t kTypeKindMask = MemberType::kKindMask;
constexpr std::uint8_t kTypeObject = MemberType::kWidthObject;   // width code of OBJECT members
constexpr std::uint8_t kTypeTime = MemberType::kWidthTime;       // width code of TIME members
constexpr std::uint8_t kTypeInherit = MemberType::kInherit;      // the member holding the base-class part
constexpr std::uint8_t kTypeUnbounded = MemberType::kUnboundedBit;
constexpr std::uint8_t kTypeFixedArray = MemberType::kFixedArrayBit;
constexpr std::uint8_t kTypeNoMember = MemberType::kNoMember;    // reported where there is no member

// One member record, decoded.
struct MemberRecord {
    std::uint16_t minVersion;
    std::uint16_t maxVersion;
    std::uint8_t type;
    std::uint32_t memberClass;  // 0xFFFFFFFF when the record has none, or ANY_CLASS
    std::uint16_t fixedCount;   // 0 when the record has none

    bool InVersion(std::uint16_t version) const { return minVersion <= version && version <= maxVersion; }
};

// Steps through the member records of a block in definition order.
class XQOVA_API MemberWalker {
public:
    explicit MemberWalker(const void* block);
    // Fills `record` with the next member and returns true; false after the last.
    bool Next(MemberRecord* record);
    // Offset of the next record from the block's start; after the last record
    // it is the start of the attribute table.
    std::size_t Offset() const { return offset_; }

private:
    const unsigned char* block_;
    std::size_t offset_;
    std::uint16_t remaining_;
};

// Element size of a type byte: 8 for TIME, 4 for OBJECT, else width code + 1.
inline std::uint16_t ElementSize(std::uint8_t type) { return MemberType(type).ElementSize(); }

// The type name that text forms write for a type byte ("uint16", "OBJECT",
// ...); BITMASK kinds are named by their integer type. Empty where the table
// has no name.
XQOVA_API const char* TypeName(std::uint8_t type);

XQOVA_API std::uint8_t DefinitionSpeciesCount(const void* block);
// True when the block serves this species code of its family and genus.
XQOVA_API bool DefinitionServesSpecies(const void* block, std::uint8_t species);
XQOVA_API std::uint16_t DefinitionTextOffset(const void* block);
XQOVA_API std::uint16_t DefinitionXMLSize(const void* block);
XQOVA_API std::uint16_t DefinitionMemberCount(const void* block);

// Type byte of the member at a definition position (0xF8 past the last
// member or for a null block); the member's class and fixed count go to the
// out-pointers when the record has them and the pointers are given.
XQOVA_API std::uint8_t DefinitionMember(const void* block, std::uint16_t position,
                                        std::uint32_t* memberClass = nullptr, std::uint16_t* fixedCount = nullptr);
// The whole record of the member at a position; false past the last member
// (the record then holds no member's fields that a caller may rely on).
XQOVA_API bool DefinitionMemberRecord(const void* block, std::uint16_t position, MemberRecord* record);

// Offset of the member attribute table from the block's start, and its record
// size S ((textOffset - table offset) / memberCount; 0 without members).
XQOVA_API std::size_t DefinitionAttributeTableOffset(const void* block);
XQOVA_API std::uint16_t DefinitionAttributeSize(const void* block);

// Attributes of the member at a definition position, or their defaults
// (0xFFFFFFFF, 0xFF, 1, 0) when the record is too short or the position is
// past the last member.
XQOVA_API std::uint32_t DefinitionMemberAlias(const void* block, std::uint16_t position);
XQOVA_API std::uint8_t DefinitionMemberUnits(const void* block, std::uint16_t position);
XQOVA_API std::uint16_t DefinitionMemberScaleCoefficient(const void* block, std::uint16_t position);
XQOVA_API std::int8_t DefinitionMemberScaleExponent(const void* block, std::uint16_t position);

// Text lookups by text entry index: an index below M is that member's entry;
// above M it counts from the end (0xFFFF the class, 0xFFFE the first further
// enumeration); M itself gives nothing. Nothing (null) too when the block is
// null or carries no text (xmlBaseSize 0).
XQOVA_API const char* DefinitionText(const void* block, std::uint16_t index);
XQOVA_API const char* DefinitionEnumerator(const void* block, std::uint16_t index, std::uint16_t value);
// 1 when the member at this position has an enumeration table.
XQOVA_API std::uint8_t DefinitionHasEnumeration(const void* block, std::uint16_t position);

// The pairs of a text entry's enumeration table, in table order. Returns the
// number of pairs (0 without a table); `Pair` reads pair k, nothing past the
// last one (or without a table).
struct EnumerationPair {
    std::uint16_t value;
    const char* name;  // in the block's strings, never null
};
XQOVA_API std::uint16_t DefinitionEnumerationSize(const void* block, std::uint16_t index);
XQOVA_API std::optional<EnumerationPair> DefinitionEnumerationPair(const void* block, std::uint16_t index,
                                                                   std::uint16_t k);
// Where a text entry's enumeration table starts, as an offset from the text
// section (entries that name one table give the same offset); 0xFFFF without
// a table.
XQOVA_API std::uint16_t DefinitionEnumerationTableOffset(const void* block, std::uint16_t index);

// True when the block's trailing checksum matches its first fullSize - 2 bytes.
XQOVA_API bool DefinitionChecksumHolds(const void* block);

// The full check a block from outside must pass before the library reads it:
// the checksum, and every size, offset and string inside the block, the
// block itself inside `available` bytes. Reads nothing outside
// min(available, fullSize) bytes.
XQOVA_API bool DefinitionIsWellFormed(const void* block, std::size_t available);

// Why a definition block was refused: the first check it failed. `at` is
// the offset, from the block's first byte, of the field at fault.
enum class DefinitionCheck : std::uint8_t {
    kNone = 0,
    kHeader,        // too short for its header, or no species code (found: bytes there; expected: header size)
    kSize,          // stated full size beyond the input or below header and checksum (found: stated; expected)
    kChecksum,      // checksum mismatch (found: stored; expected: computed)
    kMemberRecord,  // a member record runs into the checksum (found: record end; expected: where it must end)
    kMemberType,    // a type byte no member may have (found: the type byte)
    kFixedCount,    // a fixed array of numbers over 65535 bytes (found: its bytes)
    kTextOffset,    // text offset before the member records' end or past the block (found; expected)
    kTextHeader,    // text section header past the block, or its counts disagree with the members (found; expected)
    kName,          // a name offset outside the text section or its string unterminated (found: the offset)
    kEnumeration    // an enumeration table past the block or of no whole pairs (found; expected)
};

XQOVA_API const char* DefinitionCheckName(DefinitionCheck check);

struct DefinitionReport {
    DefinitionCheck check = DefinitionCheck::kNone;
    std::size_t at = 0;
    std::uint32_t classId = 0xFFFFFFFFu;  // the block's class, once its header was there
    bool classRead = false;
    std::uint16_t member = 0xFFFF;  // definition position of the member at fault, else 0xFFFF
    std::uint64_t found = 0;
    std::uint64_t expected = 0;

    explicit operator bool() const { return check != DefinitionCheck::kNone; }
};

// DefinitionIsWellFormed that says why: true when the block passes; else
// false and `report` (when not null) names the first check it failed. Reads
// nothing outside min(available, fullSize) bytes.
//
//     xqova::DefinitionReport why;
//     if (!xqova::CheckDefinition(block, length, &why)) {
//         std::printf("refused: %s at offset %zu\n", xqova::DefinitionCheckName(why.check), why.at);
//     }
XQOVA_API bool CheckDefinition(const void* block, std::size_t available, DefinitionReport* report);

}  // namespace xqova

#endif
