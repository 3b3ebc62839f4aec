#include "xqova/text/table_manager.h"

#include <cstring>

#include "xqova/core/class_id.h"
#include "xqova/core/memory.h"
#include "xqova/text/table_format.h"

namespace {

unsigned char* BlockOf(const TableEntry_s* node) { return static_cast<unsigned char*>(node->block); }

}  // namespace

CXQOVATableManager::CXQOVATableManager(TableEntry_s* chain) : head_(chain), end_(chain), current_(chain) {}

CXQOVATableManager::~CXQOVATableManager() {
    TableEntry_s* node = head_;
    while (node != nullptr && node != end_) {
        TableEntry_s* next = node->next;
        xqova::Release(node);
        node = next;
    }
}

unsigned char* CXQOVATableManager::AddTable(const unsigned char* table) {
    if (table == nullptr) return nullptr;
    const std::uint32_t size = TableSize(table);
    const std::uint32_t id = TableID(table);

    // Only the own nodes take part: a table of the caller's chain is hidden
    // by the new copy, never replaced.
    TableEntry_s** link = &head_;
    for (TableEntry_s* node = head_; node != nullptr && node != end_; link = &node->next, node = node->next) {
        if (TableID(BlockOf(node)) != id) continue;
        if (TableSize(BlockOf(node)) >= size) {
            // The caller may hand back a table that lies in this very copy.
            std::memmove(node->block, table, size);
            if (current_ == nullptr) current_ = node;
            return BlockOf(node);
        }
        break;
    }

    // Allocate before anything is unlinked, so that a failure changes nothing.
    auto* fresh = static_cast<TableEntry_s*>(xqova::Allocate(sizeof(TableEntry_s) + size));
    if (fresh == nullptr) return nullptr;
    unsigned char* copy = reinterpret_cast<unsigned char*>(fresh + 1);
    std::memcpy(copy, table, size);
    fresh->block = copy;

    TableEntry_s* old = *link;
    if (old != nullptr && old != end_ && TableID(BlockOf(old)) == id) {
        *link = old->next;
        if (current_ == old) current_ = nullptr;
        xqova::Release(old);
    }

    fresh->next = head_;
    head_ = fresh;
    if (current_ == nullptr) current_ = fresh;
    return copy;
}

unsigned char* CXQOVATableManager::GetTable(std::uint32_t id) const {
    for (TableEntry_s* node = head_; node != nullptr; node = node->next) {
        if (TableID(BlockOf(node)) == id) return BlockOf(node);
    }
    return nullptr;
}

unsigned char* CXQOVATableManager::SetTable(std::uint32_t id) {
    if (current_ != nullptr && TableID(BlockOf(current_)) == id) return BlockOf(current_);
    for (TableEntry_s* node = head_; node != nullptr; node = node->next) {
        if (TableID(BlockOf(node)) == id) {
            current_ = node;
            return BlockOf(node);
        }
    }
    return nullptr;
}

unsigned char* CXQOVATableManager::CurrentTable() const { return current_ == nullptr ? nullptr : BlockOf(current_); }

std::uint32_t CXQOVALanguageTableManager::TableID(const unsigned char* table) const {
    return table == nullptr ? 0xFFu : table[0];
}

std::uint32_t CXQOVALanguageTableManager::TableSize(const unsigned char* table) const {
    if (table == nullptr) return 0;
    return ReadInt32(table + xqova::LanguageSizeField(ReadInt16(table + xqova::kLanguageCountField)));
}

std::uint32_t CXQOVALinkTableManager::TableID(const unsigned char* table) const {
    return table == nullptr ? xqova::kNoClass : ReadInt32(table);
}

std::uint32_t CXQOVALinkTableManager::TableSize(const unsigned char* table) const {
    return table == nullptr ? 0 : ReadInt16(table + xqova::kLinkSizeField);
}
