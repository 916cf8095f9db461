#!/usr/bin/python3
"""The spreadsheet export a user would write instead of the program's: the rows of one
statement into an .xlsx with XlsxWriter in constant_memory mode, fed by pyodbc; numbers as
numbers, text as text, the column names in bold in the first row of every worksheet, a new
worksheet when one is full (1,048,576 rows).

usage: export_pyodbc_xlsx.py CONNECTION_STRING SQL OUT.xlsx
Prints: RESULT prog=export_pyodbc_xlsx rows=R sheets=N seconds=S  (execute + write + close)
"""
import sys
import time

import pyodbc

from pyodbc_execute import execute
import xlsxwriter

MAX_ROWS = 1048576


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    conn_str, sql, out = sys.argv[1:]
    cnxn = pyodbc.connect(conn_str)
    t0 = time.monotonic()
    cur, names = execute(cnxn, sql)
    workbook = xlsxwriter.Workbook(out, {"constant_memory": True, "use_zip64": True})
    bold = workbook.add_format({"bold": True})
    sheets = []

    def new_sheet():
        ws = workbook.add_worksheet()
        ws.write_row(0, 0, names, bold)
        sheets.append(ws)
        return ws

    ws = new_sheet()
    r = 1
    rows = 0
    for row in cur:
        if r == MAX_ROWS:
            ws = new_sheet()
            r = 1
        ws.write_row(r, 0, row)
        r += 1
        rows += 1
    cur.close()
    workbook.close()
    print(f"RESULT prog=export_pyodbc_xlsx rows={rows} sheets={len(sheets)} seconds={time.monotonic() - t0:.6f}")
    cnxn.close()


if __name__ == "__main__":
    main()
