#!/usr/bin/env python3
"""Turns a run of peers_bench (Google Benchmark JSON, with repetitions) into
the ratios of the library against its peers, as Markdown tables.

    ratios.py RUN.json [--baseline BASELINE.json] [--check]
    ratios.py RUN.json --write-baseline BASELINE.json --date YYYY-MM-DD

Times are medians of the repetitions, in CPU time (on a loaded machine the
wall-clock time also counts the time the process waited for a core).
--baseline compares the library's own operations with an earlier run (the
same program and machine); --check exits with 1 when a target is missed.
"""
import argparse
import json
import statistics
import sys

UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load_medians(path):
    """Per benchmark: the median aggregate where the run has one, otherwise
    the median of its repetitions."""
    with open(path) as f:
        run = json.load(f)
    medians = {}
    repeats = {}
    for b in run["benchmarks"]:
        name = b.get("run_name", b["name"])
        scale = UNIT_NS[b.get("time_unit", "ns")]
        entry = {
            "cpu": b["cpu_time"] * scale,
            "real": b["real_time"] * scale,
            "allocs": b.get("allocs"),
            "bytes": b.get("bytes"),
        }
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                medians[name] = entry
        else:
            repeats.setdefault(name, []).append(entry)
    for name, entries in repeats.items():
        if name not in medians:
            medians[name] = {k: statistics.median(e[k] for e in entries) if entries[0][k] is not None else None
                             for k in entries[0]}
    repetitions = max([int(b.get("repetitions", 1)) for b in run["benchmarks"]] + [1])
    order = [b.get("run_name", b["name"]) for b in run["benchmarks"]]
    return run.get("context", {}), dict(sorted(medians.items(), key=lambda kv: order.index(kv[0]))), repetitions


def fmt_time(ns):
    if ns >= 1e3:
        return f"{ns / 1e3:.2f} µs"
    return f"{ns:.0f} ns"


def fmt_allocs(a):
    if a is None:
        return "not counted"
    return f"{a:g}"


