#!/usr/bin/python3
"""The export a user would write instead of the program's: the rows of one statement into a
TAB-separated file the way the program writes it (CR LF line ends, Windows-1251 with "?" for
what it lacks, the column names in the first line), with pyodbc and the csv module.

usage: export_pyodbc_csv.py CONNECTION_STRING SQL OUT.csv
Prints: RESULT prog=export_pyodbc_csv rows=R seconds=S  (S = execute + write, connection excluded)
"""
import csv
import sys
import time

import pyodbc

from pyodbc_execute import execute


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    conn_str, sql, out = sys.argv[1:]
    cnxn = pyodbc.connect(conn_str)
    t0 = time.monotonic()
    cur, names = execute(cnxn, sql)
    rows = 0
    with open(out, "w", encoding="cp1251", errors="replace", newline="") as f:
        writer = csv.writer(f, delimiter="\t", lineterminator="\r\n")
        writer.writerow(names)
        while True:
            block = cur.fetchmany(10000)
            if not block:
                break
            writer.writerows(block)
            rows += len(block)
    cur.close()
    print(f"RESULT prog=export_pyodbc_csv rows={rows} seconds={time.monotonic() - t0:.6f}")
    cnxn.close()


if __name__ == "__main__":
    main()
