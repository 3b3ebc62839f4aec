#include "xqova/core/budgeted_operation.h"

#include <algorithm>

#include "xqova/core/limits.h"

namespace xqova {

namespace {

// The state of this thread: the host's innermost guard and the operation
// under way. An operation runs inside one call of the host's, so nothing here
// outlives that call except the guard chain, which the host's scopes own.
// The thread's copy starts zeroed, as all thread storage does: no guard, no
// operation open. The outermost operation sets every count before anything
// reads it.
struct ThreadBudget {
    ScopedConstructionBudget* guard;
    unsigned open;  // nested BudgetedOperations
    std::uint32_t objectsLeft;
    std::uint64_t bytesLeft;
    std::uint32_t objectsTaken;
    std::uint64_t bytesTaken;
    bool exhausted;
};

thread_local ThreadBudget t_budget;

}  // namespace

ScopedConstructionBudget::ScopedConstructionBudget(std::uint32_t objects, std::uint64_t bytes)
    : previous_(t_budget.guard), objects_(objects), bytes_(bytes), exhausted_(false), mostObjects_(0), mostBytes_(0) {
    t_budget.guard = this;
}

ScopedConstructionBudget::~ScopedConstructionBudget() { t_budget.guard = previous_; }

BudgetedOperation::BudgetedOperation() : outermost_(t_budget.open == 0) {
    ++t_budget.open;
    if (!outermost_) return;
    const ScopedConstructionBudget* guard = t_budget.guard;
    t_budget.objectsLeft = guard != nullptr ? guard->objects_ : kDefaultObjectBudget;
    t_budget.bytesLeft = guard != nullptr ? guard->bytes_ : kDefaultByteBudget;
    t_budget.objectsTaken = 0;
    t_budget.bytesTaken = 0;
    t_budget.exhausted = false;
}

BudgetedOperation::~BudgetedOperation() {
    --t_budget.open;
    if (!outermost_) return;
    ScopedConstructionBudget* guard = t_budget.guard;
    if (guard == nullptr) return;
    if (t_budget.exhausted) guard->exhausted_ = true;
    guard->mostObjects_ = std::max(guard->mostObjects_, t_budget.objectsTaken);
    guard->mostBytes_ = std::max(guard->mostBytes_, t_budget.bytesTaken);
}

bool BudgetedOperation::Exhausted() { return t_budget.open != 0 && t_budget.exhausted; }

bool BudgetedOperation::TakeObject() {
    ThreadBudget& b = t_budget;
    if (b.open == 0) return true;
    if (b.exhausted || b.objectsLeft == 0) {
        b.exhausted = true;
        return false;
    }
    if (b.objectsLeft != 0xFFFFFFFFu) --b.objectsLeft;
    ++b.objectsTaken;
    return true;
}

bool BudgetedOperation::TakeBytes(std::size_t bytes) {
    ThreadBudget& b = t_budget;
    if (b.open == 0) return true;
    if (b.exhausted || bytes > b.bytesLeft) {
        b.exhausted = true;
        return false;
    }
    if (b.bytesLeft != UINT64_MAX) b.bytesLeft -= bytes;
    b.bytesTaken += bytes;
    return true;
}

}  // namespace xqova
