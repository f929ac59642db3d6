#!/usr/bin/python3
"""Writes zip archives whose member names are stored in a chosen way, for the extraction tests.

Usage: make_zip_names.py OUT.zip NAME=HEXBYTES:FLAG:CONTENT ...
Each member gets the raw name bytes given in hex, the UTF-8 flag (bit 11) set when FLAG is 1,
and CONTENT as its body. Python's zipfile chooses flags by itself, so the archive is written
with placeholder ASCII names of the same length whose bytes and flags are patched afterwards,
in the local headers and in the central directory.

Also: make_zip_names.py --bomb OUT.zip MIB writes one member of MIB MiB of zeros;
make_zip_names.py --liar OUT.zip MIB DECLARED writes MIB MiB of zeros declared as DECLARED bytes.
"""
import struct
import sys
import zipfile


def patch_names(path, members):
    data = bytearray(open(path, "rb").read())
    for placeholder, raw, flag in members:
        for sig, name_off, flag_off, hdr_len in ((b"PK\x03\x04", 26, 6, 30), (b"PK\x01\x02", 28, 8, 46)):
            pos = 0
            while True:
                pos = data.find(sig, pos)
                if pos < 0:
                    break
                n = struct.unpack_from("<H", data, pos + name_off)[0]
                start = pos + hdr_len
                if bytes(data[start:start + n]) == placeholder:
                    data[start:start + n] = raw
                    f = struct.unpack_from("<H", data, pos + flag_off)[0]
                    f = (f | 0x800) if flag else (f & ~0x800)
                    struct.pack_into("<H", data, pos + flag_off, f)
                pos += 4
    open(path, "wb").write(bytes(data))


def main():
    if sys.argv[1] == "--bomb" or sys.argv[1] == "--liar":
        out, mib = sys.argv[2], int(sys.argv[3])
        with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
            with z.open("zeros.bin", "w", force_zip64=False) as f:
                chunk = bytes(1 << 20)
                for _ in range(mib):
                    f.write(chunk)
        if sys.argv[1] == "--liar":
            declared = int(sys.argv[4])
            data = bytearray(open(out, "rb").read())
            for sig, off in ((b"PK\x03\x04", 22), (b"PK\x01\x02", 24)):
                pos = data.find(sig)
                struct.pack_into("<I", data, pos + off, declared)
            # The data descriptor after the member (if any) says the same.
            pos = data.find(b"PK\x07\x08")
            if pos >= 0:
                struct.pack_into("<I", data, pos + 12, declared)
            open(out, "wb").write(bytes(data))
        return
    out = sys.argv[1]
    members = []
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for i, spec in enumerate(sys.argv[2:]):
            hexname, flag, content = spec.split(":", 2)
            raw = bytes.fromhex(hexname)
            placeholder = (("m%d_" % i) + "x" * len(raw))[: len(raw)].encode("ascii")
            z.writestr(placeholder.decode("ascii"), content)
            members.append((placeholder, raw, flag == "1"))
    patch_names(out, members)


if __name__ == "__main__":
    main()
