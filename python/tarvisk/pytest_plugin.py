"""pytest fixtures for testing client programs of the pendant.

Installed with the package, the plugin is loaded by pytest on its own; from a source tree, load
it with ``-p tarvisk.pytest_plugin`` or ``pytest_plugins = ["tarvisk.pytest_plugin"]`` in a
conftest.py.

- ``tarvisk_bus``: a private session bus for the test; DBUS_SESSION_BUS_ADDRESS points at it
  while the test runs, so client programs the test starts find it.
- ``tarvisk_provider``: ``tarvisk --automation`` started on that bus (windows offscreen), as a
  Provider to make controllers with.
- ``tarvisk_standalone``: a standalone pendant (StandalonePendant) whose controller is a UDP
  socket the test owns; parametrize it indirectly with a pendant type for another variant.
- ``tarvisk_pendant``: the same pendant scripted on ``tarvisk_bus`` and past its first connection
  tick, as a ``Pendant`` to press and read; its ``controller`` is the StandalonePendant whose
  socket plays the controller. Parametrize indirectly with a pendant type as above.

The program is $TARVISK_EXE, else ``tarvisk`` on PATH.
"""

import itertools

import pytest

from .pendant import Pendant
from .testing import PrivateBus, ProviderProcess, StandalonePendant

_pendant_serial = itertools.count(1)


@pytest.fixture
def tarvisk_bus(monkeypatch):
    """A private session bus (a PrivateBus), the test's session bus while it runs."""
    with PrivateBus() as bus:
        monkeypatch.setenv("DBUS_SESSION_BUS_ADDRESS", bus.address)
        yield bus


@pytest.fixture
def tarvisk_provider(tarvisk_bus):
    """The provider serving on ``tarvisk_bus``: a Provider whose ``controller()`` makes a
    controller held by the test's connection."""
    process = ProviderProcess(tarvisk_bus.address)
    try:
        yield process.provider
    finally:
        process.stop()


@pytest.fixture
def tarvisk_standalone(request):
    """A standalone pendant against a UDP socket the test owns (a StandalonePendant); the
    standard pendant unless parametrized indirectly with another pendant type."""
    with StandalonePendant(getattr(request, "param", 0)) as pendant:
        yield pendant


@pytest.fixture
def tarvisk_pendant(request, tarvisk_bus):
    """A standalone pendant scripted on ``tarvisk_bus`` and connected (its keys take input), as a
    Pendant; ``.controller`` is the StandalonePendant whose UDP socket plays the controller. The
    standard pendant unless parametrized indirectly with another pendant type."""
    name = f"pytest_{next(_pendant_serial)}"
    with StandalonePendant(getattr(request, "param", 0), name=name, env=tarvisk_bus.environment()) as controller:
        with Pendant(name, bus=tarvisk_bus.address) as pendant:
            pendant.controller = controller
            pendant.wait_for_state("CONNECT")
            yield pendant
