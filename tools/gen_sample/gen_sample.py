#!/usr/bin/python3
"""Deterministic generator of a sample pesticide register.

Writes every input form the importers read and every master script the
program runs:

  OUT/public/   the public service's CSV page, archives and unpacked CSV files
                (CP932, CRLF), plus the spreadsheet page
  OUT/mirror/   the mirror's update.txt, toroku.zip, kihon.csv, tekiyo.csv
  OUT/grid/     the spreadsheet workbooks as the rows the grid importers take
                (UTF-8 CSV, one file per sheet), and the .xls workbooks with
                their .zip/.lzh archives when --xls is given and LibreOffice
                is installed
  OUT/masters/  sakumotsu.txt, byochu.txt, kwlists.txt, tsushoruby.txt and
                every spec.*.txt (spec.cvo.utf8.txt in UTF-8, the rest CP932)
  OUT/jpp/      the JPP-NET product and ingredient files (n_trk*_1.txt, n_trk*_3.txt)

Usage:
  gen_sample.py --out DIR [--size small|full] [--seed N] [--xls]
                [--products N] [--uses N]

Only the Python standard library is used; the same arguments always give
byte-identical files.
"""

import argparse
import bisect
import csv
import datetime
import functools
import io
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unicodedata
import zipfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vocab  # noqa: E402

DATA_DATE = datetime.date(2026, 11, 4)
DATE_SENTENCE = "本ファイルは、「令和8年11月4日」分を反映した農薬登録情報です。"
DATE_STAMP = DATA_DATE.strftime("%Y%m%d")
ZIP_TIME = (2026, 11, 4, 9, 0, 0)

CSV_NAMES = {
    "kihon_zip": "登録基本部csv_%s.zip" % DATE_STAMP,
    "kihon_csv": "登録基本部_%s.csv" % DATE_STAMP,
    "tekiyo1_zip": "登録適用部一_%s.zip" % DATE_STAMP,
    "tekiyo1_csv": "登録適用部一_%s.csv" % DATE_STAMP,
    "tekiyo2_zip": "登録適用部二_%s.zip" % DATE_STAMP,
    "tekiyo2_csv": "登録適用部二_%s.csv" % DATE_STAMP,
}
WORKBOOKS = ["登録基本部", "登録適用部一", "登録適用部二", "登録適用部三", "登録適用部四"]

SIZES = {
    # products, use rows, extra crops (full set only)
    "small": dict(products=200, uses=2000, extra_crops=False),
    "full": dict(products=7300, uses=250000, extra_crops=True),
}

DIGITS = [2, 4, 6, 8, 12, 16]


# ---------------------------------------------------------------------------
# Text conversions the importers apply (used to know what they will store)
# ---------------------------------------------------------------------------

def _build_halfwidth_kana():
    full_to_half = {}
    halfs = [chr(c) for c in range(0xFF61, 0xFF9E)]
    for h in halfs:
        f = unicodedata.normalize("NFKC", h)
        if len(f) == 1 and f not in full_to_half:
            full_to_half[f] = h
    for h in halfs:
        for mark in ("\uFF9E", "\uFF9F"):
            f = unicodedata.normalize("NFKC", h + mark)
            if len(f) == 1 and f not in full_to_half:
                full_to_half[f] = h + mark
    return full_to_half


FULL_TO_HALF_KANA = _build_halfwidth_kana()

ZEN_ASCII = {
    0x8140: " ", 0x8143: ",", 0x8144: ".", 0x8146: ":", 0x8147: ";", 0x8148: "?", 0x8149: "!",
    0x814F: "^", 0x815E: "/", 0x8162: "|", 0x8165: "'", 0x8166: "'", 0x818C: "'",
    0x8167: '"', 0x8168: '"', 0x818D: '"', 0x8169: "(", 0x816A: ")", 0x816D: "[", 0x816E: "]",
    0x816F: "{", 0x8170: "}", 0x817B: "+", 0x817C: "-", 0x8181: "=", 0x8183: "<", 0x8184: ">",
    0x818F: "\\", 0x8190: "$", 0x8193: "%", 0x8194: "#", 0x8195: "&", 0x8196: "*", 0x8197: "@",
    0x81AC: "=",
}


@functools.lru_cache(maxsize=None)
def zen_to_han_ascii(text):
    """Full-width ASCII look-alikes to ASCII, half-width kana to full width."""
    out = []
    for ch in text:
        b = ch.encode("cp932")
        if len(b) == 2:
            code = (b[0] << 8) | b[1]
            if code in ZEN_ASCII:
                out.append(ZEN_ASCII[code])
            elif 0x824F <= code <= 0x8258 or 0x8260 <= code <= 0x8279 or 0x8281 <= code <= 0x829A:
                out.append(unicodedata.normalize("NFKC", ch))
            else:
                out.append(ch)
        else:
            out.append(ch)
    return han_kana_fold("".join(out))


def han_kana_fold(text):
    """Half-width katakana to full width only (combining voicing marks)."""
    if not any(0xFF61 <= ord(c) <= 0xFF9F for c in text):
        return text
    res = []
    i = 0
    while i < len(text):
        c = text[i]
        if 0xFF61 <= ord(c) <= 0xFF9F:
            if i + 1 < len(text) and text[i + 1] in "\uFF9E\uFF9F":
                f = unicodedata.normalize("NFKC", c + text[i + 1])
                if len(f) == 1:
                    res.append(f)
                    i += 2
                    continue
                res.append(unicodedata.normalize("NFKC", c))
                i += 2
                continue
            res.append(unicodedata.normalize("NFKC", c))
        else:
            res.append(c)
        i += 1
    return "".join(res)


def to_halfwidth_kana(text):
    return "".join(FULL_TO_HALF_KANA.get(c, c) for c in text)


def to_fullwidth_ascii(text):
    out = []
    for c in text:
        if "0" <= c <= "9" or "A" <= c <= "Z" or "a" <= c <= "z":
            out.append(chr(ord(c) + 0xFEE0))
        elif c == "(":
            out.append("（")
        elif c == ")":
            out.append("）")
        elif c == "%":
            out.append("％")
        else:
            out.append(c)
    return "".join(out)


def kata_to_hira(text):
    return "".join(chr(ord(c) - 0x60) if "ァ" <= c <= "ン" else c for c in text)


# MakeTsusho: (find, replacement, guard) in the fixed order.
def _tsusho_table():
    plain_repl = {
        "ALモミゲンキ": "モミゲンキ", "ＡＬモミゲンキ": "モミゲンキ", "Kワイドウェイ粒剤": "ワイドウェイ粒剤",
        "フマキラー": "家庭園芸用", "カダン石灰硫黄合剤": "石灰硫黄合剤",
        "アトミロン印農薬用(ボルドー液用)粉末生石灰": "ボルドー液用粉末生石灰", "硫酸銅(粉)": "硫酸銅(粉状)",
        "粉状丹礬": "硫酸銅(粉状)", "有機リドミル": "リドミル", "KBW(ケービーダブル)": "KBW",
        "NT炭酸ガス": "殺虫用炭酸ガス", "Nスラゴ": "スラゴ", "NSスラゴ": "スラゴ",
        "Nスクミンベイト3": "スクミンベイト3", "Nフェラモール": "フェラモール", "NSフェラモール": "フェラモール",
        "バラライカB": "バラライカ", "アースカマイラズ": "カマイラズ",
    }
    order = ("ALモミゲンキ,ＡＬモミゲンキ,ACC,BASF_,BASF,DAS,DIC,F.G.,FMC,GF,HCC-,HCC,HJ,ICI,MIC,JA,JC,OAT,"
             "SDS,ST_,ST,TG,TM,UBE,HUPL,ISK,MAI,Kワイドウェイ粒剤,SG,ＡＣＣ,ＢＡＳＦ,ＤＡＳ,ＤＩＣ,Ｆ．Ｇ．,ＦＭＣ,"
             "ＧＦ,ＨＣＣ－,ＨＣＣ,ＩＣＩ,ＩＣ,ＪＡ,ＪＣ,ＳＤＳ,ＳＴ,ＴＧ,ＴＭ,ＵＢＥ,アグレボ,アグロス,アベンティス,"
             "イヅツヤ,イヅツ,カヤク・,カヤク,キャピタル,キング,クミアイ_,クミアイ,クレハ,コープケミカル,"
             "サイアナミッド_,サイアナミッド,サンケイ_,サンケイ,シオノギ・,シオノギ,シンジェンタ・,シンジェンタ_,"
             "シンジェンタ,ゾエティス,ゼオン,ゼネカ・,ゼネカ,タケダ,チバガイギー・,チバガイギー,デュポン_,デュポン,"
             "トクヤマ_,トクヤマ,トクソー,トモノ,ナガセ,ニューファム,ニッカ,ノバルティス,ハース・,ハース,バイエル_,"
             "バイエル,ファイザー,フマキラー,ホドガヤ,ホクコー,マガン,ミカサ,モンサント,ヤシマ産業,ヤシマ_,ヤシマ,"
             "ユーピーエル,ローヌ・プーラン,旭,石原,一農,井筒屋,出光,永光,大塚,科研,兼商,協友,協和,金鳥,興農,"
             "三光,三洋,北海三共,ホクサン,三共,三明,昭和,信越,新富士,住化,住商,住友化学,住友,双商,太洋,武田,"
             "東ソー,南海,日農,日産,日曹,日本化薬,菱商,細井,丸紅,丸和,三井東圧,三井,三菱油化,三菱,明治,理研,"
             "カネナカ,ヤナイ,海野,塩山,宮内,余市組合,カダン石灰硫黄合剤,エス・カ・ベー,クニ,軍配,"
             "アトミロン印農薬用(ボルドー液用)粉末生石灰,オキヤマタ,カネジュウ,カネタ,サメコウ,マルイゲタクン,"
             "マルカ,マルキタ,マルキチ,マルコ,マルジョウ,マルタ,マルヤマ,マルワイ,ヤマタ,ヤマニ,共石,上州石灰,田中,"
             "菱,丸京,マルア,小名浜,蛇の目,硫酸銅(粉),粉状丹礬,エルピー,「,」,｢,｣,〔,〕,［,］,[,],印,有機リドミル,"
             "KBW(ケービーダブル),NT炭酸ガス,inochio,Nスラゴ,NSスラゴ,Nスクミンベイト3,Nフェラモール,"
             "NSフェラモール,アダマ・,アリスタ,バラライカB,CBC,コルテバ_,コルテバ,カダン_,ZMCP,アースカマイラズ,　")
    items = order.split(",")
    assert len(items) == 214, len(items)
    return [(f, plain_repl.get(f, "")) for f in items]


TSUSHO_TABLE = _tsusho_table()
BLANK_MARKS = set(f for f, _ in TSUSHO_TABLE if f.endswith("_"))
KING_NAMES = ["キング石灰硫黄合剤", "キング除虫菊乳剤", "キングマシンエアゾール", "キング95マシン", "キングスミチオン",
              "キングマラソン"]


def make_tsusho(name):
    """Trade name of a product name (the maker-mark removal the build does)."""
    s = name
    for find, repl in TSUSHO_TABLE:
        if find == "SG" and "SGダコグリーン" not in s:
            continue
        if find == "アグロス":
            if "アグロスリン" in s or ("アグロスター" in s and "アグロスアグロスター" not in s):
                continue
            if "アグロスアグロスター" in s:
                # only the maker's mark in front goes
                s = s.replace("アグロスアグロスター", "アグロスター")
                continue
        if find == "キング" and not any(k in s for k in KING_NAMES):
            continue
        if find == "クレハ" and "クレバー" in s:
            continue
        if find == "トモノ" and "トモノール" in s:
            continue
        if find in ("バイエル_", "バイエル") and not ("バイエル" in s and "アージラン" not in s):
            continue
        if find in ("ヤシマ_", "ヤシマ") and "ヤシマNCS" in s:
            continue
        if find == "三共" and "三共の草" in s:
            continue
        s = s.replace(find, repl)
    return s


# ---------------------------------------------------------------------------
# Crops
# ---------------------------------------------------------------------------

class Crop:
    __slots__ = ("level", "name", "ruby", "betsumei", "shukakubui", "gunmei", "tags", "idsaku",
                 "xidsaku", "toroku", "fukumu", "nozoku", "parent", "index")

    def __init__(self, level, name, ruby, betsumei, shukakubui, gunmei, tags):
        self.level = level
        self.name = name
        self.ruby = ruby
        self.betsumei = betsumei
        self.shukakubui = shukakubui
        self.gunmei = gunmei
        self.tags = set()
        self.fukumu = []
        self.nozoku = []
        for t in tags:
            if t.startswith("fukumu="):
                self.fukumu.append(t[7:])
            elif t.startswith("nozoku="):
                self.nozoku.append(t[7:])
            elif t:
                self.tags.add(t)
        self.idsaku = ""
        self.xidsaku = ""
        self.toroku = 0
        self.parent = None
        self.index = 0


