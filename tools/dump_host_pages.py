#!/usr/bin/env python3
"""Writes the committed data of the IBM host code pages (data/ibm-NNN/) from the system's iconv.

Usage: tools/dump_host_pages.py [DATA_ROOT]
  DATA_ROOT  the folder the page folders go in (default: data)

Run once, on a machine whose C library's iconv knows the pages (glibc does), whenever the data is to be
made again; the build never runs it and the library never reads the data: tools/gen_host_tables.py
compiles it into src/character/host_tables.inc.

For each page two files, in the form of data/cp932:
  ibm-NNN-decode.txt  CODE UUUU: every host code iconv reads as one character of the Basic Multilingual
                      Plane, ascending. CODE is two hex digits for a single-byte code, four for a
                      double-byte code (as written between SO 0x0E and SI 0x0F).
  ibm-NNN-encode.txt  UUUU CODE [oneway]: every BMP code point iconv writes, ascending; "oneway" marks a
                      code that reads back as another character.
SO and SI themselves are the shift codes of the double-byte pages and have no line there.
"""

import ctypes
import os
import sys

PAGES = [
    ("ibm-930", "IBM930", True),
    ("ibm-939", "IBM939", True),
    ("ibm-1390", "IBM1390", True),
    ("ibm-1399", "IBM1399", True),
    ("ibm-037", "IBM037", False),
    ("ibm-1140", "IBM1140", False),
    ("ibm-1047", "IBM1047", False),
    ("ibm-500", "IBM500", False),
]

SO, SI = 0x0E, 0x0F

libc = ctypes.CDLL(None, use_errno=True)
libc.iconv_open.restype = ctypes.c_void_p
libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
libc.iconv.restype = ctypes.c_size_t
libc.iconv.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t),
                       ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t)]
libc.iconv_close.argtypes = [ctypes.c_void_p]
FAILED = ctypes.c_size_t(-1).value


class Converter:
    def __init__(self, to_code, from_code):
        self.handle = libc.iconv_open(to_code.encode(), from_code.encode())
        if self.handle == ctypes.c_void_p(-1).value:
            raise SystemExit(f"iconv does not know {from_code} -> {to_code}")

    def convert(self, data):
        """The whole of `data` converted and the state flushed, or None where iconv refuses any of it."""
        libc.iconv(self.handle, None, None, None, None)  # initial state
        inbuf = ctypes.create_string_buffer(data, len(data))
        outbuf = ctypes.create_string_buffer(64)
        in_ptr = ctypes.c_char_p(ctypes.addressof(inbuf))
        out_ptr = ctypes.c_char_p(ctypes.addressof(outbuf))
        in_left, out_left = ctypes.c_size_t(len(data)), ctypes.c_size_t(64)
        if libc.iconv(self.handle, ctypes.byref(in_ptr), ctypes.byref(in_left), ctypes.byref(out_ptr),
                      ctypes.byref(out_left)) == FAILED or in_left.value != 0:
            return None
        if libc.iconv(self.handle, None, None, ctypes.byref(out_ptr), ctypes.byref(out_left)) == FAILED:
            return None
        return outbuf.raw[:64 - out_left.value]


def bmp_unit(utf16):
    """The one BMP code point `utf16` (UTF-16BE bytes) holds, or None."""
    if utf16 is None or len(utf16) != 2:
        return None
    unit = int.from_bytes(utf16, "big")
    return None if 0xD800 <= unit < 0xE000 else unit


def dump(name, iconv_name, double_byte, root):
    reader = Converter("UTF-16BE", iconv_name)
    writer = Converter(iconv_name, "UTF-16BE")
    decode = {}
    for byte in range(256):
        if double_byte and byte in (SO, SI):
            continue
        unit = bmp_unit(reader.convert(bytes([byte])))
        if unit is not None:
            decode[f"{byte:02X}"] = unit
    beyond = 0
    if double_byte:
        for first in range(0x40, 0xFF):
            for second in range(0x40, 0xFF):
                read = reader.convert(bytes([SO, first, second, SI]))
                unit = bmp_unit(read)
                if unit is not None:
                    decode[f"{first:02X}{second:02X}"] = unit
                elif read is not None and len(read) == 4:
                    beyond += 1
    encode = {}
    for unit in range(0x10000):
        if 0xD800 <= unit < 0xE000:
            continue
        written = writer.convert(unit.to_bytes(2, "big"))
        if written is None or len(written) == 0:
            continue
        if len(written) == 1:
            code = f"{written[0]:02X}"
        elif double_byte and len(written) == 4 and written[0] == SO and written[3] == SI:
            code = f"{written[1]:02X}{written[2]:02X}"
        else:
            raise SystemExit(f"{name}: U+{unit:04X} written as {written.hex()}")
        encode[unit] = code
    folder = os.path.join(root, name)
    os.makedirs(folder, exist_ok=True)
    shape = "single-byte codes, and double-byte codes written between SO 0x0E and SI 0x0F" if double_byte \
        else "single-byte codes"
    with open(os.path.join(folder, f"{name}-decode.txt"), "w", encoding="ascii", newline="\n") as f:
        f.write(f"# {name} (host code page, {shape}): host code -> Unicode, as the GNU C library's iconv\n")
        f.write(f"# ({iconv_name}) reads it. One line per code read as one BMP character, ascending: CODE UUUU.\n")
        if beyond:
            f.write(f"# {beyond} double-byte codes read as characters beyond the BMP have no line.\n")
        f.write(f"# Lines: {len(decode)}.\n")
        for code in sorted(decode, key=lambda c: (len(c), c)):
            f.write(f"{code} {decode[code]:04X}\n")
    oneway = sum(1 for u, c in encode.items() if decode.get(c) != u)
    with open(os.path.join(folder, f"{name}-encode.txt"), "w", encoding="ascii", newline="\n") as f:
        f.write(f"# {name}: Unicode -> host code, as the GNU C library's iconv ({iconv_name}) writes it. One line\n")
        f.write("# per BMP code point written, ascending: UUUU CODE [oneway]; \"oneway\" marks a code read back as\n")
        f.write("# another character. Code points not listed have no form on the page.\n")
        f.write(f"# Lines: {len(encode)} (one way: {oneway}).\n")
        for unit in sorted(encode):
            code = encode[unit]
            f.write(f"{unit:04X} {code}{' oneway' if decode.get(code) != unit else ''}\n")
    print(f"{name}: decode {len(decode)} codes ({beyond} beyond the BMP), encode {len(encode)} ({oneway} one way)")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(here), "data")
    for name, iconv_name, double_byte in PAGES:
        dump(name, iconv_name, double_byte, root)


if __name__ == "__main__":
    main()
