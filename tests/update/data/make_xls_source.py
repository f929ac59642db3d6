#!/usr/bin/env python3
"""Writes the flat ODF spreadsheet that make_xls.sh converts into the .xls fixtures, and the
cells a reader must find in them (xls_expected.tsv: sheet, row, column, text; 0-based).

usage: make_xls_source.py OUT.fods EXPECTED.tsv
"""
import datetime
import sys
from xml.sax.saxutils import escape, quoteattr

SHEETS = []  # (name, {(row, col): cell})


def text(s):
    return ("string", s, None, s)


def num(v, shown):
    return ("float", v, None, shown)


def date(y, m, d):
    serial = (datetime.date(y, m, d) - datetime.date(1899, 12, 30)).days
    return ("date", datetime.date(y, m, d).isoformat(), None, str(serial))


def formula(f, vtype, value, shown, rpn):
    """f: the formula as the source writes it; rpn: the same as tokens for the BIFF5 writer:
    ("ref", row, col), ("int", n), ("str", text) or ("op", "mul" | "div" | "concat" | "gt")."""
    return (vtype, value, f, shown, rpn)


def sheet1():
    c = {}
    c[(0, 0)] = text("令和6年10月1日現在")
    head = ["登録番号", "農薬の種類", "農薬の名称", "登録日", "小数", "式", "文字式", "真偽", "誤り", "大きな数"]
    for i, h in enumerate(head):
        c[(1, i)] = text(h)
    rows = [
        (23456, "殺虫剤", "“京都微研”ｷｭｰﾋﾞｵZY", (2019, 1, 7), (0.1, "0.1")),
        (1, "殺菌剤", "ダコニール１０００", (1965, 4, 1), (-0.05, "-0.05")),
        (100000, "除草剤", "ラウンドアップマックスロード", (2000, 2, 29), (1234567.891, "1234567.891")),
        (24001, "殺虫殺菌剤", "改行を\n含む名称", (2024, 12, 31), (3.14159265358979, "3.14159265358979")),
    ]
    for k, (no, kind, name, ymd, dec) in enumerate(rows):
        r = 2 + k
        c[(r, 0)] = num(no, str(no))
        c[(r, 1)] = text(kind)
        c[(r, 2)] = text(name)
        c[(r, 3)] = date(*ymd)
        c[(r, 4)] = num(dec[0], dec[1])
        c[(r, 5)] = formula("of:=[.A%d]*2" % (r + 1), "float", no * 2, str(no * 2),
                            [("ref", r, 0), ("int", 2), ("op", "mul")])
        c[(r, 6)] = formula('of:=[.B%d]&"（剤）"' % (r + 1), "string", kind + "（剤）", kind + "（剤）",
                            [("ref", r, 1), ("str", "（剤）"), ("op", "concat")])
        c[(r, 7)] = formula("of:=[.A%d]>100" % (r + 1), "boolean", "true" if no > 100 else "false",
                            "TRUE" if no > 100 else "FALSE", [("ref", r, 0), ("int", 100), ("op", "gt")])
    c[(2, 8)] = formula("of:=1/0", "float", None, "#DIV/0!", [("int", 1), ("int", 0), ("op", "div")])
    c[(2, 9)] = num(123456789012, "123456789012")
    c[(3, 9)] = num(98765.4321, "98765.4321")
    c[(4, 9)] = num(-7, "-7")
    c[(5, 9)] = num(65536.5, "65536.5")
    # a gap: nothing in row 6, then a cell far to the right
    c[(7, 12)] = text("離れたセル")
    return c


def sheet2():
    c = {}
    c[(0, 0)] = text("登録番号")
    c[(0, 1)] = text("作物名")
    c[(0, 2)] = text("適用病害虫名")
    crops = ["稲", "小麦", "だいず", "キャベツ", "はくさい", "トマト", "きゅうり", "りんご", "なし", "かんきつ"]
    pests = ["いもち病", "紋枯病", "アブラムシ類", "ハスモンヨトウ", "うどんこ病", "灰色かび病", "ハダニ類"]
    for i in range(1, 701):
        c[(i, 0)] = num(20000 + i, str(20000 + i))
        c[(i, 1)] = text("%s（第%d区）" % (crops[i % len(crops)], i))
        c[(i, 2)] = text("%s・%s番" % (pests[i % len(pests)], i))
    # A text longer than one record: its characters continue in CONTINUE records.
    long_text = "".join("適用%04d、" % i for i in range(1200))
    c[(701, 2)] = text(long_text)
    c[(702, 2)] = text("A" * 9000)  # 8-bit characters across a record boundary
    c[(703, 0)] = text("終わり")
    return c