def build_crops(extra):
    rows = []
    for line in vocab.CROP_TREE.strip().splitlines():
        level, name, ruby, betsumei, shuka, gunmei, tags = line.split("|")
        rows.append(Crop(int(level), name, ruby, betsumei, shuka, gunmei, tags.split(",")))
    if extra:
        # the full-size set: more level-4 crops below their level-0 group, and
        # cultivation forms below every level-4 crop
        grown = []
        extra_map = {group: names for group, names in vocab.EXTRA_CROPS}
        for c in rows:
            grown.append(c)
            if c.level == 0 and c.name in extra_map:
                base_tags = set(c.tags) - {"group", "reg"}
                for n in extra_map[c.name]:
                    grown.append(Crop(4, n, kata_to_hira(n), "", c.shukakubui or "", "",
                                      sorted(base_tags)))
        rows = grown
        final = []
        for i, c in enumerate(rows):
            final.append(c)
            nxt = rows[i + 1] if i + 1 < len(rows) else None
            # forms come right after a level-4 crop and its own level-5 children
            if c.level == 4 and not (nxt is not None and nxt.level == 5):
                final.extend(_forms_for(c))
            elif c.level == 5 and (nxt is None or nxt.level != 5):
                owner = _last_level(final, 4)
                if owner is not None:
                    final.extend(_forms_for(owner))
        seen = set()
        rows = []
        for c in final:
            if c.name not in seen:
                seen.add(c.name)
                rows.append(c)
    assign_codes(rows)
    names = [c.name for c in rows]
    assert len(names) == len(set(names)), [n for n in names if names.count(n) > 1]
    return rows


def _last_level(rows, level):
    for c in reversed(rows):
        if c.level == level:
            return c
    return None


def _forms_for(crop):
    out = []
    for form in vocab.CROP_FORMS:
        n = crop.name + form
        out.append(Crop(5, n, crop.ruby + kata_to_hira(form), "", crop.shukakubui, crop.gunmei,
                        sorted((crop.tags - {"group"}) | {"form"})))
    return out


def assign_codes(crops):
    counters = {}
    stack = []  # nodes by level path
    for i, c in enumerate(crops):
        while stack and stack[-1].level >= c.level:
            stack.pop()
        parent = stack[-1] if stack else None
        c.parent = parent
        prefix = parent.idsaku[:DIGITS[parent.level]] if parent else ""
        start = DIGITS[c.level - 1] if c.level > 0 else 0
        prefix = prefix.ljust(start, "0")
        width = DIGITS[c.level] - start
        key = (parent.idsaku if parent else "", c.level)
        counters[key] = counters.get(key, 0) + 1
        n = counters[key] + (9 if c.level == 0 else 0)
        seg = str(n).rjust(width, "0")
        assert len(seg) == width, (c.name, n, width)
        c.idsaku = (prefix + seg).ljust(16, "0")
        c.xidsaku = "%08d" % (10000000 + (i + 1) * 37)
        c.index = i
        stack.append(c)
    codes = [c.idsaku for c in crops]
    assert len(codes) == len(set(codes))


def crop_ancestors(crop):
    out = []
    p = crop.parent
    while p is not None:
        out.append(p)
        p = p.parent
    return out


# ---------------------------------------------------------------------------
# Pests
# ---------------------------------------------------------------------------

class Pest:
    __slots__ = ("name", "ruby", "betsumei", "cid", "gid", "tags", "idbyochu")

    def __init__(self, name, ruby, betsumei, cid, gid, tags):
        self.name = name
        self.ruby = ruby
        self.betsumei = betsumei
        self.cid = cid
        self.gid = gid
        self.tags = set(tags)
        self.idbyochu = ""


def build_pests():
    groups = {g[2]: g[0] for g in vocab.PEST_GROUPS}
    pests = []
    for line in vocab.DISEASES.strip().splitlines():
        name, ruby, bets, tags = line.split("|")
        pests.append(Pest(name, ruby, bets, 1, 0, tags.split(",")))
    for line in vocab.INSECTS.strip().splitlines():
        name, ruby, bets, group, tags = line.split("|")
        pests.append(Pest(name, ruby, bets, 2, groups[group], tags.split(",")))
    for line in vocab.WEEDS.strip().splitlines():
        name, ruby, bets, group, tags = line.split("|")
        pests.append(Pest(name, ruby, bets, 3, groups[group], tags.split(",")))
    for line in vocab.ANIMALS.strip().splitlines():
        name, ruby, bets, tags = line.split("|")
        pests.append(Pest(name, ruby, bets, 4, 0, tags.split(",")))
    for line in vocab.PURPOSES.strip().splitlines():
        name, ruby, bets, tags = line.split("|")
        pests.append(Pest(name, ruby, bets, 6, 0, tags.split(",")))
    seq = {}
    for p in pests:
        seq[p.cid] = seq.get(p.cid, 0) + 1
        p.idbyochu = "%d%07d" % (p.cid, seq[p.cid] * 100)
    names = [p.name for p in pests]
    assert len(names) == len(set(names))
    return pests


# ---------------------------------------------------------------------------
# Ingredients
# ---------------------------------------------------------------------------

class Ingredient:
    __slots__ = ("ippanmei", "seibun", "iso", "keito", "kokaid", "cat", "mid", "sayoten", "sayokiko",
                 "fgroup", "risk", "dokusei", "nodo_lo", "nodo_hi", "index")


SHURUI_NAME = {"水和硫黄": "水和硫黄", "石灰硫黄合剤": "石灰硫黄合剤"}


def build_ingredients():
    out = []
    for i, line in enumerate(vocab.INGREDIENTS.strip().splitlines()):
        f = line.split("|")
        g = Ingredient()
        (g.ippanmei, g.seibun, g.iso, g.keito, kokaid, g.cat, g.mid, g.sayoten, g.sayokiko,
         g.fgroup, g.risk, g.dokusei, nodo) = f
        g.kokaid = int(kokaid)
        lo, _, hi = nodo.partition("-")
        g.nodo_lo = float(lo)
        g.nodo_hi = float(hi or lo)
        g.index = i
        out.append(g)
    return out


def shurui_item(ing):
    """The ingredient clause the build derives from a type name item."""
    s = ing.ippanmei
    if "除虫菊" in s:
        return "ピレトリン"
    if "シアン酸塩" in s:
        return "シアン酸ナトリウム"
    if s == "水和硫黄":
        return "硫黄"
    return s


# ---------------------------------------------------------------------------
# Products and uses
# ---------------------------------------------------------------------------

class Product:
    __slots__ = ("bango", "cat", "ings", "shurui", "meisho_raw", "meisho", "tsusho", "ryakusho",
                 "yoto", "zaikei", "form", "torokubi", "nodo", "seibun_null", "uses", "domain",
                 "brand_ruby", "special")


CATEGORY_WEIGHTS = [("I", 33), ("F", 29), ("H", 19), ("IF", 6), ("P", 4), ("S", 2), ("R", 1.5),
                    ("A", 1.5), ("N", 3), ("Q", 1)]

DOMAINS = {
    "I": [("veg", 40), ("fruit", 25), ("rice", 12), ("tea", 4), ("flower", 8), ("tree", 3),
          ("potato", 3), ("bean", 3), ("wheat", 2)],
    "F": [("veg", 40), ("fruit", 28), ("rice", 14), ("wheat", 5), ("tea", 3), ("flower", 5),
          ("turf", 2), ("potato", 3)],
    "IF": [("rice", 45), ("veg", 30), ("fruit", 15), ("flower", 10)],
    "H": [("rice", 45), ("veg", 15), ("potato", 5), ("bean", 5), ("fruit", 12), ("turf", 8),
          ("tree", 5), ("wheat", 5)],
    "P": [("grape", 30), ("fruit", 25), ("rice", 20), ("flower", 15), ("veg", 10)],
    "S": [("all", 100)],
    "R": [("rice", 30), ("fruit", 30), ("tree", 40)],
    "A": [("veg", 40), ("rice", 20), ("tree", 20), ("fruit", 20)],
    "N": [("veg", 70), ("potato", 30)],
    "Q": [("wheat", 50), ("bean", 50)],
}


def weighted(rng, pairs):
    total = sum(w for _, w in pairs)
    x = rng.random() * total
    for v, w in pairs:
        x -= w
        if x < 0:
            return v
    return pairs[-1][0]


def make_brand(rng):
    n = rng.choice([2, 3, 3, 4, 4, 5])
    s = ""
    while len(s) < n:
        syl = rng.choice(vocab.BRAND_SYLLABLES)
        if not s and syl in ("ン", "ー", "ッ"):
            continue
        if s and s[-1] in "ンーッ" and syl in ("ン", "ー", "ッ"):
            continue
        s += syl
    return s


def brand_ruby(brand):
    return kata_to_hira(brand)


def product_word(zaikei):
    return {"水和剤(フロアブル)": "フロアブル", "ジャンボ剤": "ジャンボ", "顆粒水和剤": "顆粒水和剤",
            "1キロ粒剤": "1キロ粒剤"}.get(zaikei, zaikei)


FORM_RUBY = {"フロアブル": "ふろあぶる", "ジャンボ": "じゃんぼ"}


def random_date(rng):
    # registrations cluster in recent decades
    year = int(1955 + (2026 - 1955) * (rng.random() ** 0.6))
    month = rng.randint(1, 12)
    day = rng.randint(1, 28)
    if year == 2026 and month > 10:
        month = 10
    return datetime.date(year, month, day)


def format_nodo(rng, ing):
    v = ing.nodo_lo + (ing.nodo_hi - ing.nodo_lo) * rng.random()
    if v >= 10:
        return "%.1f%%" % v
    if v >= 1:
        return "%.1f%%" % v
    return "%.2f%%" % v


SPECIAL_PRODUCTS = [
    # meisho as published (raw), ingredients (ippanmei), zaikei, ryakusho, category
    ("キングダムフロアブル", ["アゾキシストロビン"], "水和剤(フロアブル)", "日本農薬", "F"),
    ("キングマラソン乳剤", ["マラソン"], "乳剤", "キング園芸", "I"),
    ("バイエル アージラン液剤", ["アシュラム"], "液剤", "バイエルクロップサイエンス", "H"),
    ("アグロスリン乳剤", ["シペルメトリン"], "乳剤", "住友化学", "I"),
    ("アグロスアグロスター乳剤", ["エトフェンプロックス"], "乳剤", "アグロス", "I"),
    ("アグロスター水和剤", ["エトフェンプロックス"], "水和剤", "アグロス", "I"),
    ("三共の草枯らし粒剤", ["DCMU"], "粒剤", "三共アグロ", "H"),
    ("SGダコグリーン", ["TPN"], "水和剤", "SDSバイオテック", "F"),
    ("ＧＦオルトランＤＸ粒剤", ["アセフェート", "クロチアニジン"], "粒剤", "住友化学園芸", "I"),
    ("マイ’ガーデン粒剤", ["クロチアニジン"], "粒剤", "住友化学園芸", "I"),
    ("“京都微研”ｷｭｰﾋﾞｵZY", ["BT"], "水和剤", "京都微研", "I"),
    ("クミアイ ダイアジノン粒剤5", ["ダイアジノン"], "粒剤", "クミアイ化学工業", "I"),
    ("「石原」フロンサイド水和剤", ["TPN"], "水和剤", "石原産業", "F"),
    ("カダン石灰硫黄合剤", ["石灰硫黄合剤"], "液剤", "フマキラー", "F"),
    ("細井石灰硫黄合剤", ["石灰硫黄合剤"], "液剤", "細井化学工業", "F"),
    ("キング除虫菊乳剤", ["除虫菊"], "乳剤", "キング園芸", "I"),
    ("キング95マシン", ["マシン油"], "乳剤", "キング園芸", "I"),
    ("イオウフロアブル", ["水和硫黄"], "水和剤(フロアブル)", "アグロカネショウ", "F"),
    ("ダイン", ["ポリオキシエチレンアルキルエーテル"], "液剤", "住友化学", "S"),
    ("アプローチBI", ["ポリオキシエチレンアルキルエーテル"], "液剤", "丸和バイオケミカル", "S"),
    ("ランテクター", ["全卵粉末"], "水和剤", "住友化学園芸", "A"),
    ("有機リドミル粒剤2", ["メタラキシルM"], "粒剤", "シンジェンタジャパン", "F"),
    ("フマキラー園芸用キンチョール", ["ペルメトリン"], "エアゾル", "フマキラー", "I"),
    ("ネマトリン_エース粒剤", ["ホスチアゼート"], "粒剤", "石原産業", "N"),
    ("ヤシマ スミチオン乳剤", ["MEP"], "乳剤", "八洲化学工業", "I"),
    ("スミチオン乳剤", ["MEP"], "乳剤", "住友化学", "I"),
    ("日農スミチオン乳剤", ["MEP"], "乳剤", "日本農薬", "I"),
    ("ホクコーMEP・BPMC粉剤", ["MEP", "BPMC"], "粉剤", "北興化学工業", "I"),
    ("エイトフロアブル", ["ジベレリン"], "液剤", "協和", "P"),
    ("フジワン粒剤", ["イソプロチオラン"], "粒剤", "日本農薬", "F"),
    ("シアン酸ソーダ粒剤", ["シアン酸塩"], "粒剤", "保土谷UPL", "H"),
    ("ラウンドアップマックスロード", ["グリホサートイソプロピルアミン塩"], "液剤", "日産化学", "H"),
    ("ベンゾビシクロン・ブロモブチド・ペントキサゾン1キロ粒剤テスト", ["ブロモブチド", "ペントキサゾン",
     "ベンスルフロンメチル", "プレチラクロール", "ピラゾスルフロンエチル"], "1キロ粒剤", "協友アグリ", "H"),
    ("エコホープDJ", ["イミノクタジンアルベシル酸塩"], "水和剤", "クミアイ化学工業", "F"),
    ("ジャンボたにしくん", ["メタアルデヒド"], "粒剤", "日本農薬", "A"),
    ("強力ラットキラー", ["ワルファリン"], "粒剤", "大塚化学", "R"),
    ("ホストキシンくん蒸剤", ["リン化アルミニウム"], "くん蒸剤", "日本化薬", "Q"),
    ("バスアミド微粒剤", ["ダゾメット"], "粉粒剤", "アグロカネショウ", "N"),
]


