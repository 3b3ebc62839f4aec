#!/usr/bin/env python3
"""Checks that the installed headers are the public API and that the shared
library exports every function they declare.

  check_exports.py INCLUDE_DIR --so libxqova.so
  check_exports.py INCLUDE_DIR --dll-exports exports.txt   (objdump -p output)

1. The installed headers are exactly the headers that xqova/xqova.h includes,
   directly or through one another, and the headers of the optional
   components (COMPONENTS below, when installed) with what they include:
   nothing public is left out, nothing internal is installed.
2. clang parses xqova/xqova.h from INCLUDE_DIR and lists every function the
   installed headers declare and do not define inline (templates, deleted and
   defaulted functions need no export). Each must be exported: on ELF by its
   mangled name (nm -D); from a DLL by its demangled name without parameters,
   since a 32-bit DLL mangles size types differently.
3. The C interface (C_HEADERS below, when installed) is parsed as C89 by
   clang, which proves it plain C, and each function it declares must be
   exported under its plain name: by the shared library (nm -D) and in the
   DLL's export table exactly as declared, undecorated (no leading
   underscore, no @N suffix), so that any language finds it by name.
"""
import argparse
import json
import os
import re
import subprocess
import sys
import tempfile

# Optional components: their header, installed beside the core's, and the
# shared library that exports what it declares (--component-dir names the
# directory of those libraries).
COMPONENTS = {"xqova/json/json.h": "libxqova_json.so", "xqova/json/definition_json.h": "libxqova_json.so"}

# The C interface: its headers, installed beside the C++ ones, and the shared
# library that exports their functions (None: the core library).
C_HEADERS = {"xqova/c/xqova_c.h": None, "xqova/c/xqova_json_c.h": "libxqova_json.so"}

FUNCTION_KINDS = {"FunctionDecl", "CXXMethodDecl", "CXXConstructorDecl", "CXXDestructorDecl", "CXXConversionDecl"}


def installed_headers(root):
    found = set()
    for directory, _, files in os.walk(os.path.join(root, "xqova")):
        for f in files:
            if f.endswith(".h"):
                found.add(os.path.relpath(os.path.join(directory, f), root))
    return found


def include_closure(root, first):
    seen, todo = set(), [first]
    while todo:
        header = todo.pop()
        if header in seen:
            continue
        seen.add(header)
        path = os.path.join(root, header)
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                todo += re.findall(r'#\s*include\s+"(xqova/[^"]+)"', f.read())
    return seen


def declared_functions(root, top="xqova/xqova.h"):
    """(header, qualified name, mangled name) of each function that needs an export."""
    with tempfile.NamedTemporaryFile("w", suffix=".cpp", delete=False) as unit:
        unit.write(f'#include "{top}"\n')
    try:
        parsed = subprocess.run(["clang++", "-std=c++17", "-fsyntax-only", "-I", root, "-Xclang", "-ast-dump=json",
                                 unit.name], capture_output=True)
    finally:
        os.unlink(unit.name)
    if parsed.returncode != 0:
        sys.exit("the installed headers do not compile on their own:\n" + parsed.stderr.decode(errors="replace"))
    dump = parsed.stdout
    root_prefix = os.path.realpath(root) + os.sep
    state = {"file": None}
    found = []

    def track(node):
        # The dump names a file only where it changes from the node before.
        for key in ("loc", "range"):
            loc = node.get(key) or {}
            if key == "range":
                loc = loc.get("begin") or {}
            for part in (loc, loc.get("spellingLoc") or {}, loc.get("expansionLoc") or {}):
                if "file" in part:
                    state["file"] = part["file"]

    def walk(node, scope):
        track(node)
        kind = node.get("kind")
        if kind in ("FunctionTemplateDecl", "ClassTemplateDecl", "ClassTemplatePartialSpecializationDecl"):
            for child in node.get("inner", []):
                walk_locations(child)
            return
        here = state["file"]
        public = here is not None and os.path.realpath(here).startswith(root_prefix)
        if kind in FUNCTION_KINDS and public:
            defined_here = any(c.get("kind") == "CompoundStmt" for c in node.get("inner", []))
            if not (node.get("inline") or node.get("isImplicit") or node.get("explicitlyDeleted")
                    or node.get("explicitlyDefaulted") or defined_here or node.get("pure")):
                name = "::".join(scope + [node.get("name", "?")])
                found.append((os.path.relpath(os.path.realpath(here), os.path.realpath(root)), name,
                              node.get("mangledName")))
        inner_scope = scope
        if kind in ("NamespaceDecl", "CXXRecordDecl") and node.get("name"):
            inner_scope = scope + [node["name"]]
        for child in node.get("inner", []):
            walk(child, inner_scope)

    def walk_locations(node):
        track(node)
        for child in node.get("inner", []):
            walk_locations(child)

    walk(json.loads(dump), [])
    return found


