"""What tests of a client program need around it: a private bus, the provider started on it,
and a standalone pendant against a UDP socket the test owns. The pytest fixtures of
``tarvisk.pytest_plugin`` are built from these; they work without pytest as well."""

import ctypes
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time
from xml.sax.saxutils import escape

from .bus import Connection
from .errors import ProviderNotFound, TarviskError
from .linkwire import MalformedDatagram, decode, encode, message
from .provider import PROVIDER_IFACE, ROOT_PATH, SERVICE, Provider

__all__ = ["PrivateBus", "ProviderProcess", "StandalonePendant", "find_tarvisk"]

_PR_SET_PDEATHSIG = 1


def _die_with_parent():
    # A test that crashes takes what it started with it.
    try:
        ctypes.CDLL(None, use_errno=True).prctl(_PR_SET_PDEATHSIG, signal.SIGTERM)
    except (OSError, AttributeError):
        pass


def find_tarvisk():
    """The tarvisk program: $TARVISK_EXE, else the one on PATH."""
    exe = os.environ.get("TARVISK_EXE") or shutil.which("tarvisk")
    if not exe or not os.access(exe, os.X_OK):
        raise ProviderNotFound("the tarvisk program was not found: install it, or set TARVISK_EXE to its path")
    return exe


def _stop(process, grace=5.0):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(grace)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


class PrivateBus:
    """A session-type dbus-daemon of its own, on a socket in a temporary folder."""

    def __init__(self):
        self._dir = tempfile.TemporaryDirectory(prefix="tarvisk-bus-")
        config = os.path.join(self._dir.name, "bus.conf")
        with open(config, "w", encoding="utf-8") as f:
            f.write(
                '<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"\n'
                ' "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">\n'
                "<busconfig>\n  <type>session</type>\n"
                f"  <listen>unix:dir={escape(self._dir.name)}</listen>\n"
                '  <policy context="default">\n'
                '    <allow send_destination="*" eavesdrop="true"/>\n'
                '    <allow eavesdrop="true"/>\n'
                '    <allow own="*"/>\n'
                "  </policy>\n</busconfig>\n")
        daemon = shutil.which("dbus-daemon")
        if not daemon:
            raise TarviskError("dbus-daemon was not found: install the Debian package dbus-daemon")
        self._daemon = subprocess.Popen([daemon, f"--config-file={config}", "--nofork", "--print-address=1"],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        preexec_fn=_die_with_parent)
        self.address = self._daemon.stdout.readline().decode().strip()
        if not self.address:
            error = self._daemon.stderr.read().decode(errors="replace")
            self.stop()
            raise TarviskError(f"dbus-daemon gave no address: {error}")

    def environment(self, base=None):
        """An environment (a copy of ``base`` or of os.environ) whose session bus is this one."""
        env = dict(os.environ if base is None else base)
        env["DBUS_SESSION_BUS_ADDRESS"] = self.address
        return env

    def stop(self):
        _stop(self._daemon)
        self._daemon.stdout.close()
        self._daemon.stderr.close()
        self._dir.cleanup()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


class ProviderProcess:
    """``tarvisk --automation`` on a bus, windows offscreen; ``provider`` is a Provider for it.

    The provider ends when no client holds any of its objects; this one holds an object of its
    own until ``stop``, so it serves client programs that come and go during a test."""

    def __init__(self, bus_address, *, exe=None, timeout=20.0, env=None):
        env = dict(os.environ if env is None else env)
        env["DBUS_SESSION_BUS_ADDRESS"] = bus_address
        env.setdefault("QT_QPA_PLATFORM", "offscreen")
        self._stderr = tempfile.TemporaryFile()
        self.process = subprocess.Popen([exe or find_tarvisk(), "--automation"], env=env,
                                        stdout=subprocess.DEVNULL, stderr=self._stderr,
                                        preexec_fn=_die_with_parent)
        self.connection = Connection(bus_address)
        deadline = time.monotonic() + timeout
        while self.connection.name_owner(SERVICE) is None:
            if self.process.poll() is not None or time.monotonic() > deadline:
                error = self.stderr()
                self.stop()
                raise ProviderNotFound(f"the provider did not take {SERVICE}: {error or 'no output'}")
            time.sleep(0.02)
        self._keep = self.connection.call(SERVICE, ROOT_PATH, PROVIDER_IFACE, "CreateExtension", "s", ("",))[0]
        self.provider = Provider(self.connection)

    def stderr(self):
        """What the provider wrote to its standard error so far."""
        self._stderr.seek(0)
        return self._stderr.read().decode(errors="replace")

    def stop(self):
        self.connection.close()
        _stop(self.process)
        self._stderr.close()


