#!/usr/bin/env bash
# Builds the library and its tests with clang's source-based coverage, runs the
# suite, and prints how much of each library file the suite runs: lines, and
# branch directions (a condition's true side and its false side). Writes the
# worklist BUILD/uncovered.txt: every branch direction no test takes and every
# line no test runs, as FILE:LINE[:COLUMN] and the source text. A fault that
# changes only what happens on such a side (a bound moved by one, a statement of
# a branch no test enters) survives for certain: the first places to look for a
# missing test.
# A developer's tool; CI does not run it.
#   scripts/coverage.sh [BUILD_DIR]   (default build-coverage)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-coverage}")
bash "$root/scripts/setup.sh" >/dev/null
flags="-fprofile-instr-generate -fcoverage-mapping"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$build" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DXQOVA_BUILD_BENCH=OFF \
  "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_C_FLAGS=$flags" \
  -DCMAKE_EXE_LINKER_FLAGS=-fprofile-instr-generate -DCMAKE_SHARED_LINKER_FLAGS=-fprofile-instr-generate >/dev/null
ninja -C "$build" >/dev/null
rm -rf "$build/profiles"
mkdir -p "$build/profiles"
# The multi-gigabyte cases are left out: they run no line the others do not.
LLVM_PROFILE_FILE="$build/profiles/%p-%m.profraw" ctest --test-dir "$build" -j2 -E large >/dev/null
llvm-profdata merge -sparse "$build"/profiles/*.profraw -o "$build/suite.profdata"
mapfile -t programs < <(find "$build/tests" "$build/tools" "$build/examples" -type f -perm -u+x ! -path "*/CMakeFiles/*")
objects=("${programs[0]}")
for p in "${programs[@]:1}"; do objects+=("-object=$p"); done
rm -rf "$build/annotated"
llvm-cov show "${objects[@]}" -instr-profile="$build/suite.profdata" -show-branches=count \
  -format=text -output-dir="$build/annotated" 2>/dev/null
exec python3 - "$build" <<'PY'
import os, re, sys
build = sys.argv[1]
worklist, summary = [], []
for directory, _, names in os.walk(os.path.join(build, "annotated", "coverage")):
    for name in sorted(names):
        path = os.path.join(directory, name)
        source = path[len(os.path.join(build, "annotated", "coverage")):-len(".txt")]
        if "/xqova/" not in source or source.startswith(build):
            continue
        rel = source[source.rindex("/xqova/") + 1:]
        text, lines, run, branches, taken = {}, 0, 0, 0, 0
        rows = open(path, encoding="utf-8", errors="replace").read().split("\n")
        for row in rows:
            m = re.match(r"\s*(\d+)\|\s*([\d.kMG]*)\|(.*)", row)
            if m:
                text[int(m.group(1))] = m.group(3).strip()
                if m.group(2):
                    lines += 1
                    run += m.group(2) != "0"
                    if m.group(2) == "0" and m.group(3).strip() not in ("", "{", "}"):
                        worklist.append(f"{rel}:{m.group(1)} line never run: {m.group(3).strip()}")
        seen = set()
        for row in rows:
            m = re.search(r"Branch \((\d+):(\d+)\): \[True: ([\d.kMG]+), False: ([\d.kMG]+)\]", row)
            if not m or (m.group(1), m.group(2)) in seen:
                continue
            seen.add((m.group(1), m.group(2)))
            branches += 2
            taken += (m.group(3) != "0") + (m.group(4) != "0")
            if m.group(3) == "0" or m.group(4) == "0":
                side = "never reached" if m.group(3) == m.group(4) else "never true" if m.group(3) == "0" else "never false"
                worklist.append(f"{rel}:{m.group(1)}:{m.group(2)} {side}: {text.get(int(m.group(1)), '')}")
        summary.append((rel, lines, run, branches, taken))
print(f"{'file':44} {'lines run':>14} {'branch sides':>16}")
total = [0, 0, 0, 0]
for rel, lines, run, branches, taken in sorted(summary):
    total = [total[0] + lines, total[1] + run, total[2] + branches, total[3] + taken]
    print(f"{rel:44} {run:6}/{lines:<6} {taken:7}/{branches:<7}")
print(f"{'all':44} {total[1]:6}/{total[0]:<6} {total[3]:7}/{total[2]:<7}"
      f"  ({100.0 * total[1] / max(total[0], 1):.1f}% of lines, {100.0 * total[3] / max(total[2], 1):.1f}% of branch sides)")
with open(os.path.join(build, "uncovered.txt"), "w") as f:
    f.write("\n".join(worklist) + "\n")
print(f"{len(worklist)} places no test reaches: {os.path.join(build, 'uncovered.txt')}")
PY
