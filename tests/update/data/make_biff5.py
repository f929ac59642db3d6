#!/usr/bin/env python3
"""Writes xls_biff5.xls: the cells of make_xls_source.py as an Excel 5.0/95 workbook (BIFF5
records in a "Book" stream of a compound document, text in code page 932), the layout that
Japanese Excel 95 saves. LibreOffice no longer writes BIFF5, so make_xls.sh builds this file
here and then has LibreOffice read it back to prove that a real reader sees the same cells.

usage: make_biff5.py OUT.xls EXPECTED.tsv
"""
import struct
import sys

from make_xls_source import SHEETS, write_expected

# BIFF5 texts hold at most 255 bytes: the record-spanning texts stay in the BIFF8 file only.
LONG = {(701, 2), (702, 2)}
BIFF5_SHEETS = [(name, {k: v for k, v in cells.items() if not (no == 2 and k in LONG)})
                for no, (name, cells) in enumerate(SHEETS, 1)]

XF = 15  # the default cell format


def rec(rtype, body):
    return struct.pack("<HH", rtype, len(body)) + body


def cp932(s):
    return s.encode("cp932")


def rk_of(v):
    """The RK value of v, or None when v needs a full NUMBER record."""
    if float(v).is_integer() and -(1 << 29) <= v < (1 << 29):
        return ((int(v) << 2) | 2) & 0xFFFFFFFF
    h = v * 100
    if float(h).is_integer() and -(1 << 29) <= h < (1 << 29) and int(h) / 100 == v:
        return ((int(h) << 2) | 3) & 0xFFFFFFFF
    bits = struct.unpack("<Q", struct.pack("<d", float(v)))[0]
    if bits & 0x3FFFFFFFF == 0 or (bits & 0xFFFFFFFF == 0 and (bits >> 32) & 3 == 0):
        return (bits >> 32) & 0xFFFFFFFC
    return None


def number_of(cell):
    vtype, value = cell[0], cell[1]
    if vtype == "float":
        return float(value)
    if vtype == "date":
        return float(cell[3])  # the day number the expected text holds
    return None


TOKENS = {"mul": 0x05, "div": 0x06, "concat": 0x08, "gt": 0x0D}


def rgce(rpn):
    out = b""
    for t in rpn:
        if t[0] == "ref":
            out += struct.pack("<BHB", 0x44, 0xC000 | t[1], t[2])
        elif t[0] == "int":
            out += struct.pack("<BH", 0x1E, t[1])
        elif t[0] == "str":
            b = cp932(t[1])
            out += struct.pack("<BB", 0x17, len(b)) + b
        else:
            out += bytes([TOKENS[t[1]]])
    return out


def formula_records(r, c, cell):
    vtype, value, _, _, rpn = cell
    tokens = rgce(rpn)
    extra = b""
    if vtype == "float" and value is None:
        result = bytes([2, 0, 0x07, 0, 0, 0, 0xFF, 0xFF])  # #DIV/0!
    elif vtype == "float":
        result = struct.pack("<d", float(value))
    elif vtype == "boolean":
        result = bytes([1, 0, 1 if value == "true" else 0, 0, 0, 0, 0xFF, 0xFF])
    else:
        result = bytes([0, 0, 0, 0, 0, 0, 0xFF, 0xFF])
        b = cp932(value)
        extra = rec(0x0207, struct.pack("<H", len(b)) + b)
    body = struct.pack("<HHH", r, c, XF) + result + struct.pack("<HIH", 0, 0, len(tokens)) + tokens
    return rec(0x0006, body) + extra