def has_clmul():
    try:
        with open("/proc/cpuinfo") as f:
            return any(line.startswith("flags") and " pclmulqdq" in line for line in f)
    except OSError:
        return None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("run")
    parser.add_argument("--baseline")
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--write-baseline")
    parser.add_argument("--date")
    args = parser.parse_args()

    context, m, repetitions = load_medians(args.run)
    if args.write_baseline:
        with open(args.write_baseline, "w") as f:
            json.dump({"date": args.date or context.get("date", ""), "repetitions": repetitions,
                       "load_avg": context.get("load_avg"),
                       "cpu_ns": {n: round(v["cpu"], 1) for n, v in m.items() if n.endswith("/xqova")},
                       "allocs": {n: v["allocs"] for n, v in m.items() if n.endswith("/xqova")}},
                      f, indent=2)
            f.write("\n")
        return 0
    needed = ["decode/xqova", "decode/protobuf", "decode/dynamic", "build/xqova", "build/dynamic",
              "encode/xqova", "encode/protobuf", "encode/dynamic", "xml/xqova", "xml/pugixml",
              "xmlsizeall/xqova", "checksum1400/xqova", "checksum1400/bytetable"]
    missing = [n for n in needed if n not in m]
    if missing:
        print("ratios: the run lacks " + ", ".join(missing), file=sys.stderr)
        return 2
    baseline = None
    baseline_date = None
    if args.baseline:
        with open(args.baseline) as f:
            b = json.load(f)
        baseline = b["cpu_ns"]
        baseline_date = b.get("date", "earlier")

    t = {n: v["cpu"] for n, v in m.items()}
    per_byte = {n: t[n] / m[n]["bytes"] for n in ("xml/xqova", "xml/pugixml")}
    rows = []  # (operation, xqova, peer, ratio text, target text, met)

    def faster(peer_name, ratio, target, operation, xqova_text, peer_text):
        rows.append((operation, xqova_text, f"{peer_name}: {peer_text}", f"{ratio:.2f}× faster",
                     f"≥ {target:g}× faster", ratio >= target))

    def within(peer_name, ratio, target, operation, xqova_text, peer_text):
        rows.append((operation, xqova_text, f"{peer_name}: {peer_text}", f"{ratio:.2f}× its time",
                     f"≤ {target:g}× its time", ratio <= target))

    xd = fmt_time(t["decode/xqova"])
    within("protobuf generated `ParseFromArray`", t["decode/xqova"] / t["decode/protobuf"], 1.5,
           "decode into an existing object", xd, fmt_time(t["decode/protobuf"]))
    faster("DynamicMessage `ParseFromArray`", t["decode/dynamic"] / t["decode/xqova"], 8,
           "", "", fmt_time(t["decode/dynamic"]))
    if "build/protobuf_arena" in t:
        rows.append(("", "", "protobuf generated, `ParseFromArray` into a new message on a reused arena: "
                     + fmt_time(t["build/protobuf_arena"]),
                     f"{t['decode/xqova'] / t['build/protobuf_arena']:.2f}× its time", "(no target)", None))
    xb = f"{fmt_time(t['build/xqova'])}, {fmt_allocs(m['build/xqova']['allocs'])} allocations"
    faster("DynamicMessage `New` + `ParseFromArray`", t["build/dynamic"] / t["build/xqova"], 2,
           "build the object from bytes", xb,
           f"{fmt_time(t['build/dynamic'])}, {fmt_allocs(m['build/dynamic']['allocs'])} allocations")
    allocs = m["build/xqova"]["allocs"]
    rows.append(("allocations building the record (twelve objects)", fmt_allocs(allocs),
                 f"DynamicMessage: {fmt_allocs(m['build/dynamic']['allocs'])}", "", "≤ 12, one per object",
                 allocs is not None and allocs <= 12))
    xe = fmt_time(t["encode/xqova"])
    faster("DynamicMessage `SerializeToArray`", t["encode/dynamic"] / t["encode/xqova"], 10,
           "encode", xe, fmt_time(t["encode/dynamic"]))
    within("protobuf generated `SerializeToArray`", t["encode/xqova"] / t["encode/protobuf"], 3,
           "", "", fmt_time(t["encode/protobuf"]))
    faster("pugixml, build the same document and save it", per_byte["xml/pugixml"] / per_byte["xml/xqova"], 10,
           "XML writing, per byte", f"{per_byte['xml/xqova']:.2f} ns/B",
           f"{per_byte['xml/pugixml']:.2f} ns/B")
    if baseline and "xmlsizeall/xqova" in baseline:
        faster(f"the library on {baseline_date}", baseline["xmlsizeall/xqova"] / t["xmlsizeall/xqova"], 5,
               "`XMLSizeAll`", fmt_time(t["xmlsizeall/xqova"]), fmt_time(baseline["xmlsizeall/xqova"]))
    else:
        rows.append(("`XMLSizeAll`", fmt_time(t["xmlsizeall/xqova"]), "no baseline given", "", "≥ 5× faster", None))
    clmul = has_clmul()
    faster("byte-table routine", t["checksum1400/bytetable"] / t["checksum1400/xqova"], 20,
           "checksum of 1400 bytes" + {True: " (CPU has carry-less multiply)",
                                       False: " (CPU lacks carry-less multiply)", None: ""}[clmul],
           fmt_time(t["checksum1400/xqova"]), fmt_time(t["checksum1400/bytetable"]))

    load = context.get("load_avg")
    print(f"Ratios, side by side in one process: medians of {repetitions} repetitions, CPU time"
          + (f"; load average at start {', '.join(f'{x:.1f}' for x in load)} on {context.get('num_cpus', '?')} cores"
             if load else ""))
    print()
    print("| operation | xqova | peer | ratio | target | met |")
    print("|---|---|---|---|---|---|")
    for op, x, peer, ratio, target, met in rows:
        print(f"| {op} | {x} | {peer} | {ratio} | {target} | {'' if met is None else ('yes' if met else 'no')} |")
    print()
    print("| benchmark | CPU time | wall time | allocations | bytes" + (" | library's CPU time before" if baseline else "") + " |")
    print("|---|---|---|---|---" + ("|---" if baseline else "") + "|")
    for name, v in m.items():
        extra = ""
        if baseline:
            before = baseline.get(name) if name.endswith("/xqova") else None
            extra = f" | {fmt_time(before)} ({before / v['cpu']:.2f}×)" if before else " | "
        print(f"| {name} | {fmt_time(v['cpu'])} | {fmt_time(v['real'])} | {fmt_allocs(v['allocs'])} | "
              f"{v['bytes']:g}{extra} |")
    if args.check and any(met is False for *_, met in rows):
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
