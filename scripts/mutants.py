#!/usr/bin/env python3
"""Plants small faults in the library one at a time and reports which ones
the test suite lets through. A developer's tool, not part of the matrix.

  scripts/mutants.sh [-n COUNT] [--seed S] [--build DIR] [--only PATH_SUBSTRING] [--timeout SECONDS] [--sanitize | --recheck]
  scripts/mutants.sh --plant 'xqova/core/crc16.cpp:12:0x8408:0x8409' [--plant ...]

Each fault changes one token on one line of code under xqova/ (a comparison
flipped or moved by one, a condition negated, && and || swapped, a decimal
or hexadecimal constant moved by one, true and false swapped). The faults are planted in a copy of
the tracked files (BUILD/src), never in the working tree. The copy is built
once, then for each fault: the file is changed, rebuilt incrementally, the
whole suite is run by ctest, and the file is restored. A fault
that does not compile is drawn again and not counted. At the end the
survivors (faults the suite did not catch) are printed with file, line and
change, and the share caught.

Comments are not code and are never changed. Generated files (the built-in
definition blocks, marked "Do not edit") are not mutated: they are a generator's output, checked whole by checksums.

A local variable's initial value that the next statement naming the variable
assigns anew cannot be observed, nor the size of an array given with its
elements; such lines are not mutated. The size of any other array being
declared is only made smaller: one element more is room nothing reads, not
a fault. Survivors that
change an initialisation all the same (a member initialiser, a local given
to a function by address) are listed apart as possibly equivalent, with the
share caught among the rest beside the plain share.

A fault after which every object file of the build is byte for byte what
the unchanged tree compiles to cannot change any behaviour (the compiler
folded it away: a bound no value reaches, a constant only its own arithmetic
reads). It is drawn again and not counted, and listed at the end as
equivalent. The build has no debug information, so only code counts.

--sanitize builds and runs the suite as the matrix's sanitizer row does
(a Debug build with AddressSanitizer and UndefinedBehaviorSanitizer, leaks
checked): a fault that reads or writes outside an allocation or a stack
buffer, leaks, or overflows a signed value is caught there even when no
result shows it. Slower, and in a build directory of its own
(BUILD/sanitize); every fault changes its machine code (it has debug
information), so none is set aside as equivalent.

--recheck plants each survivor of the run again in a sanitizer build (as
--sanitize builds it): the matrix runs the suite that way too, so a fault
only the sanitizers see counts as caught, and is listed apart.

--plant plants the faults given (PATH:LINE:OLD:NEW, the first OLD on that
line becomes NEW) one at a time, instead of random ones.
"""
import argparse
import contextlib
import hashlib
import os
import random
import re
import shutil
import signal
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
    (r"(?<![\w.])0[xX]([0-9A-Fa-f]+)(?![0-9A-Fa-f.])", "hex"),  # a hexadecimal one
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
            # Generated data (the built-in definition blocks) is the output of
            # a generator, checked whole by its checksums: not code to mutate.
            if any("Do not edit" in line for line in lines[:8]):
                continue
            inComment = False
            for number, line in enumerate(lines):
                # Comments are not code: a line inside a block comment is
                # passed over, and a line is cut where a comment starts.
                if inComment:
                    inComment = "*/" not in line
                    continue
                code = line.split("//")[0]
                if "/*" in code:
                    inComment = "*/" not in code.split("/*", 1)[1]
                    code = code.split("/*", 1)[0]
                stripped = code.strip()
                if not stripped or stripped.startswith("#"):
                    continue
                # Templates and includes make '<' and '>' ambiguous; skip lines that look like them.
                if re.search(r"(template\s*<|static_cast<|reinterpret_cast<|const_cast<|std::\w+<)", code):
                    continue
                if OverwrittenInitialisation(lines, number):
                    continue
                # The size of an array given its elements: one more only adds
                # a zero nobody reads, one less does not compile.
                if re.search(r"\[\d+\]\s*=\s*\{", code):
                    continue
                found.append((rel, number, code))
    return found


