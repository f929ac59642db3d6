#!/usr/bin/python3
"""Consistency check of a generated sample register.

Loads the master scripts and the mirror CSV set into an in-memory SQLite
database with simple stand-ins for the program's SQL functions, builds the
product table the way the program does, creates the per-connection views and
runs the queries the searches use.  It exits non-zero when a script fails,
when names in the uses are missing from the masters, or when a query the
program relies on cannot run.  It is a check of the data, not of the program.

Usage: check_sample.py DIR   (DIR as written by gen_sample.py)
"""

import os
import re
import sqlite3
import sys

FAILURES = []


def fail(msg):
    FAILURES.append(msg)
    print("FAIL:", msg)


def f_concat(sep, *vals):
    out = []
    for v in vals:
        if v is None:
            continue
        v = str(v)
        if v == "" or v in out:
            continue
        out.append(v)
    return sep.join(out) if out else None


def f_if(c, a, b=None):
    return a if c else b


def f_regexp(pattern, subject):
    if subject is None or pattern is None:
        return 0
    try:
        return 1 if re.search(pattern, str(subject)) else 0
    except re.error:
        return 0


def f_re_replace(pattern, subject, repl):
    if subject is None:
        return None
    repl = re.sub(r"\\(\d)", r"\\g<\1>", repl)
    return re.sub(pattern, repl, subject, count=1)


def f_match(a, b, opts=None):
    if a is None or b is None:
        return 0
    pat = re.escape(str(b)).replace("%", ".*")
    return 1 if re.fullmatch(pat, str(a)) else 0


def f_ifnullstr(a, b):
    return b if a is None or a == "" else a


def connect():
    con = sqlite3.connect(":memory:")
    con.create_function("concat", -1, f_concat)
    con.create_function("if", -1, f_if)
    con.create_function("regexp", 2, f_regexp)
    con.create_function("re_replace", 3, f_re_replace)
    con.create_function("match", 2, f_match)
    con.create_function("match", 3, f_match)
    con.create_function("ifnullstr", 2, f_ifnullstr)
    con.create_function("strconv", 1, lambda s: s)
    con.create_function("preconv", 1, lambda s: s)
    con.execute("ATTACH ':memory:' AS spec")
    return con


def read_script(path):
    data = open(path, "rb").read()
    if path.endswith(".utf8.txt"):
        return data.decode("utf-8")
    return data.decode("cp932")


def run_script(con, path):
    try:
        con.executescript(read_script(path))
    except sqlite3.Error as e:
        fail("%s: %s" % (os.path.basename(path), e))


def split_quoted(line, quote):
    fields = []
    i = 0
    n = len(line)
    while True:
        if i < n and line[i] == quote:
            i += 1
            buf = []
            while i < n:
                if line[i] == quote:
                    if i + 1 < n and line[i + 1] == quote:
                        buf.append(quote)
                        i += 2
                        continue
                    i += 1
                    break
                buf.append(line[i])
                i += 1
            fields.append("".join(buf))
            while i < n and line[i] != ",":
                i += 1
        else:
            j = line.find(",", i)
            if j < 0:
                j = n
            fields.append(line[i:j])
            i = j
        if i >= n:
            break
        i += 1
        if i == n:
            fields.append("")
            break
    return fields


def mirror_lines(path):
    return open(path, "rb").read().decode("cp932").split("\r\n")[1:]


def clause_of(shurui):
    s = shurui.replace("・", "|").replace(" ", "_")
    for w in ["粉粒剤", "水和剤", "乳剤", "液剤", "粉剤"]:
        s = s.replace(w, "")
    if "全卵粉末" not in s:
        s = s.replace("粉末", "")
    for w in ["粒剤", "マイクロカプセル剤", "水溶剤", "くん蒸剤", "燻蒸剤", "くん煙剤", "くん煙成型剤", "ペースト剤",
              "塗布剤", "エアゾル", "油剤", "複合肥料"]:
        s = s.replace(w, "")
    if "石灰硫黄合剤" not in s:
        s = s.replace("剤", "")
    s = s.replace("水和硫黄", "硫黄")
    items = s.split("|") if s else []
    out = []
    for it in items:
        if "展着" in it:
            it = ""
        if "除虫菊" in it:
            it = "ピレトリン"
        if "シアン酸塩" in it:
            it = "シアン酸ナトリウム"
        out.append(it.replace("_", " "))
    return out


