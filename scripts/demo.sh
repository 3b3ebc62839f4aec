#!/usr/bin/env bash
# The demo of one reading: a host takes the built-in device dictionary,
# receives an encoded NIBP reading, builds the object, reads its members with
# their names, corrects one, encodes it again and renders it as XML.
#
# Installs what is missing of cmake, ninja and g++ (scripts/setup.sh demo),
# nothing else; configures a Release build in
# build-demo/, builds only the demo program and runs it on the shipped reading.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-demo"

bash "$root/scripts/setup.sh" demo

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

echo "demo: building demo_one_reading in build-demo/ ..."
mkdir -p "$build"
if ! cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DXQOVA_BUILD_TESTS=OFF "${launcher[@]}" \
    >"$build/configure.log" 2>&1; then
  cat "$build/configure.log"
  exit 1
fi
if ! ninja -C "$build" demo_one_reading >"$build/build.log" 2>&1; then
  cat "$build/build.log"
  exit 1
fi

exec "$build/examples/demo_one_reading" "$root/examples/sample_reading.bin"
