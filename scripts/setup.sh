#!/usr/bin/env bash
# Installs what building, testing and the portability matrix need on a Debian
# machine. Only missing packages are installed; `apt-get update` runs once,
# and only when something is missing.
set -euo pipefail
#
#   scripts/setup.sh demo   only what the demo build needs (scripts/demo.sh)
#   scripts/setup.sh test   everything the tests and the whole matrix need
#   scripts/setup.sh        the same as test
#   scripts/setup.sh --list PURPOSE   print the packages of PURPOSE, install nothing

list_only=0
if [ "${1:-}" = "--list" ]; then list_only=1; shift; fi
purpose=${1:-test}

# The demo: a Release build of the library and one example program.
demo_packages=(cmake ninja-build g++)

packages=(
  "${demo_packages[@]}" clang ccache pkg-config
  googletest libgtest-dev libbenchmark-dev libxml2-utils libxml2-dev libcli11-dev nlohmann-json3-dev
  libclang-rt-14-dev llvm
  g++-multilib qemu-user
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine64
)
# The peers the benchmarks compare the library with (bench/peers/); the test
# set builds the benchmarks, so they come with everything else.
bench_packages=(libprotobuf-dev protobuf-compiler libpugixml-dev)
packages+=("${bench_packages[@]}")
# The Python package (python/): pybind11 and the headers of Debian's python3,
# pytest for its tests; the matrix builds it in the asan, clang and package rows.
python_packages=(python3-dev pybind11-dev python3-pybind11 python3-pytest)
packages+=("${python_packages[@]}")
# The package row: Debian package tools, the Windows zip, the API reference.
package_packages=(dpkg-dev zip unzip doxygen)
packages+=("${package_packages[@]}")

case "$purpose" in
  demo) packages=("${demo_packages[@]}") ;;
  test) ;;
  *) echo "setup: unknown purpose '$purpose' (demo or test)" >&2; exit 2 ;;
esac
if [ "$list_only" -eq 1 ]; then printf '%s\n' "${packages[@]}"; exit 0; fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd="sudo"; fi
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi
echo "setup: all packages present ($purpose)"
