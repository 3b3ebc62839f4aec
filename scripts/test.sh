#!/usr/bin/env bash
# The whole test suite and the portability matrix:
#   1. Linux x86-64, gcc, Debug, AddressSanitizer + UndefinedBehaviorSanitizer
#      (LeakSanitizer on): all tests, the Python package's pytest suite
#      with the sanitizer's runtime loaded into the interpreter.
#   2. Linux x86-64, clang, Release, -Werror: all tests (the Python package's
#      pytest suite among them); then the library is installed into another
#      prefix than the configured one and a consumer project builds against
#      it with find_package and with pkg-config; the C++ and the Python host
#      examples print the same facts of one record.
#   3. 32-bit Linux (ILP32): g++ -m32 -static, tests run under qemu-i386.
#   4. Windows x86-64 (LLP64): MinGW-w64, tests run under wine64.
#   5. Windows 32-bit: the i686 DLL and its import library, built and its
#      exports checked (no 32-bit Wine here, so it is not run).
#   6. The libFuzzer targets, built with clang and run 30 seconds each, so
#      that they are proven to build and run (scripts/fuzz.sh runs longer).
#   7. ThreadSanitizer (clang): threads sharing one dictionary and one string
#      table decode, encode, write XML, look names up and build derived
#      classes; only the stress program and what it links are built.
#   8. Packages: the Debian package (cpack, with the Python package), unpacked
#      with dpkg -x and used by the consumer project with find_package and
#      pkg-config and by the Python example; the API
#      reference (Doxygen, no warnings allowed); the Windows x86-64 zip, the
#      consumer built against it, both run under wine64 with qova.exe.
# Rows can be picked: scripts/test.sh asan clang i386 win64 win32 fuzz tsan package
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${XQOVA_BUILD_ROOT:-$root/build-matrix}
gtest_src=/usr/src/googletest
mkdir -p "$out"

bash "$root/scripts/setup.sh" || { echo "setup failed"; exit 1; }

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi

configure_build_test() {  # dir, then cmake arguments
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" "$@" >"$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log"; return 1; }
  ninja -C "$dir" || return 1
  (cd "$dir" && ctest --output-on-failure --timeout 1200)
}

row_asan() {
  # float-cast-overflow is not part of gcc's "undefined"; the library
  # assertions check the standard containers' indexes and preconditions.
  local sanitizers="-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer -D_GLIBCXX_ASSERTIONS"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  configure_build_test "$out/gcc-asan" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ \
    -DCMAKE_CXX_FLAGS="$sanitizers" -DCMAKE_C_FLAGS="$sanitizers" \
    -DXQOVA_PYTHON=ON
}

row_clang() {
  # Configured for the default prefix and installed elsewhere: the CMake
  # package and xqova.pc must follow the copy to where it was installed.
  configure_build_test "$out/clang-release" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ \
    -DXQOVA_BUILD_BENCH=ON -DXQOVA_PYTHON=ON || return 1
  local prefix="$out/prefix"
  rm -rf "$prefix"
  cmake --install "$out/clang-release" --prefix "$prefix" >/dev/null || return 1
  python3 "$root/scripts/check_exports.py" "$prefix/include" --so "$prefix/lib/libxqova.so" \
    --component-dir "$prefix/lib" || return 1
  consumer_against "$prefix" "$prefix/lib"
}