def sheet3():
    c = {}
    c[(0, 0)] = text("Plain ASCII")
    c[(0, 1)] = num(0.000123, "0.000123")
    c[(1, 0)] = text("ﾊﾝｶｸ ｶﾀｶﾅ")
    c[(1, 1)] = num(1e-7, "1e-07")
    c[(2, 0)] = text("全角　空白")
    c[(2, 1)] = num(-2.5, "-2.5")
    c[(3, 0)] = ("boolean", "true", None, "TRUE")
    c[(3, 1)] = ("boolean", "false", None, "FALSE")
    return c


SHEETS = [("登録基本部", sheet1()), ("登録適用部一", sheet2()), ("第三 Sheet", sheet3())]


def cell_xml(cell):
    vtype, value, f, shown = cell[:4]
    attrs = []
    if f:
        # No cached result: LibreOffice computes it while loading.
        return "<table:table-cell table:formula=%s/>" % quoteattr(f)
    if vtype == "string":
        attrs.append('office:value-type="string"')
        if f:
            attrs.append("office:string-value=%s" % quoteattr(value))
        body = "".join("<text:p>%s</text:p>" % escape(p) for p in value.split("\n"))
    elif vtype == "float":
        if value is None:
            attrs.append('office:value-type="float" office:value="0"')
        else:
            attrs.append('office:value-type="float" office:value="%r"' % value)
        body = ""
    elif vtype == "date":
        attrs.append('office:value-type="date" office:date-value="%s" table:style-name="cdate"' % value)
        body = ""
    elif vtype == "boolean":
        attrs.append('office:value-type="boolean" office:boolean-value="%s"' % value)
        body = ""
    return "<table:table-cell %s>%s</table:table-cell>" % (" ".join(attrs), body)


def table_xml(name, cells):
    rows = max(r for r, _ in cells) + 1
    out = ["<table:table table:name=%s>" % quoteattr(name), '<table:table-column table:number-columns-repeated="13"/>']
    for r in range(rows):
        cols = sorted(cc for rr, cc in cells if rr == r)
        out.append("<table:table-row>")
        col = 0
        for cc in cols:
            if cc > col:
                out.append('<table:table-cell table:number-columns-repeated="%d"/>' % (cc - col))
            out.append(cell_xml(cells[(r, cc)]))
            col = cc + 1
        if not cols:
            out.append("<table:table-cell/>")
        out.append("</table:table-row>")
    out.append("</table:table>")
    return "\n".join(out)


HEAD = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"
 xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:automatic-styles>
 <number:date-style style:name="ndate"><number:year number:style="long"/><number:text>/</number:text><number:month number:style="long"/><number:text>/</number:text><number:day number:style="long"/></number:date-style>
 <style:style style:name="cdate" style:family="table-cell" style:data-style-name="ndate"/>
</office:automatic-styles>
<office:body><office:spreadsheet>
"""
TAIL = "</office:spreadsheet></office:body></office:document>\n"


def write_expected(path, sheets):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        for name, _ in sheets:
            f.write("sheet\t%s\n" % name)
        for no, (_, cells) in enumerate(sheets, 1):
            for (r, c) in sorted(cells):
                shown = cells[(r, c)][3]
                shown = shown.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")
                f.write("%d\t%d\t%d\t%s\n" % (no, r, c, shown))


def main():
    fods, expected = sys.argv[1], sys.argv[2]
    with open(fods, "w", encoding="utf-8") as f:
        f.write(HEAD)
        for name, cells in SHEETS:
            f.write(table_xml(name, cells))
        f.write(TAIL)
    write_expected(expected, SHEETS)


if __name__ == "__main__":
    main()
