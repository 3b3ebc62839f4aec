#include "xqova/dictionary/compiled_definition.h"

#include <new>

#include "xqova/core/class_id.h"
#include "xqova/core/memory.h"
#include "xqova/dictionary/definition.h"

namespace xqova {

CompiledDefinition* CompiledDefinition::Compile(const void* block, std::size_t available, bool* outOfMemory) {
    if (outOfMemory != nullptr) *outOfMemory = false;
    if (!DefinitionIsWellFormed(block, available)) return nullptr;
    const std::uint16_t count = DefinitionMemberCount(block);
    // The members start where the table ends: its size is a multiple of its
    // alignment, and so of theirs.
    static_assert(alignof(CompiledDefinition) % alignof(CompiledMember) == 0, "members follow the table aligned");
    constexpr std::size_t head = sizeof(CompiledDefinition);
    // The table, its members and the positions of the variable section in
    // one allocation.
    const std::size_t positions = head + sizeof(CompiledMember) * count;
    void* memory = Allocate(positions + sizeof(std::uint16_t) * count);
    if (memory == nullptr) {
        if (outOfMemory != nullptr) *outOfMemory = true;
        return nullptr;
    }
    auto* compiled = new (memory) CompiledDefinition(
        static_cast<const unsigned char*>(block),
        reinterpret_cast<CompiledMember*>(static_cast<unsigned char*>(memory) + head),
        reinterpret_cast<std::uint16_t*>(static_cast<unsigned char*>(memory) + positions),
        DefinitionAttributeTableOffset(block), DefinitionVersion(block), count, DefinitionAttributeSize(block));

    MemberWalker walker(block);
    MemberRecord record;
    for (std::uint16_t p = 0; walker.Next(&record); ++p) {
        CompiledMember& m = *new (compiled->members_ + p) CompiledMember();
        m.type = MemberType(record.type);
        m.minVersion = record.minVersion;
        m.maxVersion = record.maxVersion;
        m.fixedCount = record.fixedCount;
        m.memberClass = record.memberClass;
        // The attribute record, read field by field as far as it reaches
        // (the same defaults as the block readers give).
        const std::uint16_t s = compiled->attributeSize_;
        const unsigned char* a = compiled->block_ + compiled->attributeTable_ + std::size_t{s} * p;
        m.alias = s >= 4 ? ReadInt32(a) : 0xFFFFFFFFu;
        m.units = s >= 5 ? a[4] : 0xFF;
        m.scaleCoefficient = s >= 7 ? ReadInt16(a + 5) : 1;
        m.scaleExponent = s >= 8 ? static_cast<std::int8_t>(a[7]) : 0;
        m.name = DefinitionText(block, p);
        if (m.type.InVariableSection()) compiled->variable_[compiled->variableCount_++] = p;
    }
    return compiled;
}

void CompiledDefinition::Free(const CompiledDefinition* compiled) { Release(const_cast<CompiledDefinition*>(compiled)); }

void CompiledDefinition::Rebase(const void* copy) {
    const auto* to = static_cast<const unsigned char*>(copy);
    for (CompiledMember* m = members_; m != members_ + memberCount_; ++m) {
        if (m->name != nullptr) m->name = reinterpret_cast<const char*>(to + (reinterpret_cast<const unsigned char*>(m->name) - block_));
    }
    block_ = to;
}

std::uint64_t CompiledDefinition::FixedSectionSize(std::uint16_t version) const {
    std::uint64_t size = 0;
    for (const CompiledMember& m : *this) {
        if (m.InVersion(version) && m.type.InFixedSection()) size += std::uint64_t{m.FixedElements()} * m.type.ElementSize();
    }
    return size;
}

}  // namespace xqova
