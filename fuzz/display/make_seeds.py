#!/usr/bin/env python3
"""Writes a seed corpus for fuzz_display in the byte encoding of variantdecoder.h.

Usage: make_seeds.py OUTDIR
"""
import os
import struct
import sys

ESC = "\x1b"


def empty():
    return bytes([0])


def long(v):
    return bytes([5]) + struct.pack("<i", v)


def single(v):
    return bytes([6]) + struct.pack("<f", v)


def double(v):
    return bytes([7]) + struct.pack("<d", v)


def string(s):
    out = bytearray([8, len(s) % 24])
    for ch in s[:23]:
        o = ord(ch)
        if ch == ESC:
            out.append(1)
        elif 0x20 <= o < 0x60:
            out.append(o)
        else:
            out += bytes([0xC0]) + struct.pack("<H", o)
    return bytes(out)


def arr(*items):
    assert len(items) < 8
    return bytes([9, len(items)]) + b"".join(items)


def item(code, param):
    return arr(long(code), param)


def text(s, x, y, frame=0, attr=0):
    return item(0x20, arr(string(s), long(x), long(y), long(frame), long(attr)))


def line(*c):
    return item(0x30, arr(*[single(v) for v in c]))


def box(*c):
    return item(0x31, arr(*[single(v) for v in c]))


def pen(v):
    return item(0x10, long(v))


def fill(v):
    return item(0x11, long(v))


def commands(*items):
    # Long lists are chained as lists of lists, each at most seven items.
    chunks = [items[i:i + 7] for i in range(0, len(items), 7)]
    return b"".join(arr(*c) for c in chunks)


SEEDS = {
    "empty": arr(),
    "cell": commands(fill(0), pen(15), text("AB", 8, 16)),
    "menu": commands(fill(15), pen(0), box(0, 0, 126, 62), text("MENU", 4, 2, 4),
                     line(0, 11, 125, 11), text("1 RUN", 4, 14), text("2 TEACH", 4, 24, 0, 1)),
    "frames": commands(text("A", 2, 2, 1), text("B", 20, 2, 2), text("C", 40, 2, 4),
                       text("D", 60, 2, 32), text("E", 80, 2, 64), text("F", 100, 2, 100)),
    "escapes": commands(text("x" + ESC + "2", 0, 0), text(ESC + ESC + ESC + "9", 0, 10),
                        text("A" + ESC, 0, 20)),
    "short_text": commands(line(0, 0, 50, 50), item(0x20, arr(string("AB"), long(1), long(2))), line(0, 60, 100, 60)),
    "unknown": commands(item(0, long(0)), item(33, long(1)), pen(5), text("Z", 1, 1, 0, 1)),
    "huge": commands(line(-1e30, 5, 1e30, 6), box(1e38, -1e38, 3, 3), text("W", 2147483600, 0),
                     item(0x30, arr(double(1e300), single(0), single(0), single(0)))),
    "nested": arr(arr(arr(arr(arr(arr(arr(empty()))))))),
}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
    print(f"{len(SEEDS)} seeds in {out}")


if __name__ == "__main__":
    main()
