#include "xqova/core/memory.h"

#include <cstdlib>

namespace xqova {

namespace {
long g_allocationsBeforeFailure = -1;
}  // namespace

void* Allocate(std::size_t size) {
    if (g_allocationsBeforeFailure == 0) return nullptr;
    if (g_allocationsBeforeFailure > 0) --g_allocationsBeforeFailure;
    return std::malloc(size == 0 ? 1 : size);
}

void Release(void* memory) { std::free(memory); }

namespace testing {
void FailAllocationsAfter(long count) { g_allocationsBeforeFailure = count < 0 ? -1 : count; }
}  // namespace testing

}  // namespace xqova
