// Lists of language and link tables, keyed by each table's identifier.
//
// A manager keeps its own copy of every table added to it, each copy in one
// allocation with its list node, newest first. A chain of tables handed to
// the constructor belongs to the caller: it is never changed or freed, but
// every lookup walks on into it, so it stays visible behind the added
// tables. One node is the current one: the first table added while none is
// current, or the one SetTable last selected.
//
// The own nodes are indexed by identifier, so adding n tables and looking
// one up take time linear in the tables' bytes; a caller's chain is walked.
//
// Lookups (GetTable, Lookup) write nothing, except that Lookup moves the
// current table, as one atomic store, in a manager that has a caller's
// chain. Threads may therefore share a manager for lookups once its tables
// are added; adding tables or selecting one (SetTable) while others look up
// is not safe.
//
// The two concrete kinds differ only in where a table keeps its identifier
// and its size (TableID, TableSize). They are built by CXQOVAStringTable,
// which checks every table before it reaches AddTable; AddTable itself trusts
// the table it is given.
#ifndef XQOVA_TEXT_TABLE_MANAGER_H
#define XQOVA_TEXT_TABLE_MANAGER_H

#include <atomic>
#include <cstdint>

#include "xqova/core/export.h"
#include "xqova/core/types.h"
#include "xqova/dictionary/id_index.h"

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
    // The current table is tried first, so while it is a caller's table that
    // an added one of the same id hides, the hidden one is returned.
    unsigned char* SetTable(std::uint32_t id);

    // What SetTable(id) returns, for lookups that select a table only on
    // the way. The current table matters to a later result only while it can
    // be a caller's table hidden by a later add, so it moves only when the
    // manager has a caller's chain (and then as one atomic store); otherwise
    // nothing is written.
    unsigned char* Lookup(std::uint32_t id) const;

    // The current table, or null.
    unsigned char* CurrentTable() const;

    // True when the list holds no table at all, own or the caller's.
    bool Empty() const { return head_ == nullptr; }

private:
    // The first node holding `id`: the own node from the index, else the
    // first of the caller's chain.
    TableEntry_s* FindNode(std::uint32_t id) const;

    TableEntry_s* head_;
    TableEntry_s* end_;  // where the own nodes stop and the caller's chain begins
    mutable std::atomic<TableEntry_s*> current_;
    // Identifier of each own node to the link that points at it (&head_ or
    // the previous own node's next), so that a node can be unlinked without
    // a walk.
    xqova::IdIndex own_;
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
