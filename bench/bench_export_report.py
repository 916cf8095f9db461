#!/usr/bin/python3
"""Turns the raw figures of scripts/bench-export.sh into the Markdown tables of
docs/PERFORMANCE.md: medians over the rounds per size, engine and tool, the ratios (each the
median of the ratios of the same round, the tools of a round having run side by side) and
the peak memory (the largest of the rounds).

usage: bench_export_report.py RAW.tsv
"""
import csv
import statistics
import sys
from collections import defaultdict

ENGINES = {"sqlite": "SQLite", "pg": "PostgreSQL"}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    runs = defaultdict(dict)  # (sales, engine, tool) -> round -> record
    with open(sys.argv[1], newline="") as f:
        for rec in csv.DictReader(f, delimiter="\t"):
            if rec["round"] == "check":
                continue
            runs[(int(rec["sales"]), rec["engine"], rec["tool"])][rec["round"]] = rec
    sizes = sorted({k[0] for k in runs}, reverse=True)
    engines = [e for e in ENGINES if any(k[1] == e for k in runs)]
    rows_of = {}
    for (n, e, _), by_round in runs.items():
        for rec in by_round.values():
            if rec["rows"] not in ("", "-"):
                rows_of[(n, e)] = int(rec["rows"])

    def med(n, e, tool, field="seconds"):
        vals = [float(r[field]) for r in runs.get((n, e, tool), {}).values()]
        return statistics.median(vals) if vals else None

    def ratio(n, e, a, b):
        """Median over the rounds of a's time / b's time in the same round."""
        ra, rb = runs.get((n, e, a), {}), runs.get((n, e, b), {})
        vals = [float(ra[r]["seconds"]) / float(rb[r]["seconds"]) for r in ra if r in rb]
        return statistics.median(vals) if vals else None

    def peak(n, e, tool):
        vals = [int(r["peak_kb"]) for r in runs.get((n, e, tool), {}).values()]
        return max(vals) / 1024 if vals else None

    def mb(n, e, tool):
        vals = [int(r["bytes"]) for r in runs.get((n, e, tool), {}).values()]
        return max(vals) / 1e6 if vals else None

    def fmt(x, spec, suffix=""):
        return "–" if x is None else format(x, spec) + suffix

    def rounds(n, e, tool):
        return len(runs.get((n, e, tool), {}))

    print("CSV (seconds: medians of the rounds; ratios: medians of the same-round ratios):")
    print()
    print("| Engine | Sales | Rows | Floor s | Floor, text to file s | Program CSV s | Python CSV s | Client s "
          "| CSV / floor | Python / CSV | CSV / client | CPU s floor / CSV / Python | CSV MB | Rounds |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for n in sizes:
        for e in engines:
            if (n, e, "csv") not in runs:
                continue
            print(f"| {ENGINES[e]} | {n:,} | {rows_of.get((n, e), 0):,} | {fmt(med(n, e, 'floor'), '.2f')} "
                  f"| {fmt(med(n, e, 'floor_text'), '.2f')} | {fmt(med(n, e, 'csv'), '.2f')} "
                  f"| {fmt(med(n, e, 'py_csv'), '.2f')} | {fmt(med(n, e, 'client'), '.2f')} "
                  f"| {fmt(ratio(n, e, 'csv', 'floor'), '.2f', '×')} | {fmt(ratio(n, e, 'py_csv', 'csv'), '.2f', '×')} "
                  f"| {fmt(ratio(n, e, 'csv', 'client'), '.2f', '×')} "
                  f"| {fmt(med(n, e, 'floor', 'cpu_s'), '.1f')} / {fmt(med(n, e, 'csv', 'cpu_s'), '.1f')} / "
                  f"{fmt(med(n, e, 'py_csv', 'cpu_s'), '.1f')} | {fmt(mb(n, e, 'csv'), '.0f')} "
                  f"| {rounds(n, e, 'csv')} |")
    print()
    print("XLSX:")
    print()
    print("| Engine | Sales | Rows | Program XLSX s | Python XLSX s | Python / program | Program XLSX / floor "
          "| CPU s program / Python | File MB program / Python | Rounds |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for n in sizes:
        for e in engines:
            if (n, e, "xlsx") not in runs:
                continue
            print(f"| {ENGINES[e]} | {n:,} | {rows_of.get((n, e), 0):,} | {fmt(med(n, e, 'xlsx'), '.2f')} "
                  f"| {fmt(med(n, e, 'py_xlsx'), '.2f')} | {fmt(ratio(n, e, 'py_xlsx', 'xlsx'), '.2f', '×')} "
                  f"| {fmt(ratio(n, e, 'xlsx', 'floor'), '.2f', '×')} "
                  f"| {fmt(med(n, e, 'xlsx', 'cpu_s'), '.1f')} / {fmt(med(n, e, 'py_xlsx', 'cpu_s'), '.1f')} "
                  f"| {fmt(mb(n, e, 'xlsx'), '.0f')} / {fmt(mb(n, e, 'py_xlsx'), '.0f')} | {rounds(n, e, 'xlsx')} |")
    print()
    print("Peak memory, MB (maximum resident set of the process, the largest of the rounds):")
    print()
    tools = [("floor", "Floor"), ("floor_text", "Floor, text"), ("csv", "Program CSV"), ("py_csv", "Python CSV"),
             ("client", "Client"), ("xlsx", "Program XLSX"), ("py_xlsx", "Python XLSX")]
    print("| Engine | Sales | Rows | " + " | ".join(t[1] for t in tools) + " |")
    print("|---|---:|---:|" + "---:|" * len(tools))
    for e in engines:
        for n in sizes:
            if not any((n, e, t[0]) in runs for t in tools):
                continue
            print(f"| {ENGINES[e]} | {n:,} | {rows_of.get((n, e), 0):,} | "
                  + " | ".join(fmt(peak(n, e, t[0]), '.0f') for t in tools) + " |")


if __name__ == "__main__":
    main()
