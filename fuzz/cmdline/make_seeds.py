#!/usr/bin/env python3
"""Writes a seed corpus for cmdline_fuzzer: command lines, one per file.

Usage: make_seeds.py OUTDIR
"""
import os
import sys

SEEDS = [
    "",
    "   \t ",
    "10.0.0.2",
    "10.0.0.2 5010 10.0.0.3 5009 1",
    "10.0.0.2 5010 10.0.0.3 5009 1 extra words",
    '"with blank" "" 5010',
    '"unterminated quote',
    'a"b c"d',
    "host\t5010\t\t",
    "h p s q -1",
    "h p s q &HFFFFFFFF",
    "h p s q &O777",
    "h p s q 1e10",
    "h p s q 2.5",
    "h p s q 3.5x",
    "h p s q 1 2",
    "h p s q MiniTP",
    "h p s q 1D-3",
    "h p s q -.5e+1",
    "h p s q 0000000000000000000000000001",
    "h p s q 1e99999",
    "Größe 5010",
    "a\nb\nc\nd\ne\nf",
    "\n\n",
]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for i, seed in enumerate(SEEDS):
        with open(os.path.join(out, "seed-%02d" % i), "wb") as f:
            f.write(seed.encode("utf-8"))


if __name__ == "__main__":
    main()