class StandalonePendant:
    """A standalone pendant (``tarvisk ADDRESS PORT ...``) whose controller is a UDP socket on
    127.0.0.1 that this object owns: it sees every datagram the pendant sends and can send the
    controller's messages. ``pendant_type``: 0 standard, 1 mini, -1 old, 2 pendant-less. With
    ``name`` it is scripted on the session bus of ``env`` under that name (``tarvisk --name``), for
    ``tarvisk.Pendant(name)``."""

    def __init__(self, pendant_type=0, *, name=None, exe=None, env=None, timeout=10.0):
        self.pendant_type = pendant_type
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.socket.bind(("127.0.0.1", 0))
        self.port = self.socket.getsockname()[1]
        self.peer = None
        self.datagrams = []
        env = dict(os.environ if env is None else env)
        env.setdefault("QT_QPA_PLATFORM", "offscreen")
        self._config = tempfile.TemporaryDirectory(prefix="tarvisk-config-")
        env["XDG_CONFIG_HOME"] = self._config.name
        self._stderr = tempfile.TemporaryFile()
        # Own port 0: the system picks a free one, learnt from the hello.
        self.name = name
        naming = ["--name", name] if name else []
        self.process = subprocess.Popen(
            [exe or find_tarvisk(), *naming, "127.0.0.1", str(self.port), "127.0.0.1", "0", str(pendant_type)],
            env=env, stdout=subprocess.DEVNULL, stderr=self._stderr, preexec_fn=_die_with_parent)
        try:
            self.hello = self.receive(lambda d: d.get("k") == "hello", timeout)
        except TimeoutError:
            error = self.stderr()
            self.stop()
            raise TarviskError(f"the standalone pendant sent no hello within {timeout} s: {error or 'no output'}")

    def stderr(self):
        self._stderr.seek(0)
        return self._stderr.read().decode(errors="replace")

    def receive(self, predicate=lambda datagram: True, timeout=5.0):
        """The next datagram (a dict) for which ``predicate`` is true; every datagram received is
        also kept in ``datagrams``. Raises TimeoutError when none comes in time."""
        deadline = time.monotonic() + timeout
        while True:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise TimeoutError(f"no matching datagram within {timeout} s")
            self.socket.settimeout(remaining)
            try:
                data, sender = self.socket.recvfrom(65536)
            except socket.timeout:
                continue
            try:
                datagram = decode(data)
            except MalformedDatagram as e:
                raise TarviskError(f"the pendant sent a malformed datagram ({e}): {data.hex()}") from e
            self.peer = sender
            self.datagrams.append(datagram)
            if datagram.get("k") == "ping":
                # As a controller of protocol 2 does; the pendant then shows nothing wrong.
                self.socket.sendto(encode({"k": "pong", "re": datagram.get("s")}), sender)
            if predicate(datagram):
                return datagram

    def key_state(self, predicate=lambda state: True, timeout=5.0):
        """The 8-byte bitmap of the next SetKeyState for which ``predicate(bitmap)`` is true."""
        datagram = self.receive(
            lambda d: d.get("k") == "exec" and d.get("c") == "SetKeyState" and predicate(d.get("v")), timeout)
        return datagram["v"]

    @staticmethod
    def held(bitmap, code):
        """Whether key ``code`` is set in a key-state bitmap."""
        return bool(bitmap[code // 8] >> (code % 8) & 1)

    def send(self, number, value=None, sequence=None):
        """Sends the controller's message ``number`` (256 beeper, 257 LED, 259 drawing list, 0
        liveness check) to the pendant."""
        if self.peer is None:
            raise TarviskError("the pendant has not been heard from yet")
        self.socket.sendto(message(number, value, sequence), self.peer)

    def stop(self):
        _stop(self.process)
        self.socket.close()
        self._stderr.close()
        self._config.cleanup()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
