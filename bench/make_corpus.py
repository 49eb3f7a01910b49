#!/usr/bin/env python3
"""Writes the benchmark corpus: a tree of small source-like files, one large text file with
the find word on about 1% of its lines, and a file of a few multi-megabyte lines.

usage: make_corpus.py DIR [--big-mb N] [--files N] [--crlf]
"""
import argparse
import os
import random

WORDS = ("alpha beta gamma delta value index count return static const void int char size "
         "buffer line text file path name list item next prev node data result error status "
         "begin end open close read write find replace option check print format offset").split()


def plain_line(rng):
    indent = " " * (4 * rng.randrange(4))
    words = " ".join(rng.choice(WORDS) for _ in range(rng.randrange(3, 12)))
    return indent + words + (";" if rng.random() < 0.6 else "")


def hit_line(rng):
    words = [rng.choice(WORDS) for _ in range(rng.randrange(3, 10))]
    words.insert(rng.randrange(len(words) + 1), "foo")
    return " ".join(words) + ";"


def line_pool(rng, size):
    return [plain_line(rng) for _ in range(size)]


def write_big(path, megabytes, rng, eol):
    pool = line_pool(rng, 5000)
    target = megabytes << 20
    written = 0
    with open(path, "wb") as out:
        while written < target:
            lines = [hit_line(rng) if rng.random() < 0.01 else rng.choice(pool) for _ in range(200000)]
            block = (eol.join(lines) + eol).encode()
            out.write(block)
            written += len(block)


def write_long_lines(path, rng, eol):
    pool = line_pool(rng, 2000)
    with open(path, "wb") as out:
        for _ in range(40):
            parts = [rng.choice(pool) for _ in range(100000)]  # about 5 MB per line
            for _ in range(3):
                parts.insert(rng.randrange(len(parts)), "foo")
            out.write((" ".join(parts) + eol).encode())


def write_tree(root, count, rng, eol):
    pool = line_pool(rng, 3000)
    per_dir = 200
    for i in range(count):
        sub = os.path.join(root, "d%03d" % (i // per_dir))
        if i % per_dir == 0:
            os.makedirs(sub, exist_ok=True)
        lines = [hit_line(rng) if rng.random() < 0.01 else rng.choice(pool)
                 for _ in range(rng.randrange(100, 320))]
        ext = rng.choice((".c", ".h", ".txt", ".cpp"))
        with open(os.path.join(sub, "f%05d%s" % (i, ext)), "wb") as out:
            out.write((eol.join(lines) + eol).encode())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dir")
    parser.add_argument("--big-mb", type=int, default=1024)
    parser.add_argument("--files", type=int, default=20000)
    parser.add_argument("--crlf", action="store_true", help="CR LF line ends instead of LF")
    args = parser.parse_args()
    eol = "\r\n" if args.crlf else "\n"
    rng = random.Random(1)
    os.makedirs(args.dir, exist_ok=True)
    write_tree(os.path.join(args.dir, "tree"), args.files, rng, eol)
    write_long_lines(os.path.join(args.dir, "longlines.txt"), rng, eol)
    write_big(os.path.join(args.dir, "big.txt"), args.big_mb, rng, eol)


if __name__ == "__main__":
    main()
