// The library's side of the construction budget (see xqova/core/budget.h).
// Not installed.
#ifndef XQOVA_CORE_BUDGETED_OPERATION_H
#define XQOVA_CORE_BUDGETED_OPERATION_H

#include <cstddef>

#include "xqova/core/budget.h"

namespace xqova {

// Every entry point that creates objects holds one of these for the length
// of the call; the outermost one on the thread opens the budget, the ones
// inside share it.
class BudgetedOperation {
public:
    BudgetedOperation();
    ~BudgetedOperation();
    BudgetedOperation(const BudgetedOperation&) = delete;
    BudgetedOperation& operator=(const BudgetedOperation&) = delete;

    // True for the operation that opened the budget: it alone turns an
    // exhausted budget into the failure of the whole call.
    bool Outermost() const { return outermost_; }

    // Whether the operation under way on this thread ran out of its budget.
    static bool Exhausted();
    // Takes one object from the budget under way; false (and the budget
    // counts as exhausted) when none is left. True outside any operation.
    static bool TakeObject();
    // Takes `bytes` for an allocation (xqova::Allocate calls it); false when
    // they are not left, and then the budget counts as exhausted.
    static bool TakeBytes(std::size_t bytes);

private:
    bool outermost_;
};

}  // namespace xqova

#endif
