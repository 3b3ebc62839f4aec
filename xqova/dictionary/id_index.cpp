#include "xqova/dictionary/id_index.h"

#include <atomic>
#include <cstring>

#include "xqova/core/memory.h"
#include "xqova/dictionary/hashing.h"

namespace xqova {

std::uint64_t Mix64(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 31;
    return x;
}

std::uint64_t HashSeed(const void* owner) {
    static std::atomic<std::uint64_t> counter{0};
    static const int anchor = 0;
    const std::uint64_t n = counter.fetch_add(0x9E3779B97F4A7C15ull, std::memory_order_relaxed);
    const auto here = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(owner));
    const auto image = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&anchor));
    return Mix64(n ^ Mix64(here) ^ Mix64(image + 0x632BE59BD9B4E019ull));
}

IdIndex::IdIndex() : slots_(nullptr), mask_(0), count_(0), seed_(HashSeed(this)) {}

IdIndex::~IdIndex() { Release(slots_); }

void IdIndex::Clear() {
    Release(slots_);
    slots_ = nullptr;
    mask_ = 0;
    count_ = 0;
}

std::size_t IdIndex::SlotOf(std::uint32_t id) const { return static_cast<std::size_t>(Mix64(id ^ seed_)) & mask_; }

IdIndex::Slot* IdIndex::Probe(std::uint32_t id) const {
    for (std::size_t slot = SlotOf(id);; slot = (slot + 1) & mask_) {
        Slot* s = slots_ + slot;
        if (s->value == nullptr || s->id == id) return s;
    }
}

bool IdIndex::Reserve(std::size_t more) {
    const std::size_t slots = slots_ == nullptr ? 0 : mask_ + 1;
    if (more > (static_cast<std::size_t>(-1) >> 4) - count_) return false;
    const std::size_t needed = count_ + more;
    if (2 * needed <= slots && slots != 0) return true;
    std::size_t grown = slots == 0 ? 16 : slots;
    while (grown < 2 * needed) grown *= 2;
    if (grown > (static_cast<std::size_t>(-1) >> 1) / sizeof(Slot)) return false;
    auto* fresh = static_cast<Slot*>(Allocate(grown * sizeof(Slot)));
    if (fresh == nullptr) return false;
    std::memset(static_cast<void*>(fresh), 0, grown * sizeof(Slot));

    Slot* old = slots_;
    slots_ = fresh;
    mask_ = grown - 1;
    for (std::size_t i = 0; i < slots; ++i) {
        if (old[i].value != nullptr) *Probe(old[i].id) = old[i];
    }
    Release(old);
    return true;
}

void* IdIndex::Find(std::uint32_t id) const {
    if (slots_ == nullptr) return nullptr;
    return Probe(id)->value;
}

void IdIndex::Set(std::uint32_t id, void* value) {
    Slot* s = Probe(id);
    if (s->value == nullptr) ++count_;
    s->id = id;
    s->value = value;
}

void IdIndex::SetIfAbsent(std::uint32_t id, void* value) {
    Slot* s = Probe(id);
    if (s->value != nullptr) return;
    ++count_;
    s->id = id;
    s->value = value;
}

}  // namespace xqova
