#!/usr/bin/env bash
# Prints the size of the test suite against the size of the code it tests:
# non-blank, non-comment lines of .h/.cpp/.c under tests/ and python/tests/
# against xqova/, tools/, examples/, bench/ and fuzz/, and the share of the one
# in the other.
#   scripts/test_share.sh [-v]   (-v also lists the test folders)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exec python3 - "$root" "${1:-}" <<'PY'
import os, re, sys
root, verbose = sys.argv[1], sys.argv[2] == "-v"

def count(path):
    n, block = 0, False
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            s = line.strip()
            if block:
                if "*/" in s:
                    block = False
                    s = s.split("*/", 1)[1].strip()
                else:
                    continue
            if s.startswith("/*"):
                if "*/" not in s:
                    block = True
                    continue
                s = s.split("*/", 1)[1].strip()
            if s and not s.startswith("//"):
                n += 1
    return n

def total(top, per=None):
    n = 0
    for d, dirs, files in os.walk(os.path.join(root, top)):
        dirs[:] = [x for x in dirs if not x.startswith(("build", "."))]
        for name in files:
            if name.endswith((".h", ".cpp", ".c")):
                c = count(os.path.join(d, name))
                n += c
                if per is not None:
                    key = os.path.relpath(d, root).split(os.sep)[:2]
                    per["/".join(key)] = per.get("/".join(key), 0) + c
    return n

per = {}
tests = total("tests", per) + total("python/tests", per)
code = sum(total(t) for t in ("xqova", "tools", "examples", "bench", "fuzz"))
if verbose:
    for k in sorted(per):
        print(f"  {per[k]:6d}  {k}")
print(f"tests {tests} lines, code {code} lines, share {100.0 * tests / code:.2f}%")
PY
