#!/usr/bin/env python3
"""Turns the raw figures of scripts/bench-data-layer.sh into the Markdown table of
docs/PERFORMANCE.md: medians per engine, case and tool, the ratios and the peak memory.

usage: bench_report.py RAW.tsv [--page-size N] [--instructions COUNTS.tsv]
"""
import csv
import statistics
import sys
from collections import defaultdict

ENGINES = {"sqlite": "SQLite", "pg": "PostgreSQL"}

# case, label, TQuery tool, floor tool
ROWS = [
    ("page_first", "first page, static cursor", "tquery", "floor"),
    ("page_deep", "last page, static cursor", "tquery", "floor"),
    ("stream", "stream, Next only", "tquery", "floor"),
    ("stream", "stream, AsString of every field", "tquery_string", "floor_text"),
    ("stream_small", "stream, Next only", "tquery", "floor"),
    ("stream_small", "stream, AsString of every field", "tquery_string", "floor_text"),
]


def main():
    args = sys.argv[1:]
    if not args:
        sys.exit(__doc__)
    page_size = 5000
    if "--page-size" in args:
        page_size = int(args[args.index("--page-size") + 1])
    data = defaultdict(list)
    rows_of = {}
    with open(args[0], newline="") as f:
        for rec in csv.DictReader(f, delimiter="\t"):
            key = (rec["engine"], rec["case"], rec["tool"])
            data[key].append((float(rec["seconds"]), int(rec["peak_kb"]), float(rec["cpu_s"])))
            if rec["rows"] not in ("", "-"):
                rows_of[(rec["engine"], rec["case"])] = int(rec["rows"])

    def med(key, i=0):
        vals = [v[i] for v in data.get(key, [])]
        return statistics.median(vals) if vals else None

    def peak(key):
        vals = [v[1] for v in data.get(key, [])]
        return max(vals) / 1024 if vals else None

    def fmt(x, spec):
        return "–" if x is None else format(x, spec)

    print("| Engine | Case | Rows | Floor s | TQuery s | Client s | TQuery / floor | TQuery / client "
          "| CPU TQuery / floor | Floor, 1 row per fetch, s | Peak MB floor / TQuery / client |")
    print("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    engines = [e for e in ENGINES if any(k[0] == e for k in data)]
    for e in engines:
        for case, label, tq, fl in ROWS:
            t, f, c = med((e, case, tq)), med((e, case, fl)), med((e, case, "client"))
            if t is None:
                continue
            row1 = med((e, case, "floor_row1")) if fl == "floor" else None
            # CPU of whole processes: meaningful for streams only (pages are dwarfed by start-up)
            tc, fc = med((e, case, tq), 2), med((e, case, fl), 2)
            cpu = tc / fc if fc and not case.startswith("page") else None
            rows = rows_of.get((e, case), 0)
            if case.startswith("page"):
                rows = min(rows, page_size) if rows else page_size
            print(f"| {ENGINES[e]} | {label} | {rows:,} | {fmt(f, '.3f')} | {fmt(t, '.3f')} | {fmt(c, '.3f')} "
                  f"| {fmt(t / f if f else None, '.2f')}× | {fmt(t / c if c else None, '.2f')}× "
                  f"| {fmt(cpu, '.2f')}{'×' if cpu else ''} | {fmt(row1, '.3f')} "
                  f"| {fmt(peak((e, case, fl)), '.0f')} / {fmt(peak((e, case, tq)), '.0f')} / "
                  f"{fmt(peak((e, case, 'client')), '.0f')} |")
    print()
    print("Streaming memory (peak MB of the TQuery process, AsString of every field):")
    for e in engines:
        small, big = peak((e, "stream_small", "tquery_string")), peak((e, "stream", "tquery_string"))
        if small is not None and big is not None:
            print(f"- {ENGINES[e]}: {rows_of.get((e, 'stream_small'), 0):,} rows {small:.0f} MB, "
                  f"{rows_of.get((e, 'stream'), 0):,} rows {big:.0f} MB")
    if "--instructions" in args:
        instructions(args[args.index("--instructions") + 1])
    print()
    print("Client CPU seconds (user + system of the measured process, medians), stream, AsString / client:")
    for e in engines:
        print(f"- {ENGINES[e]}: floor text {fmt(med((e, 'stream', 'floor_text'), 2), '.2f')}, "
              f"TQuery AsString {fmt(med((e, 'stream', 'tquery_string'), 2), '.2f')}, "
              f"client {fmt(med((e, 'stream', 'client'), 2), '.2f')}")


def instructions(path):
    """Instructions per row: (count on N rows - count on 1 row) / (N - 1)."""
    counts = {}
    with open(path, newline="") as f:
        for rec in csv.DictReader(f, delimiter="\t"):
            counts[(rec["engine"], rec["tool"], int(rec["rows"]))] = int(rec["instructions"])
    if not counts:
        return
    per_row = {}
    for (e, tool, n), ir in counts.items():
        if n > 1 and (e, tool, 1) in counts:
            per_row[(e, tool)] = ((ir - counts[(e, tool, 1)]) / (n - 1), n)
    print()
    print("Instructions per row (callgrind, first rows of the stream; fixed costs taken out):")
    print()
    print("| Engine | Rows | Floor | TQuery, Next | TQuery / floor | Floor, text | TQuery, AsString "
          "| TQuery AsString / floor text | Client |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")

    def get(e, tool):
        return per_row.get((e, tool), (None, 0))[0]

    for e in ENGINES:
        if (e, "floor") not in per_row:
            continue
        f, t, ft, ts, c = (get(e, x) for x in ("floor", "tquery", "floor_text", "tquery_string", "client"))
        n = per_row[(e, "floor")][1]

        def num(x):
            return "–" if x is None else f"{x:,.0f}"

        def ratio(a, b):
            return "–" if a is None or not b else f"{a / b:.2f}×"
        print(f"| {ENGINES[e]} | {n:,} | {num(f)} | {num(t)} | {ratio(t, f)} | {num(ft)} | {num(ts)} "
              f"| {ratio(ts, ft)} | {num(c)} |")


if __name__ == "__main__":
    main()
