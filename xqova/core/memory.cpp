#include "xqova/core/memory.h"

#include <cstdlib>

#include "xqova/core/budgeted_operation.h"

namespace xqova {

namespace {
long g_allocationsBeforeFailure = -1;
bool g_onlyOne = false;
bool g_counting = false;
long g_live = 0;
}  // namespace

void* Allocate(std::size_t size) {
    if (g_allocationsBeforeFailure == 0) {
        if (g_onlyOne) g_allocationsBeforeFailure = -1;
        return nullptr;
    }
    if (g_allocationsBeforeFailure > 0) --g_allocationsBeforeFailure;
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr) return nullptr;
    // Inside an object operation every allocation counts against its budget:
    // taken once the memory is there, so a failed one takes nothing.
    if (!BudgetedOperation::TakeBytes(size)) {
        std::free(memory);
        return nullptr;
    }
    if (g_counting) ++g_live;
    return memory;
}

void Release(void* memory) {
    if (g_counting && memory != nullptr) --g_live;
    std::free(memory);
}

namespace testing {
void FailAllocationsAfter(long count) { g_allocationsBeforeFailure = count < 0 ? -1 : count; }
void FailOnlyOneAllocation(bool on) { g_onlyOne = on; }
long AllocationsBeforeFailure() { return g_allocationsBeforeFailure; }
void CountAllocations(bool on) {
    g_counting = on;
    g_live = 0;
}
long LiveAllocations() { return g_live; }
}  // namespace testing

}  // namespace xqova
