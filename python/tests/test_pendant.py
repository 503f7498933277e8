"""The pendant's own interface from Python: a named standalone pendant on a private bus, driven
and read through tarvisk.Pendant while the test's socket plays the controller."""

import time

import pytest

from tarvisk import Led, Pendant, pendant_names
from tarvisk.testing import StandalonePendant


def _standalone(bus, pendant_type, name):
    return StandalonePendant(pendant_type, name=name, env=bus.environment())


def test_outputs_and_their_waits(tarvisk_bus):
    with _standalone(tarvisk_bus, 1, "py_mini") as controller, Pendant("py_mini", bus=tarvisk_bus.address) as pendant:
        assert "py_mini" in pendant_names(tarvisk_bus.address)
        assert pendant.pendant_type() == 1
        pendant.wait_for_state("CONNECT")
        assert pendant.leds() == [Led(1, 0, False), Led(2, 0, False), Led(3, 0, False)]

        controller.send(257, [3, 1])
        pendant.wait_for_led(3, 1)
        assert pendant.leds()[2] == Led(3, 1, True)
        controller.send(256, -1)
        controller.send(259, [[0x10, 0], [0x31, [0, 0, 20, 10]]])
        deadline = time.monotonic() + 5
        rows = pendant.display()
        while not rows[0].startswith("#" * 20) and time.monotonic() < deadline:
            time.sleep(0.05)
            rows = pendant.display()
        assert len(rows) == 62 and all(len(r) == 126 for r in rows)
        assert rows[5][0] == "#" and rows[5][5] == "." and rows[30] == "." * 126
        assert pendant.beeper() == (True, -1)
        assert pendant.display_png(2)[:8] == b"\x89PNG\r\n\x1a\n"
