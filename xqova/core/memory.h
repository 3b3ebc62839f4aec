// The library's allocation: never throws; failure comes back as null.
//
// Every allocation of the library goes through Allocate, so that tests can
// make the n-th allocation fail and check that each operation then gives its
// documented result (0, null, an empty member) without a leak or a crash.
#ifndef XQOVA_CORE_MEMORY_H
#define XQOVA_CORE_MEMORY_H

#include <cstddef>
#include <new>
#include <utility>

namespace xqova {

void* Allocate(std::size_t size);
void Release(void* memory);

// Constructs a T in memory from Allocate; null when memory runs out. T's
// constructor must not throw.
template <class T, class... Args>
T* New(Args&&... args) {
    void* memory = Allocate(sizeof(T));
    return memory == nullptr ? nullptr : new (memory) T(std::forward<Args>(args)...);
}

template <class T>
void Delete(T* object) {
    if (object == nullptr) return;
    object->~T();
    Release(object);
}

namespace testing {
// Makes every allocation after the next `count` fail (count 0: the next one
// fails). A negative count turns failures off again. Tests only.
void FailAllocationsAfter(long count);
// With `on`, the failure FailAllocationsAfter arms is of that one allocation
// alone: the ones after it succeed again, as when memory is freed meanwhile.
void FailOnlyOneAllocation(bool on);
// How many allocations still succeed before the armed failure; negative when
// none is armed (or the one failure has happened).
long AllocationsBeforeFailure();
// Counts the allocations not yet released while `on` (a fresh start at 0
// each time it is turned on), so that a test can see a leak in any build.
// Tests only, with no other thread allocating.
void CountAllocations(bool on);
long LiveAllocations();
}  // namespace testing

}  // namespace xqova

#endif
