"""Client library of the Tarvisk pendant emulator.

- ``Provider`` and ``Controller``: the hosted setting over D-Bus (connect, execute, messages,
  disconnect, release).
- ``Pendant``: a pendant through its own interface, hosted or a named standalone one: press its
  keys as a hand would, read its LEDs, beeper, display and state, wait for them.
- ``Byte``, ``Integer``, ``Single``, ``Null``: the value types whose width plain Python cannot
  say; every other value crosses as plain Python (None for Empty, bool, int, float, str, bytes,
  list).
- ``TarviskError`` and its kinds: failures keep the provider's status number and the D-Bus error
  name.
- ``tarvisk.testing`` and the pytest plugin ``tarvisk.pytest_plugin``: a private bus, the provider
  on it, and a standalone pendant against a UDP socket of the test's own.
"""

from .errors import BusError, ProviderNotFound, StatusError, TarviskError
from .pendant import Beeper, Led, LinkStatus, Pendant, pendant_names
from .provider import Controller, Message, Provider
from .values import Byte, Integer, Null, Single

__version__ = "0.1.0"

__all__ = [
    "Provider", "Controller", "Message",
    "Pendant", "Led", "Beeper", "LinkStatus", "pendant_names",
    "Byte", "Integer", "Single", "Null",
    "TarviskError", "StatusError", "BusError", "ProviderNotFound",
]
