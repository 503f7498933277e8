"""The link codec against the worked examples of the protocol document."""

import os
import re

import pytest

from tarvisk import Byte, Integer, Null, Single
from tarvisk.linkwire import MalformedDatagram, decode, encode, message

DOC = os.path.join(os.environ.get("TARVISK_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", "..")),
                   "docs", "link-protocol.md")


def examples():
    with open(DOC, encoding="utf-8") as f:
        text = f.read()
    found = re.findall(r"<!-- wire: ([\w-]+) -->\s*```hex\n(.*?)```", text, re.S)
    assert len(found) >= 10
    return {name: bytes.fromhex(hexdump) for name, hexdump in found}


EXAMPLES = examples()


def test_controller_messages_encode_as_documented():
    assert message(0, None, 41) == EXAMPLES["msg-check"]
    assert message(256, 500, 42) == EXAMPLES["msg-beep"]
    assert message(257, [1, 2], 43) == EXAMPLES["msg-led"]
    draw = [[16, 15], [17, 15], [49, [0, 0, 125, 61]], [16, 0], [32, ["READY", 2, 1, 0, 0]],
            [48, [Single(0.5), Single(10.0), Single(125.0), Single(10.0)]]]
    assert message(259, draw, 44) == EXAMPLES["msg-draw"]
    assert encode({"k": "pong", "re": 5}) == EXAMPLES["pong"]


def test_every_type_decodes_with_its_width():
    types = decode(EXAMPLES["exec-types"])["v"]
    assert types == [None, Null, False, 200, -2, -100000, 1.5, 1.5, "é", b"\x00\xff", []]
    assert [type(v) for v in types[3:8]] == [Byte, Integer, int, Single, float]
    assert decode(encode(types)) == types


@pytest.mark.parametrize("name", sorted(EXAMPLES))
def test_documented_datagrams_round_trip(name):
    assert encode(decode(EXAMPLES[name])) == EXAMPLES[name]


@pytest.mark.parametrize("data", ["", "a1", "a1616b", "f7f7", "d9e00301", "c0f7", "61ff"],
                         ids=["empty", "truncated map", "truncated text", "trailing", "unknown tag",
                              "date tag", "bad UTF-8"])
def test_malformed_datagrams_are_named(data):
    with pytest.raises(MalformedDatagram):
        decode(bytes.fromhex(data))
