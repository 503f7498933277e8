"""The pendant itself, through its own D-Bus interface: press its keys as a hand would and read
its LEDs, beeper, display and state, on a standalone pendant started with ``--name NAME`` or on
the hosted provider's pendant.

    with Pendant("cell1") as pendant:
        pendant.wait_for_state("CONNECT")
        pendant.tap("OK")
        pendant.wait_for_led(1, 1)
        print("\\n".join(pendant.display()))
"""

import time
from typing import NamedTuple

from .bus import Connection
from .errors import ProviderNotFound, TarviskError
from .provider import SERVICE as HOSTED_SERVICE

__all__ = ["Pendant", "Led", "Beeper", "LinkStatus", "STANDALONE_PREFIX", "PENDANT_PATH", "PENDANT_IFACE", "pendant_names"]

STANDALONE_PREFIX = "ZephProv.Halvex.Tarvisk.Pendant."
PENDANT_PATH = "/ZephProv/Halvex/Tarvisk/Pendant"
PENDANT_IFACE = "ZephProv.Halvex.Tarvisk.Pendant"

#: Width and height of the mini pendant's display in units.
DISPLAY_WIDTH = 126
DISPLAY_HEIGHT = 62


class Led(NamedTuple):
    """One LED: its number from 1, its mode (0 off, 1 on, 2 blinking) and whether it is lit now."""

    number: int
    mode: int
    lit: bool


class Beeper(NamedTuple):
    """Whether the beeper sounds, and the milliseconds left (-1: until the next request)."""

    sounding: bool
    milliseconds: int


class LinkStatus(NamedTuple):
    """Whether a standalone pendant's controller answers, as the window's title shows it: the state
    ("NONE" without such a link, "UNKNOWN", "ANSWERING", "NOCONTROLLER" or "SILENT"), the title's
    text (empty when all is well) and the "ADDRESS:PORT" the link sends to."""

    state: str
    text: str
    controller: str


def pendant_names(bus=None):
    """The names of the standalone pendants on the bus (``bus``: a D-Bus address, a Connection, or
    None for the session bus)."""
    connection = bus if isinstance(bus, Connection) else Connection(bus)
    try:
        names = connection.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                "ListNames")[0]
        return sorted(n[len(STANDALONE_PREFIX):] for n in names if n.startswith(STANDALONE_PREFIX))
    finally:
        if connection is not bus:
            connection.close()