def sheet_stream(cells):
    out = b""
    rows = max(r for r, _ in cells) + 1
    cols = max(c for _, c in cells) + 1
    out += rec(0x0200, struct.pack("<HHHHH", 0, rows, 0, cols, 0))  # DIMENSIONS
    out += rec(0x007D, struct.pack("<HHHHHB", 0, 2, 0x0C00, XF, 0, 0))  # COLINFO
    for r in range(rows):
        row = sorted(c for rr, c in cells if rr == r)
        i = 0
        while i < len(row):
            c = row[i]
            cell = cells[(r, c)]
            num = number_of(cell) if cell[2] is None else None
            # a run of RK numbers in consecutive columns becomes one MULRK
            run = []
            j = i
            while j < len(row) and row[j] == c + (j - i):
                cj = cells[(r, row[j])]
                nj = number_of(cj) if cj[2] is None else None
                if nj is None or rk_of(nj) is None:
                    break
                run.append(rk_of(nj))
                j += 1
            if len(run) >= 2:
                body = struct.pack("<HH", r, c) + b"".join(struct.pack("<HI", XF, k) for k in run)
                out += rec(0x00BD, body + struct.pack("<H", c + len(run) - 1))
                i = j
                continue
            if cell[2] is not None:
                out += formula_records(r, c, cell)
            elif cell[0] == "string":
                b = cp932(cell[1])
                if r == 2 and c == 2:  # one rich-text cell: RSTRING with a formatting run
                    out += rec(0x00D6, struct.pack("<HHHH", r, c, XF, len(b)) + b + bytes([1, 0, 0]))
                else:
                    out += rec(0x0204, struct.pack("<HHHH", r, c, XF, len(b)) + b)
            elif cell[0] == "boolean":
                out += rec(0x0205, struct.pack("<HHHBB", r, c, XF, 1 if cell[1] == "true" else 0, 0))
            elif rk_of(num) is not None:
                out += rec(0x027E, struct.pack("<HHHI", r, c, XF, rk_of(num)))
            else:
                out += rec(0x0203, struct.pack("<HHHd", r, c, XF, num))
            i += 1
    return out


def book_stream():
    bof_globals = rec(0x0809, struct.pack("<HHHH", 0x0500, 0x0005, 0x096C, 0x07C9))
    bof_sheet = rec(0x0809, struct.pack("<HHHH", 0x0500, 0x0010, 0x096C, 0x07C9))
    eof = rec(0x000A, b"")
    head = bof_globals + rec(0x0042, struct.pack("<H", 932))
    bodies = [bof_sheet + sheet_stream(cells) + eof for _, cells in BIFF5_SHEETS]
    names = [cp932(name) for name, _ in BIFF5_SHEETS]
    dir_len = sum(4 + 7 + len(n) for n in names)
    pos = len(head) + dir_len + len(eof)
    directory = b""
    for n, body in zip(names, bodies):
        directory += rec(0x0085, struct.pack("<IBBB", pos, 0, 0, len(n)) + n)
        pos += len(body)
    return head + directory + eof + b"".join(bodies)


def compound_document(stream_name, data):
    """A version 3 compound document holding one stream in the root storage."""
    SECTOR = 512
    size = len(data)
    assert size >= 4096  # smaller streams would belong in the mini stream
    data += b"\0" * (-len(data) % SECTOR)
    n_data = len(data) // SECTOR
    n_fat = 1
    while (n_data + 1 + n_fat + 127) // 128 > n_fat:
        n_fat += 1
    dir_sector = n_data
    fat = list(range(1, n_data)) + [0xFFFFFFFE]  # the stream's chain
    fat += [0xFFFFFFFE]  # the directory
    fat += [0xFFFFFFFD] * n_fat
    fat += [0xFFFFFFFF] * (n_fat * 128 - len(fat))

    def dir_entry(name, etype, child, start, size):
        raw = name.encode("utf-16-le") + b"\0\0"
        e = raw.ljust(64, b"\0")
        e += struct.pack("<HBB", len(raw), etype, 1)           # name length, type, black
        e += struct.pack("<III", 0xFFFFFFFF, 0xFFFFFFFF, child)  # left, right, child
        e += b"\0" * 16 + b"\0" * 4 + b"\0" * 16                # class id, state bits, times
        e += struct.pack("<IQ", start, size)
        assert len(e) == 128
        return e

    directory = (dir_entry("Root Entry", 5, 1, 0xFFFFFFFE, 0) +
                 dir_entry(stream_name, 2, 0xFFFFFFFF, 0, size))
    directory += b"\0" * (SECTOR - len(directory))
    difat = [n_data + 1 + i for i in range(n_fat)] + [0xFFFFFFFF] * (109 - n_fat)
    header = (bytes.fromhex("D0CF11E0A1B11AE1") + b"\0" * 16 +
              struct.pack("<HHHHH", 0x003E, 3, 0xFFFE, 9, 6) + b"\0" * 6 +
              struct.pack("<IIIIIIIII", 0, n_fat, dir_sector, 0, 4096, 0xFFFFFFFE, 0, 0xFFFFFFFE, 0) +
              struct.pack("<109I", *difat))
    assert len(header) == SECTOR
    fat_bytes = struct.pack("<%dI" % len(fat), *fat)
    return header + data + directory + fat_bytes


def main():
    out, expected = sys.argv[1], sys.argv[2]
    stream = book_stream()
    with open(out, "wb") as f:
        f.write(compound_document("Book", stream))
    write_expected(expected, BIFF5_SHEETS)


if __name__ == "__main__":
    main()
