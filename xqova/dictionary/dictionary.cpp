#include "xqova/dictionary/dictionary.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "xqova/core/class_id.h"
#include "xqova/core/checksum.h"
#include "xqova/core/memory.h"
#include "xqova/dictionary/compiled_definition.h"
#include "xqova/dictionary/definition.h"

namespace {

SearchMode_e Effective(SearchMode_e mode) {
    return (mode == SEARCH_MODE_BASE || mode == SEARCH_MODE_ADDED) ? mode : SEARCH_MODE_ALL;
}

// The most definitions one dictionary holds, its base chain included: what
// the 16-bit count can state.
constexpr std::uint32_t kMaxDefinitions = 0xFFFF;

std::uint16_t Saturated(std::uint32_t count) {
    return static_cast<std::uint16_t>(count < kMaxDefinitions ? count : kMaxDefinitions);
}

// The class ids a definition serves: its family and genus with each of its
// species codes.
template <class Visit>
void ForEachServedClass(const void* block, Visit visit) {
    const std::uint32_t familyGenus = DefinitionClassID(block) & 0xFFFFFF00u;
    const auto* p = static_cast<const unsigned char*>(block);
    for (unsigned i = 0; i < p[0]; ++i) visit(familyGenus | p[4 + i]);
}

// An added definition: the list node, its compiled table, then the copy of
// the block, in one allocation.
struct AddedNode {
    TableEntry_s entry;
    xqova::CompiledDefinition* compiled;
};

std::uint32_t AddressKey(const void* block) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(block));
}

}  // namespace

CXQOVADictionary::CXQOVADictionary(void* base)
    : base_(static_cast<TableEntry_s*>(base)),
      head_(static_cast<TableEntry_s*>(base)),
      searchMode_(SEARCH_MODE_ALL),
      added_(nullptr),
      addedCount_(0),
      addedCapacity_(0),
      baseNodes_(nullptr),
      baseCount_(0),
      baseCompiled_(nullptr) {
    IndexBase();
}

CXQOVADictionary::~CXQOVADictionary() {
    DropDerived();
    TableEntry_s* node = head_;
    while (node != nullptr && node != base_) {
        TableEntry_s* next = node->next;
        xqova::CompiledDefinition::Free(reinterpret_cast<AddedNode*>(node)->compiled);
        xqova::Release(node);
        node = next;
    }
    xqova::Release(added_);
    xqova::Release(baseNodes_);
    if (baseCompiled_ != nullptr) {
        for (std::uint32_t i = 0; i < baseCount_; ++i) xqova::CompiledDefinition::Free(baseCompiled_[i]);
        xqova::Release(baseCompiled_);
    }
}

void CXQOVADictionary::IndexBase() {
    for (const TableEntry_s* node = base_; node != nullptr; node = node->next) ++baseCount_;
    if (baseCount_ == 0) return;
    baseNodes_ = static_cast<TableEntry_s**>(xqova::Allocate(sizeof(TableEntry_s*) * baseCount_));
    if (baseNodes_ == nullptr) return;  // lookups walk the chain
    std::uint32_t i = 0;
    for (TableEntry_s* node = base_; node != nullptr; node = node->next) {
        // Room grows block by block (doubling, so linear in the chain's length).
        if (!baseIndex_.Reserve(xqova::DefinitionSpeciesCount(node->block))) {
            xqova::Release(baseNodes_);
            baseNodes_ = nullptr;
            baseIndex_.Clear();
            return;
        }
        baseNodes_[i++] = node;
        // The first node of the chain that serves a class keeps it.
        ForEachServedClass(node->block, [&](std::uint32_t id) { baseIndex_.SetIfAbsent(id, node); });
    }
    CompileBase();
}

