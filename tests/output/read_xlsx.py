#!/usr/bin/python3
"""Prints the first sheet of an .xlsx as JSON, as openpyxl reads it: the sheet's settings and,
per cell of a range, its value, type, number format, border, fill, font and alignment."""
import json
import sys

import openpyxl


def color(c):
    if c is None or c.type != "rgb" or c.rgb in (None, "00000000"):
        return ""
    return str(c.rgb)[-6:]


def main():
    path, max_row, max_col = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    wb = openpyxl.load_workbook(path)
    ws = wb.worksheets[0]
    out = {
        "sheets": wb.sheetnames,
        "title": ws.title,
        "freeze": ws.freeze_panes or "",
        "orientation": ws.page_setup.orientation or "",
        "header": ws.oddHeader.center.text or "",
        "selection": ws.sheet_view.selection[-1].activeCell if ws.sheet_view.selection else "",
        "widths": {k: v.width for k, v in ws.column_dimensions.items() if v.width},
        "cells": [],
    }
    for row in ws.iter_rows(min_row=1, max_row=max_row, min_col=1, max_col=max_col):
        r = []
        for c in row:
            v = c.value
            r.append({
                "v": v if v is None or isinstance(v, (int, float, str)) else str(v),
                "t": c.data_type,
                "fmt": c.number_format,
                "border": c.border.left.style or "",
                "bcolor": color(c.border.left.color),
                "fill": color(c.fill.fgColor) if c.fill.fill_type == "solid" else "",
                "font": c.font.name or "",
                "size": c.font.sz or 0,
                "bold": bool(c.font.b),
                "rot": c.alignment.textRotation or 0,
                "valign": c.alignment.vertical or "",
            })
        out["cells"].append(r)
    print(json.dumps(out, ensure_ascii=False))


main()
