// The checksum that guards every definition, table, encoding and frame.
#include <benchmark/benchmark.h>

#include <vector>

#include "xqova/core/checksum.h"

static void Checksum(benchmark::State& state, bool carryless) {
    const bool before = xqova::checksum_paths::UseCarryless(carryless);
    std::vector<unsigned char> data(static_cast<std::size_t>(state.range(0)));
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 31 + 7);
    for (auto _ : state) {
        benchmark::DoNotOptimize(CalculateCRC(data.data(), static_cast<std::uint32_t>(data.size())));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
    xqova::checksum_paths::UseCarryless(before);
}

// The route the CPU allows (carry-less multiplication where it has it), and
// the slicing tables alone.
static void BM_CalculateCRC(benchmark::State& state) { Checksum(state, true); }
static void BM_CalculateCRC_Tables(benchmark::State& state) { Checksum(state, false); }
BENCHMARK(BM_CalculateCRC)->Arg(16)->Arg(64)->Arg(256)->Arg(1400);
BENCHMARK(BM_CalculateCRC_Tables)->Arg(16)->Arg(64)->Arg(256)->Arg(1400);
