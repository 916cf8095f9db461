#!/usr/bin/env python3
"""Prints a workbook as JSON for the tests: per worksheet its name, merged ranges and
every cell with value, data type, number format, bold and border styles, and whether a
column's own style has a border."""
import datetime
import json
import sys

import openpyxl


def cell_json(c):
    v = c.value
    if isinstance(v, str):
        v = v.replace("_x000D_", "\r")  # the escape spreadsheet programs decode
    if isinstance(v, (datetime.datetime, datetime.date, datetime.time)):
        v = v.isoformat()
    return {
        "value": v,
        "type": c.data_type,
        "format": c.number_format,
        "bold": bool(c.font and c.font.b),
        "border": bool(c.border and c.border.left and c.border.left.style == "thin"
                       and c.border.top and c.border.top.style == "thin"),
        "hcenter": c.alignment.horizontal == "center" if c.alignment else False,
    }


def main(path):
    wb = openpyxl.load_workbook(path)
    out = []
    for ws in wb.worksheets:
        rows = []
        for row in ws.iter_rows():
            rows.append([cell_json(c) for c in row])
        widths = {k: v.width for k, v in ws.column_dimensions.items()}
        column_borders = {k: bool(v.border and v.border.left and v.border.left.style)
                          for k, v in ws.column_dimensions.items()}
        out.append({"name": ws.title, "merged": [str(r) for r in ws.merged_cells.ranges],
                    "rows": rows, "widths": widths, "column_borders": column_borders})
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main(sys.argv[1])
