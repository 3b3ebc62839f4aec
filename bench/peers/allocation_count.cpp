// The benchmark program replaces malloc, calloc, realloc and free with thin
// forwarders to glibc's own allocator that count calls while counting is on.
// Shared libraries (libstdc++'s operator new, protobuf, pugixml) resolve
// malloc to these definitions of the executable, so every allocation in the
// process is seen. The switch is one relaxed atomic load per call, so the
// timed loops (which run with counting off) pay next to nothing.
#include "bench/peers/allocation_count.h"

#include <atomic>
#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
#define XQOVA_BENCH_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define XQOVA_BENCH_SANITIZED 1
#endif

#if defined(__GLIBC__) && !defined(XQOVA_BENCH_SANITIZED)
#define XQOVA_BENCH_COUNT_MALLOC 1
#endif

namespace {
std::atomic<bool> g_counting{false};
std::atomic<std::uint64_t> g_allocations{0};

inline void Count() {
    if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

#ifdef XQOVA_BENCH_COUNT_MALLOC
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* memory, std::size_t size);
void __libc_free(void* memory);

void* malloc(std::size_t size) noexcept {
    Count();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept {
    Count();
    return __libc_calloc(count, size);
}
void* realloc(void* memory, std::size_t size) noexcept {
    Count();
    return __libc_realloc(memory, size);
}
void free(void* memory) noexcept { __libc_free(memory); }
}
#endif

namespace xqova_bench {

bool AllocationsCounted() {
#ifdef XQOVA_BENCH_COUNT_MALLOC
    return true;
#else
    return false;
#endif
}

void StartCountingAllocations() {
    g_allocations.store(0, std::memory_order_relaxed);
    g_counting.store(true, std::memory_order_relaxed);
}

std::uint64_t StopCountingAllocations() {
    g_counting.store(false, std::memory_order_relaxed);
    return g_allocations.load(std::memory_order_relaxed);
}

}  // namespace xqova_bench
