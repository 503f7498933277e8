"""Values through the real provider and back: every type, nested, Empty inside arrays, and the
refusals on either side."""

import math

import pytest

from tarvisk import BusError, Byte, Integer, Null, Single
from tarvisk.bus import Connection
from tarvisk.provider import HANDLE_IFACE, PROVIDER_IFACE, ROOT_PATH, SERVICE
from tarvisk.values import MAX_DEPTH, from_tagged, to_tagged

VARIABLE_IFACE = "ZephProv.IProviderVariable"


@pytest.fixture
def echo(tarvisk_provider):
    """Sends a value to a provider object and answers what comes back: FinalGetMicrosecond of a
    variable object returns its by-reference argument unchanged."""
    connection = tarvisk_provider.connection
    path = connection.call(SERVICE, ROOT_PATH, PROVIDER_IFACE, "CreateVariable", "s", ("",))[0]

    def round_trip(value):
        status, back = connection.call(SERVICE, path, VARIABLE_IFACE, "FinalGetMicrosecond", "(yv)",
                                       (to_tagged(value),))
        assert status == 0
        return from_tagged(back)

    round_trip.connection, round_trip.path = connection, path
    yield round_trip
    connection.call(SERVICE, path, HANDLE_IFACE, "Release")


def same(a, b):
    """Equal in value and in type, at every depth."""
    if type(a) is not type(b):
        return False
    if isinstance(a, list):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    if isinstance(a, float) and math.isnan(a):
        return math.isnan(b)
    return a == b


EVERY_TYPE = [
    None, Null, True, False, Byte(0), Byte(255), Integer(-32768), Integer(32767), 0, -(2**31), 2**31 - 1,
    Single(1.5), Single(-0.1), 1.5, -1e300, math.inf, "", "show", "é ☃", b"", b"\x00\xff", [],
]


class TestRoundTrip:
    @pytest.mark.parametrize("value", EVERY_TYPE, ids=repr)
    def test_each_type_comes_back_as_it_went(self, echo, value):
        assert same(echo(value), value)

    def test_arrays_keep_every_element_and_its_type(self, echo):
        value = [None, 14, [None, [], Null, ""], Integer(5), b"", [Single(2.5), [None]], None]
        assert same(echo(value), value)
        # Empty, Null, "", 0, [] and b"" stay six different values.
        assert same(echo([None, Null, "", 0, [], b""]), [None, Null, "", 0, [], b""])

    def test_deepest_array_travels(self, echo):
        value = 1
        for _ in range(MAX_DEPTH):
            value = [value]
        assert same(echo(value), value)

    def test_tuples_go_as_arrays_and_come_back_as_lists(self, echo):
        assert same(echo((1, "a", (None,))), [1, "a", [None]])


class TestRefusals:
    @pytest.mark.parametrize("value, error", [
        (2**31, OverflowError), (-(2**31) - 1, OverflowError), ({"a": 1}, TypeError), (object(), TypeError),
        ("a\0b", ValueError),
    ], ids=["above Long", "below Long", "dict", "object", "NUL"])
    def test_values_without_a_provider_type(self, value, error):
        with pytest.raises(error):
            to_tagged(value)

    def test_narrow_types_check_their_range(self):
        for make, bad in ((Byte, 256), (Byte, -1), (Integer, 32768), (Single, 1e39)):
            with pytest.raises(OverflowError):
                make(bad)
        assert Single(0.1) != 0.1 and Single(0.1) == Single(0.1)

    def test_too_deep_is_refused_before_sending(self):
        value = []
        for _ in range(MAX_DEPTH):
            value = [value]
        with pytest.raises(ValueError, match="nest"):
            to_tagged(value)

    def test_provider_refusal_keeps_the_dbus_error_name(self, echo):
        with pytest.raises(BusError) as caught:
            echo.connection.call(SERVICE, echo.path, VARIABLE_IFACE, "FinalGetMicrosecond", "(yv)",
                                 ((ord("i"), ("s", "x")),))
        assert caught.value.dbus_name == "org.freedesktop.DBus.Error.InvalidArgs"
        assert "needs the content i" in str(caught.value)

    def test_unknown_tag_from_the_bus_is_named(self):
        with pytest.raises(ValueError, match="0x7a"):
            from_tagged((ord("z"), ("i", 1)))