DECLARATION = re.compile(r"^\s*(?:const\s+)?[\w:]+\s*\**\s+(\w+)\s*=\s*[^;]+;\s*$")
INITIALISATION = re.compile(r"^\s*(?:(?!const)[\w:]+\s*\**\s+\w+\s*(?:=\s*[-\w.]+|\[\d+\]);|\w+_\([-\w.]*\)[,{]?)\s*$")


def OverwrittenInitialisation(lines, number):
    """A local declared with a value that the next statement naming it
    assigns anew (`x = ...;`, not a compound assignment)."""
    declaration = lines[number].split("//")[0]
    m = DECLARATION.match(declaration)
    if not m:
        return False
    name = m.group(1)
    indent = len(declaration) - len(declaration.lstrip())
    for later in lines[number + 1:number + 40]:
        code = later.split("//")[0]
        if not re.search(r"\b%s\b" % name, code):
            continue
        # Only an assignment in the same block (so it surely runs) whose
        # right side does not read the variable.
        a = re.match(r"^(\s*)%s\s*=([^=].*)$" % name, code)
        return (a is not None and len(a.group(1)) == indent and
                not re.search(r"\b%s\b" % name, a.group(2)))
    return False


def LooksEquivalent(code):
    """An initialisation that later code may well overwrite."""
    return INITIALISATION.match(code) is not None


# An array being declared, and its sizes in brackets (`char text[40];`,
# `std::uint16_t t[8][256];`, `char digits[kSize + 1] = {};`).
DECLARED = re.compile(r"\b(?!return\b|delete\b|else\b|case\b)[\w:]+(?:\s+|\s*\*+\s*)\w+((?:\[[^\[\]]+\])+)\s*(?:;|=|\{)")


def mutate(code, rng):
    # Text inside string and character literals is left alone.
    quoted = [(m.start(), m.end()) for m in re.finditer(r'"(?:\\.|[^"\\])*"|\'(?:\\.|[^\'\\])*\'', code)]
    # A declared array is only made smaller: one more element is room that
    # nothing reads, not a fault; one fewer is the overrun worth catching.
    dimensions = [(m.start(1) + d.start(), m.start(1) + d.end()) for m in DECLARED.finditer(code)
                  for d in re.finditer(r"\[[^\[\]]+\]", m.group(1))]
    options = []
    for pattern, replacement in MUTATIONS:
        for m in re.finditer(pattern, code):
            if any(a <= m.start() < b for a, b in quoted):
                continue
            if any(a <= m.start() < b for a, b in dimensions) and (
                    replacement not in (None, "hex", "- 2") or code[:m.start()].rstrip()[-1:] in ("-", "/")):
                continue  # only what makes the array smaller
            options.append((m, replacement))
    if not options:
        return None
    m, replacement = rng.choice(options)
    smaller = any(a <= m.start() < b for a, b in dimensions)
    if replacement is None:
        value = int(m.group(1))
        if smaller and value == 0:
            return None
        replacement = str(value + 1 if not smaller and (value == 0 or rng.random() < 0.5) else value - 1)
    elif replacement == "hex":
        digits = m.group(1)
        value = int(digits, 16)
        if smaller and value == 0:
            return None
        value = value + 1 if not smaller and (value == 0 or rng.random() < 0.5) else value - 1
        replacement = "0x" + format(value, "0%d%s" % (len(digits), "X" if digits.upper() == digits else "x"))
    return code[:m.start()] + replacement + code[m.end():]


def run(command, timeout, env=None):
    # In a session of its own, so that a timeout stops the tests ctest started
    # too: a fault that makes a test loop for ever would otherwise keep
    # running after the run has moved on.
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env,
                               start_new_session=True)
    try:
        result = process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        result = "timeout"
    # ctest that stops at a failure may leave another test of the run looping:
    # whatever of the session is left goes too.
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait()
    return result


