#!/usr/bin/env python3
"""A straightforward converter with Python's standard library: the baseline quor is compared with.

Reads CSV lines of the benchmark layout (code, kana name, kanji name, quantity, signed amount, date;
lengths 8,20,10,7,11,8, formats 1,1,2,0,3,0) and writes the same host records quor encode writes:
EBCDIC with katakana, JEF, zoned and packed decimal. Values are taken as the benchmark generates them
(no checks); this is a baseline for speed, not a product.

The other layouts bench/compare.sh measures are written the same way from their field lists below:
examples/order.cpy (--layout order), bench/card-transaction.cpy (--layout card) and the four records of
examples/transfer.cpy (--layout transfer, each line naming its record first).

Usage: bench/python_converter.py [--layout bench|order|card|transfer] IN.csv OUT.dat
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


def scaled(value, digits, scale):
    """A decimal text as its digits scaled to `scale` places, and its sign."""
    negative = value.startswith("-")
    whole, _, fraction = value.lstrip("-+").partition(".")
    return (whole + fraction.ljust(scale, "0")[:scale]).rjust(digits, "0")[-digits:], negative


def typed_zoned(value, digits, scale, signed):
    number, negative = scaled(value, digits, scale)
    out = bytearray(0xF0 | int(d) for d in number)
    if signed:  # the sign in the last digit's zone: D negative, C positive (as host compilers write it)
        out[-1] = (0xD0 if negative and int(number) != 0 else 0xC0) | (out[-1] & 0x0F)
    return bytes(out)


def typed_packed(value, digits, scale, signed):
    number, negative = scaled(value, digits | 1, scale)
    sign = (0xD if negative and int(number) != 0 else 0xC) if signed else 0xF
    nibbles = [int(d) for d in number] + [sign]
    return bytes(nibbles[i] << 4 | nibbles[i + 1] for i in range(0, len(nibbles), 2))


def typed_binary(value, digits, scale, signed):
    number, negative = scaled(value, digits, scale)
    size = 2 if digits <= 4 else 4 if digits <= 9 else 8
    return (-int(number) if negative else int(number)).to_bytes(size, "big", signed=signed)


def fields(given):
    """Writers for a field list: "X8 N10 9(8) S9(9)V99 S9(4)B P9(7)V99 F17" (text, national, zoned,
    binary, packed, a filler of blanks), one a column but the fillers."""
    out = []
    for item in given.split():
        if item[0] in "XNF":
            n = int(item[1:])
            out.append({"X": lambda v, n=n: text(v, n), "N": lambda v, n=n: jef(v, n),
                        "F": (lambda n: b"\x40" * n)(n)}[item[0]])
            continue
        m = re.fullmatch(r"([PB]?)(S?)9\((\d+)\)(?:V9\((\d+)\))?([PB]?)", item)
        kind = m.group(1) or m.group(5)
        signed, scale = bool(m.group(2)), int(m.group(4) or 0)
        digits = int(m.group(3)) + scale
        write = {"": typed_zoned, "P": typed_packed, "B": typed_binary}[kind]
        out.append(lambda v, d=digits, s=scale, g=signed, w=write: w(v, d, s, g))
    return out


LAYOUTS = {
    "order": fields("X8 9(8) X20 N10 X24 S9(4)B X6 PS9(5) PS9(7)V9(2) X6 PS9(5) PS9(7)V9(2) "
                    "PS9(9)V9(2) 9(1)V9(3) F4"),
    "card": fields("X16 X2 9(4) X10 X60 S9(9)V9(2) X16 X40 9(9) X40 X50 X30 X10 X26 F26"),
    "TRANSFER-HEADER": fields("X1 9(2) X1 X10 X40 X4 X4 X15 X3 X15 9(1) X7 F17"),
    "TRANSFER-DATA": fields("X1 X4 X15 X3 X15 X4 9(1) X7 X30 9(10) X1 X10 X10 X1 F8"),
    "TRANSFER-TRAILER": fields("X1 9(6) 9(12) F101"),
    "TRANSFER-END": fields("X1 F119"),
}


def record(writers, values):
    out = bytearray()
    values = iter(values)
    for write in writers:
        out += write if isinstance(write, bytes) else write(next(values))
    return bytes(out)


def main():
    args = sys.argv[1:]
    layout = "bench"
    if args[0] == "--layout":
        layout, args = args[1], args[2:]
    with open(args[0], encoding="utf-8", newline="") as src, open(args[1], "wb") as out:
        if layout == "bench":
            for line in src:
                code, kana, kanji, quantity, amount, date = line.rstrip("\r\n").split(",")
                out.write(text(code, 8) + text(kana, 20) + jef(kanji, 10) + zoned(quantity, 7) +
                          packed(amount, 11) + zoned(date, 8))
        elif layout == "transfer":
            for line in src:
                values = line.rstrip("\r\n").split(",")
                out.write(record(LAYOUTS[values[0]], values[1:]))
        else:
            writers = LAYOUTS[layout]
            for line in src:
                out.write(record(writers, line.rstrip("\r\n").split(",")))


if __name__ == "__main__":
    main()
