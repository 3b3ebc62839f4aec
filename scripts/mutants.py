#!/usr/bin/env python3
"""Plants small faults in the library one at a time and reports which ones
the test suite lets through. A developer's tool, not part of the matrix.

  scripts/mutants.sh [-n COUNT] [--seed S] [--build DIR] [--only PATH_SUBSTRING] [--timeout SECONDS]

Each fault changes one token on one line of code under xqova/ (a comparison
flipped or moved by one, a condition negated, && and || swapped, a constant
moved by one, true and false swapped). The faults are planted in a copy of
the tracked files (BUILD/src), never in the working tree. The copy is built
once, then for each fault: the file is changed, rebuilt incrementally, the
whole suite is run by ctest, and the file is restored. A fault
that does not compile is drawn again and not counted. At the end the
survivors (faults the suite did not catch) are printed with file, line and
change, and the share caught.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# (pattern, replacement) pairs; each is tried at a token boundary.
MUTATIONS = [
    (r"(?<![<>=!])==(?!=)", "!="),
    (r"!=", "=="),
    (r"(?<![<>-])<=", "<"),
    (r"(?<![<>-])>=", ">"),
    (r"(?<![<>=-])<(?![<=])", "<="),
    (r"(?<![<>=-])>(?![>=])", ">="),
    (r"&&", "||"),
    (r"\|\|", "&&"),
    (r"\btrue\b", "false"),
    (r"\bfalse\b", "true"),
    (r"(?<![\w.])(\d+)(?![\w.xX])", None),  # a decimal constant moved by one
    (r"\+ 1\b", "+ 2"),
    (r"- 1\b", "- 2"),
    (r"\bif \(", "if (!"),
]


def candidate_lines(tree, only):
    found = []
    for directory, _, files in os.walk(os.path.join(tree, "xqova")):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(directory, name)
            rel = os.path.relpath(path, tree)
            if only and only not in rel:
                continue
            with open(path, encoding="utf-8") as f:
                lines = f.read().split("\n")
            for number, line in enumerate(lines):
                code = line.split("//")[0]
                stripped = code.strip()
                if not stripped or stripped.startswith(("#", "*", "/*")):
                    continue
                # Templates and includes make '<' and '>' ambiguous; skip lines that look like them.
                if re.search(r"(template\s*<|static_cast<|reinterpret_cast<|const_cast<|std::\w+<)", code):
                    continue
                found.append((rel, number, code))
    return found


def mutate(code, rng):
    # Text inside string and character literals is left alone.
    quoted = [(m.start(), m.end()) for m in re.finditer(r'"(?:\\.|[^"\\])*"|\'(?:\\.|[^\'\\])*\'', code)]
    options = []
    for pattern, replacement in MUTATIONS:
        for m in re.finditer(pattern, code):
            if not any(a <= m.start() < b for a, b in quoted):
                options.append((m, replacement))
    if not options:
        return None
    m, replacement = rng.choice(options)
    if replacement is None:
        value = int(m.group(1))
        replacement = str(value + 1 if value == 0 or rng.random() < 0.5 else value - 1)
    return code[:m.start()] + replacement + code[m.end():]


def run(command, timeout):
    try:
        return subprocess.run(command, capture_output=True, timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("-n", type=int, default=60)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    parser.add_argument("--build", default=os.path.join(ROOT, "build-mutants"))
    parser.add_argument("--only", default="")
    parser.add_argument("--timeout", type=int, default=600)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    print(f"mutants: seed {args.seed}, {args.n} faults, build {args.build}")

    # A copy of the tracked files, refreshed from the working tree.
    tree = os.path.join(args.build, "src")
    os.makedirs(tree, exist_ok=True)
    files = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, capture_output=True, check=True).stdout
    for rel in files.decode().split("\0"):
        source, target = os.path.join(ROOT, rel), os.path.join(tree, rel)
        if not rel or not os.path.isfile(source):
            continue
        with open(source, "rb") as f:
            data = f.read()
        if os.path.exists(target):
            with open(target, "rb") as f:
                if f.read() == data:
                    continue  # unchanged: keeps its time, so the build stays incremental
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(source, target)
    build = os.path.join(args.build, "build")

    launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] if subprocess.run(
        ["sh", "-c", "command -v ccache"], capture_output=True).returncode == 0 else []
    if run(["cmake", "-S", tree, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
            # Optimised, assertions on; without NDEBUG the multi-gigabyte cases stay off.
            "-DCMAKE_CXX_FLAGS_RELEASE=-O1",
            "-DXQOVA_BUILD_BENCH=OFF", *launcher], None) != 0 or run(["ninja", "-C", build], None) != 0:
        sys.exit("mutants: the unchanged tree does not build")
    ctest = ["ctest", "--test-dir", build, "-j2", "--stop-on-failure", "-E", "large"]
    if run(ctest, args.timeout) != 0:
        sys.exit("mutants: the unchanged tree does not pass its tests")

    lines = candidate_lines(tree, args.only)
    caught, survivors, tried = 0, [], 0
    while tried < args.n:
        rel, number, code = rng.choice(lines)
        changed = mutate(code, rng)
        if changed is None or changed == code:
            continue
        path = os.path.join(tree, rel)
        with open(path, encoding="utf-8") as f:
            original = f.read()
        text = original.split("\n")
        text[number] = changed + text[number][len(code):]
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write("\n".join(text))
            if run(["ninja", "-C", build], None) != 0:
                continue  # did not compile: draw again
            tried += 1
            result = run(ctest, args.timeout)
            where = f"{rel}:{number + 1}: {code.strip()}  ->  {changed.strip()}"
            if result == 0:
                survivors.append(where)
                print(f"[{tried}/{args.n}] SURVIVED {where}", flush=True)
            else:
                caught += 1
                print(f"[{tried}/{args.n}] caught   {where}", flush=True)
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
    print("\nsurvivors:")
    for s in survivors:
        print("  " + s)
    print(f"mutants: {caught} of {tried} caught ({100.0 * caught / max(tried, 1):.0f}%)")


if __name__ == "__main__":
    main()
