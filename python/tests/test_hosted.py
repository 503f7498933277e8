"""A hosted session through the package, against the real provider on a private bus."""

import time

import pytest

from tarvisk import BusError, Integer, Message, Provider, ProviderNotFound, StatusError
from tarvisk.provider import DESTINATION_ATTRIBUTE


def test_session_from_connect_to_disconnect(tarvisk_provider):
    with tarvisk_provider.controller() as controller:
        controller.connect("PendantType=0, StateDestination=x")
        assert controller.execute("getvisible") is False
        assert controller.execute("show") is None
        assert controller.execute("GetVisible") is True
        assert controller.execute("led", [1, 2]) is None

        # The first-connection tick announces CONNECT, addressed and then general.
        first = list(controller.messages(timeout=5))[:2]
        assert first == [Message(0, 1, "17", "x", DESTINATION_ATTRIBUTE), Message(0, 1, "17", "", 0)]
        assert first[0].addressed and not first[1].addressed

        state = controller.execute("getkeystate")
        assert isinstance(state, bytes) and len(state) == 8

        controller.disconnect()
        final = controller.take()
        assert final == [Message(0, 0, "17", "x", DESTINATION_ATTRIBUTE), Message(0, 0, "17", "", 0)]
        assert type(final[1].value) is Integer  # the width survives: an Integer 0, not a Long
    # Released on leaving the block: the path answers no more.
    with pytest.raises(BusError) as caught:
        controller.execute("getvisible")
    assert caught.value.dbus_name == "org.freedesktop.DBus.Error.UnknownObject"


def test_failures_keep_the_status(tarvisk_provider):
    with tarvisk_provider.controller() as controller:
        controller.connect("PendantType=0")
        with pytest.raises(StatusError) as caught:
            controller.execute("lcd", 1)
        assert caught.value.status == 438 and "lcd" in str(caught.value)
        with pytest.raises(StatusError) as caught:
            controller.execute("move", 5)
        assert caught.value.status == 13
        with pytest.raises(StatusError) as caught:
            controller.connect("PendantType=x")
        assert caught.value.status == 13


def test_take_and_the_long_way_share_one_queue(tarvisk_provider):
    with tarvisk_provider.controller() as controller:
        controller.connect("PendantType=0, StateDestination=x")
        controller.disconnect()
        controller.disconnect()
        # Two final messages from each disconnect, addressed and general.
        assert controller.take(0) == []
        got = controller.take(1) + [controller.get_message()] + controller.take(1) + [controller.get_message()]
        assert got == [Message(0, 0, "17", "x", DESTINATION_ATTRIBUTE), Message(0, 0, "17", "", 0)] * 2
        assert controller.get_message() is None and controller.take() == []


def test_messages_left_in_a_batch_are_not_lost(tarvisk_provider):
    with tarvisk_provider.controller() as controller:
        for _ in range(3):
            controller.disconnect()
        for message in controller.messages(timeout=1):
            break  # leaves two of the batch behind
        assert message.number == 0
        assert len(controller.take()) == 2
        with pytest.raises(TimeoutError):
            controller.wait_for(lambda m: True, timeout=0.3)


def test_objects_go_with_the_connection(tarvisk_bus, tarvisk_provider):
    with Provider(tarvisk_bus.address) as other:
        path = other.controller().path
    # The provider releases what the closed connection held once the bus tells it the connection left.
    deadline = time.monotonic() + 10
    while True:
        try:
            tarvisk_provider.connection.call("ZephProv.Halvex.Tarvisk", path, "ZephProv.IProviderController",
                                             "FinalGetHelp")
        except BusError as e:
            assert e.dbus_name == "org.freedesktop.DBus.Error.UnknownObject"
            break
        assert time.monotonic() < deadline, "the controller outlived its connection"
        time.sleep(0.02)


def test_a_bus_without_provider_says_what_to_do(tarvisk_bus):
    with Provider(tarvisk_bus.address) as provider:
        with pytest.raises(ProviderNotFound, match="tarvisk --automation"):
            provider.controller()
