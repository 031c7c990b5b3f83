#!/usr/bin/env python3
"""Checks the CheckSum field of PE files against the file's bytes:
    python3 scripts/pe-checksum.py FILE.exe...
One line per file; exit status 1 when any file's field is wrong or the file is no PE image.
Windows refuses drivers and some signed images whose field is wrong, and the field goes stale
whenever bytes are added after linking (the catalogs), so the build must leave it right."""
import array
import struct
import sys


def checksum_offset(data: bytes) -> int:
    if len(data) < 0x40 or data[:2] != b"MZ":
        raise ValueError("no MZ header")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if pe + 24 + 68 > len(data) or data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    # The field sits at the same place in PE32 and PE32+ optional headers.
    return pe + 24 + 64


def pe_checksum(data: bytes, field: int) -> int:
    # The field itself counts as zero; an odd last byte is a word with a zero high byte.
    buf = bytearray(data)
    buf[field:field + 4] = b"\0\0\0\0"
    if len(buf) % 2:
        buf.append(0)
    words = array.array("H", bytes(buf))
    if sys.byteorder == "big":
        words.byteswap()
    # Adding with the carry folded back in is associative: fold the plain sum at the end.
    total = sum(words)
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def main() -> int:
    status = 0
    for name in sys.argv[1:]:
        with open(name, "rb") as f:
            data = f.read()
        try:
            field = checksum_offset(data)
        except ValueError as e:
            print(f"{name}: {e}")
            status = 1
            continue
        stored = struct.unpack_from("<I", data, field)[0]
        computed = pe_checksum(data, field)
        verdict = "ok" if stored == computed else "WRONG"
        print(f"{name}: checksum {verdict} (stored 0x{stored:08x}, computed 0x{computed:08x})")
        if stored != computed:
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