MASKS = [3, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 32768]


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    root = argv[1]
    masters = os.path.join(root, "masters")
    con = connect()
    order = ["spec.bunrui.txt", "spec.seizai.txt", "spec.dokusei.txt", "spec.ryutsu.txt", "spec.idshurui.txt",
             "spec.iso.txt", "spec.suisan.txt", "spec.frac.txt", "spec.irac.txt", "spec.hrac.txt", "kwlists.txt",
             "spec.beppyo1.txt", "spec.feedrice.txt", "tsushoruby.txt", "spec.cvo.utf8.txt",
             "spec.rakuyokaju.txt"]
    for name in order:
        p = os.path.join(masters, name)
        if not os.path.exists(p):
            fail("missing master script " + name)
            continue
        run_script(con, p)

    # build tables
    con.executescript(
        "CREATE TABLE main.info ([Item]VARCHAR ,[Value] VARCHAR);"
        "CREATE TEMP TABLE kihon ([bango] INTEGER,[shurui] VARCHAR,[meisho] VARCHAR,[tsusho] VARCHAR,"
        "[ryakusho] VARCHAR,[ippanmei] VARCHAR,[seibun] VARCHAR,[nodo] VARCHAR,[kongo] INTEGER,[yoto] VARCHAR,"
        "[zaikei] VARCHAR,[torokubi] VARCHAR);"
        "CREATE TEMP TABLE tm_kihon ([bango] INTEGER PRIMARY KEY,[shurui] VARCHAR,[meisho] VARCHAR,[tsusho] VARCHAR,"
        "[ryakusho] VARCHAR,[kongo] INTEGER,[yoto] VARCHAR,[zaikei] VARCHAR,[torokubi] VARCHAR,[seibun1] VARCHAR,"
        "[seibun2] VARCHAR,[seibun3] VARCHAR,[seibun4] VARCHAR,[seibun5] VARCHAR);"
        "CREATE TABLE m_tekiyo ([bango] INTEGER,[sakumotsu] VARCHAR,[basho] VARCHAR,[byochu] VARCHAR,"
        "[mokuteki] VARCHAR,[baisu] VARCHAR,[ekiryo] VARCHAR,[jiki] VARCHAR,[kaisu] VARCHAR,[hoho] VARCHAR,"
        "[jikan] VARCHAR,[ondo] VARCHAR,[dojo] VARCHAR,[chitai] VARCHAR,[tekiyaku] VARCHAR,[kaisu1] VARCHAR,"
        "[kaisu2] VARCHAR,[kaisu3] VARCHAR,[kaisu4] VARCHAR,[kaisu5] VARCHAR);")
    # the mirror set (values already converted)
    kihon_rows = 0
    for line in mirror_lines(os.path.join(root, "mirror", "kihon.csv")):
        if not line:
            continue
        f = split_quoted(line.replace(" ", "_"), "'")
        f = [x.replace("_", " ") for x in f]
        if len(f) != 11:
            fail("kihon.csv: %d fields: %s" % (len(f), line[:60]))
            continue
        seibun = None if f[5] == "NULL" else f[5]
        con.execute("INSERT INTO kihon VALUES(?,?,?,?,?,?,?,?,?,?,?,?)",
                    (int(f[0]), f[1], f[2], None, f[3], f[4], seibun, f[6], int(f[7]), f[8], f[9],
                     f[10].replace("/", ".")))
        kihon_rows += 1
    tekiyo_rows = 0
    for line in mirror_lines(os.path.join(root, "mirror", "tekiyo.csv")):
        if not line:
            continue
        line = line.replace("平方メートル", "㎡").replace("メートル", "m")
        f = split_quoted(line, "'")
        if len(f) != 25:
            fail("tekiyo.csv: %d fields: %s" % (len(f), line[:60]))
            continue
        vals = [int(f[0])]
        for i in list(range(5, 19)) + list(range(20, 25)):
            v = f[i]
            if i == 13:
                v = v.replace("m2", "㎡")
            vals.append(None if v == "NULL" else v)
        con.execute("INSERT INTO m_tekiyo VALUES(%s)" % ",".join("?" * 20), vals)
        tekiyo_rows += 1
    con.execute("UPDATE kihon SET tsusho = meisho")
    try:
        con.execute("INSERT INTO tm_kihon(bango,shurui,meisho,tsusho,ryakusho,kongo,yoto,zaikei,torokubi) "
                    "SELECT DISTINCT bango,shurui,meisho,tsusho,ryakusho,kongo,yoto,zaikei,torokubi FROM kihon;")
    except sqlite3.Error as e:
        fail("FillTmKihon: %s" % e)
    for bango, shurui in con.execute("SELECT bango,shurui FROM tm_kihon").fetchall():
        items = clause_of(shurui)
        if not items or len(items) > 5:
            fail("type name %s gives %d ingredient items" % (shurui, len(items)))
            continue
        sets = ",".join("seibun%d = ?" % (i + 1) for i in range(len(items)))
        con.execute("UPDATE tm_kihon SET %s WHERE bango = ?" % sets, items + [bango])
    sel = ",".join("seibun%d, (select keito from spec.bunrui where seibun = seibun%d) as keito%d, "
                   "(select kokaid from spec.bunrui where seibun = seibun%d) as koka%d" % (n, n, n, n, n)
                   for n in range(1, 6))
    subs = ",".join("(select koka from koka where kokaid = idkoka & %d)" % m for m in MASKS)
    try:
        con.executescript(
            "CREATE TEMP TABLE t_kihon1 AS SELECT bango, shurui, meisho, tsusho, ryakusho, kongo, yoto, zaikei,"
            "torokubi, %s FROM tm_kihon;"
            "CREATE TEMP TABLE t_kihon2 AS SELECT bango, shurui, meisho, tsusho, ryakusho, kongo, yoto, zaikei, "
            "torokubi, (ifnull(koka1,0) | ifnull(koka2,0) | ifnull(koka3,0) | ifnull(koka4,0) | ifnull(koka5,0)) "
            "AS idkoka, seibun1, keito1, seibun2, keito2, seibun3, keito3, seibun4, keito4, seibun5, keito5 "
            "FROM t_kihon1;"
            "CREATE TABLE m_kihon AS SELECT bango, shurui, meisho, tsusho, ryakusho, kongo, yoto, zaikei, torokubi, "
            "CASE WHEN idkoka = 0 AND shurui LIKE '%%展着剤' THEN '展着' ELSE concat('・', %s) END AS koka, "
            "seibun1, keito1, seibun2, keito2, seibun3, keito3, seibun4, keito4, seibun5, keito5 FROM t_kihon2;"
            % (sel, subs))
    except sqlite3.Error as e:
        fail("BuildMKihon: %s" % e)
    for name in ("sakumotsu.txt", "byochu.txt"):
        run_script(con, os.path.join(masters, name))
    con.executescript("CREATE TABLE seibun AS SELECT bango,ippanmei,nodo,seibun FROM kihon ORDER BY bango;"
                      "DROP TABLE IF EXISTS kihon;"
                      "CREATE INDEX idxNoSeibun ON seibun (bango);"
                      "CREATE INDEX idxTsushoM ON m_kihon (tsusho);"
                      "CREATE INDEX idxNo ON m_tekiyo (bango);"
                      "CREATE INDEX idxTekiyoSakumotsu ON m_tekiyo (sakumotsu);")
    con.executescript(
        "CREATE VIEW tekiyo AS SELECT bango, shurui, meisho, tsusho, b.xidsaku as xidsaku, b.idsaku as idsaku, "
        "a.sakumotsu as sakumotsu, c.idbyochu as idbyochu, a.byochu as byochu, mokuteki, jiki, baisu, ekiryo, hoho, "
        "basho, jikan, ondo, dojo, chitai, tekiyaku, kongo, kaisu, seibun1, keito1, kaisu1, seibun2, keito2, "
        "kaisu2, seibun3, keito3, kaisu3, seibun4, keito4, kaisu4, seibun5, keito5, kaisu5, yoto, koka, zaikei, "
        "ryakusho FROM m_tekiyo AS a LEFT JOIN m_kihon USING(bango) LEFT JOIN m_sakumotsu AS b USING(sakumotsu) "
        "LEFT JOIN m_byochu AS c USING(byochu);")

    n_tekiyo = con.execute("SELECT count(*) FROM tekiyo").fetchone()[0]
    n_m = con.execute("SELECT count(*) FROM m_tekiyo").fetchone()[0]
    if n_tekiyo != n_m:
        fail("count(tekiyo) %d != count(m_tekiyo) %d (duplicate master names?)" % (n_tekiyo, n_m))
    miss = con.execute("SELECT DISTINCT sakumotsu FROM tekiyo WHERE idsaku IS NULL").fetchall()
    if miss:
        fail("crops missing from m_sakumotsu: %s" % miss[:10])
    miss = con.execute("SELECT DISTINCT byochu FROM tekiyo WHERE byochu IS NOT NULL AND idbyochu IS NULL").fetchall()
    if miss:
        fail("pests missing from m_byochu: %s" % miss[:10])
    miss = con.execute("SELECT DISTINCT mokuteki FROM m_tekiyo WHERE mokuteki IS NOT NULL AND mokuteki NOT IN "
                       "(SELECT byochu FROM m_byochu)").fetchall()
    if miss:
        fail("purposes missing from m_byochu: %s" % miss[:10])
    nokeito = con.execute("SELECT DISTINCT seibun1 FROM m_kihon WHERE seibun1 <> '' AND keito1 IS NULL").fetchall()
    if nokeito:
        fail("ingredients without a group in bunrui: %s" % nokeito[:10])
    nokoka = con.execute("SELECT count(*) FROM m_kihon WHERE koka IS NULL").fetchone()[0]
    if nokoka:
        fail("%d products without an effect text" % nokoka)

    # per-connection objects
    tseibun = [
        "create temp table tSeibun as select distinct ippanmei, seibun, seibun as shoryaku, ippanmei as kanryaku "
        "from seibun where ippanmei != seibun;",
        "update tSeibun set shoryaku = re_replace('.*及び([A-Z\\-]+)(.*)', shoryaku, '(\\1)\\2') "
        "where shoryaku regexp '及び[A-Z]+';",
        "update tSeibun set kanryaku = re_replace('^('||seibun||')(.*)', kanryaku, '\\1(\\2)') "
        "where kanryaku like seibun||'%';",
    ]
    for st in tseibun:
        try:
            con.execute(st)
        except sqlite3.Error as e:
            fail("tSeibun: %s" % e)
    kihon_view = ("CREATE TEMP VIEW kihon AS SELECT bango, shurui, meisho, tsusho, ryakusho, ippanmei, a.seibun AS "
                  "seibun, nodo, kongo, zaikei, yoto,concat('・',%s) AS koka, iso, b.keito as keito, c.keito as "
                  "RAC系統, mid, sayoten, sayokiko, fgroup, risk FROM seibun AS a LEFT JOIN m_kihon USING(bango) "
                  "LEFT JOIN iso USING(ippanmei) LEFT JOIN bunrui AS b ON a.ippanmei = b.seibun LEFT JOIN rac AS c "
                  "USING(ippanmei);" % ",".join("(select koka from koka where koka.kokaid = b.kokaid & %d)" % m
                                                 for m in MASKS))
    tvseibun = ("CREATE TEMP VIEW tvSeibun AS SELECT bango, k.ippanmei AS ippanmei, k.seibun AS seibun, keito, "
                "koka, NULL AS JPP系統名, NULL AS kagakumei, nodo, NULL AS nodochu, seibunEikyo, "
                "IFNULLSTR(dokusei, '-') AS dokusei, jogai, NULL AS jyogai1, NULL AS jyogai2, biko FROM kihon as k "
                "LEFT JOIN dokusei AS d ON d.ippanmei = k.ippanmei OR seibunmei = k.ippanmei;")
    for st in (kihon_view, tvseibun):
        try:
            con.execute(st)
        except sqlite3.Error as e:
            fail("session view: %s" % e)

    rk = ("(select if(count(*) > 0, keito,(select max(keito) from rac2 where ippanmei = seibun1 group by "
          "ippanmei)) from rac2 where ippanmei = seibun1 and cid = substr(idbyochu, 1, 1)) as keito1")
    mid = ("(select if(count(*) > 0, mid, (select max(mid) from raccode where ippanmei = seibun1 group by "
           "ippanmei)) from raccode where ippanmei = seibun1 and cid = substr(idbyochu, 1, 1)) as mid1")
    queries = {
        "kihon view": "SELECT count(*) FROM kihon",
        "product sheet summary": "SELECT bango,shurui,dokusei,torokubi,ryakusho,zaikei,yoto FROM m_kihon as a "
                                 "LEFT JOIN seizai USING(bango)",
        "ingredient sheet": "SELECT DISTINCT ippanmei, seibun, iso as ISO物質名,s.keito as 系統,koka, JPP系統名, "
                            "kagakumei,nodo, nodochu, seibuneikyo,dokusei, jogai, jyogai1, jyogai2, biko,mid, "
                            "rac.keito as RAC系統, sayoten,sayokiko,fgroup,risk FROM tvSeibun as s LEFT JOIN rac "
                            "USING(ippanmei) LEFT JOIN iso USING(ippanmei) GROUP BY ippanmei",
        "crop search columns": "SELECT bango, %s, %s, (select dokusei from spec.seizai where spec.seizai.bango = "
                               "tekiyo.bango) as seizaidokusei FROM tekiyo" % (rk, mid),
        "vg_sakumotsu2": "SELECT class,idsaku,toroku,shukakubui,sakumotsu,betsumei,gunmei FROM vg_sakumotsu2",
        "vs_sakumotsu2": "SELECT class,idsaku,toroku,shukakubui,sakumotsu,betsumei,rakuyokaju,keywords "
                         "FROM vs_sakumotsu2",
        "vg_sakumotsu": "SELECT sakumotsu, betsumei, ruby FROM vg_sakumotsu",
        "pest picker": "SELECT byochu FROM byochu WHERE gid IN(SELECT gid FROM gbyochu WHERE gname IN"
                       "('アブラムシ類')) and cid = 2",
        "pest classes": "select cname from cbyochu",
        "trade names": "SELECT DISTINCT tsusho FROM TsushoRuby WHERE ruby regexp '^(か|き|く|け|こ)' ORDER BY ruby",
        "keywords": "SELECT bango FROM kwlists WHERE strconv(kws) LIKE preconv('%MEP%')",
        "suisan": "SELECT chuijiko from suisan",
        "beppyo1n": "SELECT DISTINCT lg FROM spec.beppyo1n",
        "tekiyosakumotsu": "SELECT * FROM spec.tekiyosakumotsu",
        "cvo": "SELECT DISTINCT family FROM spec.cvo WHERE sakumotsu != '' ORDER BY family",
        "cvo2": "SELECT * FROM spec.cvo2 WHERE sakumotsu != ''",
        "rac lists": "SELECT DISTINCT fgroup FROM rac WHERE mid regexp '^(F:)' ORDER BY fgroup",
        "dokusei info": "select value from spec.info where item = 'm_dokusei'",
        "feedrice": "SELECT * FROM spec.feedrice",
        "idsaku regexp": "select concat('|',idsaku) from m_sakumotsu left join sakuhojo using(idsaku) where "
                         "'、'||concat('、',sakumotsu,shozoku)||'、' regexp '、(かんきつ\\(温州みかんを除く\\))、' "
                         "and nozoku not regexp '、(かんきつ\\(温州みかんを除く\\))、' "
                         "or fukumu regexp '、(かんきつ\\(温州みかんを除く\\))、'",
    }
    for name, q in queries.items():
        try:
            rows = con.execute(q).fetchall()
            if not rows or rows == [(0,)] or rows == [(None,)]:
                fail("query '%s' returns no rows" % name)
        except sqlite3.Error as e:
            fail("query '%s': %s" % (name, e))
    hit = con.execute(queries["idsaku regexp"]).fetchone()[0] or ""
    unshu = con.execute("SELECT idsaku FROM m_sakumotsu WHERE sakumotsu = '温州みかん'").fetchone()
    if unshu and unshu[0] in hit:
        fail("exclusion name still covers 温州みかん")
    multi = con.execute("SELECT count(*) FROM m_kihon WHERE seibun2 IS NOT NULL").fetchone()[0]
    five = con.execute("SELECT count(*) FROM m_kihon WHERE seibun5 IS NOT NULL").fetchone()[0]
    print("check_sample: %d basics rows, %d use rows, %d products (%d with several ingredients, %d with five), "
          "%d crops, %d pests" % (kihon_rows, tekiyo_rows, con.execute("SELECT count(*) FROM m_kihon").fetchone()[0],
                                  multi, five, con.execute("SELECT count(*) FROM m_sakumotsu").fetchone()[0],
                                  con.execute("SELECT count(*) FROM m_byochu").fetchone()[0]))
    if FAILURES:
        print("check_sample: %d failure(s)" % len(FAILURES))
        return 1
    print("check_sample: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