def _shurui(ings, suffix):
    names = [SHURUI_NAME.get(g.ippanmei, g.ippanmei) for g in ings]
    if len(ings) == 1 and ings[0].cat == "S":
        return "展着剤"
    if len(ings) == 1 and ings[0].ippanmei == "石灰硫黄合剤":
        return "石灰硫黄合剤"
    if len(ings) == 1 and ings[0].ippanmei == "水和硫黄":
        return "水和硫黄剤"
    return "・".join(names) + suffix


HERBICIDE_FAMILIES = {
    "rice": {"ブロモブチド", "ベンスルフロンメチル", "ピラゾスルフロンエチル", "ペントキサゾン", "プレチラクロール", "シメトリン",
             "MCP"},
    "nonsel": {"グリホサートイソプロピルアミン塩", "グルホシネート", "パラコート", "DCMU", "アシュラム", "シアン酸塩"},
    "field": {"トリフルラリン", "ペンディメタリン", "DCMU", "シメトリン"},
}
HERBICIDE_DOMAINS = {
    "rice": [("rice", 100)],
    "nonsel": [("fruit", 35), ("tree", 25), ("turf", 20), ("veg", 20)],
    "field": [("veg", 50), ("potato", 20), ("bean", 15), ("wheat", 15)],
}


def make_products(rng, n_products, ingredients, crops):
    by_cat = {}
    for g in ingredients:
        by_cat.setdefault(g.cat, []).append(g)
    ing_by_name = {g.ippanmei: g for g in ingredients}
    makers = vocab.MAKERS
    products = []

    def new_product(cat, ings, zaikei, suffix, meisho_raw, ryakusho, special=False):
        p = Product()
        p.cat = cat
        p.ings = ings
        p.zaikei = zaikei
        p.form = suffix
        p.shurui = _shurui(ings, suffix)
        p.meisho_raw = meisho_raw
        p.meisho = zen_to_han_ascii(meisho_raw).replace("_", " ")
        # the importers split on blanks turned into "_", so the maker marks
        # ending in "_" see the blank
        p.tsusho = make_tsusho(zen_to_han_ascii(meisho_raw).replace(" ", "_")).replace("_", " ")
        p.ryakusho = ryakusho
        p.yoto = vocab.YOTO.get(cat, "殺虫剤")
        if any(g.kokaid & 2048 for g in ings):
            p.yoto = "殺虫剤"
        if zaikei == "複合肥料":
            p.yoto = "農薬肥料"
        p.torokubi = random_date(rng)
        p.nodo = [format_nodo(rng, g) for g in ings]
        p.seibun_null = cat in ("S",)
        p.uses = []
        p.special = special
        p.domain = weighted(rng, DOMAINS[cat])
        if zaikei in ("ペースト剤", "塗布剤"):
            p.domain = rng.choice(["fruit", "tree"])
        p.brand_ruby = ""
        return p

    suffix_of = {}
    for suffix, zaikei, ruby, cats in vocab.FORMULATIONS:
        suffix_of.setdefault(zaikei, suffix)
    for meisho, ing_names, zaikei, ryakusho, cat in SPECIAL_PRODUCTS:
        ings = [ing_by_name[n] for n in ing_names]
        p = new_product(cat, ings, zaikei, suffix_of.get(zaikei, "剤"), meisho, ryakusho, True)
        products.append(p)

    while len(products) < n_products:
        cat = weighted(rng, CATEGORY_WEIGHTS)
        herb_domain = None
        if cat == "IF":
            ings = [rng.choice(by_cat["I"]), rng.choice(by_cat["F"])]
        elif cat == "H":
            # rice herbicides come as mixtures of up to five; the others alone or in pairs
            family = weighted(rng, [("rice", 45), ("nonsel", 35), ("field", 20)])
            pool = [g for g in by_cat["H"] if g.ippanmei in HERBICIDE_FAMILIES[family]]
            r = rng.random()
            if family == "rice":
                k = 1 if r < 0.25 else 2 if r < 0.55 else 3 if r < 0.85 else 4 if r < 0.97 else 5
            else:
                k = 1 if r < 0.7 else 2
            ings = sorted(rng.sample(pool, min(k, len(pool))), key=lambda g: g.index)
            herb_domain = weighted(rng, HERBICIDE_DOMAINS[family])
        else:
            pool = by_cat[cat]
            k = 1
            r = rng.random()
            if cat == "H":
                k = 1 if r < 0.45 else 2 if r < 0.8 else 3 if r < 0.95 else 4 if r < 0.99 else 5
            elif cat in ("I", "F"):
                k = 1 if r < 0.75 else 2 if r < 0.97 else 3
            k = min(k, len(pool))
            ings = rng.sample(pool, k)
            ings.sort(key=lambda g: g.index)
        if any(g.ippanmei in ("石灰硫黄合剤", "水和硫黄", "除虫菊", "マシン油") for g in ings) and len(ings) > 1:
            continue
        forms = [f for f in vocab.FORMULATIONS if any(c in f[3] for c in cat)]
        suffix, zaikei, fruby, _ = rng.choice(forms)
        brand = make_brand(rng)
        extra = rng.choice(vocab.BRAND_SUFFIXES)
        word = product_word(zaikei)
        base = brand + word + extra
        # a family: the same product sold by one to three registrants
        n_sellers = 1 if rng.random() < 0.75 else rng.choice([2, 2, 3])
        sellers = rng.sample(makers, n_sellers)
        family_domain = None
        family_date = None
        for si, (ryak, mark) in enumerate(sellers):
            if len(products) >= n_products:
                break
            meisho_raw = base
            if si > 0 or rng.random() < 0.12:
                if mark:
                    style = rng.random()
                    if style < 0.55:
                        meisho_raw = mark + base
                    elif style < 0.8 and (mark + "_") in BLANK_MARKS:
                        meisho_raw = mark + " " + base
                    elif style < 0.9:
                        meisho_raw = "「" + mark + "」" + base
                    else:
                        meisho_raw = to_fullwidth_ascii(mark) + base if mark.isascii() else mark + base
                else:
                    meisho_raw = base + str(si + 1)
            if rng.random() < 0.03:
                meisho_raw = to_halfwidth_kana(meisho_raw)
            p = new_product(cat, ings, zaikei, suffix, meisho_raw, ryak)
            if herb_domain:
                p.domain = herb_domain
            p.brand_ruby = brand_ruby(brand) + FORM_RUBY.get(word, fruby) + extra.lower()
            if family_domain is None:
                family_domain = p.domain
                family_date = p.torokubi
            else:
                p.domain = family_domain
                p.torokubi = family_date + datetime.timedelta(days=rng.randint(0, 400))
                if p.torokubi > datetime.date(2026, 10, 31):
                    p.torokubi = datetime.date(2026, 10, 31)
            products.append(p)

    # registration numbers: older products have smaller numbers
    order = sorted(range(len(products)), key=lambda i: (products[i].torokubi, i))
    bango = 1200 if n_products < 1000 else 600
    for i in order:
        bango += rng.randint(1, 3) if n_products > 1000 else rng.randint(1, 90)
        products[i].bango = bango
    products.sort(key=lambda p: p.bango)
    return products


def crop_pools(crops):
    """Crops a registration may name, by domain."""
    pools = {}
    usable = [c for c in crops]
    for dom in ("veg", "fruit", "rice", "wheat", "tea", "flower", "tree", "turf", "potato", "bean",
                "grape", "cereal"):
        pools[dom] = [c for c in usable if dom in c.tags]
    # spreaders name the registration groups, most often 農作物等 (all crops,
    # the code of zeros, which is no node of the classification)
    pools["all"] = [NOSAKU] + [c for c in usable if "reg" in c.tags]
    return pools


NOSAKU = Crop(0, "農作物等", "のうさくぶつとう", "全作物", "", "", ["group", "reg"])
NOSAKU.idsaku = "0000000000000000"
NOSAKU.xidsaku = "00000000"
NOSAKU.toroku = 1


def pest_pools(pests):
    return {cid: [p for p in pests if p.cid == cid] for cid in (1, 2, 3, 4, 6)}


def pests_for(pool, crop):
    return [p for p in pool if "all" in p.tags or (p.tags & crop.tags)]


KAISU_DETAIL_RICE = "{n}回以内(種子への処理は1回以内、育苗箱への処理は1回以内、本田では{m}回以内)"
KAISU_DETAIL_SOIL = "{n}回以内(定植時の土壌混和は1回以内、散布は{m}回以内)"


def make_uses(rng, products, crops, pests, total_uses):
    pools = crop_pools(crops)
    ppools = pest_pools(pests)
    everything = pools["all"]
    per = max(1.0, total_uses / float(len(products)))
    made = 0
    for pi, p in enumerate(products):
        remaining_products = len(products) - pi
        want = max(1, int(round((total_uses - made) / float(remaining_products) * (0.4 + 1.2 * rng.random()))))
        if p.special:
            want = max(want, 4)
        want = min(want, int(per * 3) + 2)
        if p.cat == "S":
            dom_crops = everything
        else:
            dom_crops = pools.get(p.domain) or everything
        if p.cat == "Q":
            dom_crops = [c for c in crops if c.name in ("小麦", "大麦", "大豆", "小豆", "とうもろこし")]
        rows = []
        n_crops = max(1, min(len(dom_crops), int(want / 2.5) + 1))
        chosen = choose_crops(rng, dom_crops, n_crops, p.cat == "S")
        guard = 0
        while len(rows) < want and guard < want * 6:
            guard += 1
            crop = chosen[len(rows) % len(chosen)] if rng.random() < 0.7 else rng.choice(chosen)
            row = make_use_row(rng, p, crop, ppools)
            if row is None:
                continue
            rows.append(row)
        if not rows:
            # Every product has at least one use: a herbicide never takes a seedling crop, so
            # when the chosen crops are all of that kind look further.
            for crop in chosen + [c for c in dom_crops if c not in chosen] + everything:
                row = make_use_row(rng, p, crop, ppools, force=True)
                if row is not None:
                    rows.append(row)
                    break
        p.uses = rows
        made += len(rows)
    return made


MAJOR_CROPS = {"トマト", "ミニトマト", "なす", "きゅうり", "いちご", "キャベツ", "はくさい", "だいこん", "ねぎ", "たまねぎ",
               "レタス", "ばれいしょ", "りんご", "なし", "もも", "ぶどう", "温州みかん", "稲", "小麦", "大豆", "茶",
               "きく", "ばら", "ピーマン", "メロン", "すいか", "ブロッコリー", "日本芝"}


def crop_weight(c):
    if c.name in MAJOR_CROPS:
        return 40
    if "group" in c.tags:
        return 2 if "reg" in c.tags else 0
    if c.level == 5:
        return 1 if "form" in c.tags else 3
    return 10


_POOL_CACHE = {}


def choose_crops(rng, pool, n, groups_only=False):
    """An anchor crop and mostly its relatives: a product is registered on related crops."""
    key = (id(pool), groups_only)
    if key not in _POOL_CACHE:
        weights = [(c, (8 if c is NOSAKU else 1) if groups_only else crop_weight(c)) for c in pool]
        weights = [(c, w) for c, w in weights if w > 0] or [(c, 1) for c in pool]
        kin = {}
        for c, _ in weights:
            for k in (c.parent, c.parent.parent if c.parent is not None else None):
                if k is not None:
                    kin.setdefault(id(k), []).append(c)
        cum = []
        total = 0
        for _, w in weights:
            total += w
            cum.append(total)
        _POOL_CACHE[key] = (pool, weights, kin, cum)
    _, weights, kin_of, cum = _POOL_CACHE[key]

    def pick():
        return weights[min(len(weights) - 1, bisect.bisect_right(cum, rng.random() * cum[-1]))][0]

    n = min(n, len(weights))
    chosen = [pick()]
    guard = 0
    while len(chosen) < n and guard < n * 20:
        guard += 1
        if rng.random() < 0.65:
            base = rng.choice(chosen)
            kin = base.parent.parent if base.parent is not None and base.parent.parent is not None and \
                rng.random() < 0.3 else base.parent
            rel = [c for c in kin_of.get(id(kin), ()) if c not in chosen] if kin is not None else []
            if rel:
                chosen.append(rng.choice(rel))
                continue
        c = pick()
        if c not in chosen:
            chosen.append(c)
    return chosen


def _pest_class(p):
    return {"I": [2], "F": [1], "IF": [1, 2], "H": [3], "P": [6], "S": [6], "R": [4], "A": [4, 2],
            "N": [2, 1], "Q": [2]}[p.cat]