# Builds tests/consumer against an installed copy under PREFIX (libraries in
# LIBDIR) with find_package and with pkg-config, and runs the three programs.
consumer_against() {
  local prefix=$1 libdir=$2 dir="$out/consumer-$(basename "$1")"
  rm -rf "$dir"
  cmake -S "$root/tests/consumer" -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER="${CONSUMER_CXX:-clang++}" \
    -DCMAKE_PREFIX_PATH="$prefix" >"$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log"; return 1; }
  ninja -C "$dir" || return 1
  "$dir/consumer_static" || return 1
  LD_LIBRARY_PATH="$libdir" "$dir/consumer_shared" || return 1
  # The host example, built against the shared library, on a record the
  # installed qova writes.
  "$prefix/bin/qova" encode CSESDZentoRec NIBPData.Systolic=120 Patient.Identifier=P-0042 -o "$dir/record.bin" || return 1
  local shown
  shown=$(LD_LIBRARY_PATH="$libdir" "$dir/read_record_shared" "$dir/record.bin") || return 1
  [ "$shown" = $'Systolic: 120 (units code 255)\nPatient.Identifier: P-0042' ] || { echo "read_record printed: $shown"; return 1; }
  # The same host in C, through the C interface: the same facts.
  local shown_c
  shown_c=$(LD_LIBRARY_PATH="$libdir" "$dir/read_record_c_shared" "$dir/record.bin") || return 1
  [ "$shown_c" = "$shown" ] || { echo "read_record_c printed: $shown_c"; return 1; }
  # The Python example, on the installed package when the copy has one, prints the same.
  if [ -d "$prefix/lib/python3/dist-packages/xqova" ]; then
    shown=$(cd "$dir" && PYTHONPATH="$prefix/lib/python3/dist-packages" /usr/bin/python3 "$root/examples/read_record.py" \
      "$dir/record.bin") || return 1
    [ "$shown" = $'Systolic: 120 (units code 255)\nPatient.Identifier: P-0042' ] || { echo "read_record.py printed: $shown"; return 1; }
  fi
  local flags include
  flags=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs xqova) || return 1
  include=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --variable=includedir xqova) || return 1
  if [ "$(realpath "$include")" != "$(realpath "$prefix/include")" ]; then
    echo "pkg-config reports $include, not $prefix/include"; return 1
  fi
  # shellcheck disable=SC2086
  "${CONSUMER_CXX:-clang++}" -std=c++17 "$root/tests/consumer/main.cpp" $flags -o "$dir/consumer_pkgconfig" || return 1
  LD_LIBRARY_PATH="$libdir" "$dir/consumer_pkgconfig" || return 1
  # A C program, compiled by the C compiler with the same flags.
  # shellcheck disable=SC2086
  cc -std=c99 "$root/examples/read_record.c" $flags -o "$dir/read_record_c_pkgconfig" || return 1
  [ "$(LD_LIBRARY_PATH="$libdir" "$dir/read_record_c_pkgconfig" "$dir/record.bin")" = "$shown" ] \
    || { echo "read_record_c built with pkg-config printed otherwise"; return 1; }
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
  # Every function the installed headers declare is in the DLL's export table.
  rm -rf "$dir/prefix"
  cmake --install "$dir" --prefix "$dir/prefix" >/dev/null || return 1
  python3 "$root/scripts/check_exports.py" "$dir/prefix/include" --dll-exports "$dir/exports.txt"
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

