// Timing for the tests that show an operation linear in its input: the
// processor time of the calling thread where the platform has it (other
// processes on a loaded machine then do not count), wall time elsewhere.
#ifndef XQOVA_TESTS_SUPPORT_TIMING_H
#define XQOVA_TESTS_SUPPORT_TIMING_H

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#if defined(__unix__) || defined(__APPLE__)
#include <time.h>
#endif

namespace test_timing {

using Work = std::function<void()>;

inline double Seconds() {
#if (defined(__unix__) || defined(__APPLE__)) && defined(CLOCK_THREAD_CPUTIME_ID)
    timespec now{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) == 0) return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
#endif
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The best of three runs, so that a busy machine slows both sides of a
// comparison rather than deciding it.
inline double BestSeconds(const Work& work) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const double start = Seconds();
        work();
        best = std::min(best, Seconds() - start);
    }
    return best;
}

// The most that eight times the input may take, given the time of one
// eighth: linear growth with room for caches, allocators and a busy machine,
// far below the 64 times of quadratic growth.
inline double EightfoldBound(double eighth, double slack = 0.05) { return 3 * 8 * eighth + slack; }

// Times the work that `prepare` makes for n and for 8n (the preparing is not
// timed) and expects the larger within EightfoldBound of the smaller.
// Returns the time at 8n.
inline double ExpectLinear(const std::function<Work(std::size_t)>& prepare, std::size_t n, const std::string& what,
                           double slack = 0.05) {
    const Work small = prepare(n), large = prepare(8 * n);
    const double eighth = BestSeconds(small), whole = BestSeconds(large);
    EXPECT_LT(whole, EightfoldBound(eighth, slack))
        << what << ": " << 1e3 * eighth << " ms at n = " << n << ", " << 1e3 * whole << " ms at 8n";
    return whole;
}

}  // namespace test_timing

#endif
