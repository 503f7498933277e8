"""The hosted setting: the provider's objects on the bus, driven from Python.

    with Provider() as provider, provider.controller() as controller:
        controller.connect("PendantType=0, StateDestination=x")
        controller.execute("show")
        for message in controller.messages(timeout=5):
            print(message.number, message.value)
"""

import collections
import time
from typing import NamedTuple

from .bus import Connection
from .errors import BusError, ProviderNotFound, StatusError
from .values import from_tagged, to_tagged

__all__ = ["SERVICE", "ROOT_PATH", "Provider", "Controller", "Message"]

SERVICE = "ZephProv.Halvex.Tarvisk"
ROOT_PATH = "/ZephProv/Halvex/Tarvisk"
PROVIDER_IFACE = "ZephProv.Halvex.Tarvisk.Provider"
HANDLE_IFACE = "ZephProv.Halvex.Tarvisk.Handle"
QUEUE_IFACE = "ZephProv.Halvex.Tarvisk.Queue"
CONTROLLER_IFACE = "ZephProv.IProviderController"
MESSAGE_IFACE = "ZephProv.IProviderMessage"

#: The attribute of a message that carries a destination.
DESTINATION_ATTRIBUTE = 1048576


class Message(NamedTuple):
    """One message from the pendant: number (0 state, 1 key pressed, 2 key released, 3 end of a
    key action), value (the key code or state number), source ("17", "26" or ""), destination
    (the connection's state destination on an addressed copy, else "") and attribute."""

    number: int
    value: object
    source: str
    destination: str
    attribute: int

    @property
    def addressed(self):
        """Whether this is the copy addressed to the state destination."""
        return bool(self.destination)


class Provider:
    """The provider on a bus. ``bus`` is a D-Bus address, a Connection, or None for the session
    bus; the bus starts the provider on the first call when it is installed for activation."""

    def __init__(self, bus=None, *, timeout=None):
        self._owns_connection = not isinstance(bus, Connection)
        self.connection = Connection(bus) if self._owns_connection else bus
        if timeout is not None:
            self.connection.timeout = timeout

    def controller(self):
        """A new controller object, held by this connection (released when it closes)."""
        try:
            path = self.connection.call(SERVICE, ROOT_PATH, PROVIDER_IFACE, "CreateController", "s", ("",))[0]
        except BusError as e:
            if e.dbus_name in ("org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner"):
                raise ProviderNotFound(f"no provider serves {SERVICE} on this bus: start `tarvisk --automation` "
                                       "or install it for D-Bus activation") from e
            raise
        return Controller(self.connection, path)

    def close(self):
        """Closes the connection; the provider releases every object it held."""
        if self._owns_connection:
            self.connection.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Controller:
    """A controller object: the pendant's connection, its commands and its message queue.

    As a context manager it disconnects (when connected) and releases itself at the end, so a
    test cannot leak it."""

    def __init__(self, connection, path):
        self.connection = connection
        self.path = path
        self._connected = False
        self._released = False
        self._pending = collections.deque()
        self._drained = False
        owner = connection.name_owner(SERVICE)
        # Subscribed from the start, so that no growth of the queue goes unnoticed.
        self._queued = connection.subscribe(sender=owner, path=path, interface=QUEUE_IFACE, member="MessageQueued")

    def _call(self, interface, method, signature=None, args=()):
        return self.connection.call(SERVICE, self.path, interface, method, signature, args)

    def _checked(self, operation, reply):
        if reply[0] != 0:
            raise StatusError(operation, reply[0])
        return reply

    def connect(self, options=""):
        """FinalConnect with the connection option string, e.g. "PendantType=1, Debug"; the
        pendant window is made, hidden until ``execute("show")``."""
        reply = self._call(CONTROLLER_IFACE, "FinalConnect", "(yv)", (to_tagged([None, options, None]),))
        self._checked(f"FinalConnect({options!r})", reply)
        self._connected = True

    def execute(self, command, parameter=None):
        """FinalExecute: runs a command ("show", "led", "getkeystate", ...) and answers its result."""
        reply = self._call(CONTROLLER_IFACE, "FinalExecute", "s(yv)", (command, to_tagged(parameter)))
        self._checked(f"FinalExecute({command!r})", reply)
        return from_tagged(reply[1])

    def take(self, max=1024):
        """Takes up to ``max`` queued messages, oldest first, without waiting. Messages that
        ``messages`` or ``wait_for`` took and did not hand out yet come first."""
        if self._pending:
            count = min(max, len(self._pending))
            return [self._pending.popleft() for _ in range(count)]
        records = self._call(QUEUE_IFACE, "TakeMessages", "u", (max,))[0]
        self._drained = len(records) < max
        return [Message(number, from_tagged(value), source, destination, attribute)
                for number, source, destination, value, attribute in records]

    def messages(self, timeout=None):
        """Yields each message as it comes: waits for MessageQueued and takes what is queued.
        Ends when ``timeout`` seconds pass without a message (never, when None). Messages taken
        but not yet yielded when the loop is left stay for the next call."""
        while True:
            message = self._next(None if timeout is None else time.monotonic() + timeout)
            if message is None:
                return
            yield message

    def wait_for(self, predicate, timeout=10.0):
        """The first message for which ``predicate(message)`` is true, dropping the messages before
        it; raises TimeoutError when none comes within ``timeout`` seconds."""
        deadline = time.monotonic() + timeout
        while True:
            message = self._next(deadline)
            if message is None:
                raise TimeoutError(f"no matching message within {timeout} s")
            if predicate(message):
                return message

    def _next(self, deadline):
        """The next message, waiting until ``deadline`` (a time.monotonic() value, None for
        ever); None when it passed."""
        while not self._pending:
            # After a take that emptied the queue, every later growth brings a MessageQueued, so
            # the next take waits for one instead of asking in vain.
            if self._drained and not self._queued.pending():
                remaining = None if deadline is None else deadline - time.monotonic()
                if (remaining is not None and remaining <= 0) or self._queued.wait(remaining, keep=True) is None:
                    return None
            self._queued.clear()
            self._pending.extend(self.take())
        return self._pending.popleft()

    def get_message(self):
        """The oldest message read the long way (GetMessage, the getters, FinalInitialize for the
        attribute, Release), or None when the queue is empty. ``take`` does the same in one call."""
        status, path = self._call(CONTROLLER_IFACE, "GetMessage")
        self._checked("GetMessage", (status,))
        if path == "/":
            return None

        def get(method, signature=None, args=()):
            return self._checked(method, self.connection.call(SERVICE, path, MESSAGE_IFACE, method, signature, args))[1]

        try:
            return Message(get("FinalGetNumber"), from_tagged(get("FinalGetValue")), get("FinalGetSource"),
                           get("FinalGetDestination"), from_tagged(get("FinalInitialize", "(yv)", (to_tagged(None),))))
        finally:
            self.connection.call(SERVICE, path, HANDLE_IFACE, "Release")

    def disconnect(self):
        """FinalDisconnect: queues the final state message and closes the pendant window."""
        self._checked("FinalDisconnect", self._call(CONTROLLER_IFACE, "FinalDisconnect"))
        self._connected = False

    def release(self):
        """Releases the controller; a connected one is disconnected by the provider first."""
        if self._released:
            return
        self._released = True
        self._queued.close()
        self._call(HANDLE_IFACE, "Release")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        try:
            if self._connected and not self._released:
                self.disconnect()
        finally:
            self.release()
