// An index from 32-bit identifiers (class ids, table ids) to pointers, for
// the dictionary and the table managers, which hold them by value (so the
// class is exported with them); hosts have no use for it.
//
// Open addressing with linear probing, at most half full. Every insertion is
// preceded by Reserve, which is the only operation that allocates: a failed
// Reserve leaves the index as it was, so a caller can reserve first and
// change its own state only when everything it needs is in hand.
//
// Identifiers come from outside (definitions and tables a host loads from a
// file, for instance), so the slot of an identifier depends on a seed of
// the index's own, mixed in before the final scrambling: a set of
// identifiers chosen to collide in one index does not collide in another.
#ifndef XQOVA_DICTIONARY_ID_INDEX_H
#define XQOVA_DICTIONARY_ID_INDEX_H

#include <cstddef>
#include <cstdint>

#include "xqova/core/export.h"

namespace xqova {

class XQOVA_API IdIndex {
public:
    IdIndex();
    ~IdIndex();
    IdIndex(const IdIndex&) = delete;
    IdIndex& operator=(const IdIndex&) = delete;

    // Makes room for `more` insertions beyond the identifiers held; false
    // (nothing changed) when memory runs out or the count cannot be held.
    bool Reserve(std::size_t more);

    // The value held for `id`, or null.
    void* Find(std::uint32_t id) const;

    // Holds `value` (not null) for `id`, replacing what was held. Needs room
    // reserved before, unless `id` is already held.
    void Set(std::uint32_t id, void* value);
    // Holds `value` for `id` only when nothing is held for it yet.
    void SetIfAbsent(std::uint32_t id, void* value);

    std::size_t Count() const { return count_; }
    void Clear();

private:
    struct Slot {
        std::uint32_t id;
        void* value;  // null: free
    };

    std::size_t SlotOf(std::uint32_t id) const;
    Slot* Probe(std::uint32_t id) const;  // the slot holding id, or the free slot where it would go

    Slot* slots_;
    std::size_t mask_;   // slot count - 1 (slot count a power of two), 0 without slots
    std::size_t count_;
    std::uint64_t seed_;
};

}  // namespace xqova

#endif