def object_files(build):
    """The digest of every object file of the build, by path."""
    digests = {}
    for directory, _, names in os.walk(build):
        for name in names:
            if name.endswith(".o"):
                path = os.path.join(directory, name)
                with open(path, "rb") as f:
                    digests[path] = hashlib.sha1(f.read()).hexdigest()
    return digests


def prepare(tree, root, sanitize, timeout):
    """Configures and builds the copy (with the sanitizers of the matrix's
    first row when asked) and runs the unchanged suite once: the build
    directory, the test command and its environment."""
    build = os.path.join(root, "sanitize" if sanitize else "build")
    launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"] if subprocess.run(
        ["sh", "-c", "command -v ccache"], capture_output=True).returncode == 0 else []
    env = dict(os.environ)
    flags = []
    if sanitize:
        sanitizers = "-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer -D_GLIBCXX_ASSERTIONS"
        flags = ["-DCMAKE_CXX_FLAGS=" + sanitizers, "-DCMAKE_C_FLAGS=" + sanitizers]
        env["ASAN_OPTIONS"] = "detect_leaks=1:abort_on_error=1"
        env["UBSAN_OPTIONS"] = "halt_on_error=1:print_stacktrace=1"
    # The quick build is optimised with assertions on (without NDEBUG the
    # multi-gigabyte cases stay off); the sanitizer build is the asan row's
    # Debug build, where no buffer is optimised away.
    kind = ["-DCMAKE_BUILD_TYPE=Debug"] if sanitize else [
        "-DCMAKE_BUILD_TYPE=Release", "-DCMAKE_CXX_FLAGS_RELEASE=-O1", "-DCMAKE_C_FLAGS_RELEASE=-O1"]
    if run(["cmake", "-S", tree, "-B", build, "-G", "Ninja", *kind,
            "-DXQOVA_BUILD_BENCH=OFF", *flags, *launcher], None) != 0 or run(["ninja", "-C", build], None) != 0:
        sys.exit("mutants: the unchanged tree does not build")
    ctest = ["ctest", "--test-dir", build, "-j2", "--stop-on-failure", "-E", "large"]
    if run(ctest, timeout, env) != 0:
        sys.exit("mutants: the unchanged tree does not pass its tests")
    return build, ctest, env


@contextlib.contextmanager
def changed_line(tree, rel, number, code, changed):
    """The copy's file with one line changed, restored on leaving."""
    path = os.path.join(tree, rel)
    with open(path, encoding="utf-8") as f:
        original = f.read()
    text = original.split("\n")
    text[number] = changed + text[number][len(code):]
    try:
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(text))
        yield
    finally:
        with open(path, "w", encoding="utf-8") as f:
            f.write(original)


