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

TableEntry_s* CXQOVATableManager::FindNode(std::uint32_t id) const {
    const auto* link = static_cast<TableEntry_s* const*>(own_.Find(id));
    if (link != nullptr) return *link;
    for (TableEntry_s* node = end_; node != nullptr; node = node->next) {
        if (TableID(BlockOf(node)) == id) return node;
    }
    return nullptr;
}

unsigned char* CXQOVATableManager::AddTable(const unsigned char* table) {
    if (table == nullptr) return nullptr;
    const std::uint32_t size = TableSize(table);
    const std::uint32_t id = TableID(table);

    // Only the own nodes take part: a table of the caller's chain is hidden
    // by the new copy, never replaced.
    auto* link = static_cast<TableEntry_s**>(own_.Find(id));
    if (link != nullptr && TableSize(BlockOf(*link)) >= size) {
        TableEntry_s* node = *link;
        // The caller may hand back a table that lies in this very copy.
        std::memmove(node->block, table, size);
        return BlockOf(node);  // a table is current since the first was added
    }

    // Allocate before anything is unlinked, so that a failure changes nothing.
    if (link == nullptr && !own_.Reserve(1)) return nullptr;
    auto* fresh = static_cast<TableEntry_s*>(xqova::Allocate(sizeof(TableEntry_s) + size));
    if (fresh == nullptr) return nullptr;
    unsigned char* copy = reinterpret_cast<unsigned char*>(fresh + 1);
    std::memcpy(copy, table, size);
    fresh->block = copy;

    if (link != nullptr) {
        // The smaller copy goes; its successor takes over its link.
        TableEntry_s* old = *link;
        *link = old->next;
        if (old->next != end_) own_.Set(TableID(BlockOf(old->next)), link);
        if (current_.load(std::memory_order_relaxed) == old) current_.store(nullptr, std::memory_order_relaxed);
        xqova::Release(old);
    }

    if (head_ != end_) own_.Set(TableID(BlockOf(head_)), &fresh->next);
    fresh->next = head_;
    head_ = fresh;
    own_.Set(id, &head_);
    if (current_.load(std::memory_order_relaxed) == nullptr) current_.store(fresh, std::memory_order_relaxed);
    return copy;
}

unsigned char* CXQOVATableManager::GetTable(std::uint32_t id) const {
    const TableEntry_s* node = FindNode(id);
    return node == nullptr ? nullptr : BlockOf(node);
}

unsigned char* CXQOVATableManager::SetTable(std::uint32_t id) {
    TableEntry_s* current = current_.load(std::memory_order_relaxed);
    if (current != nullptr && TableID(BlockOf(current)) == id) return BlockOf(current);
    TableEntry_s* node = FindNode(id);
    if (node == nullptr) return nullptr;
    current_.store(node, std::memory_order_relaxed);
    return BlockOf(node);
}

unsigned char* CXQOVATableManager::Lookup(std::uint32_t id) const {
    TableEntry_s* current = current_.load(std::memory_order_relaxed);
    if (current != nullptr && TableID(BlockOf(current)) == id) return BlockOf(current);
    TableEntry_s* node = FindNode(id);
    if (node == nullptr) return nullptr;
    // Without a caller's chain each id is held by one node, which every walk
    // finds first: where current points then decides no result. (The node is
    // not the current one, whose id was asked for above.)
    if (end_ != nullptr) current_.store(node, std::memory_order_relaxed);
    return BlockOf(node);
}

unsigned char* CXQOVATableManager::CurrentTable() const {
    const TableEntry_s* current = current_.load(std::memory_order_relaxed);
    return current == nullptr ? nullptr : BlockOf(current);
}

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
