#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them all.
#   scripts/bench.sh [benchmark arguments...]
# peers_bench (the library side by side with protobuf and pugixml) runs
# XQOVA_BENCH_REPETITIONS times (default 5); its medians are turned into the
# table of ratios (bench/peers/ratios.py), kept in $out/peers.json and
# $out/peers-ratios.md. XQOVA_BENCH_ONLY=peers_bench runs that program alone.
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
  name=$(basename "$b")
  if [ -n "${XQOVA_BENCH_ONLY:-}" ] && [ "$name" != "$XQOVA_BENCH_ONLY" ]; then continue; fi
  echo "=== $name"
  if [ "$name" = peers_bench ]; then
    "$b" --benchmark_repetitions="${XQOVA_BENCH_REPETITIONS:-5}" --benchmark_report_aggregates_only=true \
      --benchmark_out="$out/peers.json" --benchmark_out_format=json "$@"
    baseline=()
    if [ -f "$root/bench/peers/baseline.json" ]; then baseline=(--baseline "$root/bench/peers/baseline.json"); fi
    python3 "$root/bench/peers/ratios.py" "$out/peers.json" "${baseline[@]}" | tee "$out/peers-ratios.md"
  else
    "$b" "$@"
  fi
done
if [ ! -x "$out/bench/peers_bench" ]; then
  echo "=== peers_bench was not built (protobuf or pugixml missing): no ratios"
fi
