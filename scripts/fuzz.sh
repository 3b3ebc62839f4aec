#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan, checksums skipped) and runs
# each for the given number of seconds (default 600), from seeds that
# make_fuzz_seeds writes from the library itself (plus fuzz/corpus/<target>
# when there is one), with the dictionary fuzz/dict/<target>.dict or the
# generated class identifiers. Findings land in build-fuzz/findings/<target>/.
#   scripts/fuzz.sh [seconds] [target...]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
shift || true
out=${XQOVA_FUZZ_BUILD:-$root/build-fuzz}

bash "$root/scripts/setup.sh" >/dev/null || exit 1
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$out" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DXQOVA_BUILD_TESTS=OFF -DXQOVA_BUILD_TOOLS=ON -DXQOVA_BUILD_FUZZ=ON \
  -DXQOVA_FUZZ_SKIP_CHECKSUMS=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" >"$out.configure.log" 2>&1 \
  || { cat "$out.configure.log"; exit 1; }
ninja -C "$out" || exit 1

# Seeds from the library itself (golden vectors, built-in classes, tables,
# frames), beside the checked-in ones.
rm -rf "$out/seeds"
mkdir -p "$out/seeds/dict"
for f in "$root"/fuzz/*_fuzz.cpp; do mkdir -p "$out/seeds/corpus/$(basename "$f" .cpp)"; done
"$out/fuzz/make_fuzz_seeds" "$out/seeds" || exit 1

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$root"/fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

failed=0
passed=0
for t in "${targets[@]}"; do
  work="$out/corpus/$t"
  findings="$out/findings/$t"
  mkdir -p "$work" "$findings"
  seeds=("$out/seeds/corpus/$t")
  # The tool decodes what the library decodes: objects, frames and streams.
  [ "$t" = qova_decode_fuzz ] && seeds+=("$out/seeds/corpus/object_encoding_fuzz" "$out/seeds/corpus/message_frame_fuzz")
  [ "$t" = safe_xml_fuzz ] && seeds+=("$out/seeds/corpus/object_encoding_fuzz")
  [ -d "$root/fuzz/corpus/$t" ] && seeds+=("$root/fuzz/corpus/$t")
  dict=()
  if [ -f "$root/fuzz/dict/$t.dict" ]; then
    dict+=("-dict=$root/fuzz/dict/$t.dict")
  elif [ "$t" = object_encoding_fuzz ] || [ "$t" = definition_fuzz ] || [ "$t" = string_table_fuzz ] ||
       [ "$t" = qova_decode_fuzz ] || [ "$t" = safe_xml_fuzz ]; then
    dict+=("-dict=$out/seeds/dict/classes.dict")
  fi
  echo "=== $t for ${seconds}s"
  if (cd "$findings" && "$out/fuzz/$t" "${dict[@]}" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -print_final_stats=1 "$work" "${seeds[@]}" >"$out/$t.log" 2>&1); then
    passed=$((passed + 1))
    grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$out/$t.log" | tail -2
  else
    failed=$((failed + 1))
    tail -40 "$out/$t.log"
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
