#include "xqova/core/memory.h"

#include <cstdlib>

#include "xqova/core/budgeted_operation.h"

namespace xqova {

namespace {
long g_allocationsBeforeFailure = -1;
}  // namespace

void* Allocate(std::size_t size) {
    if (g_allocationsBeforeFailure == 0) return nullptr;
    if (g_allocationsBeforeFailure > 0) --g_allocationsBeforeFailure;
    // Inside an object operation every allocation counts against its budget.
    if (!BudgetedOperation::TakeBytes(size)) return nullptr;
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr) BudgetedOperation::ReturnBytes(size);
    return memory;
}

void Release(void* memory) { std::free(memory); }

namespace testing {
void FailAllocationsAfter(long count) { g_allocationsBeforeFailure = count < 0 ? -1 : count; }
}  // namespace testing

}  // namespace xqova
