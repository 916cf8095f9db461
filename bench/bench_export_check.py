#!/usr/bin/python3
"""Checks the files of an export benchmark against the engine's own client before anything
is timed, so that no time is ever given for a broken export.

The reference is the same statement written by the engine's client as CSV with TAB between
the columns and the column names in the first line (sqlite3 .mode csv with a TAB separator;
psql \\copy ... with (format csv, delimiter E'\\t', header)), parsed with the csv module.

usage:
  bench_export_check.py csv  --reference REF --count N --sql FILE --engine sqlite|pg
                             --project P.csv [--python PY.csv]
  bench_export_check.py xlsx --reference REF --count N --sql FILE --kinds KINDS
                             --project P.xlsx [--python PY.xlsx]

csv:  the program's file must be, byte for byte, the reference with the program's text rules
      applied (Windows-1251 with "?" for what it lacks, CR LF after every line, TAB between
      columns, TAB / LF / CR / backslash in a value written as \\- \\_ \\. \\\\, the column
      captions of the statement in the first line). SQLite's client prints a floating-point
      value without a fraction as "5.0" where the program writes "5" (%.15g): that one
      difference is taken out. The statement orders by date and UNP only, so the lines of
      one sale may come in another order from one plan to the next: they are compared a
      sale at a time. The Python file (csv module: quoted where needed) must hold the same
      records, numbers compared as numbers.
xlsx: every worksheet starts with the column names; the data rows of all worksheets together
      are the reference's rows in order; sampled rows (the first ones, every 1009th, the
      first data row of every worksheet, the last one and the rows whose text holds TAB, LF,
      CR, backslash or a double quote) are compared cell by cell: numbers as number cells,
      text as text cells; another line of the same sale in a sampled place is accepted (the
      order of equal sort keys, as for csv). KINDS: one letter per column, n = number, t = text (from the SQL
      types the driver reports).
Exit code 1 with the differences on stderr when a file is wrong.
"""
import argparse
import csv
import math
import re
import sys
import zipfile
from xml.sax.saxutils import unescape

csv.field_size_limit(1 << 30)

ESCAPES = str.maketrans({"\t": "\\-", "\n": "\\_", "\r": "\\.", "\\": "\\\\"})
SPECIAL = re.compile(r'[\t\n\r\\"]')
FLOAT_ZERO_FRACTION = re.compile(r"^-?\d+\.0$")
SHEET_ROWS = 1048576


def fail(msgs):
    for m in msgs[:20]:
        print("  " + m, file=sys.stderr)
    if len(msgs) > 20:
        print(f"  ... and {len(msgs) - 20} more", file=sys.stderr)
    sys.exit(1)


def captions(sql_file):
    with open(sql_file, encoding="utf-8") as f:
        sql = f.readline()
    return re.findall(r' as "((?:[^"]|"")*)"', sql)


def reference_rows(path):
    f = open(path, encoding="utf-8", newline="")
    reader = csv.reader(f, delimiter="\t")
    next(reader)  # names
    return reader


def same_number(a, b):
    try:
        x, y = float(a), float(b)
    except ValueError:
        return False
    return x == y or math.isclose(x, y, rel_tol=1e-12, abs_tol=1e-12)


def check_csv(args):
    problems = []
    data = open(args.project, "rb").read()
    lines = data.split(b"\r\n")
    if lines[-1] != b"":
        problems.append("the file does not end with CR LF")
    lines.pop()
    if any(b"\n" in ln or b"\r" in ln for ln in lines):
        problems.append("a line break other than CR LF (a value was not escaped)")
    if len(lines) != args.count + 1:
        problems.append(f"{len(lines) - 1} records, the count query says {args.count}")
    want = "\t".join(captions(args.sql)).encode("cp1251", "replace")
    if lines and lines[0] != want:
        problems.append(f"names line {lines[0]!r}, expected {want!r}")
    # The statement orders by date and UNP only: the lines of one sale (one UNP) may come in
    # another order from one plan to the next, so the lines are compared a sale at a time,
    # in order, and a sale whose lines are all there in another order is only counted.
    n = 0
    reordered = 0
    group_got, group_want, group_first = [], [], 0

    def flush():
        nonlocal reordered
        if group_got != group_want:
            if sorted(group_got) == sorted(group_want):
                reordered += len(group_got)
            else:
                for i, (got, want) in enumerate(zip(group_got, group_want)):
                    if got != want:
                        problems.append(f"record {group_first + i}: {got!r} expected {want!r}")
                        break
        group_got.clear()
        group_want.clear()

    key = None
    for n, rec in enumerate(reference_rows(args.reference), start=1):
        if args.engine == "sqlite":
            rec = [v[:-2] if v.endswith(".0") and FLOAT_ZERO_FRACTION.match(v) else v for v in rec]
        expected = "\t".join(v.translate(ESCAPES) for v in rec).encode("cp1251", "replace")
        got = lines[n] if n < len(lines) else b""
        k = expected.split(b"\t", 1)[0]
        if k != key:
            flush()
            key, group_first = k, n
        group_got.append(got)
        group_want.append(expected)
        if len(problems) > 50:
            break
    flush()
    if n != args.count:
        problems.append(f"the reference has {n} records, the count query says {args.count}")
    if problems:
        print(f"{args.project}: WRONG", file=sys.stderr)
        fail(problems)
    print(f"{args.project}: {args.count} records and the names line as expected, byte for byte"
          + (f" ({reordered} lines of sales with equal sort keys in another order)" if reordered else ""))
    del data, lines
    if args.python:
        check_python_csv(args)