def make_use_row(rng, p, crop, ppools, force=False):
    cids = _pest_class(p)
    cid = rng.choice(cids)
    pool = ppools[cid]
    if cid == 1:
        pool = [x for x in pool if x.name not in ("モザイク病", "TMV")]   # no chemical cures a virus
    if p.cat == "H" and any(w in crop.name for w in ("種子", "箱育苗", "苗)")):
        return None
    if p.cat == "N" and cid == 2:
        pool = [x for x in pool if x.name in ("ネコブセンチュウ", "ネグサレセンチュウ")]
    if p.cat == "N" and cid == 1:
        pool = [x for x in pool if x.name in ("萎凋病", "立枯病", "根腐病", "根こぶ病", "軟腐病")]
    if p.cat == "A" and cid == 2:
        pool = [x for x in pool if x.name in ("ナメクジ類", "スクミリンゴガイ")]
    if p.cat == "Q":
        pool = [x for x in pool if x.name == "貯穀害虫"]
    if p.cat == "S":
        pool = [x for x in pool if x.name.startswith("薬液")]
    cands = pests_for(pool, crop) if p.cat not in ("S", "Q") else pool
    if not cands:
        if not force:
            return None
        cands = pool
    pest = rng.choice(cands)
    u = {}
    u["sakumotsu"] = crop.name
    u["basho"] = ""
    u["byochu"] = pest.name
    u["mokuteki"] = ""
    granule = p.zaikei in ("粒剤", "粉粒剤", "ジャンボ剤", "1キロ粒剤", "複合肥料")
    rice = "rice" in crop.tags
    if p.cat in ("P", "S"):
        u["byochu"] = ""
        u["mokuteki"] = pest.name
        if p.cat == "S":
            u["baisu"] = rng.choice(["散布液100㍑当り10～30ml", "散布液100㍑当り20ml", "3000～5000倍"])
            u["ekiryo"] = ""
            u["jiki"] = ""
            u["hoho"] = "散布液に加用する"
        else:
            u["baisu"] = rng.choice(["25～50ppm", "100ppm", "10～20ppm", "2000倍", "1000～2000倍"])
            u["ekiryo"] = rng.choice(vocab.EKIRYO + [""])
            u["jiki"] = rng.choice(["満開予定日の約14日前", "満開時～満開3日後", "出穂前10日", "収穫45日前まで",
                                    "開花始め～満開期"])
            u["hoho"] = rng.choice(["散布", "花房浸漬", "果房浸漬", "茎葉散布"])
    elif p.cat == "H":
        u["baisu"] = rng.choice(vocab.BAISU_GRANULE[:4] if granule else vocab.BAISU_HERB)
        u["ekiryo"] = "" if granule else rng.choice(vocab.EKIRYO_HERB)
        u["jiki"] = rng.choice(vocab.JIKI_RICE[:2] if rice else vocab.JIKI_HERB)
        u["hoho"] = rng.choice(vocab.HOHO_RICE if rice else vocab.HOHO_HERB)
    elif p.cat == "Q":
        u["basho"] = "倉庫"
        u["baisu"] = rng.choice(["1トン当り3～6g", "くん蒸容積1m3当り2～4g"])
        u["ekiryo"] = ""
        u["jiki"] = "収穫後"
        u["hoho"] = "くん蒸"
    else:
        if granule:
            u["baisu"] = rng.choice(vocab.BAISU_GRANULE)
            u["ekiryo"] = rng.choice(["", "", "－"])
            u["jiki"] = rng.choice(vocab.JIKI_RICE[6:] if rice else vocab.JIKI_SOIL)
            u["hoho"] = rng.choice(vocab.HOHO_SOIL)
        elif p.zaikei in ("ペースト剤", "塗布剤"):
            u["baisu"] = "原液"
            u["ekiryo"] = ""
            u["jiki"] = rng.choice(["せん定直後", "収穫後～発芽前", "病斑削り取り後"])
            u["hoho"] = rng.choice(["切り口及び傷口に塗布", "病斑部に塗布"])
        elif p.zaikei == "エアゾル":
            u["baisu"] = "原液"
            u["ekiryo"] = ""
            u["jiki"] = rng.choice(vocab.JIKI_FOLIAR[:4])
            u["hoho"] = "噴射"
        elif p.zaikei == "くん煙剤":
            u["baisu"] = "1個(50g)/400～600m3"
            u["ekiryo"] = ""
            u["jiki"] = rng.choice(vocab.JIKI_FOLIAR[:4])
            u["hoho"] = "くん煙"
        else:
            u["baisu"] = rng.choice(vocab.BAISU_FOLIAR)
            u["ekiryo"] = rng.choice(vocab.EKIRYO)
            u["jiki"] = rng.choice(vocab.JIKI_RICE[2:6] if rice else vocab.JIKI_FOLIAR)
            if "fruit" in crop.tags or "tree" in crop.tags:
                u["hoho"] = rng.choice(["散布", "散布", "樹冠散布", "スピードスプレーヤによる散布"])
            elif rice:
                u["hoho"] = rng.choice(["散布", "散布", "無人航空機による散布", "無人ヘリコプターによる散布"])
            else:
                u["hoho"] = rng.choice(vocab.HOHO_FOLIAR)
    if "tree" in crop.tags and rng.random() < 0.3:
        u["basho"] = rng.choice(["公園、庭園", "林地"])
    n = rng.choice([1, 2, 3, 3, 4, 5])
    u["kaisu"] = "%d回以内" % n if n > 1 else "1回"
    u["jikan"] = ""
    u["ondo"] = ""
    u["dojo"] = ""
    u["chitai"] = ""
    u["tekiyaku"] = ""
    if p.cat == "Q":
        u["jikan"] = rng.choice(["72時間以上", "5日以上", "48時間"])
        u["ondo"] = rng.choice(["15℃以上", "10～15℃", "25℃以上"])
    if p.cat == "H" and rice:
        u["dojo"] = rng.choice(vocab.DOJO)
        if rng.random() < 0.3:
            u["chitai"] = rng.choice(vocab.CHITAI)
    if p.cat == "N":
        u["baisu"] = rng.choice(["20～30㍑/10a", "1穴当り2～3ml", "30kg/10a", "20～40g/㎡"])
        u["ekiryo"] = ""
        u["hoho"] = rng.choice(["土壌混和", "全面土壌混和", "土壌注入"])
        u["jiki"] = "は種又は植付前"
    if p.cat in ("I", "F", "IF") and "(種子)" in crop.name:
        u["baisu"] = rng.choice(["20倍", "200倍", "種子重量の0.5%"])
        u["ekiryo"] = ""
        u["jiki"] = rng.choice(["浸種前", "は種前"])
        u["hoho"] = rng.choice(["種子浸漬", "種子粉衣", "塗沫処理"])
    elif p.cat in ("I", "F", "IF") and "(箱育苗)" in crop.name:
        u["baisu"] = "育苗箱(30×60×3cm、使用土壌約5L)1箱当り50g"
        u["ekiryo"] = ""
        u["jiki"] = rng.choice(["移植3日前～移植当日", "緑化期"])
        u["hoho"] = "育苗箱の苗の上から均一に散布する"
    kaisus = []
    for gi, g in enumerate(p.ings):
        m = max(n, rng.choice([n, n, n + 1, n + 2]))
        if rice and p.cat in ("I", "F", "IF") and rng.random() < 0.25:
            kaisus.append(KAISU_DETAIL_RICE.format(n=m + 2, m=m))
        elif granule and p.cat in ("I", "N") and rng.random() < 0.2:
            kaisus.append(KAISU_DETAIL_SOIL.format(n=m + 1, m=m))
        else:
            kaisus.append("%d回以内" % m if m > 1 else "1回")
    while len(kaisus) < 5:
        kaisus.append("")
    u["kaisu_n"] = kaisus
    return u


def compute_toroku(crops, products):
    used = set()
    for p in products:
        for u in p.uses:
            used.add(u["sakumotsu"])
    codes_used = set(c.idsaku for c in crops if c.name in used)
    for c in crops:
        if c.name in used:
            c.toroku = 1
            continue
        plen = DIGITS[c.level]
        pre = c.idsaku[:plen]
        below = any(code != c.idsaku and code.startswith(pre) for code in codes_used)
        if below:
            c.toroku = 3
            continue
        above = any(a.name in used for a in crop_ancestors(c))
        c.toroku = 2 if above else 0
    return used


# ---------------------------------------------------------------------------
# Raw published values.  Each use row keeps its stored ("canonical") value;
# the public and spreadsheet forms are derived from it with the quirks of
# the published files, which the importers undo.
# ---------------------------------------------------------------------------

def public_value(key, value, row_quirks):
    """The text as the public CSV carries it for a stored value."""
    if value is None:
        return ""
    s = value
    if key in ("sakumotsu", "byochu"):
        s = s.replace("(", "（").replace(")", "）")
    if key in ("ekiryo", "baisu"):
        s = s.replace("L/10a", "㍑/10a").replace("㍑", "㍑")
    if "fullwidth" in row_quirks and key in ("baisu", "jiki", "kaisu"):
        s = to_fullwidth_ascii(s)
    if "halfkana" in row_quirks and key in ("hoho", "jiki"):
        s = to_halfwidth_kana(s)
    if "underscore" in row_quirks and key == "jiki" and " " in s:
        s = s.replace(" ", "_")
    if "meter" in row_quirks and key == "hoho":
        s = s + "(地上1.5㍍以下)"
    if "cm" in row_quirks and key == "hoho":
        s = s + "(株元から10㌢以内)"
    if "sqm" in row_quirks and key == "hoho":
        s = s + "(10㎡当り)"
    if "m2" in row_quirks and key == "baisu":
        s = s + "(20～30ｇ/㎡)"
    if "ml" in row_quirks and key == "baisu":
        s = s.replace("ml", "ｍｌ")
    if "dash" in row_quirks and key == "ekiryo" and s == "":
        s = "－"
    return s


@functools.lru_cache(maxsize=None)
def stored_public(key, raw):
    """What the public CSV importer stores for a raw use value."""
    s = raw.replace("㍑", "L").replace("㍍", "m").replace("ｍ", "m").replace("ｇ", "g")
    if s == "" or s == "NULL":
        return None
    s = s.replace("_", " ")
    return zen_to_han_ascii(s)


def canonical_uses(rng, products):
    """Decide the quirks of every use row and the values the public import stores."""
    line_break_rows = 0
    twenty_rows = 0
    # three uses with a line break inside a quoted field in each public uses file
    half = len(products) // 2
    for plist in (products[:half], products[half:]):
        cands = [u for p in plist for u in p.uses if u["hoho"]]
        for u in rng.sample(cands, min(3, len(cands))):
            u["linebreak"] = True
    for p in products:
        for u in p.uses:
            q = set()
            r = rng.random()
            if r < 0.04:
                q.add("fullwidth")
            elif r < 0.06:
                q.add("halfkana")
            if " " in u["jiki"] and rng.random() < 0.5:
                q.add("underscore")
            r = rng.random()
            if r < 0.01:
                q.add("meter")
            elif r < 0.02:
                q.add("cm")
            elif r < 0.035 and u["baisu"].endswith("kg/10a"):
                q.add("m2")
            elif r < 0.05 and "ml" in u["baisu"]:
                q.add("ml")
            elif r < 0.065 and u["hoho"]:
                q.add("sqm")
            if u["ekiryo"] == "" and rng.random() < 0.3:
                q.add("dash")
            if rng.random() < 0.01 and not p.special:
                q.add("twenty")
                twenty_rows += 1
            if u.get("linebreak"):
                q.add("linebreak")
                line_break_rows += 1
            u["quirks"] = q
            raw = {}
            for key in ("sakumotsu", "basho", "byochu", "mokuteki", "baisu", "ekiryo", "jiki", "kaisu",
                        "hoho", "jikan", "ondo", "dojo", "chitai", "tekiyaku"):
                raw[key] = public_value(key, u[key], q)
            if "linebreak" in q:
                raw["hoho"] = raw["hoho"] + ("\r\n" if line_break_rows % 2 else "\n") + "(ただし、少量散布に限る)"
            raw["kaisu_n"] = [public_value("kaisu", k, q) for k in u["kaisu_n"]]
            if "twenty" in q:
                raw["kaisu_n"] = None
            u["raw"] = raw
            st = {}
            for key, val in raw.items():
                if key == "kaisu_n":
                    continue
                st[key] = stored_public(key, val.replace("\r\n", "").replace("\n", ""))
            st["kaisu_n"] = [None] * 5 if raw["kaisu_n"] is None else [stored_public("kaisu", k)
                                                                       for k in raw["kaisu_n"]]
            u["stored"] = st
    return line_break_rows, twenty_rows


# ---------------------------------------------------------------------------
# Writers
# ---------------------------------------------------------------------------

def cp932(text):
    return text.encode("cp932")


