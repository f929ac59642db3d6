#!/usr/bin/python3
"""Writes the small importer and master-script fixtures of the database tests.

The published files are CP932 with CR LF line ends; the fixtures are kept as the files
themselves (run this script again after changing the rows below).
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def write(rel, lines, encoding="cp932"):
    path = os.path.join(HERE, rel)
    with open(path, "wb") as f:
        f.write("".join(l + "\r\n" for l in lines).encode(encoding))


def q(fields, quote='"'):
    out = []
    for v in fields:
        if v is None:
            out.append("NULL")
        elif isinstance(v, int):
            out.append(str(v))
        else:
            out.append(quote + v.replace(quote, quote * 2) + quote)
    return ",".join(out)


# Public service basics: 11 fields, every field quoted.
KIHON_HEAD = ["登録番号", "農薬の種類", "農薬の名称", "略称", "有効成分", "総使用回数における有効成分",
              "濃度", "混合数", "用途", "剤型名", "登録年月日"]
kihon = [
    ["12345", "ＭＥＰ・ＢＰＭＣ粉剤", "住友スミバッサ粉剤", "住友化学", "ＭＥＰ", "ＭＥＰ", "2.0%", "2", "殺虫剤", "粉剤", "2019/01/07"],
    ["12345", "ＭＥＰ・ＢＰＭＣ粉剤", "住友スミバッサ粉剤", "住友化学", "ＢＰＭＣ", "ＢＰＭＣ", "2.0%", "2", "殺虫剤", "粉剤", "2019/01/07"],
    ["20001", "展着剤", "クミアイ ニーズ", "日本_農薬", "ポリオキシエチレン", "", "10.0%", "1", "展着剤", "液剤", "2020/3/5"],
    ["20002", "ﾏﾝｾﾞﾌﾞ水和剤", "ダイアジノン'S水和剤", "北興化学", "マンゼブ", "マンゼブ", "ｱｲｿ 75.0%", "1", "殺菌剤", "水和剤", "2019/02/30"],
    ["20003", "アゾキシストロビン・マンゼブ・ＭＥＰ水和剤", "アグロスアグロスター水和剤", "ＡＢＣ", "アゾキシストロビン", "アゾキシストロビン", "5.0%", "3", "殺虫殺菌剤", "水和剤", "2018/12/1"],
    ["20003", "アゾキシストロビン・マンゼブ・ＭＥＰ水和剤", "アグロスアグロスター水和剤", "ＡＢＣ", "マンゼブ", "マンゼブ", "40.0%", "3", "殺虫殺菌剤", "水和剤", "2018/12/1"],
    ["20003", "アゾキシストロビン・マンゼブ・ＭＥＰ水和剤", "アグロスアグロスター水和剤", "ＡＢＣ", "ＭＥＰ", "ＭＥＰ", "3.0%", "3", "殺虫殺菌剤", "水和剤", "2018/12/1"],
    ["x99", "乳剤", "だめな行", "", "", "", "", "1", "殺虫剤", "乳剤", "2019/01/01"],
    ["20004", "水和剤", "成分のない水和剤", "", "", "", "", "1", "殺菌剤", "水和剤", "2017/06/15"],
]
write("acis/kihon_public.csv", [q(KIHON_HEAD)] + [q(r) for r in kihon])

# Public service uses: 25 fields, or 26 with "アクセスＮＯ" at field 19.
TEKIYO_HEAD = ["登録番号", "農薬の種類", "農薬の名称", "略称", "用途", "作物名", "適用場所", "適用病害虫雑草名",
               "使用目的", "希釈倍数使用量", "散布液量", "使用時期", "本剤の使用回数", "使用方法", "くん蒸時間",
               "くん蒸温度", "適用土壌", "適用地帯名", "適用農薬名", "有効成分",
               "総使用回数1", "総使用回数2", "総使用回数3", "総使用回数4", "総使用回数5"]
tekiyo = [
    ["12345", "ＭＥＰ・ＢＰＭＣ粉剤", "住友スミバッサ粉剤", "住友化学", "殺虫剤", "稲", "", "ニカメイチュウ", "",
     "3～4ｋｇ/10ａ", "", "収穫21日前まで", "2回以内", "散布", "", "", "", "", "", "ＭＥＰ", "2回以内", "2回以内", "", "", ""],
    ["12345", "ＭＥＰ・ＢＰＭＣ粉剤", "住友スミバッサ粉剤", "住友化学", "殺虫剤", "きゅうり", "施設", "アブラムシ類", "",
     "1000倍", "100～300㍑/10a", "収穫前日まで", "3回以内", "散布 (株元)", "", "", "", "", "", "", "3回以内", "3回以内", "", "", ""],
    ["20002", "ﾏﾝｾﾞﾌﾞ水和剤", "ダイアジノン'S水和剤", "北興化学", "殺菌剤", "トマト", "", "疫病", "",
     "500倍", "5ｍ当り2ｇ", "収穫前日まで", "－", "散布\n(茎葉)", "", "", "", "", "", "", "3回以内", "", "", "", ""],
    ["20003", "アゾキシストロビン・マンゼブ・ＭＥＰ水和剤", "アグロスアグロスター水和剤", "ＡＢＣ", "殺虫殺菌剤", "りんご", "", "黒星病", "",
     "2000倍", "200～700㍍", "収穫14日前まで", "2回以内", "散布", "", "", "", "", "", "", "2回以内", "4回以内", "2回以内", "", ""],
]
short = ["20003", "アゾキシストロビン・マンゼブ・ＭＥＰ水和剤", "アグロスアグロスター水和剤", "ＡＢＣ", "殺虫殺菌剤", "なし",
         "", "黒星病", "", "1500倍", "", "", "1回", "散布", "", "", "", "", "散布_用", "成分"]  # 20 fields
plain = [q(TEKIYO_HEAD)] + [q(r) for r in tekiyo] + [q(short)]
write("acis/tekiyo_public.csv", plain)
acc_head = TEKIYO_HEAD[:19] + ["アクセスＮＯ"] + TEKIYO_HEAD[19:]
acc = [q(acc_head)] + [q(r[:19] + [str(900 + i)] + r[19:]) for i, r in enumerate(tekiyo)] + [q(short[:19] + ["999"] + short[19:])]
write("acis/tekiyo_public_accessno.csv", acc)

# Mirror files: single quotes, NULL unquoted.
mk = [
    [12345, "MEP・BPMC粉剤", "住友スミバッサ粉剤", "住友化学", "MEP", "MEP", "2.0%", 2, "殺虫剤", "粉剤", "2019/01/07"],
    [12345, "MEP・BPMC粉剤", "住友スミバッサ粉剤", "住友化学", "BPMC", "BPMC", "2.0%", 2, "殺虫剤", "粉剤", "2019/01/07"],
    [20001, "展着剤", "クミアイ ニーズ", "日本_農薬", "ポリオキシエチレン", None, "10.0%", 1, "展着剤", "液剤", "2020/03/05"],
    ["bad", "乳剤", "番号が数字でない", "", "", "", "", 1, "殺虫剤", "乳剤", "2019/01/01"],
    [20002, "マンゼブ水和剤", "ダイアジノン'S水和剤", "北興化学", "マンゼブ", "", "75.0%", 1, "殺菌剤", "水和剤", "2019/02/30"],
    [20005, "短い行"],
]
write("acis/kihon.csv", ["bango,shurui,meisho,ryakusho,ippanmei,seibun,nodo,kongo,yoto,zaikei,torokubi"] + [q(r, "'") for r in mk])
mt = [
    [12345, "稲", "", "ニカメイチュウ", "", "3～4kg/10a", None, "収穫21日前まで", "2回以内", "散布", None, None, None, None,
     "", "MEP", "2回以内", "2回以内", None, None, None],
    [12345, "きゅうり", "施設", "アブラムシ類", "", "1000倍", "100～300L/10a", "収穫前日まで", "3回以内", "1m2当り 散布",
     None, None, None, None, "", "", "3回以内", "3回以内", None, None, None],
    [20002, "トマト", "", "疫病", "", "500倍", "1平方メートル当り2メートル", "収穫前日まで", "－", "散布", None, None, None, None,
     "", "", "NULL", "", None, None, None],
]
write("acis/tekiyo.csv", ["bango,sakumotsu,basho,byochu,mokuteki,baisu,ekiryo,jiki,kaisu,hoho,jikan,ondo,dojo,chitai,tekiyaku,ippanmei,kaisu1,kaisu2,kaisu3,kaisu4,kaisu5"]
      + [q([r[0], "", "", "", ""] + r[1:], "'") for r in mt])

# A basics file that breaks off in the middle of a character and has no data rows after it.
with open(os.path.join(HERE, "acis/kihon_broken.csv"), "wb") as f:
    f.write((q(KIHON_HEAD) + "\r\n").encode("cp932") + b"\x82")

# Master scripts: the tables the build reads.
write("masters/spec.bunrui.txt", [
    "BEGIN TRANSACTION;",
    "DROP TABLE IF EXISTS spec.bunrui;",
    "CREATE TABLE spec.bunrui (seibun VARCHAR, keito VARCHAR, kokaid INTEGER);",
    "INSERT INTO spec.bunrui VALUES ('MEP','有機リン系',1);",
    "INSERT INTO spec.bunrui VALUES ('BPMC','カーバメート系',1);",
    "INSERT INTO spec.bunrui VALUES ('マンゼブ','ジチオカーバメート系',2);",
    "INSERT INTO spec.bunrui VALUES ('アゾキシストロビン','ストロビルリン系',2);",
    "DROP TABLE IF EXISTS spec.koka;",
    "CREATE TABLE spec.koka (kokaid INTEGER, koka VARCHAR);",
    "INSERT INTO spec.koka VALUES (1,'殺虫'),(2,'殺菌'),(3,'殺虫殺菌'),(4,'除草'),(8,'植調'),(16,'展着');",
    "COMMIT;",
])
write("masters/sakumotsu.txt", [
    "DROP TABLE IF EXISTS m_sakumotsu;",
    "CREATE TABLE m_sakumotsu (sakumotsu VARCHAR, idsaku VARCHAR, xidsaku VARCHAR);",
    "INSERT INTO m_sakumotsu VALUES ('稲','0101000000000000','0101');",
    "INSERT INTO m_sakumotsu VALUES ('きゅうり','0201010000000000','020101');",
    "INSERT INTO m_sakumotsu VALUES ('トマト','0201020000000000','020102');",
    "INSERT INTO m_sakumotsu VALUES ('りんご','0301010000000000','030101');",
])
write("masters/byochu.txt", [
    "DROP TABLE IF EXISTS m_byochu;",
    "CREATE TABLE m_byochu (byochu VARCHAR, idbyochu INTEGER);",
    "INSERT INTO m_byochu VALUES ('ニカメイチュウ',1),('アブラムシ類',2),('疫病',3),('黒星病',4);",
])
write("masters/spec.seizai.txt", [
    "DROP TABLE IF EXISTS spec.seizai;",
    "CREATE TABLE spec.seizai (bango INTEGER, name VARCHAR);",
    "INSERT INTO spec.seizai VALUES (12345,'１００㍑～２００㍑－');",
])
write("masters/spec.cvo.utf8.txt", [
    "DROP TABLE IF EXISTS spec.cvo;",
    "CREATE TABLE spec.cvo (id INTEGER, label VARCHAR);",
    "INSERT INTO spec.cvo VALUES (1,'作物語彙 ㌢ 🌾');",
], encoding="utf-8")
write("masters/spec.frac.txt", [
    "DROP TABLE IF EXISTS spec.frac_mg;",
    "CREATE TABLE spec.frac_mg (code VARCHAR, name VARCHAR);",
    "INSERT INTO spec.frac_mg VALUES ('11','QoI');",
])
