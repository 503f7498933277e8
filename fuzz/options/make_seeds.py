#!/usr/bin/env python3
"""Writes a seed corpus for options_fuzzer: connection option strings, one per file.

Usage: make_seeds.py OUTDIR
"""
import os
import sys

SEEDS = [
    "",
    "PendantType=0",
    "PendantType=1, DefaultMode=2",
    " pendanttype = -1 ",
    "PendantType=2,TPLessInterval=5000",
    "PendantType=7",
    "Debug",
    "Debug=0,PendantType=2",
    "StateDestination",
    "StateDestination=Robot1,PendantType=1",
    "PendantTypeXYZ=1",
    "PendantType=abc",
    "DefaultMode=1,DefaultMode=3",
    "IsPellino=True",
    "IsPellino=false,PendantType=-1",
    "IsPellino=2.5",
    "IsPellino=maybe",
    "PendantType=&HFFFFFFFF",
    "PendantType=&O17",
    "DefaultMode=2.5",
    "DefaultMode=3.5",
    "DefaultMode=1e3",
    "DefaultMode=1D2",
    "TPLessInterval=2147483647.5",
    "TPLessInterval=-2147483648",
    "TPLessInterval=99999999999",
    "PendantType=\t1\t",
    "PendantType==1",
    ",,, ,PendantType=1,,",
    "StateDestination= a b ,Debug",
    "StateDestination=Größe,PendantType=1",
    "PendantType=\u00a01",
    "PendantType=\uff11",
]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for i, seed in enumerate(SEEDS):
        with open(os.path.join(out, "seed-%02d" % i), "wb") as f:
            f.write(seed.encode("utf-8"))
    # The same strings in Latin-1 where they have no character beyond it.
    for i, seed in enumerate(SEEDS):
        try:
            data = seed.encode("latin-1")
        except UnicodeEncodeError:
            continue
        if data != seed.encode("utf-8"):
            with open(os.path.join(out, "latin1-%02d" % i), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
