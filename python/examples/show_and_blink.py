#!/usr/bin/env python3
"""A small client program: connects a standard pendant, shows it, sets LED 1 blinking and
prints each message it gets (number, value, destination) until none came for a while."""

import sys

from tarvisk import Provider


def main(seconds=2.0):
    with Provider() as provider, provider.controller() as pendant:
        pendant.connect("PendantType=0, StateDestination=cell1")
        pendant.execute("show")
        pendant.execute("led", [1, 2])
        for message in pendant.messages(timeout=seconds):
            print(message.number, message.value, message.destination or "-", flush=True)


if __name__ == "__main__":
    main(float(sys.argv[1]) if len(sys.argv) > 1 else 2.0)
