// The registry through which everything finds the definition of a class.
//
// A dictionary holds a base chain of definitions given at construction (one
// of the built-in chains, or none), which it never copies or frees, and the
// definitions the host adds at run time, which it copies into nodes of its
// own, linked in front of the base chain, newest first.
#ifndef XQOVA_DICTIONARY_DICTIONARY_H
#define XQOVA_DICTIONARY_DICTIONARY_H

#include <cstddef>
#include <cstdint>

#include "xqova/core/export.h"
#include "xqova/core/types.h"

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

    void* GetDefinition(std::uint32_t classId);
    void* GetDefinition(std::uint16_t family, std::uint8_t genus, std::uint8_t species);
    void* GetDefinitionAt(std::uint16_t index);
    std::uint16_t GetDefinitionCount();

    void SetSearchMode(SearchMode_e mode);
    SearchMode_e GetSearchMode() const;

private:
    TableEntry_s* FindEntry(std::uint32_t classId, SearchMode_e mode);
    TableEntry_s* First(SearchMode_e mode) const;
    TableEntry_s* Stop(SearchMode_e mode) const;

    TableEntry_s* base_;
    TableEntry_s* head_;
    SearchMode_e searchMode_;
};

#endif