def declared_c_functions(root, header):
    """(header, name) of each function `header` declares, parsed as C89."""
    with tempfile.NamedTemporaryFile("w", suffix=".c", delete=False) as unit:
        unit.write(f'#include "{header}"\n')
    try:
        parsed = subprocess.run(["clang", "-x", "c", "-std=c89", "-pedantic-errors", "-Wall", "-Werror",
                                 "-fsyntax-only", "-I", root, "-Xclang", "-ast-dump=json", unit.name],
                                capture_output=True)
    finally:
        os.unlink(unit.name)
    if parsed.returncode != 0:
        sys.exit(f"{header} is not plain C89:\n" + parsed.stderr.decode(errors="replace"))
    wanted = os.path.realpath(os.path.join(root, header))
    state = {"file": None}
    found = []

    def visit(node, top):
        # The dump names a file only where it changes from the node before.
        for key in ("loc", "range"):
            loc = node.get(key) or {}
            if key == "range":
                loc = loc.get("begin") or {}
            for part in (loc, loc.get("spellingLoc") or {}, loc.get("expansionLoc") or {}):
                if "file" in part:
                    state["file"] = part["file"]
        if top and node.get("kind") == "FunctionDecl" and state["file"] \
                and os.path.realpath(state["file"]) == wanted:
            found.append((header, node["name"]))
        for child in node.get("inner", []):
            visit(child, False)

    for node in json.loads(parsed.stdout).get("inner", []):
        visit(node, True)
    return found


def demangled_without_parameters(names):
    if not names:
        return []
    out = subprocess.run(["c++filt", "-p"], input="\n".join(names), check=True, capture_output=True,
                         text=True).stdout
    return [line.strip() for line in out.splitlines()]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("include_dir")
    parser.add_argument("--so")
    parser.add_argument("--dll-exports")
    parser.add_argument("--component-dir", help="directory of the components' shared libraries")
    args = parser.parse_args()
    failures = []

    installed = installed_headers(args.include_dir)
    public = include_closure(args.include_dir, "xqova/xqova.h")
    components = [c for c in COMPONENTS if c in installed]
    for component in components:
        public |= include_closure(args.include_dir, component)
    c_headers = [h for h in C_HEADERS if h in installed]
    for header in c_headers:
        public |= include_closure(args.include_dir, header)
    for header in sorted(installed - public):
        failures.append(f"installed but not part of the public API (xqova/xqova.h does not reach it): {header}")
    for header in sorted(public - installed):
        failures.append(f"public but not installed: {header}")

    functions = declared_functions(args.include_dir)
    if args.so:
        symbols = subprocess.run(["nm", "-D", "--defined-only", args.so], check=True, capture_output=True,
                                 text=True).stdout
        exported = {line.split()[-1] for line in symbols.splitlines() if line.strip()}
        for header, name, mangled in functions:
            # A constructor or destructor may be emitted in one of its variants
            # only (an abstract class has no complete-object constructor).
            variants = {mangled}
            for group in (("C1E", "C2E"), ("D0E", "D1E", "D2E")):
                for v in group:
                    if v in mangled:
                        variants |= {mangled.replace(v, other, 1) for other in group}
            if not variants & exported:
                failures.append(f"{header}: {name} ({mangled}) is declared but not exported by {args.so}")
    if args.dll_exports:
        with open(args.dll_exports, encoding="utf-8", errors="replace") as f:
            table = f.read()
        # Rows of the export table: "[ ordinal] name".
        names = re.findall(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", table, re.MULTILINE)
        exported = set(demangled_without_parameters(names)) | set(names)
        wanted = demangled_without_parameters([m for _, _, m in functions])
        for (header, name, _), plain in zip(functions, wanted):
            if plain not in exported:
                failures.append(f"{header}: {name} is declared but not exported by the DLL")

    # The C interface: plain names, in the core's shared library and DLL or in
    # its component's shared library.
    c_functions = 0
    for header in c_headers:
        declared = declared_c_functions(args.include_dir, header)
        c_functions += len(declared)
        library = C_HEADERS[header]
        if args.so and library is None:
            symbols = subprocess.run(["nm", "-D", "--defined-only", args.so], check=True, capture_output=True,
                                     text=True).stdout
            exported = {line.split()[-1] for line in symbols.splitlines() if line.strip()}
            failures += [f"{h}: {n} is declared but not exported by {args.so}" for h, n in declared if n not in exported]
        if args.dll_exports and library is None:
            with open(args.dll_exports, encoding="utf-8", errors="replace") as f:
                rows = set(re.findall(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", f.read(), re.MULTILINE))
            failures += [f"{h}: {n} is not exported undecorated by the DLL" for h, n in declared if n not in rows]
        if args.component_dir and library is not None:
            path = os.path.join(args.component_dir, library)
            symbols = subprocess.run(["nm", "-D", "--defined-only", path], check=True, capture_output=True,
                                     text=True).stdout
            exported = {line.split()[-1] for line in symbols.splitlines() if line.strip()}
            failures += [f"{h}: {n} is declared but not exported by {path}" for h, n in declared if n not in exported]

    # Each component's own functions, exported by its own shared library.
    for component in components if args.component_dir else []:
        library = os.path.join(args.component_dir, COMPONENTS[component])
        symbols = subprocess.run(["nm", "-D", "--defined-only", library], check=True, capture_output=True,
                                 text=True).stdout
        exported = {line.split()[-1] for line in symbols.splitlines() if line.strip()}
        own = os.path.dirname(component) + "/"
        for header, name, mangled in declared_functions(args.include_dir, component):
            if header.startswith(own) and mangled not in exported:
                failures.append(f"{header}: {name} ({mangled}) is declared but not exported by {library}")

    for f in failures:
        print(f)
    print(f"public API: {len(public)} headers, {len(functions)} functions that need an export, "
          f"{c_functions} C functions; {len(failures)} problems")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
