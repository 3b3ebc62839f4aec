#include "xqova/dictionary/dictionary.h"

#include <cstdlib>
#include <cstring>

#include "xqova/core/class_id.h"
#include "xqova/core/crc16.h"
#include "xqova/core/memory.h"
#include "xqova/dictionary/definition.h"

namespace {

SearchMode_e Effective(SearchMode_e mode) {
    return (mode == SEARCH_MODE_BASE || mode == SEARCH_MODE_ADDED) ? mode : SEARCH_MODE_ALL;
}

}  // namespace

CXQOVADictionary::CXQOVADictionary(void* base)
    : base_(static_cast<TableEntry_s*>(base)), head_(static_cast<TableEntry_s*>(base)), searchMode_(SEARCH_MODE_ALL) {}

CXQOVADictionary::~CXQOVADictionary() {
    TableEntry_s* node = head_;
    while (node != nullptr && node != base_) {
        TableEntry_s* next = node->next;
        xqova::Release(node);
        node = next;
    }
}

TableEntry_s* CXQOVADictionary::First(SearchMode_e mode) const {
    return Effective(mode) == SEARCH_MODE_BASE ? base_ : head_;
}

TableEntry_s* CXQOVADictionary::Stop(SearchMode_e mode) const {
    return Effective(mode) == SEARCH_MODE_ADDED ? base_ : nullptr;
}

TableEntry_s* CXQOVADictionary::FindEntry(std::uint32_t classId, SearchMode_e mode) {
    const TableEntry_s* stop = Stop(mode);
    for (TableEntry_s* node = First(mode); node != nullptr && node != stop; node = node->next) {
        const std::uint32_t served = DefinitionClassID(node->block);
        if (served == classId) return node;
        if ((served >> 8) == (classId >> 8) && xqova::DefinitionServesSpecies(node->block, GetSpecies(classId))) {
            return node;
        }
    }
    return nullptr;
}

void* CXQOVADictionary::AddDefinition(const void* block) {
    if (block == nullptr) return nullptr;
    return AddDefinition(block, DefinitionFullSize(block));
}

void* CXQOVADictionary::AddDefinition(const void* block, std::size_t available) {
    if (!xqova::DefinitionIsWellFormed(block, available)) return nullptr;
    const TableEntry_s* serving = FindEntry(DefinitionClassID(block), SEARCH_MODE_ALL);
    if (serving != nullptr && DefinitionVersion(block) <= DefinitionVersion(serving->block)) return nullptr;

    const std::size_t size = DefinitionFullSize(block);
    auto* node = static_cast<TableEntry_s*>(xqova::Allocate(sizeof(TableEntry_s) + size));
    if (node == nullptr) return nullptr;
    unsigned char* copy = reinterpret_cast<unsigned char*>(node + 1);
    std::memcpy(copy, block, size);
    node->block = copy;
    node->next = head_;
    head_ = node;
    return copy;
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
    return offset == length ? 0xFFFF : added;
}

void* CXQOVADictionary::GetDefinition(std::uint32_t classId) {
    TableEntry_s* node = FindEntry(classId, searchMode_);
    return node == nullptr ? nullptr : node->block;
}

void* CXQOVADictionary::GetDefinition(std::uint16_t family, std::uint8_t genus, std::uint8_t species) {
    return GetDefinition(MakeClassID(family, genus, species));
}

void* CXQOVADictionary::GetDefinitionAt(std::uint16_t index) {
    const TableEntry_s* stop = Stop(searchMode_);
    TableEntry_s* node = First(searchMode_);
    for (std::uint16_t i = 0; i < index && node != nullptr && node != stop; ++i) node = node->next;
    return (node == nullptr || node == stop) ? nullptr : node->block;
}

std::uint16_t CXQOVADictionary::GetDefinitionCount() {
    const TableEntry_s* stop = Stop(searchMode_);
    std::uint16_t count = 0;
    for (TableEntry_s* node = First(searchMode_); node != nullptr && node != stop; node = node->next) ++count;
    return count;
}

void CXQOVADictionary::SetSearchMode(SearchMode_e mode) {
    if (static_cast<unsigned>(mode) < 3) searchMode_ = mode;
}

SearchMode_e CXQOVADictionary::GetSearchMode() const { return searchMode_; }
