#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them all.
#   scripts/bench.sh [benchmark arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${XQOVA_BENCH_BUILD:-$root/build-bench}
bash "$root/scripts/setup.sh" >/dev/null
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$out" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release -DXQOVA_BUILD_TESTS=OFF \
  -DXQOVA_BUILD_TOOLS=OFF -DXQOVA_BUILD_BENCH=ON >/dev/null
ninja -C "$out" >/dev/null
for b in "$out"/bench/*_bench; do
  echo "=== $(basename "$b")"
  "$b" "$@"
done
