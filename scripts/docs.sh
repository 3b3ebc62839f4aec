#!/usr/bin/env bash
# Builds the API reference of the installed headers with Doxygen (Debian
# package doxygen; scripts/setup.sh test installs it) into
# ${XQOVA_DOCS_OUT:-build-docs}/html. Any Doxygen warning fails the build.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${XQOVA_DOCS_OUT:-$root/build-docs}
command -v doxygen >/dev/null || { echo "docs: doxygen missing (scripts/setup.sh test installs it)"; exit 1; }

# xqova/version.h as the build writes it, from the one project version.
version=$(sed -n 's/^project(xqova VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
IFS=. read -r major minor patch <<<"$version"
mkdir -p "$out/include/xqova"
sed -e "s/@PROJECT_VERSION_MAJOR@/$major/" -e "s/@PROJECT_VERSION_MINOR@/$minor/" \
    -e "s/@PROJECT_VERSION_PATCH@/$patch/" -e "s/@PROJECT_VERSION@/$version/" \
    "$root/xqova/version.h.in" >"$out/include/xqova/version.h"

cd "$root"
# The public headers: xqova/xqova.h and what it includes (the installed set).
public=$(python3 -c 'import os, sys; sys.path.insert(0, "scripts"); import check_exports as c
print(" ".join(sorted(h for h in c.include_closure(".", "xqova/xqova.h") if os.path.exists(h))))')
{
  cat docs/Doxyfile
  echo "INPUT = $public"
  echo "PROJECT_NUMBER = $version"
  echo "OUTPUT_DIRECTORY = $out"
  echo "INPUT += $out/include/xqova/version.h"
  echo "STRIP_FROM_PATH += $out/include"
  echo "WARN_LOGFILE = $out/warnings.log"
} | doxygen - || { echo "docs: doxygen failed"; cat "$out/warnings.log" 2>/dev/null; exit 1; }
if [ -s "$out/warnings.log" ]; then
  echo "docs: doxygen warnings:"; cat "$out/warnings.log"; exit 1
fi
echo "docs: API reference in $out/html/index.html"