void CXQOVADictionary::CompileBase() {
    // Each base block is checked and compiled here, once; a block that fails
    // gets no table, and objects built on it find no usable definition, as
    // they would checking it themselves.
    baseCompiled_ = static_cast<const xqova::CompiledDefinition**>(
        xqova::Allocate(sizeof(xqova::CompiledDefinition*) * baseCount_));
    if (baseCompiled_ == nullptr || !compiledIndex_.Reserve(baseCount_)) {
        xqova::Release(baseCompiled_);
        baseCompiled_ = nullptr;
        return;  // objects compile the blocks they use themselves
    }
    for (std::uint32_t i = 0; i < baseCount_; ++i) {
        const void* block = baseNodes_[i]->block;
        baseCompiled_[i] = xqova::CompiledDefinition::Compile(block, DefinitionFullSize(block));
        if (baseCompiled_[i] != nullptr) {
            compiledIndex_.Set(AddressKey(block), const_cast<xqova::CompiledDefinition*>(baseCompiled_[i]));
        }
    }
}

const xqova::CompiledDefinition* CXQOVADictionary::Compiled(const void* block) const {
    if (block == nullptr) return nullptr;
    const auto* compiled = static_cast<const xqova::CompiledDefinition*>(compiledIndex_.Find(AddressKey(block)));
    return compiled != nullptr && compiled->Block() == block ? compiled : nullptr;
}

TableEntry_s* CXQOVADictionary::FindInBase(std::uint32_t classId) const {
    if (baseNodes_ != nullptr) return static_cast<TableEntry_s*>(baseIndex_.Find(classId));
    for (TableEntry_s* node = base_; node != nullptr; node = node->next) {
        const std::uint32_t served = DefinitionClassID(node->block);
        if (served == classId) return node;
        if ((served >> 8) == (classId >> 8) && xqova::DefinitionServesSpecies(node->block, GetSpecies(classId))) {
            return node;
        }
    }
    return nullptr;
}

TableEntry_s* CXQOVADictionary::BaseAt(std::uint32_t index) const {
    if (index >= baseCount_) return nullptr;
    if (baseNodes_ != nullptr) return baseNodes_[index];
    TableEntry_s* node = base_;
    for (std::uint32_t i = 0; i < index; ++i) node = node->next;  // the chain holds baseCount_ nodes
    return node;
}

// Which node serves a class: the first in the mode's scope whose family and
// genus match and whose species codes include the class's. The added nodes
// come first (newest first), then the base chain, so the indexes are asked
// in that order.
TableEntry_s* CXQOVADictionary::FindEntry(std::uint32_t classId, SearchMode_e mode) const {
    mode = Effective(mode);
    if (mode != SEARCH_MODE_BASE) {
        auto* node = static_cast<TableEntry_s*>(addedIndex_.Find(classId));
        if (node != nullptr || mode == SEARCH_MODE_ADDED) return node;
    }
    return FindInBase(classId);
}

void* CXQOVADictionary::AddDefinition(const void* block) {
    if (block == nullptr) return nullptr;
    return AddDefinition(block, DefinitionFullSize(block));
}

void* CXQOVADictionary::AddDefinition(const void* block, std::size_t available) {
    // The one full check of the block, which compiling makes.
    xqova::CompiledDefinition* compiled = xqova::CompiledDefinition::Compile(block, available);
    if (compiled == nullptr) return nullptr;
    void* copy = Adopt(block, compiled);
    if (copy == nullptr) xqova::CompiledDefinition::Free(compiled);
    return copy;
}

void* CXQOVADictionary::Adopt(const void* block, xqova::CompiledDefinition* compiled) {
    const TableEntry_s* serving = FindEntry(DefinitionClassID(block), SEARCH_MODE_ALL);
    if (serving != nullptr && DefinitionVersion(block) <= DefinitionVersion(serving->block)) return nullptr;
    if (std::uint64_t{addedCount_} + baseCount_ >= kMaxDefinitions) return nullptr;

    // Everything that can fail comes before the dictionary changes.
    if (addedCount_ == addedCapacity_) {
        const std::uint32_t capacity = addedCapacity_ == 0 ? 16 : 2 * addedCapacity_;
        auto* grown = static_cast<TableEntry_s**>(xqova::Allocate(sizeof(TableEntry_s*) * capacity));
        if (grown == nullptr) return nullptr;
        if (addedCount_ != 0) std::memcpy(grown, added_, sizeof(TableEntry_s*) * addedCount_);
        xqova::Release(added_);
        added_ = grown;
        addedCapacity_ = capacity;
    }
    if (!addedIndex_.Reserve(xqova::DefinitionSpeciesCount(block))) return nullptr;
    if (!compiledIndex_.Reserve(1)) return nullptr;
    const std::size_t size = DefinitionFullSize(block);
    auto* added = static_cast<AddedNode*>(xqova::Allocate(sizeof(AddedNode) + size));
    if (added == nullptr) return nullptr;

    TableEntry_s* node = &added->entry;
    unsigned char* copy = reinterpret_cast<unsigned char*>(added + 1);
    std::memcpy(copy, block, size);
    compiled->Rebase(copy);
    added->compiled = compiled;
    compiledIndex_.Set(AddressKey(copy), compiled);
    node->block = copy;
    node->next = head_;
    head_ = node;
    added_[addedCount_++] = node;
    // The newest definition serves every species it names.
    ForEachServedClass(copy, [&](std::uint32_t id) { addedIndex_.Set(id, node); });
    DropDerived();
    return copy;
}

