#!/usr/bin/env python3
"""Prints a workbook as JSON for the tests: per worksheet its name, merged ranges and
every cell with value, data type, number format, bold and border styles, and whether a
column's own style has a border.

The text of a string cell is taken from the workbook's XML itself (inline string or shared
string) and decoded as a spreadsheet program reads it: "_xHHHH_" is the character of code
HHHH (hex digits of either case), read from left to right, so "_x005F_x0041_" is the text
"_x0041_". openpyxl does not decode these escapes (and removes "x005F_" from shared strings
wherever it stands)."""
import datetime
import json
import posixpath
import re
import sys
import zipfile
import xml.etree.ElementTree as ET

import openpyxl

MAIN = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
REL = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}"
PKG_REL = "{http://schemas.openxmlformats.org/package/2006/relationships}"
ESCAPE = re.compile(r"_x([0-9A-Fa-f]{4})_")


def decode(text):
    units = ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), text)
    # An escaped surrogate pair is one character.
    return units.encode("utf-16-le", "surrogatepass").decode("utf-16-le", "replace")


def text_of(node):
    """The raw text of an <is> or <si> element: its <t>, or the <t> of each run (phonetic
    runs left out)."""
    parts = []
    for child in node:
        if child.tag == MAIN + "t":
            parts.append(child.text or "")
        elif child.tag == MAIN + "r":
            parts.extend(t.text or "" for t in child.findall(MAIN + "t"))
    return "".join(parts)


def raw_strings(path):
    """{sheet name: {cell reference: raw text}} of every string cell."""
    with zipfile.ZipFile(path) as z:
        shared = []
        if "xl/sharedStrings.xml" in z.namelist():
            shared = [text_of(si) for si in ET.fromstring(z.read("xl/sharedStrings.xml")).iter(MAIN + "si")]
        rels = {r.get("Id"): r.get("Target")
                for r in ET.fromstring(z.read("xl/_rels/workbook.xml.rels")).iter(PKG_REL + "Relationship")}
        out = {}
        for sheet in ET.fromstring(z.read("xl/workbook.xml")).iter(MAIN + "sheet"):
            target = rels[sheet.get(REL + "id")]
            part = target.lstrip("/") if target.startswith("/") else posixpath.normpath("xl/" + target)
            cells = {}
            for c in ET.fromstring(z.read(part)).iter(MAIN + "c"):
                kind = c.get("t")
                if kind == "inlineStr":
                    cells[c.get("r")] = text_of(c.find(MAIN + "is"))
                elif kind == "s":
                    cells[c.get("r")] = shared[int(c.find(MAIN + "v").text)]
            out[sheet.get("name")] = cells
        return out


def cell_json(c, raw):
    v = c.value
    if c.coordinate in raw:
        v = decode(raw[c.coordinate])
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
    strings = raw_strings(path)
    out = []
    for ws in wb.worksheets:
        raw = strings.get(ws.title, {})
        rows = []
        for row in ws.iter_rows():
            rows.append([cell_json(c, raw) for c in row])
        widths = {k: v.width for k, v in ws.column_dimensions.items()}
        column_borders = {k: bool(v.border and v.border.left and v.border.left.style)
                          for k, v in ws.column_dimensions.items()}
        setup = ws.page_setup
        fit = ws.sheet_properties.pageSetUpPr
        out.append({"name": ws.title, "merged": [str(r) for r in ws.merged_cells.ranges],
                    "rows": rows, "widths": widths, "column_borders": column_borders,
                    "freeze": ws.freeze_panes or "", "autofilter": ws.auto_filter.ref or "",
                    "orientation": setup.orientation or "", "paper": int(setup.paperSize or 0),
                    "fit_to_page": bool(fit and fit.fitToPage),
                    "fit_width": int(setup.fitToWidth if setup.fitToWidth is not None else 1),
                    "fit_height": int(setup.fitToHeight if setup.fitToHeight is not None else 1),
                    "print_title_rows": ws.print_title_rows or "",
                    "doc": {"title": wb.properties.title or "", "subject": wb.properties.subject or "",
                            "description": wb.properties.description or ""}})
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main(sys.argv[1])
