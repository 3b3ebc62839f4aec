// The library's count of allocations not yet released, for the C program:
// it frees everything it made, so the count ends at 0 in every build (the
// rows without a leak checker included).
#include "xqova/core/memory.h"

extern "C" void test_count_allocations(void) { xqova::testing::CountAllocations(true); }
extern "C" long test_live_allocations(void) { return xqova::testing::LiveAllocations(); }