void CXQOVADictionary::DropDerived() {
    xqova::DerivedData* data = derived_.exchange(nullptr, std::memory_order_acq_rel);
    if (data != nullptr) data->free(data);
}
std::uint16_t CXQOVADictionary::AddDefinitions(const void* buffer, std::uint32_t length) {
    if (buffer == nullptr || length == 0) return 0;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    std::uint32_t offset = 0;
    std::uint16_t added = 0;
    while (offset < length) {
        const unsigned char* block = bytes + offset;
        const std::uint32_t remaining = length - offset;
        // The header must be readable and the stated size must cover the
        // header and fit what is left; anything else ends the walk like a
        // damaged block.
        const std::uint32_t header = block[0] + 16u;
        if (remaining < header) return added;
        const std::uint32_t size = DefinitionFullSize(block);
        if (size < header || size > remaining) return added;
        if (!xqova::ChecksumHolds(block, size - 2u)) return added;
        // The count stops at 0xFFFE: 0xFFFF only ever means that the whole buffer was taken.
        if (AddDefinition(block, size) != nullptr && added < 0xFFFE) ++added;
        offset += size;
    }
    return 0xFFFF;  // every block ended within the buffer, the last at its end
}

void* CXQOVADictionary::GetDefinition(std::uint32_t classId) const { return GetDefinition(classId, searchMode_); }

void* CXQOVADictionary::GetDefinition(std::uint16_t family, std::uint8_t genus, std::uint8_t species) const {
    return GetDefinition(MakeClassID(family, genus, species));
}

void* CXQOVADictionary::GetDefinition(std::uint32_t classId, SearchMode_e mode) const {
    const TableEntry_s* node = FindEntry(classId, mode);
    return node == nullptr ? nullptr : node->block;
}

void* CXQOVADictionary::GetDefinitionAt(std::uint16_t index) const { return GetDefinitionAt(index, searchMode_); }

void* CXQOVADictionary::GetDefinitionAt(std::uint16_t index, SearchMode_e mode) const {
    mode = Effective(mode);
    const TableEntry_s* node = nullptr;
    if (mode == SEARCH_MODE_BASE) {
        node = BaseAt(index);
    } else if (index < addedCount_) {
        node = added_[addedCount_ - 1u - index];  // the list runs newest first
    } else if (mode == SEARCH_MODE_ALL) {
        node = BaseAt(index - addedCount_);
    }
    return node == nullptr ? nullptr : node->block;
}

std::uint16_t CXQOVADictionary::GetDefinitionCount() const { return GetDefinitionCount(searchMode_); }

std::uint16_t CXQOVADictionary::GetDefinitionCount(SearchMode_e mode) const {
    switch (Effective(mode)) {
        case SEARCH_MODE_BASE:
            return Saturated(baseCount_);
        case SEARCH_MODE_ADDED:
            return Saturated(addedCount_);
        default:
            return Saturated(addedCount_ + baseCount_);
    }
}

void CXQOVADictionary::SetSearchMode(SearchMode_e mode) {
    if (static_cast<unsigned>(mode) < 3 && mode != searchMode_) {
        searchMode_ = mode;
        DropDerived();
    }
}

SearchMode_e CXQOVADictionary::GetSearchMode() const { return searchMode_; }
