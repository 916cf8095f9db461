#!/usr/bin/env python3
"""Turns the raw figures of scripts/bench-report-window.sh into the Markdown tables of
docs/PERFORMANCE.md: medians over the rounds of the window's time from click to painted grid
and of the client's count + page, their ratio, and where the window's time goes.

usage: bench_report_window.py RAW.tsv [STALLS.tsv]
"""
import csv
import statistics
import sys
from collections import defaultdict

ENGINES = {"sqlite": "SQLite", "pg": "PostgreSQL"}
CASES = [
    ("first", "first page (Report)"),
    ("last", "last page (Last)"),
    ("deep", "deep page (Previous from the last)"),
]
PHASES = ["seconds", "count_s", "page_s", "after_open_s", "paint_s"]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    window = defaultdict(lambda: defaultdict(list))  # (engine, case) -> phase -> [seconds per round]
    client = defaultdict(list)                        # (engine, case) -> [seconds per round]
    rows = {}
    with open(sys.argv[1], newline="") as f:
        for rec in csv.DictReader(f, delimiter="\t"):
            key = (rec["engine"], rec["case"])
            if rec["tool"] == "window":
                rows[key] = int(rec["rows"])
                for p in PHASES:
                    window[key][p].append(float(rec[p]))
            else:
                client[key].append(float(rec["seconds"]))

    def med(values):
        return statistics.median(values) if values else None

    engines = [e for e in ENGINES if any(k[0] == e for k in window)]
    print("| Engine | Case | Rows | Window s | Client s (count + page) | Window / client |")
    print("|---|---|---:|---:|---:|---:|")
    for e in engines:
        count = med(client[(e, "count")])
        for case, label in CASES:
            w = med(window[(e, case)]["seconds"])
            page = med(client[(e, case)])
            if w is None or count is None or page is None:
                continue
            c = count + page
            print(f"| {ENGINES[e]} | {label} | {rows[(e, case)]:,} | {w:.3f} | {c:.3f} | {w / c:.2f}× |")
    print()
    print("Where the window's time goes (medians, seconds), next to the client's:")
    print()
    print("| Engine | Case | Count, window | Count, client | Page query, window | After open | Paint "
          "| Page, window total | Page, client | Page: window / client |")
    print("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    for e in engines:
        count = med(client[(e, "count")])
        for case, label in CASES:
            ph = {p: med(window[(e, case)][p]) for p in PHASES}
            page = med(client[(e, case)])
            if ph["seconds"] is None or page is None:
                continue
            wpage = ph["page_s"] + ph["after_open_s"] + ph["paint_s"]
            print(f"| {ENGINES[e]} | {case} | {ph['count_s']:.3f} | {count:.3f} | {ph['page_s']:.3f} "
                  f"| {ph['after_open_s']:.3f} | {ph['paint_s']:.3f} | {wpage:.3f} | {page:.3f} "
                  f"| {wpage / page:.2f}× |")
    print()
    print("Client start-up and login, taken out of the client figures (median): " + ", ".join(
        f"{ENGINES[e]} {med(client[(e, 'start')]):.3f} s" for e in engines if client[(e, "start")]))
    if len(sys.argv) > 2:
        print_stalls(sys.argv[2])


STALL_CASES = [
    ("first", "Report"),
    ("last", "Last"),
    ("deep", "Previous"),
    ("next", "Next"),
    ("first-button", "First"),
    ("page-size", "page size changed"),
    ("page-size-back", "page size changed back"),
    ("export-start", "export started (until the dialog waits or writes)"),
]


def print_stalls(path):
    """The longest time the window's thread went without handling events, per kind of
    click: the largest over every click of every round, in milliseconds."""
    longest = defaultdict(float)
    clicks = defaultdict(int)
    with open(path, newline="") as f:
        for rec in csv.DictReader(f, delimiter="\t"):
            key = (rec["engine"], rec["case"])
            longest[key] = max(longest[key], float(rec["longest_stall_s"]))
            clicks[key] += int(rec["clicks"])
    engines = [e for e in ENGINES if any(k[0] == e for k in longest)]
    print()
    print("Longest time the window's thread went without handling events, ms (largest of all clicks):")
    print()
    print("| Click | " + " | ".join(ENGINES[e] for e in engines) + " |")
    print("|---|" + "---:|" * len(engines))
    for case, label in STALL_CASES:
        if not any((e, case) in longest for e in engines):
            continue
        cells = [f"{1000 * longest[(e, case)]:.0f} ({clicks[(e, case)]} clicks)" if (e, case) in longest else "–"
                 for e in engines]
        print(f"| {label} | " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main()
