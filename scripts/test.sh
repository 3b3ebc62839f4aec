#!/usr/bin/env bash
# The whole test suite and the portability matrix:
#   1. Linux x86-64, gcc, Debug, AddressSanitizer + UndefinedBehaviorSanitizer
#      (LeakSanitizer on): all tests.
#   2. Linux x86-64, clang, Release, -Werror: all tests; then the library is
#      installed and a consumer project builds against it with find_package
#      and with pkg-config.
#   3. 32-bit Linux (ILP32): g++ -m32 -static, tests run under qemu-i386.
#   4. Windows x86-64 (LLP64): MinGW-w64, tests run under wine64.
#   5. Windows 32-bit: the i686 DLL and its import library, built and its
#      exports checked (no 32-bit Wine here, so it is not run).
#   6. The libFuzzer targets, built with clang and run 30 seconds each, so
#      that they are proven to build and run (scripts/fuzz.sh runs longer).
#   7. ThreadSanitizer (clang): threads sharing one dictionary and one string
#      table decode, encode, write XML, look names up and build derived
#      classes; only the stress program and what it links are built.
# Rows can be picked: scripts/test.sh asan clang i386 win64 win32 fuzz tsan
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${XQOVA_BUILD_ROOT:-$root/build-matrix}
gtest_src=/usr/src/googletest
mkdir -p "$out"

bash "$root/scripts/setup.sh" || { echo "setup failed"; exit 1; }

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

configure_build_test() {  # dir, then cmake arguments
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" "$@" >"$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log"; return 1; }
  ninja -C "$dir" || return 1
  (cd "$dir" && ctest --output-on-failure --timeout 1200)
}

row_asan() {
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  configure_build_test "$out/gcc-asan" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
}

row_clang() {
  configure_build_test "$out/clang-release" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_INSTALL_PREFIX="$out/prefix" -DXQOVA_BUILD_BENCH=ON || return 1
  rm -rf "$out/prefix"
  cmake --install "$out/clang-release" >/dev/null || return 1
  # find_package against the installed copy.
  cmake -S "$root/tests/consumer" -B "$out/consumer" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_PREFIX_PATH="$out/prefix" >"$out/consumer.configure.log" 2>&1 \
    || { cat "$out/consumer.configure.log"; return 1; }
  ninja -C "$out/consumer" || return 1
  "$out/consumer/consumer_static" || return 1
  LD_LIBRARY_PATH="$out/prefix/lib" "$out/consumer/consumer_shared" || return 1
  # pkg-config against the installed copy.
  local flags
  flags=$(PKG_CONFIG_PATH="$out/prefix/lib/pkgconfig" pkg-config --cflags --libs xqova) || return 1
  # shellcheck disable=SC2086
  clang++ -std=c++17 "$root/tests/consumer/main.cpp" $flags -o "$out/consumer/consumer_pkgconfig" || return 1
  LD_LIBRARY_PATH="$out/prefix/lib" "$out/consumer/consumer_pkgconfig"
}

row_i386() {
  configure_build_test "$out/linux-i386" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/linux-i386.cmake" -DXQOVA_GTEST_SOURCE="$gtest_src"
}

find_wine64() {
  local w
  w=$(command -v wine64 || true)
  if [ -z "$w" ]; then w=$(dpkg -L wine64 2>/dev/null | grep -E '/wine64$' | grep -v share | head -n 1); fi
  [ -n "$w" ] && [ -x "$w" ] && echo "$w"
}

row_win64() {
  local wine
  wine=$(find_wine64) || { echo "wine64 not found"; return 1; }
  export XQOVA_WINE="$wine" WINEDEBUG=-all WINEPREFIX="$out/wineprefix"
  "$wine" cmd /c exit >/dev/null 2>&1 || true   # creates the prefix once
  configure_build_test "$out/mingw-x86_64" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64-x86_64.cmake" -DXQOVA_GTEST_SOURCE="$gtest_src"
}

row_win32() {
  local dir="$out/mingw-i686"
  cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64-i686.cmake" \
    -DXQOVA_BUILD_TESTS=OFF -DXQOVA_BUILD_TOOLS=OFF >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  ninja -C "$dir" xqova_shared xqova || return 1
  [ -f "$dir/libxqova.dll" ] && [ -f "$dir/libxqova.dll.a" ] || { echo "DLL or import library missing"; return 1; }
  i686-w64-mingw32-objdump -p "$dir/libxqova.dll" >"$dir/exports.txt" || return 1
  grep -q "DLL Name" "$dir/exports.txt" || true
  local missing=0 name
  while read -r name; do
    [ -z "$name" ] && continue
    if ! grep -q "$name" "$dir/exports.txt"; then echo "export missing: $name"; missing=1; fi
  done <"$root/scripts/dll-exports.txt"
  [ "$missing" -eq 0 ] && echo "win32 DLL exports: $(grep -c . "$root/scripts/dll-exports.txt") names present"
}

row_fuzz() {
  XQOVA_FUZZ_BUILD="$out/fuzz" bash "$root/scripts/fuzz.sh" "${XQOVA_FUZZ_SECONDS:-30}"
}

row_tsan() {
  local dir="$out/clang-tsan"
  cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
    -DXQOVA_BUILD_TOOLS=OFF >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  ninja -C "$dir" xqova_shared_dictionary_stress || return 1
  (cd "$dir" && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --output-on-failure --timeout 1200 -R '^shared_dictionary_stress$')
}

rows=("$@")
if [ ${#rows[@]} -eq 0 ]; then rows=(asan clang i386 win64 win32 fuzz tsan); fi

passed=0
failed=0
summary=()
for r in "${rows[@]}"; do
  echo "=================== $r"
  start=$(date +%s)
  if "row_$r"; then
    passed=$((passed + 1)); summary+=("PASS  $r  ($(( $(date +%s) - start ))s)")
  else
    failed=$((failed + 1)); summary+=("FAIL  $r  ($(( $(date +%s) - start ))s)")
  fi
done
echo "=================== summary"
printf '%s\n' "${summary[@]}"
echo "matrix: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