def write_bytes(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def q2(s):
    """Double-quoted CSV field (public files)."""
    return '"' + s.replace('"', '""') + '"'


def q1(s):
    """Single-quoted CSV field (mirror files)."""
    return "'" + s.replace("'", "''") + "'"


def date_text(d, rng=None, loose=False):
    if loose:
        return "%d/%d/%d" % (d.year, d.month, d.day)
    return d.strftime("%Y/%m/%d")


def excel_serial(d):
    return (d - datetime.date(1899, 12, 30)).days


KIHON_HEADER = ["登録番号", "農薬の種類", "農薬の名称", "略称", "有効成分", "総使用回数における有効成分", "濃度",
                "混合数", "用途", "剤型名", "登録年月日"]
TEKIYO_HEADER = ["登録番号", "用途", "農薬の種類", "農薬の名称", "略称", "作物名", "適用場所", "適用病害虫雑草名",
                 "使用目的", "希釈倍数使用量", "散布液量", "使用時期", "本剤の使用回数", "使用方法", "くん蒸時間",
                 "くん蒸温度", "適用土壌", "適用地帯名", "適用農薬名", "混合数",
                 "有効成分①を含む農薬の総使用回数", "有効成分②を含む農薬の総使用回数",
                 "有効成分③を含む農薬の総使用回数", "有効成分④を含む農薬の総使用回数",
                 "有効成分⑤を含む農薬の総使用回数"]


def seibun_of(g):
    return g.seibun


def seibun_empty(p):
    """Products published without a counted ingredient: the spreaders, and
    some growth regulators (the mirror writes NULL for the first, an empty
    text for the second)."""
    return p.seibun_null or (p.cat == "P" and p.bango % 2 == 0)


def kihon_rows_raw(p):
    """Basics rows as published: one per product and ingredient."""
    rows = []
    for gi, g in enumerate(p.ings):
        seibun = "" if seibun_empty(p) else seibun_of(g)
        rows.append([str(p.bango), p.shurui, p.meisho_raw, p.ryakusho, g.ippanmei, seibun, p.nodo[gi],
                     str(len(p.ings)), p.yoto, p.zaikei, p.torokubi])
    return rows


def write_public(out, products, rng):
    d = os.path.join(out, "public")
    os.makedirs(d, exist_ok=True)
    # basics
    lines = [",".join(q2(h) for h in KIHON_HEADER)]
    for p in products:
        loose = (p.bango % 17 == 0)
        for r in kihon_rows_raw(p):
            f = [r[0], q2(r[1]), q2(r[2]), q2(r[3]), q2(r[4]), q2(r[5]) if r[5] else "", q2(r[6]), r[7],
                 q2(r[8]), q2(r[9]), q2(date_text(r[10], loose=loose))]
            lines.append(",".join(f))
    kihon = cp932("\r\n".join(lines) + "\r\n")
    write_bytes(os.path.join(d, CSV_NAMES["kihon_csv"]), kihon)

    # uses: first half in part one (plain header), second half in part two
    # (with the access-number column)
    half = len(products) // 2
    parts = [(products[:half], False, "tekiyo1"), (products[half:], True, "tekiyo2")]
    access_no = 0
    for plist, access, key in parts:
        header = list(TEKIYO_HEADER)
        if access:
            header.insert(19, "アクセスＮＯ")
        lines = [",".join(q2(h) for h in header)]
        for p in plist:
            for u in p.uses:
                raw = u["raw"]
                f = [str(p.bango), q2(p.yoto), q2(p.shurui), q2(p.meisho_raw), q2(p.ryakusho)]
                for k in ("sakumotsu", "basho", "byochu", "mokuteki", "baisu", "ekiryo", "jiki", "kaisu", "hoho",
                          "jikan", "ondo", "dojo", "chitai", "tekiyaku"):
                    f.append(q2(raw[k]) if raw[k] else "")
                access_no += 1
                if access:
                    f.append(str(access_no))
                f.append(str(len(p.ings)))
                if raw["kaisu_n"] is not None:
                    for k in raw["kaisu_n"]:
                        f.append(q2(k) if k else "")
                elif access:
                    pass
                lines.append(",".join(f))
        data = cp932("\r\n".join(lines) + "\r\n")
        write_bytes(os.path.join(d, CSV_NAMES[key + "_csv"]), data)

    # the archives, as the service zips them (CP932 member names, no UTF-8 flag)
    for key in ("kihon", "tekiyo1", "tekiyo2"):
        member = CSV_NAMES[key + "_csv"]
        with open(os.path.join(d, member), "rb") as f:
            payload = f.read()
        write_zip(os.path.join(d, CSV_NAMES[key + "_zip"]), [(member, payload)], cp932_names=True)

    # the CSV page (UTF-8 with a byte order mark)
    page = [
        "<!DOCTYPE html>",
        "<html lang=\"ja\">",
        "<head><meta charset=\"UTF-8\"><title>農薬登録情報ダウンロード(CSV形式)</title></head>",
        "<body>",
        "<h1>農薬登録情報ダウンロード(CSV形式)</h1>",
        "<!-- <p>2026年10月28日反映分（失効も反映しています）</p> -->",
        "<p>%d年%d月%d日反映分（失効も反映しています）</p>" % (DATA_DATE.year, DATA_DATE.month, DATA_DATE.day),
        "<p>%s</p>" % DATE_SENTENCE,
        "<ul>",
        "<li><a href=\"datacsv/%s\" target =\"_blank\">登録基本部（CSV形式）</a></li>" % CSV_NAMES["kihon_zip"],
        "<li><a href=\"datacsv/%s\" target =\"_blank\">登録適用部一（CSV形式）</a></li>" % CSV_NAMES["tekiyo1_zip"],
        "<li><a href=\"datacsv/%s\" target =\"_blank\">登録適用部二（CSV形式）</a></li>" % CSV_NAMES["tekiyo2_zip"],
        "</ul>",
        "</body>",
        "</html>",
    ]
    write_bytes(os.path.join(d, "update2.htm"), b"\xef\xbb\xbf" + "\r\n".join(page).encode("utf-8") + b"\r\n")
    page1 = [
        "<!DOCTYPE html>",
        "<html lang=\"ja\">",
        "<head><meta charset=\"UTF-8\"><title>農薬登録情報ダウンロード</title></head>",
        "<body>",
        "<p>%d年%d月%d日反映分（失効も反映しています）</p>" % (DATA_DATE.year, DATA_DATE.month, DATA_DATE.day),
        "<ul>",
    ] + ["<li><a href=\"data/%s.%s\">%s</a></li>" % (w, "lzh" if i in (1, 2, 3) else "zip", w)
         for i, w in enumerate(WORKBOOKS)] + ["</ul>", "</body>", "</html>"]
    write_bytes(os.path.join(d, "update.htm"), "\r\n".join(page1).encode("utf-8") + b"\r\n")


class _CP932ZipInfo(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):  # noqa: N802  (zipfile's own name)
        return self.filename.encode("cp932"), self.flag_bits


def write_zip(path, members, cp932_names=False):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        for name, payload in members:
            info = (_CP932ZipInfo if cp932_names else zipfile.ZipInfo)(name, date_time=ZIP_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            info.create_system = 0  # as made on Windows
            z.writestr(info, payload, compresslevel=6)
    write_bytes(path, buf.getvalue())


def mirror_value(key, v, quirk):
    """The mirror's tekiyo.csv carries the stored values with its own spellings."""
    if v is None:
        return "NULL"
    s = v
    if quirk == "heibei" and "㎡" in s:
        s = s.replace("㎡", "平方メートル")
    if quirk == "meter" and key == "hoho" and "1.5m" in s:
        s = s.replace("1.5m", "1.5メートル")
    if quirk == "m2" and key == "hoho" and "㎡" in s:
        s = s.replace("㎡", "m2")
    return q1(s)


def write_mirror(out, products):
    d = os.path.join(out, "mirror")
    os.makedirs(d, exist_ok=True)
    lines = [",".join(q1(h) for h in KIHON_HEADER)]
    for p in products:
        for gi, g in enumerate(p.ings):
            if p.seibun_null:
                seibun = "NULL"
            elif seibun_empty(p):
                seibun = q1("")   # an empty field stays an empty text
            else:
                seibun = q1(zen_to_han_ascii(g.seibun))
            shurui = zen_to_han_ascii(p.shurui)
            f = [str(p.bango), q1(shurui), q1(p.meisho.replace(" ", "_") if "_" in p.meisho_raw else p.meisho),
                 q1(p.ryakusho), q1(g.ippanmei), seibun, q1(p.nodo[gi]), str(len(p.ings)), q1(p.yoto),
                 q1(zen_to_han_ascii(p.zaikei)), q1(date_text(p.torokubi))]
            lines.append(",".join(f))
    kihon = cp932("\r\n".join(lines) + "\r\n")
    write_bytes(os.path.join(d, "kihon.csv"), kihon)

    lines = [",".join(q1(h) for h in TEKIYO_HEADER)]
    n = 0
    for p in products:
        for u in p.uses:
            st = u["stored"]
            n += 1
            quirk = "heibei" if n % 7 == 0 else "meter" if n % 5 == 0 else "m2" if n % 3 == 0 else ""
            f = [str(p.bango), q1(p.yoto), q1(zen_to_han_ascii(p.shurui)), q1(p.meisho), q1(p.ryakusho)]
            for k in ("sakumotsu", "basho", "byochu", "mokuteki", "baisu", "ekiryo", "jiki", "kaisu", "hoho",
                      "jikan", "ondo", "dojo", "chitai", "tekiyaku"):
                f.append(mirror_value(k, st[k], quirk))
            f.append(str(len(p.ings)))
            for k in st["kaisu_n"]:
                f.append(mirror_value("kaisu", k, quirk))
            lines.append(",".join(f))
    tekiyo = cp932("\r\n".join(lines) + "\r\n")
    write_bytes(os.path.join(d, "tekiyo.csv"), tekiyo)
    write_zip(os.path.join(d, "toroku.zip"), [("kihon.csv", kihon), ("tekiyo.csv", tekiyo)])
    write_bytes(os.path.join(d, "update.txt"), cp932(DATE_SENTENCE + "\r\n"))


def grid_name(p):
    # the spreadsheets carry one product name with a broken closing quote,
    # which the update window mends when it reads the cell
    return p.meisho_raw.replace("_", " ").replace("“京都微研”", "“京都微研\"")


def write_grid(out, products, make_xls):
    """Spreadsheet rows: what the spreadsheet reader hands to the grid importers."""
    d = os.path.join(out, "grid")
    os.makedirs(d, exist_ok=True)
    sheets = {}
    rows = [list(KIHON_HEADER)]
    for p in products:
        for gi, g in enumerate(p.ings):
            seibun = "" if seibun_empty(p) else g.seibun
            rows.append([str(p.bango), p.shurui, grid_name(p), p.ryakusho, g.ippanmei, seibun,
                         p.nodo[gi], str(len(p.ings)), p.yoto, p.zaikei, str(excel_serial(p.torokubi))])
    sheets["登録基本部"] = rows
    uses = [(p, u) for p in products for u in p.uses]
    quarter = (len(uses) + 3) // 4
    for i in range(4):
        part = uses[i * quarter:(i + 1) * quarter]
        rows = [list(TEKIYO_HEADER)]
        for p, u in part:
            raw = u["raw"]
            r = [str(p.bango), p.yoto, p.shurui, grid_name(p), p.ryakusho]
            for k in ("sakumotsu", "basho", "byochu", "mokuteki", "baisu", "ekiryo", "jiki", "kaisu", "hoho",
                      "jikan", "ondo", "dojo", "chitai", "tekiyaku"):
                r.append(raw[k].replace("_", " ").replace("\r\n", "\n"))
            r.append(str(len(p.ings)))
            kn = raw["kaisu_n"] or [""] * 5
            r.extend(kn)
            rows.append(r)
        sheets[WORKBOOKS[i + 1]] = rows
    for name, rows in sheets.items():
        buf = io.StringIO()
        w = csv.writer(buf, lineterminator="\r\n")
        w.writerows(rows)
        write_bytes(os.path.join(d, name + ".csv"), buf.getvalue().encode("utf-8"))
    if make_xls:
        make_xls_files(d, sheets)


def make_xls_files(d, sheets):
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if not soffice:
        print("gen_sample: LibreOffice not found, no .xls files", file=sys.stderr)
        return
    tmp = tempfile.mkdtemp(prefix="gen_sample_xls_")
    try:
        for wi, name in enumerate(WORKBOOKS):
            sheet_list = []
            if wi == 0:
                sheet_list.append(("はじめに", [[DATE_SENTENCE]], set()))
            numeric = {0, 7, 10} if wi == 0 else {0, 19}
            sheet_list.append((name, sheets[name], numeric))
            fods = os.path.join(tmp, name + ".fods")
            with open(fods, "w", encoding="utf-8") as f:
                f.write(fods_text(sheet_list))
            env = dict(os.environ)
            env["HOME"] = tmp
            subprocess.run([soffice, "--headless", "--norestore", "--convert-to", "xls:MS Excel 97",
                            "--outdir", tmp, fods], check=True, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, env=env, timeout=600)
            xls = os.path.join(tmp, name + ".xls")
            shutil.copyfile(xls, os.path.join(d, name + ".xls"))
            # the service offers parts one to three as LZH archives, the others as zip
            lha = shutil.which("lha")
            if wi in (1, 2, 3) and lha:
                stamp = datetime.datetime(*ZIP_TIME).timestamp()
                os.utime(xls, (stamp, stamp))
                subprocess.run([lha, "c2yq", name + ".lzh", name + ".xls"], cwd=tmp, check=True,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
                shutil.copyfile(os.path.join(tmp, name + ".lzh"), os.path.join(d, name + ".lzh"))
            else:
                with open(xls, "rb") as f:
                    write_zip(os.path.join(d, name + ".zip"), [(name + ".xls", f.read())], cp932_names=True)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


def _xml(s):
    return (s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")
            .replace("\n", "&#10;"))


def fods_text(sheet_list):
    parts = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
             'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
             'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
             'office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">',
             '<office:body><office:spreadsheet>']
    for name, rows, numeric in sheet_list:
        parts.append('<table:table table:name="%s">' % _xml(name))
        for ri, row in enumerate(rows):
            cells = []
            for ci, v in enumerate(row):
                if v == "":
                    cells.append('<table:table-cell/>')
                elif ri > 0 and ci in numeric and v.isdigit():
                    cells.append('<table:table-cell office:value-type="float" office:value="%s"><text:p>%s'
                                 '</text:p></table:table-cell>' % (v, v))
                else:
                    cells.append('<table:table-cell office:value-type="string"><text:p>%s</text:p>'
                                 '</table:table-cell>' % _xml(v))
            parts.append('<table:table-row>%s</table:table-row>' % "".join(cells))
        parts.append('</table:table>')
    parts.append('</office:spreadsheet></office:body></office:document>')
    return "\n".join(parts)


# ---------------------------------------------------------------------------
# Master scripts
# ---------------------------------------------------------------------------

def sql_q(v):
    if v is None:
        return "NULL"
    if isinstance(v, int):
        return str(v)
    return "'" + str(v).replace("'", "''") + "'"


def insert_lines(table, rows):
    return ["INSERT INTO %s VALUES(%s);" % (table, ",".join(sql_q(v) for v in r)) for r in rows]


def script(lines):
    return "\r\n".join(lines) + "\r\n"


def write_master(out, name, lines, utf8=False):
    text = script(lines)
    data = text.encode("utf-8") if utf8 else cp932(text)
    write_bytes(os.path.join(out, "masters", name), data)


def master_scripts(out, crops, pests, ingredients, products, used_crops, rng):
    write_sakumotsu(out, crops)
    write_byochu(out, pests)
    write_bunrui(out, ingredients, products)
    write_seizai(out, products, rng)
    write_dokusei(out, ingredients)
    write_ryutsu(out, products, rng)
    write_idshurui(out, products)
    write_iso(out, ingredients)
    write_suisan(out, products, rng)
    write_rac(out, ingredients)
    write_kwlists(out, products)
    write_beppyo1(out, crops)
    write_feedrice(out, products, rng)
    write_tsushoruby(out, products)
    write_cvo(out, crops)
    write_rakuyokaju(out, crops)


def write_sakumotsu(out, crops):
    lines = ["-- 作物名マスター (m_sakumotsu, sakuhojo, vg_sakumotsu, vg_sakumotsu2, vs_sakumotsu2)",
             "DROP VIEW IF EXISTS vg_sakumotsu;",
             "DROP VIEW IF EXISTS vg_sakumotsu2;",
             "DROP VIEW IF EXISTS vs_sakumotsu2;",
             "DROP TABLE IF EXISTS m_sakumotsu;",
             "CREATE TABLE m_sakumotsu (idsaku VARCHAR PRIMARY KEY, xidsaku VARCHAR, class INTEGER, "
             "level INTEGER, toroku INTEGER, sakumotsu VARCHAR, ruby VARCHAR, betsumei VARCHAR, "
             "shukakubui VARCHAR, gunmei VARCHAR);"]
    rows = [("0000000000000000", "00000000", 0, 0, 1, "農作物等", "のうさくぶつとう", "全作物", None, None)]
    for c in crops:
        rows.append((c.idsaku, c.xidsaku, c.level, c.level, c.toroku, c.name, c.ruby, c.betsumei or None,
                     c.shukakubui or None, c.gunmei or None))
    lines += insert_lines("m_sakumotsu", rows)
    lines.append("CREATE INDEX IF NOT EXISTS idxMSakumotsuName ON m_sakumotsu (sakumotsu);")
    # helper table: groups a crop belongs to, exclusions and inclusions
    lines += ["DROP TABLE IF EXISTS sakuhojo;",
              "CREATE TABLE sakuhojo (idsaku VARCHAR PRIMARY KEY, shozoku VARCHAR, nozoku VARCHAR, "
              "fukumu VARCHAR);"]
    by_name = {c.name: c for c in crops}
    excepts = [c for c in crops if "except" in c.tags]
    hrows = []
    for c in crops:
        groups = [a.name for a in crop_ancestors(c)]
        if c.gunmei and c.gunmei != c.name:
            groups.append(c.gunmei)
        for e in excepts:
            if e is c or e.parent is None:
                continue
            if c.idsaku.startswith(e.parent.idsaku[:DIGITS[e.parent.level]]) and c is not e.parent \
                    and c.level > e.parent.level:
                groups.append(e.name)
        nozoku = list(c.nozoku)
        fukumu = list(c.fukumu)
        for n in nozoku + fukumu:
            assert n in by_name, n
        seen = []
        for g in groups:
            if g not in seen:
                seen.append(g)
        if seen or nozoku or fukumu:
            # exclusions and inclusions are matched as "、name、" by the crop conditions
            hrows.append((c.idsaku, "、".join(seen) or None,
                          ("、" + "、".join(nozoku) + "、") if nozoku else None,
                          ("、" + "、".join(fukumu) + "、") if fukumu else None))
    lines += insert_lines("sakuhojo", hrows)
    lines += [
        "CREATE VIEW vg_sakumotsu AS SELECT class, level, idsaku, xidsaku, toroku, sakumotsu, ruby, betsumei, "
        "shukakubui, gunmei FROM m_sakumotsu ORDER BY idsaku;",
        "CREATE VIEW vg_sakumotsu2 AS SELECT class, idsaku, toroku, shukakubui, sakumotsu, betsumei, gunmei, "
        "ruby FROM m_sakumotsu ORDER BY idsaku;",
        "CREATE VIEW vs_sakumotsu2 AS SELECT class, idsaku, toroku, shukakubui, sakumotsu, betsumei, gunmei, "
        "CASE WHEN gunmei = '落葉果樹' THEN '落葉果樹' ELSE NULL END AS rakuyokaju, "
        "sakumotsu||ifnull('、'||betsumei,'')||ifnull('、'||ruby,'') AS keywords "
        "FROM m_sakumotsu WHERE idsaku <> '0000000000000000' ORDER BY idsaku;",
    ]
    write_master(out, "sakumotsu.txt", lines)


def write_byochu(out, pests):
    lines = ["-- 病害虫名マスター (m_byochu, byochu, cbyochu, gbyochu)",
             "DROP TABLE IF EXISTS cbyochu;",
             "CREATE TABLE cbyochu (cid INTEGER PRIMARY KEY, cname VARCHAR);"]
    lines += insert_lines("cbyochu", vocab.PEST_CLASSES)
    lines += ["DROP TABLE IF EXISTS gbyochu;",
              "CREATE TABLE gbyochu (gid INTEGER PRIMARY KEY, cid INTEGER, gname VARCHAR);"]
    lines += insert_lines("gbyochu", vocab.PEST_GROUPS)
    lines += ["DROP TABLE IF EXISTS m_byochu;",
              "CREATE TABLE m_byochu (idbyochu VARCHAR PRIMARY KEY, byochu VARCHAR, betsumei VARCHAR, "
              "ruby VARCHAR, cid INTEGER, gid INTEGER);"]
    rows = [(p.idbyochu, p.name, p.betsumei or None, p.ruby, p.cid, p.gid or None) for p in pests]
    lines += insert_lines("m_byochu", rows)
    lines.append("CREATE INDEX IF NOT EXISTS idxMByochuName ON m_byochu (byochu);")
    lines += ["DROP TABLE IF EXISTS byochu;",
              "CREATE TABLE byochu (idbyochu VARCHAR PRIMARY KEY, byochu VARCHAR, cid INTEGER, gid INTEGER);"]
    rows = [(p.idbyochu, p.name, p.cid, p.gid or None) for p in pests]
    lines += insert_lines("byochu", rows)
    write_master(out, "byochu.txt", lines)


def bunrui_names(ingredients):
    """(seibun name, ingredient) pairs: every general name and every name a type name yields."""
    out = []
    seen = set()
    for g in ingredients:
        for n in (g.ippanmei, shurui_item(g)):
            if n not in seen:
                seen.add(n)
                out.append((n, g))
    return out


def write_bunrui(out, ingredients, products):
    lines = ["-- 系統分類 (spec.bunrui) と効果 (spec.koka)",
             "DROP TABLE IF EXISTS spec.bunrui;",
             "CREATE TABLE spec.bunrui (seibun VARCHAR PRIMARY KEY, keito VARCHAR, kokaid INTEGER);"]
    rows = [(n, g.keito, g.kokaid) for n, g in bunrui_names(ingredients) if g.cat != "S"]
    lines += insert_lines("spec.bunrui", rows)
    lines += ["DROP TABLE IF EXISTS spec.koka;",
              "CREATE TABLE spec.koka (kokaid INTEGER PRIMARY KEY, koka VARCHAR);"]
    lines += insert_lines("spec.koka", vocab.KOKA)
    write_master(out, "spec.bunrui.txt", lines)


TOXIC_RANK = {"普通物": 0, "劇物": 1, "毒物": 2}


def product_dokusei(p):
    worst = "普通物"
    for gi, g in enumerate(p.ings):
        nodo = float(p.nodo[gi].rstrip("%"))
        rank = TOXIC_RANK.get(g.dokusei, 0)
        if rank == 2 and nodo < 5:
            rank = 1
        if rank == 1 and nodo < 3:
            rank = 0
        if rank > TOXIC_RANK[worst]:
            worst = [k for k, v in TOXIC_RANK.items() if v == rank][0]
    return worst


def write_seizai(out, products, rng):
    lines = ["-- 製剤の毒性 (spec.seizai)",
             "DROP TABLE IF EXISTS spec.seizai;",
             "CREATE TABLE spec.seizai (bango INTEGER PRIMARY KEY, dokusei VARCHAR, gyodoku VARCHAR, "
             "seizaieikyo VARCHAR, hatsutoroku VARCHAR, kigen VARCHAR, koshin VARCHAR);"]
    rows = []
    for p in products:
        if p.bango % 11 == 5:
            continue   # a few products have no row
        gyo = "A類" if p.cat in ("F", "P", "S") else rng.choice(["A類", "B類", "C類"])
        eikyo = "水産動植物に影響" if p.cat in ("I", "IF", "H") and rng.random() < 0.4 else None
        first = p.torokubi.strftime("%Y.%m.%d")
        kigen = "%d.%s" % (2027 + (p.bango % 3), p.torokubi.strftime("%m.%d"))
        rows.append((p.bango, product_dokusei(p), gyo, eikyo, first, kigen,
                     "2024.%02d.%02d" % (1 + p.bango % 12, 1 + p.bango % 28)))
    lines += insert_lines("spec.seizai", rows)
    write_master(out, "spec.seizai.txt", lines)


def write_dokusei(out, ingredients):
    lines = ["-- 有効成分の毒性 (spec.m_dokusei, spec.dokusei)",
             "CREATE TABLE IF NOT EXISTS spec.info (item VARCHAR PRIMARY KEY, value VARCHAR);",
             "DROP TABLE IF EXISTS spec.m_dokusei;",
             "CREATE TABLE spec.m_dokusei (dokuseimei VARCHAR, dokusei VARCHAR, jogaiseibun VARCHAR, "
             "jogainodo VARCHAR, jogaisiki VARCHAR, kousin VARCHAR);",
             "DROP TABLE IF EXISTS spec.dokusei;",
             "CREATE TABLE spec.dokusei (ippanmei VARCHAR, seibunmei VARCHAR, dokuseimei VARCHAR, "
             "dokusei VARCHAR, seibunEikyo VARCHAR, jogai VARCHAR, biko VARCHAR);"]
    mrows = []
    drows = []
    for g in ingredients:
        if g.dokusei == "普通物" and g.index % 3:
            continue   # not every ingredient is on the toxicity list
        dmei = g.iso and g.ippanmei
        jogai = None
        if g.dokusei == "劇物":
            jogai = "%s%.1f%%以下を含有する製剤" % (g.ippanmei, max(0.5, g.nodo_lo))
        mrows.append((dmei, g.dokusei, g.ippanmei if jogai else None,
                      ("%.1f%%以下" % max(0.5, g.nodo_lo)) if jogai else None,
                      "<=" if jogai else None, None))
        seibunmei = g.seibun if g.seibun != g.ippanmei else None
        eikyo = "○" if g.cat in ("I", "H") and g.index % 2 == 0 else None
        biko = "原体は毒物" if g.dokusei == "毒物" else None
        drows.append((g.ippanmei, seibunmei, dmei, g.dokusei, eikyo, jogai, biko))
    lines += insert_lines("spec.m_dokusei", mrows)
    lines += insert_lines("spec.dokusei", drows)
    lines.append("INSERT OR REPLACE INTO spec.info(item,value) VALUES('m_dokusei','2026.10.01');")
    write_master(out, "spec.dokusei.txt", lines)


def write_ryutsu(out, products, rng):
    lines = ["-- 流通状況 (spec.ryutsu)",
             "DROP TABLE IF EXISTS spec.ryutsu;",
             "CREATE TABLE spec.ryutsu (bango INTEGER PRIMARY KEY, meisho VARCHAR, ryutsu VARCHAR, biko VARCHAR);"]
    rows = []
    for p in products:
        if p.bango % 4 == 0:
            st = rng.choice(["流通中", "流通中", "在庫限り", "販売終了", "未発売"])
            rows.append((p.bango, p.meisho, st, "販売元: " + p.ryakusho if st == "流通中" else None))
    lines += insert_lines("spec.ryutsu", rows)
    write_master(out, "spec.ryutsu.txt", lines)


def write_idshurui(out, products):
    lines = ["-- 農薬の種類コード (spec.idshurui)",
             "DROP TABLE IF EXISTS spec.idshurui;",
             "CREATE TABLE spec.idshurui (idshurui INTEGER PRIMARY KEY, shurui VARCHAR, yoto VARCHAR);"]
    seen = []
    yoto = {}
    for p in products:
        if p.shurui not in yoto:
            seen.append(p.shurui)
            yoto[p.shurui] = p.yoto
    seen.sort()
    rows = [(i + 1, sh, yoto[sh]) for i, sh in enumerate(seen)]
    lines += insert_lines("spec.idshurui", rows)
    write_master(out, "spec.idshurui.txt", lines)


def write_iso(out, ingredients):
    lines = ["-- ISO名 (spec.iso)",
             "DROP TABLE IF EXISTS spec.iso;",
             "CREATE TABLE spec.iso (ippanmei VARCHAR PRIMARY KEY, iso VARCHAR);"]
    rows = [(g.ippanmei, g.iso) for g in ingredients if g.iso and g.cat != "S"]
    lines += insert_lines("spec.iso", rows)
    write_master(out, "spec.iso.txt", lines)


SUISAN_TEXTS = [
    "水産動植物(魚類)に影響を及ぼすので、河川、養殖池等に飛散、流入しないよう注意して使用すること。",
    "水産動植物(甲殻類)に影響を及ぼすので、養殖池周辺での使用は避けること。",
    "使用残りの薬液が生じないように調製を行い、使い切ること。散布器具及び容器の洗浄水は、河川等に流さないこと。",
    "水田に使用する場合は、散布後7日間は落水、かけ流しはしないこと。",
    "空容器等は水産動植物に影響を与えないよう適切に処理すること。",
]


def write_suisan(out, products, rng):
    lines = ["-- 水産動植物への影響に係る注意事項 (spec.suisan)",
             "DROP TABLE IF EXISTS spec.suisan;",
             "CREATE TABLE spec.suisan (bango INTEGER PRIMARY KEY, chuijiko VARCHAR);"]
    rows = []
    for p in products:
        if p.cat in ("I", "IF", "H", "F", "N") and rng.random() < 0.6:
            k = rng.randint(1, 3)
            rows.append((p.bango, "#".join(rng.sample(SUISAN_TEXTS, k))))
    lines += insert_lines("spec.suisan", rows)
    write_master(out, "spec.suisan.txt", lines)


RAC_CID = {"F": 1, "I": 2, "H": 3}


def rac_rows(ingredients, prefix):
    rows = []
    for g in ingredients:
        if not g.mid.startswith(prefix + ":"):
            continue
        code = g.mid[2:]
        rows.append((g, code))
    return rows


def write_rac(out, ingredients):
    # spec.frac.txt, spec.irac.txt, spec.hrac.txt; the last also (re)creates
    # the views rac, rac2 and raccode over the three tables
    extra_irac = {"水和硫黄": ("UN", "無機硫黄(殺ダニ)"), "石灰硫黄合剤": ("UN", "無機硫黄(殺ダニ)")}
    lines = ["-- FRAC コード (spec.frac_mg)",
             "DROP TABLE IF EXISTS spec.frac_mg;",
             "CREATE TABLE spec.frac_mg (mid VARCHAR, ippanmei VARCHAR, keito VARCHAR, sayoten VARCHAR, "
             "sayokiko VARCHAR, fgroup VARCHAR, risk VARCHAR);"]
    rows = [("F:" + code, g.ippanmei, "%s %s" % (code, g.keito), g.sayokiko or None, g.sayoten or None,
             g.fgroup or None, g.risk or None) for g, code in rac_rows(ingredients, "F")]
    lines += insert_lines("spec.frac_mg", rows)
    write_master(out, "spec.frac.txt", lines)

    for prefix, name in (("I", "irac"), ("H", "hrac")):
        lines = ["-- %sRAC コード (spec.%s_mg)" % (prefix, name),
                 "DROP TABLE IF EXISTS spec.%s_mg;" % name,
                 "CREATE TABLE spec.%s_mg (mid VARCHAR, ippanmei VARCHAR, keito VARCHAR, sayoten VARCHAR, "
                 "sayokiko VARCHAR);" % name]
        rows = [(prefix + ":" + code, g.ippanmei, "%s %s" % (code, g.keito), g.sayoten or None,
                 g.sayokiko or None) for g, code in rac_rows(ingredients, prefix)]
        if prefix == "I":
            for g in ingredients:
                if g.ippanmei in extra_irac:
                    code, keito = extra_irac[g.ippanmei]
                    rows.append(("I:" + code, g.ippanmei, "%s %s" % (code, keito), "不明", "不明"))
        lines += insert_lines("spec.%s_mg" % name, rows)
        if prefix == "H":
            lines += [
                "DROP VIEW IF EXISTS spec.rac;",
                "DROP VIEW IF EXISTS spec.rac2;",
                "DROP VIEW IF EXISTS spec.raccode;",
                "CREATE VIEW spec.rac AS SELECT ippanmei, keito, mid, sayoten, sayokiko, fgroup, risk FROM frac_mg "
                "UNION ALL SELECT ippanmei, keito, mid, sayoten, sayokiko, NULL, NULL FROM irac_mg "
                "WHERE ippanmei NOT IN (SELECT ippanmei FROM frac_mg) "
                "UNION ALL SELECT ippanmei, keito, mid, sayoten, sayokiko, NULL, NULL FROM hrac_mg;",
                "CREATE VIEW spec.rac2 AS SELECT ippanmei, keito, '1' AS cid FROM frac_mg "
                "UNION ALL SELECT ippanmei, keito, '2' AS cid FROM irac_mg "
                "UNION ALL SELECT ippanmei, keito, '3' AS cid FROM hrac_mg;",
                "CREATE VIEW spec.raccode AS SELECT ippanmei, '1' AS cid, mid FROM frac_mg "
                "UNION ALL SELECT ippanmei, '2' AS cid, mid FROM irac_mg "
                "UNION ALL SELECT ippanmei, '3' AS cid, mid FROM hrac_mg;",
            ]
        write_master(out, "spec.%s.txt" % name, lines)


def keywords_of(p):
    words = [p.meisho, p.tsusho, p.shurui]
    for g in p.ings:
        words += [g.ippanmei, g.seibun, g.iso]
    words += [p.ryakusho, p.zaikei, p.yoto]
    if p.brand_ruby:
        words.append(p.brand_ruby)
    seen = []
    for w in words:
        if w and w not in seen:
            seen.append(w)
    return "、".join(seen)


def write_kwlists(out, products):
    lines = ["-- 薬剤キーワード (kwlists)",
             "DROP TABLE IF EXISTS kwlists;",
             "CREATE TABLE kwlists (bango INTEGER PRIMARY KEY, kws VARCHAR);"]
    lines += insert_lines("kwlists", [(p.bango, keywords_of(p)) for p in products])
    write_master(out, "kwlists.txt", lines)


SPECIAL_RUBY = {
    "キングダムフロアブル": "きんぐだむふろあぶる", "マラソン乳剤": "まらそんにゅうざい",
    "バイエル アージラン液剤": "ばいえるあーじらんえきざい", "アグロスリン乳剤": "あぐろすりんにゅうざい",
    "アグロスター乳剤": "あぐろすたーにゅうざい", "アグロスター水和剤": "あぐろすたーすいわざい",
    "三共の草枯らし粒剤": "さんきょうのくさからしりゅうざい", "ダコグリーン": "だこぐりーん",
    "オルトランDX粒剤": "おるとらんでぃーえっくすりゅうざい", "マイ'ガーデン粒剤": "まいがーでんりゅうざい",
    "\"京都微研\"キュービオZY": "きょうとびけんきゅーびおぜっとわい",
    "ダイアジノン粒剤5": "だいあじのんりゅうざい5", "フロンサイド水和剤": "ふろんさいどすいわざい",
    "石灰硫黄合剤": "せっかいいおうごうざい", "除虫菊乳剤": "じょちゅうぎくにゅうざい",
    "95マシン": "95ましん", "イオウフロアブル": "いおうふろあぶる", "ダイン": "だいん",
    "アプローチBI": "あぷろーちびーあい", "ランテクター": "らんてくたー", "リドミル粒剤2": "りどみるりゅうざい2",
    "家庭園芸用園芸用キンチョール": "かていえんげいようきんちょーる", "ネマトリン エース粒剤": "ねまとりんえーすりゅうざい",
    "スミチオン乳剤": "すみちおんにゅうざい", "MEP・BPMC粉剤": "めっぷばっさふんざい",
    "エイトフロアブル": "えいとふろあぶる", "フジワン粒剤": "ふじわんりゅうざい",
    "シアン酸ソーダ粒剤": "しあんさんそーだりゅうざい", "ラウンドアップマックスロード": "らうんどあっぷまっくすろーど",
    "ベンゾビシクロン・ブロモブチド・ペントキサゾン1キロ粒剤テスト": "べんぞびしくろんいちきろりゅうざいてすと",
    "エコホープDJ": "えこほーぷでぃーじぇい", "ジャンボたにしくん": "じゃんぼたにしくん",
    "強力ラットキラー": "きょうりょくらっときらー", "ホストキシンくん蒸剤": "ほすときしんくんじょうざい",
    "バスアミド微粒剤": "ばすあみどびりゅうざい",
}


def tsusho_ruby(p):
    if p.tsusho in SPECIAL_RUBY:
        return SPECIAL_RUBY[p.tsusho]
    if p.brand_ruby:
        return p.brand_ruby
    return kata_to_hira(p.tsusho)


def write_tsushoruby(out, products):
    lines = ["-- 通称の読み (tsushoruby)",
             "DROP TABLE IF EXISTS tsushoruby;",
             "CREATE TABLE tsushoruby (tsusho VARCHAR PRIMARY KEY, ruby VARCHAR);"]
    seen = {}
    for p in products:
        if p.tsusho not in seen:
            seen[p.tsusho] = tsusho_ruby(p)
    lines += insert_lines("tsushoruby", sorted(seen.items()))
    write_master(out, "tsushoruby.txt", lines)


def write_beppyo1(out, crops):
    # the crop-group table: large, middle and small group from the first
    # three levels of the classification
    lines = ["-- 作物群表 (spec.beppyo1, spec.beppyo1n, spec.tekiyosakumotsu)",
             "DROP TABLE IF EXISTS spec.beppyo1;",
             "CREATE TABLE spec.beppyo1 (no INTEGER PRIMARY KEY, lg VARCHAR, mg VARCHAR, sg VARCHAR, "
             "sakumotsu VARCHAR);",
             "DROP TABLE IF EXISTS spec.beppyo1n;",
             "CREATE TABLE spec.beppyo1n (lg VARCHAR, mg VARCHAR, sg VARCHAR, sakumotsu VARCHAR, betsumei VARCHAR, "
             "shukakubui VARCHAR, yomi VARCHAR);",
             "DROP TABLE IF EXISTS spec.tekiyosakumotsu;",
             "CREATE TABLE spec.tekiyosakumotsu (no INTEGER PRIMARY KEY, beppyo VARCHAR, lg VARCHAR, mg VARCHAR, "
             "sg VARCHAR, sakumotsu VARCHAR, betsumei VARCHAR, rei VARCHAR, shukakubui VARCHAR, yomi VARCHAR);"]
    b1 = []
    bn = []
    ts = []
    n = 0
    for c in crops:
        if c.level < 4:
            continue
        anc = list(reversed(crop_ancestors(c)))
        lg = anc[0].name if len(anc) > 0 else None
        mg = anc[1].name if len(anc) > 1 else None
        sg = anc[2].name if len(anc) > 2 else None
        n += 1
        b1.append((n, lg, mg, sg, c.name))
        bn.append((lg, mg, sg, c.name, c.betsumei or None, c.shukakubui or None, c.ruby))
        ts.append((n, "別表1", lg, mg, sg, c.name, c.betsumei or None,
                   ("%s等" % c.name) if c.level == 4 else None, c.shukakubui or None, c.ruby))
    lines += insert_lines("spec.beppyo1", b1)
    lines += insert_lines("spec.beppyo1n", bn)
    lines += insert_lines("spec.tekiyosakumotsu", ts)
    write_master(out, "spec.beppyo1.txt", lines)


def write_feedrice(out, products, rng):
    lines = ["-- 飼料用稲に使用できる農薬 (spec.feedrice)",
             "DROP TABLE IF EXISTS spec.feedrice;",
             "CREATE TABLE spec.feedrice (bango INTEGER PRIMARY KEY, tsusho VARCHAR, ishoku VARCHAR, "
             "chokuha VARCHAR, ine VARCHAR, momi VARCHAR, biko VARCHAR);"]
    rows = []
    for p in products:
        if not any("rice" in u.get("tags", ()) or u["sakumotsu"].startswith("稲") for u in p.uses):
            continue
        mark = lambda: rng.choice(["○", "○", "×", "-"])  # noqa: E731
        rows.append((p.bango, p.tsusho, mark(), mark(), mark(), mark(),
                     "収穫14日前まで" if rng.random() < 0.2 else None))
    lines += insert_lines("spec.feedrice", rows)
    write_master(out, "spec.feedrice.txt", lines)


FAMILIES = {"solanum": "ナス科", "cucurbit": "ウリ科", "brassica": "アブラナ科", "allium": "ヒガンバナ科",
            "citrus": "ミカン科", "pome": "バラ科", "stone": "バラ科", "strawberry": "バラ科", "grape": "ブドウ科",
            "rice": "イネ科", "wheat": "イネ科", "cereal": "イネ科", "bean": "マメ科", "tea": "ツバキ科",
            "potato": "ナス科", "turf": "イネ科", "flower": "キク科", "tree": "バラ科"}
NOMEN = {"トマト": "Solanum lycopersicum", "なす": "Solanum melongena", "きゅうり": "Cucumis sativus",
         "キャベツ": "Brassica oleracea var. capitata", "はくさい": "Brassica rapa var. pekinensis",
         "稲": "Oryza sativa", "小麦": "Triticum aestivum", "大麦": "Hordeum vulgare", "りんご": "Malus domestica",
         "なし": "Pyrus pyrifolia", "もも": "Prunus persica", "ぶどう": "Vitis vinifera", "茶": "Camellia sinensis",
         "温州みかん": "Citrus unshiu", "いちご": "Fragaria x ananassa", "大豆": "Glycine max",
         "ばれいしょ": "Solanum tuberosum", "だいこん": "Raphanus sativus", "たまねぎ": "Allium cepa"}
ENGLISH = {"トマト": "tomato", "なす": "eggplant", "きゅうり": "cucumber", "キャベツ": "cabbage",
           "はくさい": "Chinese cabbage", "稲": "rice", "小麦": "wheat", "大麦": "barley", "りんご": "apple",
           "なし": "Japanese pear", "もも": "peach", "ぶどう": "grape – vigne, cépage", "茶": "tea", "温州みかん": "satsuma mandarin",
           "いちご": "strawberry", "大豆": "soybean", "ばれいしょ": "potato", "だいこん": "Japanese radish",
           "たまねぎ": "onion"}


def cvo_row(c):
    fam = next((FAMILIES[t] for t in sorted(c.tags) if t in FAMILIES), "")
    sup = c.parent.name if c.parent is not None else ""
    names = c.name
    if c.level == 4 and c.gunmei:
        names = c.name + "|" + c.gunmei
    return [sup, c.name, fam, c.betsumei, c.ruby, NOMEN.get(c.name, ""), ENGLISH.get(c.name, ""),
            c.shukakubui, "露地・施設" if "veg" in c.tags else "露地", "食用" if "flower" not in c.tags and
            "tree" not in c.tags and "turf" not in c.tags else "非食用", "成熟" if "form" not in c.tags else "未成熟",
            "", names, c.name if c.level == 4 else "", c.name if c.level == 4 else "", "",
            c.name if c.level == 4 else "", "", "", c.name, ""]


def write_cvo(out, crops):
    cols = ["superior", "crop", "family", "synonym", "kana", "nomen", "english", "harvest", "cultivate", "use",
            "maturity", "note", "sakumotsu", "itgl", "bunruihyo", "seibunhyo", "wamei", "hinshu", "ncbi",
            "wikipedia", "agrovac"]
    lines = ["-- 作物語彙 CVO (spec.cvo, spec.cvo2)",
             "DROP TABLE IF EXISTS spec.cvo;",
             "CREATE TABLE spec.cvo (%s);" % ", ".join(c + " VARCHAR" for c in cols),
             "DROP TABLE IF EXISTS spec.cvo2;",
             "CREATE TABLE spec.cvo2 (%s, cvoid VARCHAR);" % ", ".join(c + " VARCHAR" for c in cols)]
    rows = []
    rows2 = []
    for i, c in enumerate(crops):
        if c.level < 4:
            continue
        r = cvo_row(c)
        if c.level == 5 and i % 3:
            r[12] = ""   # vocabulary entries without a register crop name
        rows.append(r)
        rows2.append(r + ["CVO_%06d" % (i + 1)])
    # a few vocabulary entries without a family
    rows.append(["", "その他の作物", "", "", "そのたのさくもつ", "", "", "", "", "", "", "", "", "", "", "", "", "",
                 "", "", ""])
    lines += insert_lines("spec.cvo", [tuple(x if x != "" or k in (12,) else None for k, x in enumerate(r))
                                       for r in rows])
    lines += insert_lines("spec.cvo2", [tuple(x if x != "" or k in (12,) else None for k, x in enumerate(r))
                                        for r in rows2])
    write_master(out, "spec.cvo.utf8.txt", lines, utf8=True)


def write_rakuyokaju(out, crops):
    lines = ["-- 落葉果樹 (spec.rakuyokaju)",
             "DROP TABLE IF EXISTS spec.rakuyokaju;",
             "CREATE TABLE spec.rakuyokaju (idsaku VARCHAR PRIMARY KEY, sakumotsu VARCHAR);"]
    lines += insert_lines("spec.rakuyokaju", [(c.idsaku, c.name) for c in crops if c.gunmei == "落葉果樹"])
    write_master(out, "spec.rakuyokaju.txt", lines)


# ---------------------------------------------------------------------------
# JPP-NET product and ingredient files
# ---------------------------------------------------------------------------

JPP_SEIZAI_HEADER = ["#登録番号", "混合数", "登録種類名", "商品名", "登録会社名コード", "登録会社名", "登録会社連絡先",
                     "農薬用途コード", "用途", "物理化学的性状", "初登録年月日", "登録有効期限", "失効", "失効日", "剤型コード",
                     "剤型名", "人畜毒性(製剤としての)", "登録(更新)日", "JPP農薬種類コード", "JPP農薬種類名", "失効理由",
                     "屋号抜き商品名",
                     "有機JASでの使用（注釈）※「使用できる」とは別表2に掲載されている農薬をいう",
                     "水産動植物への影響に係る使用上の注意事項", "作用機構分類コード(IRAC)", "作用機構分類コード(FRAC)",
                     "作用機構分類コード(HRAC)"]
JPP_SEIBUN_HEADER = ["#登録番号", "有効成分コード", "登録種類名", "出力順", "含有量", "含有量(注釈)", "有効成分", "有効成分種類",
                     "化学名", "有効成分用途", "人畜毒性(成分としての)", "毒劇除外1", "毒劇除外2", "失効日", "系統コード", "系統名",
                     "JPP農薬種類コード", "JPP農薬種類名", "作用機構分類コード", "作用機構分類名"]
CHEMICAL_NAMES = {
    "イミダクロプリド": "1-(6-クロロ-3-ピリジルメチル)-N-ニトロイミダゾリジン-2-イリデンアミン",
    "アセタミプリド": "(E)-N1-[(6-クロロ-3-ピリジル)メチル]-N2-シアノ-N1-メチルアセトアミジン",
    "パラコート": "1,1'-ジメチル-4,4'-ビピリジニウム=ジクロリド",
    "MEP": "O,O-ジメチル=O-(3-メチル-4-ニトロフェニル)=ホスホロチオアート",
    "DCMU": "3-(3,4-ジクロロフェニル)-1,1-ジメチル尿素",
    "TPN": "テトラクロロイソフタロニトリル",
    "アゾキシストロビン": "メチル=(E)-2-{2-[6-(2-シアノフェノキシ)ピリミジン-4-イルオキシ]フェニル}-3-メトキシアクリラート",
    "ペルメトリン": "3-フェノキシベンジル=(1RS,3RS)-(1RS,3SR)-3-(2,2-ジクロロビニル)-2,2-ジメチルシクロプロパンカルボキシラート",
    "グリホサートイソプロピルアミン塩": "イソプロピルアンモニウム=N-(ホスホノメチル)グリシナート",
    "ダイアジノン": "O,O-ジエチル=O-2-イソプロピル-6-メチルピリミジン-4-イル=ホスホロチオアート",
}
JPP_KIND = {"I": ("01", "殺虫剤"), "F": ("02", "殺菌剤"), "IF": ("03", "殺虫殺菌剤"), "H": ("04", "除草剤"),
            "P": ("05", "植物成長調整剤"), "S": ("06", "展着剤"), "R": ("07", "殺そ剤"), "A": ("08", "その他"),
            "N": ("09", "殺線虫剤"), "Q": ("01", "殺虫剤")}


def jpp_field(v):
    v = "" if v is None else str(v)
    return '"' + v.replace('"', '""') + '"'


def write_jpp(out, products, ingredients, rng):
    d = os.path.join(out, "jpp")
    makers = {r: i + 1 for i, (r, _) in enumerate(vocab.MAKERS)}
    seizai = [",".join(JPP_SEIZAI_HEADER)]
    seibun = [",".join(JPP_SEIBUN_HEADER)]
    for p in products:
        if p.bango % 10 == 3:
            continue   # not every registration is in JPP-NET
        kind = JPP_KIND[p.cat]
        lapsed = p.bango % 23 == 0
        mids = {"I": [], "F": [], "H": []}
        for g in p.ings:
            if g.mid:
                mids[g.mid[0]].append(g.mid[2:])
        f = [str(p.bango), str(len(p.ings)), p.shurui, p.meisho_raw.replace("_", " "),
             "%04d" % makers.get(p.ryakusho, 99), p.ryakusho + "株式会社", "03-%04d-%04d" % (p.bango % 9000 + 1000,
                                                                                         p.bango % 10000),
             kind[0], p.yoto, rng.choice(["類白色水和性粉末", "淡黄色澄明液体", "褐色細粒", "白色粉末", "乳白色水和性粘稠懸濁液体"]),
             p.torokubi.strftime("%Y/%m/%d"), "%d/%s" % (2027 + p.bango % 3, p.torokubi.strftime("%m/%d")),
             "失効" if lapsed else "", "2025/03/31" if lapsed else "", "%02d" % (1 + p.bango % 17), p.zaikei,
             product_dokusei(p), "2024/%02d/%02d" % (1 + p.bango % 12, 1 + p.bango % 28), kind[0], kind[1],
             "登録更新せず" if lapsed else "", p.tsusho,
             "使用できる" if p.cat in ("I", "F") and p.bango % 7 == 0 else "",
             "水産動植物(魚類)に影響を及ぼすので、河川、養殖池等に飛散、流入しないよう注意して使用すること。"
             if p.cat in ("I", "H") and p.bango % 3 == 0 else "",
             ",".join(mids["I"]), ",".join(mids["F"]), ",".join(mids["H"])]
        seizai.append(",".join([f[0], f[1]] + [jpp_field(x) for x in f[2:]]))
        for gi, g in enumerate(p.ings):
            idkeito = "%03d" % (1 + sorted(set(x.keito for x in ingredients)).index(g.keito))
            r = [str(p.bango), str(1000 + g.index), jpp_field(p.shurui), str(gi + 1), jpp_field(p.nodo[gi]),
                 jpp_field("(原体として)" if gi == 0 and p.bango % 13 == 0 else ""), jpp_field(g.ippanmei),
                 jpp_field(g.seibun), jpp_field(CHEMICAL_NAMES.get(g.ippanmei, g.iso)),
                 jpp_field(JPP_KIND.get(g.cat, ("", "その他"))[1]), jpp_field(g.dokusei),
                 jpp_field("%.1f%%以下" % g.nodo_lo if g.dokusei == "劇物" else ""), jpp_field(""),
                 jpp_field("2025/03/31" if lapsed else ""), jpp_field(idkeito), jpp_field(g.keito),
                 jpp_field(kind[0]), jpp_field(kind[1]), jpp_field(g.mid), jpp_field(g.sayoten)]
            seibun.append(",".join(r))
    write_bytes(os.path.join(d, "n_trk%s_1.txt" % DATE_STAMP), cp932("\r\n".join(seizai) + "\r\n"))
    write_bytes(os.path.join(d, "n_trk%s_3.txt" % DATE_STAMP), cp932("\r\n".join(seibun) + "\r\n"))


# ---------------------------------------------------------------------------

def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--out", required=True, help="output folder (created)")
    ap.add_argument("--size", choices=sorted(SIZES), default="small")
    ap.add_argument("--seed", type=int, default=20261104)
    ap.add_argument("--products", type=int, help="number of products (overrides --size)")
    ap.add_argument("--uses", type=int, help="number of use rows, roughly (overrides --size)")
    ap.add_argument("--xls", action="store_true", help="also write .xls workbooks (needs LibreOffice)")
    args = ap.parse_args(argv)

    cfg = dict(SIZES[args.size])
    if args.products:
        cfg["products"] = args.products
    if args.uses:
        cfg["uses"] = args.uses
    rng = random.Random(args.seed)
    crops = build_crops(cfg["extra_crops"])
    pests = build_pests()
    ingredients = build_ingredients()
    products = make_products(rng, cfg["products"], ingredients, crops)
    n_uses = make_uses(rng, products, crops, pests, cfg["uses"])
    used = compute_toroku(crops, products)
    canonical_uses(rng, products)
    out = args.out
    os.makedirs(out, exist_ok=True)
    write_public(out, products, rng)
    write_mirror(out, products)
    write_grid(out, products, args.xls)
    master_scripts(out, crops, pests, ingredients, products, used, rng)
    write_jpp(out, products, ingredients, rng)
    n_kihon = sum(len(p.ings) for p in products)
    print("gen_sample: %d products, %d basics rows, %d use rows, %d crops, %d pests -> %s"
          % (len(products), n_kihon, n_uses, len(crops) + 1, len(pests), out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
