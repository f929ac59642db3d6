#!/usr/bin/env python3
"""Checks that LibreOffice reads the cells of an expected-cells file (make_xls_source.py) from
the CSV files it wrote for each sheet (PREFIX-<sheet name>.csv, UTF-8). Numbers compare by
value, Boolean results may show as 1 and 0. Exits 1 listing the cells that differ.

usage: check_with_libreoffice.py EXPECTED.tsv PREFIX
"""
import csv
import datetime
import re
import sys


def same(want, got):
    if want == got:
        return True
    if (want, got) in (("TRUE", "1"), ("FALSE", "0")):
        return True
    m = re.fullmatch(r"(\d\d)/(\d\d)/(\d{4})", got)  # a date cell shown with its format
    if m:
        day = datetime.date(int(m[3]), int(m[1]), int(m[2])) - datetime.date(1899, 12, 30)
        return want == str(day.days)
    try:
        a, b = float(want), float(got)
    except ValueError:
        return False
    return abs(a - b) <= 1e-12 * max(1.0, abs(a))


def main():
    expected, prefix = sys.argv[1], sys.argv[2]
    names, cells = [], []
    with open(expected, encoding="utf-8") as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            if parts[0] == "sheet":
                names.append(parts[1])
            else:
                text = parts[3].replace("\\n", "\n").replace("\\t", "\t").replace("\\\\", "\\")
                cells.append((int(parts[0]), int(parts[1]), int(parts[2]), text))
    grids = []
    for name in names:
        with open("%s-%s.csv" % (prefix, name), encoding="utf-8", newline="") as f:
            grids.append(list(csv.reader(f)))
    bad = 0
    for sheet, row, col, text in cells:
        grid = grids[sheet - 1]
        got = grid[row][col] if row < len(grid) and col < len(grid[row]) else None
        if got is None or not same(text, got):
            bad += 1
            print("sheet %d row %d col %d: want %r, LibreOffice read %r" % (sheet, row, col, text[:60], (got or "")[:60]))
    print("%s: %d cells, %d differ" % (expected, len(cells), bad))
    sys.exit(1 if bad else 0)


main()
