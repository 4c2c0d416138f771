#!/usr/bin/env python3
"""Writes src/core/cp932_table.cpp, code page 932 as both editions read it,
from the C library's iconv "CP932" (glibc's copy of Microsoft's table).

Run by hand on a glibc machine; its output is committed:
    python3 tools/make_cp932_table.py > src/core/cp932_table.cpp

What is a rule rather than a list is left to core/cp932.cpp and only checked
here: the single bytes (ASCII, half-width katakana) and the user-defined rows
0xF0 to 0xF9 (the private-use area from U+E000 on). Everything else is the
two-byte table, one row per lead byte that has characters, and every character
it holds once, by the code iconv writes it as (a character with several codes,
the NEC and IBM duplicates, gets the one Windows writes too).
"""

import ctypes
import ctypes.util
import struct
import sys

ICONV_FAILED = ctypes.c_size_t(-1).value

libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
libc.iconv_open.restype = ctypes.c_void_p
libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
libc.iconv.restype = ctypes.c_size_t
libc.iconv.argtypes = [
    ctypes.c_void_p,
    ctypes.POINTER(ctypes.c_char_p),
    ctypes.POINTER(ctypes.c_size_t),
    ctypes.POINTER(ctypes.c_char_p),
    ctypes.POINTER(ctypes.c_size_t),
]


class Converter:
    def __init__(self, to, source):
        self.cd = libc.iconv_open(to.encode(), source.encode())
        if self.cd in (None, ICONV_FAILED):
            sys.exit(f"iconv has no {source} to {to}")

    def __call__(self, data):
        """The whole of data converted, or None when any of it cannot be."""
        libc.iconv(self.cd, None, None, None, None)
        source = ctypes.create_string_buffer(data, len(data))
        source_at = ctypes.c_char_p(ctypes.addressof(source))
        source_left = ctypes.c_size_t(len(data))
        out = ctypes.create_string_buffer(64)
        out_at = ctypes.c_char_p(ctypes.addressof(out))
        out_left = ctypes.c_size_t(len(out))
        if libc.iconv(self.cd, ctypes.byref(source_at), ctypes.byref(source_left),
                      ctypes.byref(out_at), ctypes.byref(out_left)) == ICONV_FAILED:
            return None
        if libc.iconv(self.cd, None, None, ctypes.byref(out_at),
                      ctypes.byref(out_left)) == ICONV_FAILED:
            return None
        if source_left.value:
            return None
        return out.raw[:len(out) - out_left.value]


decode_iconv = Converter("UTF-32LE", "CP932")
encode_iconv = Converter("CP932", "UTF-32LE")

LEADS = list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD))
TRAILS = [t for t in range(0x40, 0xFD) if t != 0x7F]
USER_DEFINED_LEADS = range(0xF0, 0xFA)


def decode(code_bytes):
    out = decode_iconv(code_bytes)
    if out is None:
        return None
    chars = struct.unpack(f"<{len(out) // 4}I", out)
    if len(chars) != 1 or chars[0] > 0xFFFF:
        sys.exit(f"{code_bytes.hex()} reads as {chars}: not one character of the first plane")
    return chars[0]


def check(condition, what):
    if not condition:
        sys.exit("the rule no longer holds: " + what)


# Single bytes: the rule core/cp932.cpp applies.
for byte in range(256):
    expected = byte if byte < 0x80 else 0xFF61 + byte - 0xA1 if 0xA1 <= byte <= 0xDF else None
    check(decode(bytes([byte])) == expected, f"single byte {byte:02X}")

rows = {}  # lead -> characters of the trails in TRAILS order, 0 where none
for lead in LEADS:
    row = [decode(bytes([lead, trail])) for trail in TRAILS]
    check(0 not in row, f"no code of row {lead:02X} reads as U+0000, which marks none")
    row = [char or 0 for char in row]
    if lead in USER_DEFINED_LEADS:
        first = 0xE000 + (lead - 0xF0) * len(TRAILS)
        check(row == list(range(first, first + len(TRAILS))), f"user-defined row {lead:02X}")
    elif any(row):
        rows[lead] = row

code_of = {}  # character -> the code iconv writes it as
for lead, row in rows.items():
    for trail, char in zip(TRAILS, row):
        if not char:
            continue
        check(char >= 0x80 and not 0xFF61 <= char <= 0xFF9F and not 0xE000 <= char <= 0xF8FF,
              f"{lead:02X}{trail:02X} duplicates a single byte or a user-defined code")
        if char in code_of:
            continue
        written = encode_iconv(struct.pack("<I", char))
        check(written is not None and len(written) == 2, f"U+{char:04X} is written as one code")
        written_code = written[0] << 8 | written[1]
        check(rows.get(written[0], [0] * len(TRAILS))[TRAILS.index(written[1])] == char,
              f"U+{char:04X} is written as a code that reads as it")
        code_of[char] = written_code

out = []
out.append("// Code page 932 as the C library's iconv \"CP932\" (glibc) reads and writes it,")
out.append("// made by tools/make_cp932_table.py; edit that, not this.")
out.append('#include "core/cp932_table.h"')
out.append("")
out.append("#include <iterator>")
out.append("")
out.append("namespace vs::cp932_table {")
out.append("")
out.append("// clang-format off")
row_of_lead = ["kNoRow"] * 256
for index, lead in enumerate(rows):
    row_of_lead[lead] = str(index)
out.append("const uint8_t kRowOfLead[256] = {")
for at in range(0, 256, 8):
    entries = "".join(f"{row},".ljust(8) for row in row_of_lead[at:at + 8])
    out.append(f"    {entries} // {at:02X}")
out.append("};")
out.append("")
out.append(f"const uint16_t kRows[{len(rows)} * kTrailsPerRow] = {{")
for lead, row in rows.items():
    out.append(f"    // lead {lead:02X}")
    for at in range(0, len(row), 12):
        out.append("    " + ", ".join(f"0x{c:04X}" for c in row[at:at + 12]) + ",")
out.append("};")
out.append("")
out.append(f"const uint16_t kCodesByCharacter[{len(code_of)}] = {{")
codes = [code_of[char] for char in sorted(code_of)]
for at in range(0, len(codes), 12):
    out.append("    " + ", ".join(f"0x{c:04X}" for c in codes[at:at + 12]) + ",")
out.append("};")
out.append("")
out.append("// clang-format on")
out.append("")
out.append("const size_t kCodesByCharacterCount = std::size(kCodesByCharacter);")
out.append("")
out.append("}  // namespace vs::cp932_table")
print("\n".join(out))
print(f"{len(rows)} rows, {len(codes)} characters written as two bytes, "
      f"{len(rows) * len(TRAILS) * 2 + len(codes) * 2 + 256} bytes", file=sys.stderr)
