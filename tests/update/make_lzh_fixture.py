#!/usr/bin/python3
"""Makes tests/update/archive_fixtures/cp932_names.lzh, an LHA archive as Japanese Windows
archivers write it: header level 2, member names in CP932 (one in a sub-folder, whose second
byte pair holds 0x5C), one member compressed with -lh5-, both dated 2019-01-07 12:00:00 UTC.

Needs `lha` from the Debian package jlha-utils (apt-get install jlha-utils); the archive is
made by
    lha a2y cp932_names.lzh 登録基本部.csv サブ/ソース.txt
(a: add, 2: header level 2, y: write the names in the multibyte (CP932) code).
Run from anywhere:  /usr/bin/python3 tests/update/make_lzh_fixture.py
"""
import os
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "archive_fixtures", "cp932_names.lzh")
CSV = ("登録番号,農薬の種類,農薬の名称\r\n"
       + "".join("%d,殺虫剤,テスト乳剤%d\r\n" % (i, i) for i in range(40))).encode("cp932")


def main():
    with tempfile.TemporaryDirectory() as tmp:
        os.makedirs(os.path.join(tmp, "サブ"))
        with open(os.path.join(tmp, "登録基本部.csv"), "wb") as f:
            f.write(CSV)
        with open(os.path.join(tmp, "サブ", "ソース.txt"), "wb") as f:
            f.write(b"abc\n")
        stamp = 1546862400  # 2019-01-07 12:00:00 UTC
        for p in ("登録基本部.csv", "サブ/ソース.txt"):
            os.utime(os.path.join(tmp, p), (stamp, stamp))
        if os.path.exists(OUT):
            os.unlink(OUT)
        subprocess.run(["lha", "a2y", OUT, "登録基本部.csv", "サブ/ソース.txt"], cwd=tmp, check=True,
                       stdout=subprocess.DEVNULL)


if __name__ == "__main__":
    main()