def planted_run(tree, fault, build, ctest, env, timeout):
    """Plants one fault, rebuilds and runs the suite, and restores the file:
    None when it does not compile, else the suite's result (0: it passed)."""
    with changed_line(tree, *fault):
        if run(["ninja", "-C", build], None) != 0:
            return None
        return run(ctest, timeout, env)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("-n", type=int, default=60)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    parser.add_argument("--build", default=os.path.join(ROOT, "build-mutants"))
    parser.add_argument("--only", default="")
    parser.add_argument("--timeout", type=int, default=240)
    parser.add_argument("--sanitize", action="store_true",
                        help="build and run with AddressSanitizer and UndefinedBehaviorSanitizer")
    parser.add_argument("--recheck", action="store_true",
                        help="plant the survivors again in a sanitizer build, as the matrix's first row runs the suite")
    parser.add_argument("--plant", action="append", default=[],
                        help="PATH:LINE:OLD:NEW, planted instead of random faults")
    args = parser.parse_args()
    rng = random.Random(args.seed)

    # A copy of the tracked files, refreshed from the working tree.
    tree = os.path.join(args.build, "src")
    os.makedirs(tree, exist_ok=True)
    files = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, capture_output=True, check=True).stdout
    tracked = set(rel for rel in files.decode().split("\0") if rel)
    # Files the tree no longer has leave the copy too: the test folders are globbed.
    for d, _, names in os.walk(tree):
        for name in names:
            rel = os.path.relpath(os.path.join(d, name), tree)
            if rel not in tracked:
                os.remove(os.path.join(d, name))
    for rel in sorted(tracked):
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
        shutil.copy(source, target)  # a fresh time, so that the build sees the change
    build, ctest, env = prepare(tree, args.build, args.sanitize, args.timeout)
    unchanged = object_files(build)

    lines = candidate_lines(tree, args.only)
    planted = []
    for given in args.plant:
        rel, line, old, new = given.split(":", 3)
        with open(os.path.join(tree, rel), encoding="utf-8") as f:
            code = f.read().split("\n")[int(line) - 1]
        if old not in code:
            sys.exit(f"mutants: {old!r} is not on {rel}:{line}")
        planted.append((rel, int(line) - 1, code, code.replace(old, new, 1)))
    if planted:
        args.n = len(planted)
    print(f"mutants: {'given' if planted else f'seed {args.seed},'} {args.n} faults, build {args.build}", flush=True)
    caught, survivors, tried, same_code = 0, [], 0, []
    while tried < args.n:
        if planted:
            rel, number, code, changed = planted[tried]
        else:
            rel, number, code = rng.choice(lines)
            changed = mutate(code, rng)
        if changed is None or changed == code:
            continue
        with changed_line(tree, rel, number, code, changed):
            if run(["ninja", "-C", build], None) != 0:
                if planted:
                    sys.exit(f"mutants: {rel}:{number + 1} does not compile when changed")
                continue  # did not compile: draw again
            where = f"{rel}:{number + 1}: {code.strip()}  ->  {changed.strip()}"
            if object_files(build) == unchanged:
                same_code.append(where)
                print(f"[-] same machine code {where}", flush=True)
                if planted:
                    tried += 1
                continue  # the compiler made the same program: draw again
            tried += 1
            result = run(ctest, args.timeout, env)
            if result == 0:
                survivors.append((where, LooksEquivalent(code), (rel, number, code, changed)))
                print(f"[{tried}/{args.n}] SURVIVED {where}", flush=True)
            else:
                caught += 1
                print(f"[{tried}/{args.n}] caught   {where}", flush=True)
    # The matrix runs the suite under AddressSanitizer and
    # UndefinedBehaviorSanitizer too: a survivor that reads outside a buffer,
    # leaks or overflows is caught there.
    sanitized = []
    if args.recheck and survivors and not args.sanitize:
        print(f"rechecking {len(survivors)} survivors with the sanitizers", flush=True)
        sbuild, sctest, senv = prepare(tree, args.build, True, args.timeout)
        for entry in survivors:
            result = planted_run(tree, entry[2], sbuild, sctest, senv, args.timeout)
            print(f"  {'caught  ' if result not in (0, None) else 'survived'} {entry[0]}", flush=True)
            if result not in (0, None):
                sanitized.append(entry)
        survivors = [entry for entry in survivors if entry not in sanitized]
        caught += len(sanitized)
    print("\nsurvivors:")
    for where, equivalent, _ in survivors:
        if not equivalent:
            print("  " + where)
    alike = [where for where, equivalent, _ in survivors if equivalent]
    if alike:
        print("survivors that change an initialisation (possibly equivalent):")
        for where in alike:
            print("  " + where)
    if same_code:
        print(f"equivalent (the same machine code, drawn again and not counted): {len(same_code)}")
        for where in same_code:
            print("  " + where)
    if sanitized:
        print(f"caught by the sanitizer build alone: {len(sanitized)}")
        for where, _, _ in sanitized:
            print("  " + where)
    if planted:
        tried -= len(same_code)
    print(f"mutants: {caught} of {tried} caught ({100.0 * caught / max(tried, 1):.0f}%)", end="")
    rest = tried - len(alike)
    print(f"; {caught} of {rest} ({100.0 * caught / max(rest, 1):.0f}%) without the initialisations" if alike else "")


if __name__ == "__main__":
    main()