def check_python_csv(args):
    problems = []
    with open(args.python, "rb") as f:
        raw = f.read()
    # Line breaks inside quoted values are the values' own; the records end in CR LF.
    if not raw.endswith(b"\r\n") or raw.count(b"\r\n") < args.count + 1:
        problems.append("the records do not end in CR LF")
    del raw
    f = open(args.python, encoding="cp1251", newline="")
    reader = csv.reader(f, delimiter="\t")
    names = next(reader)
    if len(names) != len(captions(args.sql)):
        problems.append(f"{len(names)} names, the statement has {len(captions(args.sql))} columns")
    n = 0
    for n, (rec, got) in enumerate(zip(reference_rows(args.reference), reader), start=1):
        if rec == got:
            continue
        rec = [v.encode("cp1251", "replace").decode("cp1251") for v in rec]
        if rec != got and (len(rec) != len(got) or
                           not all(a == b or same_number(a, b) for a, b in zip(rec, got))):
            problems.append(f"record {n}: {got!r} expected {rec!r}")
            if len(problems) > 50:
                break
    rest = sum(1 for _ in reader)
    if n + rest != args.count:
        problems.append(f"{n + rest} records, the count query says {args.count}")
    if problems:
        print(f"{args.python}: WRONG", file=sys.stderr)
        fail(problems)
    print(f"{args.python}: {args.count} records as expected (names line: {'|'.join(names)})")


# ---- xlsx

CELL = re.compile(rb'<c r="([A-Z]+)\d+"([^>]*?)(?:/>|>(.*?)</c>)', re.S)
TEXT = re.compile(rb"<t[^>]*>(.*?)</t>", re.S)
VALUE = re.compile(rb"<v>(.*?)</v>", re.S)
CTRL = re.compile(r"_x([0-9A-Fa-f]{4})_")


def sheet_rows(zf, name):
    """Every <row> element of one worksheet, in order, as bytes."""
    tail = b""
    with zf.open(name) as f:
        while True:
            chunk = f.read(1 << 22)
            if not chunk:
                break
            parts = (tail + chunk).split(b"</row>")
            tail = parts.pop()
            for p in parts:
                yield p[p.index(b"<row"):]


def column_index(letters):
    n = 0
    for ch in letters:
        n = n * 26 + ch - 64
    return n - 1


def cells(row, shared):
    out = {}
    for m in CELL.finditer(row):
        col, attrs, body = column_index(m.group(1)), m.group(2), m.group(3) or b""
        t = re.search(rb't="([^"]*)"', attrs)
        t = t.group(1) if t else b"n"
        if t == b"inlineStr" or t == b"str":
            text = "".join(unescape(x.decode()) for x in TEXT.findall(body)) if t == b"inlineStr" \
                else unescape(VALUE.search(body).group(1).decode())
            out[col] = ("t", CTRL.sub(lambda x: chr(int(x.group(1), 16)), text))
        elif t == b"s":
            out[col] = ("t", shared()[int(VALUE.search(body).group(1))])
        elif t == b"n":
            v = VALUE.search(body)
            out[col] = ("n", v.group(1).decode()) if v else ("b", "")
        else:
            out[col] = (t.decode(), body.decode())
    return out


def row_problems(got, rec, kinds):
    """The cells of a worksheet row that differ from a reference record."""
    out = []
    for c, (kind, ref) in enumerate(zip(kinds, rec)):
        cell = got.get(c, ("b", ""))
        if kind == "n":
            ok = cell[0] == "n" and same_number(cell[1], ref)
        else:
            ok = cell[0] == "t" and cell[1] == ref
        if not ok:
            out.append(f"column {c + 1}: {cell} expected {kind} {ref!r}")
    return out