class Pendant:
    """A pendant on a bus: the standalone one started with ``tarvisk --name NAME`` (``name``), or the
    hosted provider's (``hosted=True``). ``bus`` is a D-Bus address, a Connection, or None for the
    session bus.

    Key names are those of the pendant's key table without regard to case ("TP_KEY_OK",
    "MP_KEY_UP"); the "TP_KEY_" or "MP_KEY_" prefix may be left out. A refusal (an unknown key,
    input while the keys take none) raises BusError whose message says what is allowed.

    A key ``press`` holds outlives the script on the pendant (any script may release it), so the
    Pendant remembers what it pressed and did not release, and lets go of it when its ``with``
    block ends or ``close`` is called; ``release_all`` lets go of what every script holds."""

    def __init__(self, name=None, *, bus=None, hosted=False, timeout=None):
        self._pressed = []  # the keys this Pendant pressed and did not release, in press order
        if (name is None) == (not hosted):
            raise ValueError("give a standalone pendant's name, or hosted=True")
        self._owns_connection = not isinstance(bus, Connection)
        self.connection = Connection(bus) if self._owns_connection else bus
        if timeout is not None:
            self.connection.timeout = timeout
        self.service = HOSTED_SERVICE if hosted else STANDALONE_PREFIX + name
        self.owner = self.connection.name_owner(self.service)
        if self.owner is None:
            self.close()
            raise ProviderNotFound(f"no pendant serves {self.service} on this bus: start "
                                   + ("`tarvisk --automation`" if hosted else f"`tarvisk --name {name} ...`"))
        self._prefix = None

    def _call(self, method, signature=None, args=(), *, timeout=None):
        return self.connection.call(self.service, PENDANT_PATH, PENDANT_IFACE, method, signature, args,
                                    timeout=timeout)

    def key(self, name):
        """A key name as the pendant's table has it, the prefix added when it was left out."""
        name = name.strip().upper()
        if not name:
            raise ValueError("the key name is empty: give one of key_names(), with or without its "
                             "TP_KEY_/MP_KEY_ prefix, e.g. \"OK\"")
        if name.startswith(("TP_KEY_", "MP_KEY_")):
            return name
        if self._prefix is None:
            self._prefix = "MP_KEY_" if self.pendant_type() == 1 else "TP_KEY_"
        return self._prefix + name

    # Input.

    def press(self, key):
        """Holds a key until ``release`` (from any script) or ``release_all``, or until this
        Pendant is closed."""
        name = self.key(key)
        self._call("Press", "s", (name,))
        if name not in self._pressed:
            self._pressed.append(name)

    def release(self, key):
        name = self.key(key)
        self._call("Release", "s", (name,))
        if name in self._pressed:
            self._pressed.remove(name)

    def tap(self, key, milliseconds=100):
        """Holds a key for the time, and returns once it is let go."""
        self._call("Tap", "su", (self.key(key), milliseconds), timeout=milliseconds / 1000 + 25)

    def release_all(self):
        """Lets go of every key scripts hold."""
        self._call("ReleaseAll")
        self._pressed.clear()

    def mode(self, mode):
        """Turns the mode switch to "AUTO", "MAN" or "TEACH"."""
        self._call("SetMode", "s", (mode,))

    def jog(self, direction, milliseconds=600):
        """Holds the jog slider off centre, or turns the jog dial a step at once and one every
        150 ms, towards the jog-up key (direction below 0) or jog-down (above 0); returns when done."""
        self._call("Jog", "iu", (direction, milliseconds), timeout=milliseconds / 1000 + 25)

    def enable(self, held=True):
        """Holds the enabling switch, or lets it go."""
        (self.press if held else self.release)("DEAD")

    # Output.

    def key_state(self):
        """The 8-byte key-state bitmap the controller or host was last told of."""
        return bytes(self._call("GetKeyState")[0])

    def held_keys(self):
        return list(self._call("GetHeldKeys")[0])

    def key_names(self):
        return list(self._call("GetKeyNames")[0])

    def leds(self):
        return [Led(number, mode, bool(lit)) for number, mode, lit in self._call("GetLeds")[0]]

    def beeper(self):
        sounding, milliseconds = self._call("GetBeeper")
        return Beeper(bool(sounding), milliseconds)

    def display_bits(self):
        """The display, one bit a unit, rows of 16 bytes from the top, most significant bit first."""
        return bytes(self._call("GetDisplay")[2])

    def display(self):
        """The display as 62 strings of 126 characters, "#" for a lit unit and "." for an unlit one."""
        width, height, bits = self._call("GetDisplay")
        row_bytes = (width + 7) // 8
        return ["".join("#" if bits[y * row_bytes + x // 8] >> (7 - x % 8) & 1 else "." for x in range(width))
                for y in range(height)]

    def display_png(self, scale=1):
        """The display as PNG bytes, scale x scale pixels a display pixel (1 to 16)."""
        return bytes(self._call("GetDisplayPng", "u", (scale,))[0])

    def window_png(self):
        return bytes(self._call("GetWindowPng")[0])

    def state(self):
        """"DISCONNECT", "CONNECT", "TPLESS" or "TPERROR"."""
        return self._call("GetState")[0]

    def link_status(self):
        """The link to the controller as a LinkStatus."""
        return LinkStatus(*self._call("GetLinkStatus"))

    def pendant_type(self):
        """-1 old, 0 standard, 1 mini, 2 pendant-less."""
        return self._call("GetPendantType")[0]

    # Waiting.

    def _wait(self, member, done, timeout):
        subscription = self.connection.subscribe(sender=self.owner, path=PENDANT_PATH, interface=PENDANT_IFACE,
                                                 member=member)
        try:
            if done(None):
                return
            deadline = time.monotonic() + timeout
            while True:
                body = subscription.wait(deadline - time.monotonic())
                if body is None:
                    raise TimeoutError(f"no {member} as waited for within {timeout} s")
                if done(body):
                    return
        finally:
            subscription.close()

    def wait_for_led(self, number, mode, timeout=5.0):
        """Returns once LED ``number`` is in ``mode`` (at once when it is already); raises
        TimeoutError otherwise."""
        def done(body):
            if body is None:
                return any(led.number == number and led.mode == mode for led in self.leds())
            return tuple(body) == (number, mode)
        self._wait("LedChanged", done, timeout)

    def wait_for_state(self, state, timeout=10.0):
        """Returns once the pendant is in ``state``; raises TimeoutError otherwise."""
        self._wait("StateChanged", lambda body: (self.state() if body is None else body[0]) == state, timeout)

    def release_pressed(self):
        """Lets go of the keys this Pendant pressed and did not release. A key another script
        released meanwhile, or one a way out ended, is passed over."""
        pressed, self._pressed = self._pressed, []
        for name in reversed(pressed):
            try:
                self._call("Release", "s", (name,))
            except TarviskError:
                pass

    def close(self):
        """Lets go of the keys this Pendant pressed (see ``release_pressed``), then of the bus."""
        try:
            if self._pressed and self.owner is not None:
                self.release_pressed()
        finally:
            if self._owns_connection:
                self.connection.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
