// The budget of one object operation: how many objects it may create and how
// many bytes it may allocate.
//
// An operation is one call of the host's that builds objects: any
// CXQOVAObject constructor (the decoding ones with their decode), Deserialize,
// Copy, and a vector's Insert, Push and Copy. Everything the call creates
// counts against one budget: nested objects, base-class parts, the elements
// of fixed-count vectors, the elements a decode inserts into vectors, and the
// buffers of arrays and UNBOUNDED members. A definition that fans out, or an
// encoding that packs many elements into few bytes, therefore cannot make one
// call take unbounded memory or time.
//
// An operation that runs out fails as a whole: a constructor leaves an object
// without members (like an object whose storage could not be allocated: its
// encoders and its decoder refuse it); Deserialize and Copy return 0 with the
// object reset deeply; a vector's Insert and Push return null and leave the
// vector unchanged; its Copy returns 0 with the vector cleared. Once the
// budget is spent every further allocation of the operation is refused, so a
// failing operation stops quickly.
//
// The default (xqova::kDefaultObjectBudget, xqova::kDefaultByteBudget in
// xqova/core/limits.h) is far above what any built-in class takes at any
// version. A host sets another budget for the calls its thread makes with a
// ScopedConstructionBudget:
//
//   {
//       xqova::ScopedConstructionBudget budget(1000, 1u << 20);
//       CXQOVAObject reading(&dictionary, xqova::EncodedBytes{bytes, length});  // at most 1000 objects, 1 MiB
//       if (budget.Exhausted()) { ... }
//   }
//
// The setting is thread-local: it touches no dictionary, string table or
// object, so threads sharing a dictionary each choose their own. Guards nest;
// the innermost one in force when an operation starts decides its budget, and
// a guard's destruction restores the setting before it. Guards must be
// destroyed in the reverse order of their construction (as scoped objects
// are). Operations that an operation makes (the Copy behind a vector's Insert,
// the element decodes of a Deserialize) share its budget.
#ifndef XQOVA_CORE_BUDGET_H
#define XQOVA_CORE_BUDGET_H

#include <cstddef>
#include <cstdint>

#include "xqova/core/export.h"

namespace xqova {

class XQOVA_API ScopedConstructionBudget {
public:
    // At most `objects` new objects and `bytes` allocated per operation that
    // this thread starts while the guard lives. 0xFFFFFFFF objects and
    // UINT64_MAX bytes leave the operation unbounded.
    ScopedConstructionBudget(std::uint32_t objects, std::uint64_t bytes);
    ~ScopedConstructionBudget();
    ScopedConstructionBudget(const ScopedConstructionBudget&) = delete;
    ScopedConstructionBudget& operator=(const ScopedConstructionBudget&) = delete;

    // Whether an operation started under this guard ran out of its budget.
    bool Exhausted() const { return exhausted_; }
    // The most objects and bytes that one operation started under this guard
    // took, for a host that calibrates its budget.
    std::uint32_t MostObjects() const { return mostObjects_; }
    std::uint64_t MostBytes() const { return mostBytes_; }

private:
    friend class BudgetedOperation;

    ScopedConstructionBudget* previous_;
    std::uint32_t objects_;
    std::uint64_t bytes_;
    bool exhausted_;
    std::uint32_t mostObjects_;
    std::uint64_t mostBytes_;
};

}  // namespace xqova

#endif
