// A definition block checked once and decoded into a table, so that readers
// and writers of objects never parse member records again.
//
// A dictionary compiles every block it holds when the block enters it (its
// base chain at construction, each accepted AddDefinition) and keeps the
// table beside the block; objects built on a block that no dictionary holds
// compile it themselves. The table is built completely at that moment and
// never changes afterwards, so any number of threads may read it.
#ifndef XQOVA_DICTIONARY_COMPILED_DEFINITION_H
#define XQOVA_DICTIONARY_COMPILED_DEFINITION_H

#include <cstddef>
#include <cstdint>

#include "xqova/dictionary/member_type.h"

namespace xqova {

struct CompiledMember {
    MemberType type;
    std::uint16_t minVersion;
    std::uint16_t maxVersion;
    std::uint16_t fixedCount;     // 0 when the record has none
    std::uint32_t memberClass;    // kNoClass when the record has none, or ANY_CLASS
    std::uint32_t alias;          // attribute defaults where the attribute record is too short
    std::uint8_t units;
    std::int8_t scaleExponent;
    std::uint16_t scaleCoefficient;
    const char* name;             // null when the block carries no text

    bool InVersion(std::uint16_t version) const { return minVersion <= version && version <= maxVersion; }
    // Element count in the encoding's fixed section: fixedCount for a fixed
    // array, 1 for a scalar (members of the variable section have none).
    std::uint32_t FixedElements() const { return type.IsFixedArray() ? fixedCount : 1u; }
    // The count a vector member is built with: its fixed count, 0 when UNBOUNDED.
    std::uint16_t VectorCount() const { return type.IsFixedArray() ? fixedCount : 0; }
    bool VectorHasSizePrefixes() const { return MemberType::VectorHasSizePrefixes(memberClass, VectorCount()); }
};

class CompiledDefinition {
public:
    // Checks the block in full (DefinitionIsWellFormed, within `available`
    // bytes) and compiles it into one allocation. Null when the block is
    // refused; `outOfMemory` (when given) tells the two failures apart.
    static CompiledDefinition* Compile(const void* block, std::size_t available, bool* outOfMemory = nullptr);
    static void Free(const CompiledDefinition* compiled);
    // Points the table at a byte-for-byte copy of its block (the copy a
    // dictionary keeps), so that the check is not repeated on the copy.
    void Rebase(const void* copy);

    const unsigned char* Block() const { return block_; }
    std::uint16_t Version() const { return version_; }
    std::uint16_t MemberCount() const { return memberCount_; }
    const CompiledMember& Member(std::uint16_t position) const { return members_[position]; }
    const CompiledMember* begin() const { return members_; }
    const CompiledMember* end() const { return members_ + memberCount_; }
    std::size_t AttributeTableOffset() const { return attributeTable_; }
    std::uint16_t AttributeSize() const { return attributeSize_; }

    // Size of the fixed section of an encoding at `version` (64 bits: a
    // caller compares it with what a header can state).
    std::uint64_t FixedSectionSize(std::uint16_t version) const;
    // Positions of the members of the variable section (OBJECT and
    // UNBOUNDED), in definition order: the only ones whose encoded size
    // depends on their values.
    const std::uint16_t* VariableBegin() const { return variable_; }
    const std::uint16_t* VariableEnd() const { return variable_ + variableCount_; }

private:
    // Compile is the only maker: it gives every field its value here, and
    // the variable positions are counted up from none as the members are
    // decoded.
    CompiledDefinition(const unsigned char* block, CompiledMember* members, std::uint16_t* variable,
                       std::size_t attributeTable, std::uint16_t version, std::uint16_t memberCount,
                       std::uint16_t attributeSize)
        : block_(block),
          members_(members),
          variable_(variable),
          variableCount_(0),
          attributeTable_(attributeTable),
          version_(version),
          memberCount_(memberCount),
          attributeSize_(attributeSize) {}

    const unsigned char* block_;
    CompiledMember* members_;
    std::uint16_t* variable_;
    std::uint16_t variableCount_;
    std::size_t attributeTable_;
    std::uint16_t version_;
    std::uint16_t memberCount_;
    std::uint16_t attributeSize_;
};

}  // namespace xqova

#endif