row_package() {
  # The Debian package: configured for /usr, only qova built, then installed
  # into a scratch prefix (the install builds the libraries it lacks), then
  # packed by cpack, unpacked with dpkg -x (nothing is installed on the
  # machine) and used by the consumer project.
  local dir="$out/package-deb" root_dir="$out/package-root" multiarch
  multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
  cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_INSTALL_PREFIX=/usr -DXQOVA_BUILD_TESTS=OFF -DXQOVA_PYTHON=ON >"$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log"; return 1; }
  rm -f "$dir"/libxqova.so* "$dir"/libxqova.a "$dir"/python/xqova/_xqova*.so
  ninja -C "$dir" qova || return 1
  rm -rf "$out/package-partial"
  cmake --install "$dir" --prefix "$out/package-partial" >/dev/null || return 1
  [ -f "$out/package-partial/lib/$multiarch/libxqova.so.0" ] || { echo "install did not build the shared library"; return 1; }
  ls "$out"/package-partial/lib/python3/dist-packages/xqova/_xqova*.so >/dev/null 2>&1 \
    || { echo "install did not build the Python module"; return 1; }
  rm -rf "$dir/packages"
  (cd "$dir" && cpack >"$dir/cpack.log" 2>&1) || { cat "$dir/cpack.log"; return 1; }
  local deb
  deb=$(ls "$dir"/packages/*.deb) || return 1
  dpkg-deb -f "$deb" Package Version Depends
  rm -rf "$root_dir"
  dpkg -x "$deb" "$root_dir" || return 1
  local version
  version=$("$root_dir/usr/bin/qova" --version) || return 1
  [ "$version" = "$(dpkg-deb -f "$deb" Version)" ] || { echo "qova --version says $version"; return 1; }
  CONSUMER_CXX=g++ consumer_against "$root_dir/usr" "$root_dir/usr/lib/$multiarch" || return 1
  echo "package: $(basename "$deb") unpacked and used by the consumer"

  # The API reference, which fails on any Doxygen warning.
  XQOVA_DOCS_OUT="$out/docs" bash "$root/scripts/docs.sh" || return 1

  # The Windows x86-64 zip: DLL, import library, static library, headers,
  # CMake and pkg-config files, qova.exe. The tool's header-only libraries
  # are copied apart from /usr/include for the cross compiler.
  local win="$out/package-win64" unz="$out/package-win64-unzipped" wine headers="$out/qova-headers"
  rm -rf "$headers" && mkdir -p "$headers" && cp -r /usr/include/CLI /usr/include/nlohmann "$headers/" || return 1
  cmake -S "$root" -B "$win" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64-x86_64.cmake" \
    -DXQOVA_BUILD_TESTS=OFF -DXQOVA_BUILD_TOOLS=ON -DXQOVA_QOVA_HEADERS="$headers" >"$win.configure.log" 2>&1 \
    || { cat "$win.configure.log"; return 1; }
  ninja -C "$win" || return 1
  rm -rf "$win/packages" "$unz"
  (cd "$win" && cpack >"$win/cpack.log" 2>&1) || { cat "$win/cpack.log"; return 1; }
  local zip
  zip=$(ls "$win"/packages/*.zip) || return 1
  mkdir -p "$unz" && (cd "$unz" && unzip -q "$zip") || return 1
  local top
  top=$(ls -d "$unz"/*/)
  for f in bin/libxqova.dll bin/qova.exe lib/libxqova.dll.a lib/libxqova.a include/xqova/xqova.h include/xqova/version.h \
      lib/cmake/xqova/xqovaConfigVersion.cmake; do
    [ -f "$top/$f" ] || { echo "zip lacks $f"; return 1; }
  done
  # The consumer, cross-built against the unzipped copy, run once under wine64.
  local cons="$out/consumer-win64"
  rm -rf "$cons"
  cmake -S "$root/tests/consumer" -B "$cons" -G Ninja -DCMAKE_PREFIX_PATH="$top" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64-x86_64.cmake" >"$cons.configure.log" 2>&1 \
    || { cat "$cons.configure.log"; return 1; }
  ninja -C "$cons" || return 1
  cp "$top/bin/libxqova.dll" "$cons/" || return 1
  wine=$(find_wine64) || { echo "wine64 not found"; return 1; }
  export WINEDEBUG=-all WINEPREFIX="$out/wineprefix"
  "$wine" cmd /c exit >/dev/null 2>&1 || true   # creates the prefix once
  (cd "$cons" && "$wine" ./consumer_static.exe && "$wine" ./consumer_shared.exe) || { echo "consumer under wine64 failed"; return 1; }
  version=$("$wine" "$top/bin/qova.exe" --version | tr -d '\r') || return 1
  [ "$version" = "$(dpkg-deb -f "$deb" Version)" ] || { echo "qova.exe --version says $version"; return 1; }
  (cd "$root" && "$wine" "$top/bin/qova.exe" decode examples/sample_reading.bin) | tr -d '\r' \
    | diff - "$root/tests/tool/golden/decode_sample.txt" || { echo "qova.exe decodes otherwise"; return 1; }
  echo "package: $(basename "$zip") unzipped; the consumer and qova.exe ran under wine64"
}

rows=("$@")
if [ ${#rows[@]} -eq 0 ]; then rows=(asan clang i386 win64 win32 fuzz tsan package); fi

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
