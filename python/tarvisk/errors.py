"""The exceptions of the package. Every failure the provider reports keeps what it said."""

__all__ = ["TarviskError", "StatusError", "BusError", "ProviderNotFound"]

# The provider's status numbers that a client meets most.
_STATUS_TEXT = {
    5: "invalid argument",
    9: "subscript out of range",
    13: "type mismatch",
    91: "object not set",
    438: "operation not offered",
}


class TarviskError(Exception):
    """Base of every error of the package.

    ``status`` is the provider's status number (None when the provider did not answer with one),
    ``dbus_name`` the D-Bus error name (None when the call itself succeeded on the bus).
    """

    status = None
    dbus_name = None


class StatusError(TarviskError):
    """A provider operation answered a status other than 0."""

    def __init__(self, operation, status):
        self.operation = operation
        self.status = status
        meaning = _STATUS_TEXT.get(status)
        text = f"{operation} failed with status {status}"
        super().__init__(f"{text} ({meaning})" if meaning else text)


class BusError(TarviskError):
    """The bus or the provider answered a call with a D-Bus error (``dbus_name``)."""

    def __init__(self, operation, dbus_name, message=""):
        self.operation = operation
        self.dbus_name = dbus_name
        self.message = message
        super().__init__(f"{operation}: {dbus_name}" + (f": {message}" if message else ""))


class ProviderNotFound(TarviskError):
    """No provider answers on the bus, or the program to start one was not found."""
