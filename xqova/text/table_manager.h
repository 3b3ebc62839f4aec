// Lists of language and link tables, keyed by each table's identifier.
//
// A manager keeps its own copy of every table added to it, each copy in one
// allocation with its list node, newest first. A chain of tables handed to
// the constructor belongs to the caller: it is never changed or freed, but
// every lookup walks on into it, so it stays visible behind the added
// tables. One node is the current one: the first table added while none is
// current, or the one SetTable last selected.
//
// The two concrete kinds differ only in where a table keeps its identifier
// and its size (TableID, TableSize). They are built by CXQOVAStringTable,
// which checks every table before it reaches AddTable; AddTable itself trusts
// the table it is given.
#ifndef XQOVA_TEXT_TABLE_MANAGER_H
#define XQOVA_TEXT_TABLE_MANAGER_H

#include <cstdint>

#include "xqova/core/export.h"
#include "xqova/core/types.h"

class CXQOVAStringTable;

class XQOVA_API CXQOVATableManager {
public:
    // The table's identifier, and its total size in bytes, checksum included.
    // Both read the table's header and trust it.
    virtual std::uint32_t TableID(const unsigned char* table) const = 0;
    virtual std::uint32_t TableSize(const unsigned char* table) const = 0;

    // Copies would share the own nodes and free them twice; a manager is not
    // copied.
    CXQOVATableManager(const CXQOVATableManager&) = delete;
    CXQOVATableManager& operator=(const CXQOVATableManager&) = delete;

protected:
    explicit CXQOVATableManager(TableEntry_s* chain);
    // Frees the own nodes, from head to end; the caller's chain is untouched.
    // Not virtual: managers are never deleted through this class.
    ~CXQOVATableManager();

    // Stores a copy of `table` (TableSize(table) bytes) and returns the copy,
    // or null for a null table or when memory runs out (nothing changes
    // then). A table whose identifier an own node already holds replaces it:
    // in place when the stored copy is at least as large, else by a fresh
    // node in front of the list.
    unsigned char* AddTable(const unsigned char* table);

    // The first table in the whole list (own nodes, then the caller's chain)
    // whose identifier is `id`, or null. The current table stays.
    unsigned char* GetTable(std::uint32_t id) const;

    // Makes the first table whose identifier is `id` current and returns it;
    // null when there is none, the current table then staying as it was.
    unsigned char* SetTable(std::uint32_t id);

    // The current table, or null.
    unsigned char* CurrentTable() const;

    // True when the list holds no table at all, own or the caller's.
    bool Empty() const { return head_ == nullptr; }

private:
    TableEntry_s* head_;
    TableEntry_s* end_;      // where the own nodes stop and the caller's chain begins
    TableEntry_s* current_;
};

// Language tables: identifier byte 0, size the u32 after the string offsets.
class XQOVA_API CXQOVALanguageTableManager final : public CXQOVATableManager {
public:
    ~CXQOVALanguageTableManager() = default;

    // The language id byte; 0xFF for a null table.
    std::uint32_t TableID(const unsigned char* table) const override;
    // The u32 at 3 + 4 × string count; 0 for a null table.
    std::uint32_t TableSize(const unsigned char* table) const override;

private:
    friend class CXQOVAStringTable;
    explicit CXQOVALanguageTableManager(TableEntry_s* chain = nullptr) : CXQOVATableManager(chain) {}
};

// Link tables: identifier the class id at 0, size the u16 at 4.
class XQOVA_API CXQOVALinkTableManager final : public CXQOVATableManager {
public:
    ~CXQOVALinkTableManager() = default;

    // The class id; 0xFFFFFFFF for a null table.
    std::uint32_t TableID(const unsigned char* table) const override;
    // The u16 at offset 4; 0 for a null table.
    std::uint32_t TableSize(const unsigned char* table) const override;

private:
    friend class CXQOVAStringTable;
    explicit CXQOVALinkTableManager(TableEntry_s* chain = nullptr) : CXQOVATableManager(chain) {}
};

#endif
