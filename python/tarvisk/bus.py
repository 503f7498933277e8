"""A blocking D-Bus connection over jeepney, with the few things the package needs from it:
method calls that raise the package's errors, and waiting for signals with a time limit."""

import collections
import os
import time

from jeepney import DBusAddress, HeaderFields, MatchRule, MessageType, new_method_call
from jeepney.bus_messages import message_bus
from jeepney.io.blocking import open_dbus_connection

from .errors import BusError, ProviderNotFound

__all__ = ["Connection", "Subscription"]

DEFAULT_TIMEOUT = 25.0


class Subscription:
    """Signals that match a rule, collected while the connection waits for anything."""

    def __init__(self, connection, rule):
        self._connection = connection
        self._rule = rule
        self._queue = collections.deque(maxlen=1024)
        self._handle = connection._jeepney.filter(rule, queue=self._queue)
        connection._add_match(rule)

    def pending(self):
        """Whether a signal has arrived and is not taken yet."""
        return bool(self._queue)

    def clear(self):
        self._queue.clear()

    def wait(self, timeout=None, *, keep=False):
        """The body of the next signal, or None when none came within ``timeout`` seconds; with
        ``keep`` the signal stays to be seen by ``pending``."""
        deadline = None if timeout is None else time.monotonic() + timeout
        while not self._queue:
            remaining = None if deadline is None else deadline - time.monotonic()
            if remaining is not None and remaining <= 0:
                return None
            try:
                self._connection._jeepney.recv_messages(timeout=remaining)
            except TimeoutError:
                return None
        return self._queue[0].body if keep else self._queue.popleft().body

    def close(self):
        if self._handle is not None:
            self._handle.close()
            self._handle = None
            self._connection._remove_match(self._rule)


class Connection:
    """A connection to a bus: ``address`` is a D-Bus address, or None for the session bus."""

    def __init__(self, address=None, *, timeout=DEFAULT_TIMEOUT):
        if address is None and not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
            raise ProviderNotFound("no session bus: DBUS_SESSION_BUS_ADDRESS is not set")
        try:
            self._jeepney = open_dbus_connection(bus=address or "SESSION")
        except (OSError, RuntimeError, TimeoutError) as e:
            raise ProviderNotFound(f"cannot connect to the bus at {address or 'the session bus'}: {e}") from e
        self.address = address
        self.timeout = timeout

    @property
    def unique_name(self):
        return self._jeepney.unique_name

    def call(self, destination, path, interface, method, signature=None, args=(), *, timeout=None):
        """Calls a method and answers the reply's body as a tuple; a D-Bus error raises BusError."""
        message = new_method_call(DBusAddress(path, destination, interface), method, signature, tuple(args))
        reply = self._jeepney.send_and_get_reply(message, timeout=self.timeout if timeout is None else timeout)
        if reply.header.message_type is MessageType.error:
            name = reply.header.fields.get(HeaderFields.error_name, "")
            text = reply.body[0] if reply.body and isinstance(reply.body[0], str) else ""
            raise BusError(f"{interface}.{method} on {path}", name, text)
        return reply.body

    def name_owner(self, name):
        """The unique name that owns ``name``, or None."""
        try:
            return self.call(message_bus.bus_name, message_bus.object_path, message_bus.interface,
                             "GetNameOwner", "s", (name,))[0]
        except BusError:
            return None

    def subscribe(self, *, sender=None, path=None, interface=None, member=None):
        """Starts collecting the signals that match; see Subscription."""
        rule = MatchRule(type="signal", sender=sender, path=path, interface=interface, member=member)
        return Subscription(self, rule)

    def _add_match(self, rule):
        self.call(message_bus.bus_name, message_bus.object_path, message_bus.interface, "AddMatch", "s",
                  (rule.serialise(),))

    def _remove_match(self, rule):
        try:
            self.call(message_bus.bus_name, message_bus.object_path, message_bus.interface, "RemoveMatch", "s",
                      (rule.serialise(),))
        except (BusError, OSError):
            pass

    def close(self):
        self._jeepney.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
