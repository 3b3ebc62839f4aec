// Counts the heap allocations a piece of code makes, whoever makes them: the
// library (malloc through xqova::Allocate), protobuf and the standard library
// (operator new, which ends in malloc) and pugixml (malloc).
#ifndef XQOVA_BENCH_PEERS_ALLOCATION_COUNT_H
#define XQOVA_BENCH_PEERS_ALLOCATION_COUNT_H

#include <cstdint>

namespace xqova_bench {

// False where the counting cannot work (not glibc, or a sanitizer that owns
// malloc itself); the benchmarks then report no allocation counters.
bool AllocationsCounted();

// Calls to malloc, calloc and realloc since counting started.
void StartCountingAllocations();
std::uint64_t StopCountingAllocations();

// Allocations per call of f, averaged over `calls` calls after one warm-up
// call (first-use caches are not counted).
template <class F>
double AllocationsPerCall(F&& f, int calls = 32) {
    f();
    StartCountingAllocations();
    for (int i = 0; i < calls; ++i) f();
    return static_cast<double>(StopCountingAllocations()) / calls;
}

}  // namespace xqova_bench

#endif
