// The registry through which everything finds the definition of a class.
//
// A dictionary holds a base chain of definitions given at construction (one
// of the built-in chains, or none), which it never copies or frees, and the
// definitions the host adds at run time, which it copies into nodes of its
// own, linked in front of the base chain, newest first.
//
// Lookups go through an index kept beside the list (class id to the node
// that serves it, for the added definitions and for the base chain), so a
// lookup takes constant time and adding n definitions takes time linear in
// their bytes. The base chain is indexed when the dictionary is constructed
// and must not change afterwards; when memory for that index runs out, the
// base chain is walked instead, with the same results.
//
// Every block is checked in full and compiled into a table
// (xqova::CompiledDefinition) once, when it enters the dictionary: the base
// chain at construction, each accepted AddDefinition. A block must not change
// while a dictionary holds it; objects read the table, not the block.
//
// Every lookup is const and leaves the dictionary as it was: once the host
// has added its definitions, any number of threads may look up, count and
// index the dictionary at the same time (and build objects on it). Adding a
// definition or setting the search mode while another thread uses the
// dictionary is not safe.
#ifndef XQOVA_DICTIONARY_DICTIONARY_H
#define XQOVA_DICTIONARY_DICTIONARY_H

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "xqova/core/export.h"
#include "xqova/core/types.h"
#include "xqova/dictionary/id_index.h"

namespace xqova {
class CompiledDefinition;

// Data that a layer above derives from a dictionary's definitions and keeps
// beside it (the XML writers' templates). The dictionary frees it, through
// `free`, when it is destroyed and whenever what it was derived from may
// read differently: a definition added, the search mode changed.
struct DerivedData {
    void (*free)(DerivedData* data);
};
}  // namespace xqova

enum SearchMode_e {
    SEARCH_MODE_ALL = 0,    // added definitions (newest first), then the base chain
    SEARCH_MODE_BASE = 1,   // the base chain only
    SEARCH_MODE_ADDED = 2   // the added definitions only
};

class XQOVA_API CXQOVADictionary {
public:
    // `base` is the first TableEntry_s of a chain of definitions, or null.
    explicit CXQOVADictionary(void* base = nullptr);
    ~CXQOVADictionary();

    // A dictionary owns its added nodes; copies would free them twice.
    CXQOVADictionary(const CXQOVADictionary&) = delete;
    CXQOVADictionary& operator=(const CXQOVADictionary&) = delete;

    // Adds a copy of one definition and returns the copy; null when the block
    // is null, fails its checksum or its structure checks, is not newer than
    // the definition already serving its class, or memory runs out. The
    // caller vouches that `fullSize` bytes are readable at `block`.
    void* AddDefinition(const void* block);
    // The same for a block that lies within `available` readable bytes.
    void* AddDefinition(const void* block, std::size_t available);

    // Adds the definitions lying back to back in `length` bytes. Returns
    // 0xFFFF when the walk consumed the buffer exactly, otherwise the number
    // of definitions accepted before a damaged block ended it.
    std::uint16_t AddDefinitions(const void* buffer, std::uint32_t length);

    // The definition serving the class in the current search mode, or null.
    void* GetDefinition(std::uint32_t classId) const;
    void* GetDefinition(std::uint16_t family, std::uint8_t genus, std::uint8_t species) const;
    // The index-th definition (from 0) in the current mode's scope, or null.
    void* GetDefinitionAt(std::uint16_t index) const;
    // The number of definitions in the current mode's scope. The dictionary
    // holds at most 65,535 definitions of its own and its base chain together
    // (AddDefinition refuses more), so the count is exact; only a base chain
    // longer than that on its own is counted as 65,535.
    std::uint16_t GetDefinitionCount() const;

    // The same lookups in the scope of a mode given by the caller, whatever
    // the dictionary's own mode is (a value of 3 or more reads as
    // SEARCH_MODE_ALL). They never change the dictionary: code that needs one
    // scope for a moment passes it here rather than switching the mode, which
    // other users of the dictionary would see.
    void* GetDefinition(std::uint32_t classId, SearchMode_e mode) const;
    void* GetDefinitionAt(std::uint16_t index, SearchMode_e mode) const;
    std::uint16_t GetDefinitionCount(SearchMode_e mode) const;

    // The compiled table of a block this dictionary holds (as returned by
    // the lookups above), or null for any other block and for a base block
    // that failed its check or could not be compiled for lack of memory.
    const xqova::CompiledDefinition* Compiled(const void* block) const;

    void SetSearchMode(SearchMode_e mode);
    SearchMode_e GetSearchMode() const;

    // The slot for derived data (see xqova::DerivedData). Its user fills it
    // lazily and atomically (build, then compare-exchange from null), so
    // threads that share the dictionary may fill it at the same time; what
    // it points at is never changed once published. Adding a definition or
    // setting the search mode empties it, which is why those two are not
    // safe while another thread uses the dictionary.
    std::atomic<xqova::DerivedData*>& Derived() const { return derived_; }

private:
    TableEntry_s* FindEntry(std::uint32_t classId, SearchMode_e mode) const;
    TableEntry_s* FindInBase(std::uint32_t classId) const;
    TableEntry_s* BaseAt(std::uint32_t index) const;
    void IndexBase();
    void CompileBase();
    void* Adopt(const void* block, xqova::CompiledDefinition* compiled);
    void DropDerived();

    TableEntry_s* base_;
    TableEntry_s* head_;
    SearchMode_e searchMode_;

    // The added nodes in the order they were added (the list runs the other
    // way), and the class ids they serve: every species of a definition
    // points at the newest definition that serves it.
    TableEntry_s** added_;
    std::uint32_t addedCount_;
    std::uint32_t addedCapacity_;
    xqova::IdIndex addedIndex_;
    // The base chain in list order, and the first node serving each class id
    // (null and empty when that index could not be built).
    TableEntry_s** baseNodes_;
    std::uint32_t baseCount_;
    xqova::IdIndex baseIndex_;
    // The compiled tables of the base chain (in list order, null where a
    // block failed), and every compiled table by the low bits of its block's
    // address (a collision only costs a compilation elsewhere).
    const xqova::CompiledDefinition** baseCompiled_;
    xqova::IdIndex compiledIndex_;
    mutable std::atomic<xqova::DerivedData*> derived_{nullptr};
};

#endif