def check_xlsx_file(path, args, wanted):
    problems = []
    zf = zipfile.ZipFile(path)
    sheets = sorted((n for n in zf.namelist() if re.match(r"xl/worksheets/sheet\d+\.xml$", n)),
                    key=lambda n: int(re.search(r"(\d+)\.xml$", n).group(1)))
    table = []

    def shared():
        if not table:
            sst = zf.read("xl/sharedStrings.xml")
            for si in re.finditer(rb"<si>(.*?)</si>", sst, re.S):
                table.append(CTRL.sub(lambda x: chr(int(x.group(1), 16)),
                                      "".join(unescape(t.decode()) for t in TEXT.findall(si.group(1)))))
        return table

    kinds = args.kinds
    names = captions(args.sql)
    index = 0  # data records seen so far, over all worksheets
    checked = 0
    reordered = 0
    for s, name in enumerate(sheets):
        first = True
        for row in sheet_rows(zf, name):
            if first:
                first = False
                got = cells(row, shared)
                texts = [got.get(c, ("?", ""))[1] for c in range(len(kinds))]
                if any(got.get(c, ("?",))[0] != "t" for c in range(len(kinds))) or \
                        (args.full_names and texts != names):
                    problems.append(f"{name}: first row {texts}, expected the column names")
                continue
            index += 1
            rec = wanted.get(index)
            if rec is None:
                continue
            checked += 1
            got = cells(row, shared)
            if not row_problems(got, rec, kinds):
                continue
            # Another line of the same sale (equal sort keys) in this place.
            if any(not row_problems(got, other, kinds) for other in args.groups.get(rec[0], [])):
                reordered += 1
                continue
            problems += [f"{name} record {index} {p}" for p in row_problems(got, rec, kinds)]
        if first:
            problems.append(f"{name}: empty")
    if index != args.count:
        problems.append(f"{index} records, the count query says {args.count}")
    if len(sheets) != max(1, math.ceil(args.count / (SHEET_ROWS - 1))):
        problems.append(f"{len(sheets)} worksheets for {args.count} records")
    if problems:
        print(f"{path}: WRONG", file=sys.stderr)
        fail(problems)
    print(f"{path}: {index} records on {len(sheets)} worksheets; {checked} sampled records as expected"
          + (f" ({reordered} of them another line of the same sale)" if reordered else ""))


def check_xlsx(args):
    wanted = {}
    specials = 0
    last = None
    n = 0
    # The lines of one sale (first column) may come in another order from one plan to the
    # next: the sales of the sampled lines are kept whole, to accept another of their lines.
    groups = {}
    group, group_key, group_sampled = [], None, False
    for n, rec in enumerate(reference_rows(args.reference), start=1):
        if rec[0] != group_key:
            if group_sampled:
                groups[group_key] = group
            group, group_key, group_sampled = [], rec[0], False
        group.append(rec)
        if n <= 3 or n % 1009 == 0 or (n - 1) % (SHEET_ROWS - 1) == 0:
            wanted[n] = rec
            group_sampled = True
        elif specials < 50 and any(SPECIAL.search(v) for v in rec):
            wanted[n] = rec
            specials += 1
            group_sampled = True
        last = (n, rec)
    if last:
        wanted[last[0]] = last[1]
        group_sampled = True
    if group_sampled:
        groups[group_key] = group
    args.groups = groups
    if n != args.count:
        fail([f"the reference has {n} records, the count query says {args.count}"])
    if not args.kinds or len(args.kinds) != len(captions(args.sql)):
        fail([f"column kinds {args.kinds!r} for {len(captions(args.sql))} columns"])
    args.full_names = True
    check_xlsx_file(args.project, args, wanted)
    if args.python:
        args.full_names = False  # the driver's names (cut by PostgreSQL to 63 bytes)
        check_xlsx_file(args.python, args, wanted)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("kind", choices=["csv", "xlsx"])
    p.add_argument("--reference", required=True)
    p.add_argument("--count", type=int, required=True)
    p.add_argument("--sql", required=True)
    p.add_argument("--engine", choices=["sqlite", "pg"])
    p.add_argument("--kinds")
    p.add_argument("--project", required=True)
    p.add_argument("--python")
    args = p.parse_args()
    if args.kind == "csv":
        check_csv(args)
    else:
        check_xlsx(args)


if __name__ == "__main__":
    main()
