#!/bin/sh
# Regenerates xqova/builtin/builtin_blocks.cpp from the class definitions in
# xqova/builtin/classes/sdk.json and device.json. Run from anywhere; the
# build directory defaults to build-builtin-gen at the repository's top
# (override with BUILD_DIR). The built-in tests fail until the regenerated
# file is checked in.
set -eu

top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$top/build-builtin-gen"}

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DXQOVA_BUILD_TESTS=OFF -DXQOVA_BUILD_TOOLS=ON >/dev/null
cmake --build "$build" --target xqova_builtin_gen
"$build/tools/builtin_gen/xqova_builtin_gen" "$top/xqova/builtin/classes/sdk.json" \
    "$top/xqova/builtin/classes/device.json" "$top/xqova/builtin/builtin_blocks.cpp"
echo "wrote $top/xqova/builtin/builtin_blocks.cpp"
