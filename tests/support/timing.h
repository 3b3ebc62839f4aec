// Timing for the tests that show an operation linear in its input: the
// processor time of the calling thread where the platform has it (other
// processes on a loaded machine then do not count), wall time elsewhere.
#ifndef XQOVA_TESTS_SUPPORT_TIMING_H
#define XQOVA_TESTS_SUPPORT_TIMING_H

#include <chrono>

#if defined(__unix__) || defined(__APPLE__)
#include <time.h>
#endif

namespace test_timing {

inline double Seconds() {
#if (defined(__unix__) || defined(__APPLE__)) && defined(CLOCK_THREAD_CPUTIME_ID)
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) == 0) return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
#endif
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The most that eight times the input may take, given the time of one
// eighth: linear growth with room for caches, allocators and a busy machine,
// far below the 64 times of quadratic growth.
inline double EightfoldBound(double eighth) { return 3 * 8 * eighth + 0.05; }

}  // namespace test_timing

#endif
