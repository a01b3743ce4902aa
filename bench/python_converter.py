#!/usr/bin/env python3
"""A straightforward converter with Python's standard library: the baseline quor is compared with.

Reads CSV lines of the benchmark layout (code, kana name, kanji name, quantity, signed amount, date;
lengths 8,20,10,7,11,8, formats 1,1,2,0,3,0) and writes the same host records quor encode writes:
EBCDIC with katakana, JEF, zoned and packed decimal. Values are taken as the benchmark generates them
(no checks); this is a baseline for speed, not a product.

Usage: bench/python_converter.py IN.csv OUT.dat
"""
import sys
import os
import re

# The EBCDIC kana table, read from the library's own source rather than typed again.
_TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "character", "ebcdic_kana_table.hpp")
with open(_TABLE, encoding="utf-8") as _f:
    _source = _f.read()
_body = _source[_source.index("kEbcdicKana = {"):_source.index("};")]
EBCDIC = bytes(int(h, 16) for h in re.findall(r"0x([0-9A-F]{2})", _body))
assert len(EBCDIC) == 256


def text(value, length):
    data = value.encode("cp932")[:length]
    return data.translate(EBCDIC) + b"\x40" * (length - len(data))


def jef(value, length):
    out = bytearray()
    for ch in value[:length]:
        s1, s2 = ch.encode("cp932")
        j1 = (s1 - 0x71 if s1 <= 0x9F else s1 - 0xB1) * 2 + 1
        if s2 > 0x7F:
            s2 -= 1
        if s2 >= 0x9E:
            j1, j2 = j1 + 1, s2 - 0x7D
        else:
            j2 = s2 - 0x1F
        out += bytes((j1 + 0x80, j2 + 0x80))
    return bytes(out) + b"\xA1\xA1" * (length - len(value[:length]))


def zoned(value, length):
    negative = value.startswith("-")
    digits = value.lstrip("-").rjust(length, "0")[-length:]
    out = bytearray(0xF0 | int(d) for d in digits)
    if negative:
        out[-1] = 0xD0 | (out[-1] & 0x0F)
    return bytes(out)


def packed(value, length):
    negative = value.startswith("-")
    nbytes = (length + 1) // 2
    digits = value.lstrip("-").rjust(2 * nbytes - 1, "0")[-(2 * nbytes - 1):]
    nibbles = [int(d) for d in digits] + [0xD if negative else 0xC]
    return bytes(nibbles[i] << 4 | nibbles[i + 1] for i in range(0, len(nibbles), 2))


def main():
    with open(sys.argv[1], encoding="utf-8", newline="") as src, open(sys.argv[2], "wb") as out:
        for line in src:
            code, kana, kanji, quantity, amount, date = line.rstrip("\r\n").split(",")
            out.write(text(code, 8) + text(kana, 20) + jef(kanji, 10) + zoned(quantity, 7) +
                      packed(amount, 11) + zoned(date, 8))


if __name__ == "__main__":
    main()
