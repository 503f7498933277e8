#!/usr/bin/env python3
"""Writes a seed corpus for ini_fuzzer. Each seed is two choice bytes (operation and name, value)
followed by the bytes of a settings file.

Usage: make_seeds.py OUTDIR
"""
import base64
import os
import sys

DIALOG = (
    "[$Dist$]\nIPAddress=127.0.0.1\nPort=5010\n"
    "[$Src$]\nIPAddress=255.255.255.255\nPort=5009\nUseIPAddress=True\nUsePort=True\n"
    "[$Pendant$]\nType=0\n"
)

FILES = [
    b"",
    DIALOG.encode(),
    DIALOG.replace("\n", "\r\n").encode(),
    b"; leading comment\n\n[A]\n  k  =  v  \n; inner\nj='quoted'\n\n[B]\nx=\"y\"\n",
    b"[A]\nk=1",
    b"[A]\nk=1\r",
    b"[A]\r",
    b"[A]",
    b"[A]\nk=1\n[a]\nk=2\nK=3\n",
    b"orphan=1\n[A]\nno equals here\n=novalue\nk=\n",
    b"[ spaced name ]\n\tk\t=\tv\t\n",
    b"[unclosed\nk=1\n[x]y]\nk=2\n",
    b"\xef\xbb\xbf[A]\nk=1\n",
    b"[Gr\xc3\xb6\xc3\x9fe]\nSchl\xc3\xbcssel=Wert\n",
    b"[A]\nk=\xff\xfe\x00bad\nj=2\n",
    b"[A]\nk=1\r\r\nj=2\rmore\n",
    b"\n\n\n",
    b"[]\nk=1\n[A]\nk=2\n",
]


# Whole inputs (choice bytes included) that once stopped the fuzzer, kept as seeds.
FOUND = [
    # DeleteSection of a repeated section before a byte order mark that leads a later section.
    base64.b64decode("HQ9bQV0Kaz0xXQprPTIKGg9bQV0NCks9Cu+7v1thXUFdCmtEMQpbYV0Kaz0yCks9Cms9MgpLPTMK"),
]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for i, data in enumerate(FOUND):
        with open(os.path.join(out, "found-%03d" % i), "wb") as f:
            f.write(data)
    n = 0
    for data in FILES:
        for op in range(5):
            for pick, value in ((0, 0), (1, 4), (2, 3), (5, 15)):
                with open(os.path.join(out, "seed-%03d" % n), "wb") as f:
                    f.write(bytes([op + 5 * pick, value]) + data)
                n += 1


if __name__ == "__main__":
    main()
