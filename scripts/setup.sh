#!/usr/bin/env bash
# Installs what building, testing and the portability matrix need on a Debian
# machine. Only missing packages are installed; `apt-get update` runs once,
# and only when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang ccache pkg-config
  googletest libgtest-dev libbenchmark-dev libxml2-utils libxml2-dev libcli11-dev nlohmann-json3-dev
  libclang-rt-14-dev
  g++-multilib qemu-user
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine64
)
# The peers the benchmarks compare the library with (bench/peers/); the test
# set builds the benchmarks, so they come with everything else.
bench_packages=(libprotobuf-dev protobuf-compiler libpugixml-dev)
packages+=("${bench_packages[@]}")

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
echo "setup: all packages present"
