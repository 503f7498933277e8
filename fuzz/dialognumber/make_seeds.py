#!/usr/bin/env python3
"""Writes a seed corpus for dialognumber_fuzzer: field texts, one per file.

Usage: make_seeds.py OUTDIR
"""
import os
import sys

SEEDS = [
    "", "0", "5010", "12abc", "abc", "2.5", "3.5", "-2.5", "5 0 1 0", "\t1\n2",
    "99999999999", "2147483647", "2147483647.5", "2147483648", "-2147483648",
    "-2147483648.5", "-2147483649", "&H7FFFFFFF", "&HFFFFFFFF", "&H100000000",
    "&O17777777777", "&o7", "&Hz", "&", "1e9", "1E10", "1D3", "1d-3", "-1.5e+0",
    ".5", "-.", "+", "1e", "1e+", "1e400", "1e-400", "0.0000000000000000001",
    "65535", "65536", "-1", "True", "false", " TRUE ", "0x10", "１２", "1\u00a02",
]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for i, seed in enumerate(SEEDS):
        with open(os.path.join(out, "seed-%02d" % i), "wb") as f:
            f.write(seed.encode("utf-8"))


if __name__ == "__main__":
    main()
