#!/usr/bin/env python3
"""Writes resources/MSWordTesting.doc: a small binary Word document (a compound file with a
WordDocument stream and a 1Table stream holding the piece table), made by us for the
"Computer speed" window."""
import struct
import sys

END, FREE, FAT_SECTOR = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD


def word_document(text: bytes):
    word = bytearray(8192)
    struct.pack_into("<HH", word, 0, 0xA5EC, 193)
    struct.pack_into("<H", word, 0x0A, 0x0200)  # the table stream is "1Table"
    struct.pack_into("<I", word, 0x4C, len(text))  # characters of the main text
    word[0x800:0x800 + len(text)] = text
    plc = struct.pack("<II", 0, len(text)) + struct.pack("<HIH", 0, 0x40000000 | (0x800 * 2), 0)
    clx = b"\x02" + struct.pack("<I", len(plc)) + plc
    table = bytearray(4096)
    table[0:len(clx)] = clx
    struct.pack_into("<II", word, 0x1A2, 0, len(clx))
    return bytes(word), bytes(table)


def entry(name, kind, start, size):
    raw = bytearray(128)
    encoded = name.encode("utf-16-le")
    raw[0:len(encoded)] = encoded
    struct.pack_into("<HB", raw, 64, len(encoded) + 2, kind)
    struct.pack_into("<III", raw, 68, FREE, FREE, FREE)
    struct.pack_into("<II", raw, 116, start, size)
    return bytes(raw)


def compound(word: bytes, table: bytes):
    header = bytearray(512)
    header[0:8] = b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"
    struct.pack_into("<HHHHH", header, 24, 0x3E, 3, 0xFFFE, 9, 6)
    struct.pack_into("<I", header, 44, 1)
    struct.pack_into("<I", header, 48, 1)
    struct.pack_into("<III", header, 56, 4096, END, 0)
    struct.pack_into("<II", header, 68, END, 0)
    for k in range(109):
        struct.pack_into("<I", header, 76 + 4 * k, 0 if k == 0 else FREE)
    words, tables = len(word) // 512, len(table) // 512
    fat = [FAT_SECTOR, END]
    first_word = 2
    fat += [first_word + k + 1 for k in range(words - 1)] + [END]
    first_table = first_word + words
    fat += [first_table + k + 1 for k in range(tables - 1)] + [END]
    fat += [FREE] * (128 - len(fat))
    directory = (entry("Root Entry", 5, END, 0) + entry("WordDocument", 2, first_word, len(word)) +
                 entry("1Table", 2, first_table, len(table)) + bytes(128))
    return bytes(header) + struct.pack("<128I", *fat) + directory + word + table


def main():
    text = ("Vexlo Pro speed test document.\r"
            "It is opened and closed by the office engine to time one file.\r").encode("cp1252")
    out = sys.argv[1] if len(sys.argv) > 1 else "resources/MSWordTesting.doc"
    with open(out, "wb") as f:
        f.write(compound(*word_document(text)))


if __name__ == "__main__":
    main()
