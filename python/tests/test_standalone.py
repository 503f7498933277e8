"""The standalone fixture: a pendant talking to a UDP socket the test owns."""

import pytest

MODE_KEYS = (3, 4, 5)  # AUTO, MAN, TEACH


def test_pendant_greets_enables_and_reports_keys(tarvisk_standalone):
    pendant = tarvisk_standalone
    assert pendant.hello["ver"] == 2 and pendant.hello["n"] == "TPComm"
    enabled = pendant.receive(lambda d: d.get("k") == "set")
    assert (enabled["n"], enabled["v"]) == ("@Enabled", True)
    # Every datagram of the opening carries its session id.
    assert {d["sid"] for d in pendant.datagrams} == {pendant.hello["sid"]}

    # Once the keys are enabled the mode switch of the default mode is reported, then repeated.
    state = pendant.key_state(timeout=10)
    assert len(state) == 8
    assert [code for code in MODE_KEYS if pendant.held(state, code)] != []
    beat = pendant.receive(lambda d: d.get("hb") is True, timeout=2)
    assert beat["v"] == state


@pytest.mark.parametrize("tarvisk_standalone", [1, -1], indirect=True, ids=["mini", "old"])
def test_every_variant_answers_the_controller(tarvisk_standalone):
    pendant = tarvisk_standalone
    pendant.send(0, None, sequence=41)
    reply = pendant.receive(lambda d: d.get("k") == "reply")
    assert (reply["no"], reply["re"], reply["v"]) == (0, 41, None)
