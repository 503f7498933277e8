"""The pendant's own interface from Python: a named standalone pendant on a private bus, driven
and read through tarvisk.Pendant while the test's socket plays the controller."""

import time

import pytest

from tarvisk import BusError, Led, LinkStatus, Pendant, pendant_names
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


OK, MAN, TEACH = 14, 4, 5  # bits of the standard pendant's key-state bitmap


def test_input_reaches_the_controller_as_a_click(tarvisk_pendant):
    controller = tarvisk_pendant.controller
    held = controller.held
    tarvisk_pendant.press("ok")
    controller.key_state(lambda bits: held(bits, OK) and held(bits, MAN))
    assert tarvisk_pendant.held_keys() == ["TP_KEY_MAN", "TP_KEY_OK"]
    tarvisk_pendant.release("OK")
    controller.key_state(lambda bits: not held(bits, OK))

    tarvisk_pendant.mode("teach")
    controller.key_state(lambda bits: held(bits, TEACH) and not held(bits, MAN))
    tarvisk_pendant.enable()
    assert "TP_KEY_DEAD" in tarvisk_pendant.held_keys()
    tarvisk_pendant.enable(False)
    assert "TP_KEY_DEAD" not in tarvisk_pendant.held_keys()

    started = time.monotonic()
    tarvisk_pendant.tap("OK", 150)
    assert time.monotonic() - started >= 0.14
    assert not held(tarvisk_pendant.key_state(), OK)


def test_refusals_keep_their_name_and_say_what_is_allowed(tarvisk_pendant):
    with pytest.raises(BusError) as unknown:
        tarvisk_pendant.press("TP_KEY_NOPE")
    assert unknown.value.dbus_name == "ZephProv.Halvex.Tarvisk.Pendant.Error.UnknownKey"
    assert '"TP_KEY_NOPE"' in unknown.value.message and "TP_KEY_OK" in unknown.value.message
    with pytest.raises(BusError) as mode:
        tarvisk_pendant.mode("JOG")
    assert mode.value.dbus_name.endswith(".UnknownMode") and "AUTO, MAN and TEACH" in mode.value.message
    assert tarvisk_pendant.held_keys() == ["TP_KEY_MAN"]  # nothing half done


def test_link_status_names_the_controller(tarvisk_pendant):
    status = tarvisk_pendant.link_status()
    assert isinstance(status, LinkStatus)
    assert status.controller == f"127.0.0.1:{tarvisk_pendant.controller.port}"
    assert status.state in ("UNKNOWN", "ANSWERING", "SILENT")


@pytest.mark.parametrize("tarvisk_pendant", [1], indirect=True)
def test_the_fixture_takes_another_pendant_type(tarvisk_pendant):
    assert tarvisk_pendant.pendant_type() == 1
    assert tarvisk_pendant.key("ok") == "MP_KEY_OK"


def test_a_pendant_lets_go_of_what_it_pressed_when_it_ends(tarvisk_pendant):
    # The holds of the pendant's own keys outlive a script; this Pendant's end lets go of its own.
    name = tarvisk_pendant.service[len("ZephProv.Halvex.Tarvisk.Pendant."):]
    with Pendant(name, bus=tarvisk_pendant.connection) as script:
        script.enable()
        script.press("f1")
        script.press("OK")
        tarvisk_pendant.release("OK")  # another script let go of one meanwhile
        assert tarvisk_pendant.held_keys() == ["TP_KEY_MAN", "TP_KEY_DEAD", "TP_KEY_F1"]
    assert tarvisk_pendant.held_keys() == ["TP_KEY_MAN"]
    assert not tarvisk_pendant.controller.held(tarvisk_pendant.key_state(), 21)  # F1

    # What it released itself, or what release_all ended, is not released again.
    with Pendant(name, bus=tarvisk_pendant.connection) as script:
        script.press("OK")
        script.release_all()
        tarvisk_pendant.press("OK")
    assert tarvisk_pendant.held_keys() == ["TP_KEY_MAN", "TP_KEY_OK"]


def test_an_empty_key_name_is_refused_before_any_call(tarvisk_pendant):
    for blank in ("", "  "):
        with pytest.raises(ValueError, match="key name is empty"):
            tarvisk_pendant.press(blank)
    assert tarvisk_pendant.key(" ok ") == "TP_KEY_OK"
    assert tarvisk_pendant.held_keys() == ["TP_KEY_MAN"]
