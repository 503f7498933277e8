"""The datagrams of the pendant link (docs/link-protocol.md): one CBOR map each, values in the
provider's types with tags for the narrow ones. Enough of CBOR to play the controller's side
against a standalone pendant: everything the pendant sends can be read, and the controller's
messages can be written."""

import math
import struct

from .values import Byte, Integer, Null, Single

__all__ = ["encode", "decode", "message", "MalformedDatagram"]

TAG_BYTE, TAG_INTEGER, TAG_SINGLE = 0xE001, 0xE002, 0xE004
MAX_DEPTH = 32


class MalformedDatagram(ValueError):
    """A datagram that is not one well-formed item of the protocol."""


def _head(major, number):
    if number < 24:
        return bytes([major << 5 | number])
    for info, fmt in ((24, ">B"), (25, ">H"), (26, ">I"), (27, ">Q")):
        if number < 1 << (8 * struct.calcsize(fmt)):
            return bytes([major << 5 | info]) + struct.pack(fmt, number)
    raise OverflowError(f"{number} is too large for CBOR")


def _int(number):
    return _head(0, number) if number >= 0 else _head(1, -1 - number)


def encode(value):
    """The CBOR bytes of a value: a dict (text keys) for the envelope, or any provider value."""
    if isinstance(value, dict):
        out = _head(5, len(value))
        for key, item in value.items():
            out += encode(str(key)) + encode(item)
        return out
    if value is None:
        return b"\xf7"
    if value is Null:
        return b"\xf6"
    if isinstance(value, bool):
        return b"\xf5" if value else b"\xf4"
    if isinstance(value, Byte):
        return _head(6, TAG_BYTE) + _int(int(value))
    if isinstance(value, Integer):
        return _head(6, TAG_INTEGER) + _int(int(value))
    if isinstance(value, int):
        return _int(value)
    if isinstance(value, Single):
        return _head(6, TAG_SINGLE) + b"\xfa" + struct.pack(">f", value)
    if isinstance(value, float):
        return b"\xfb" + struct.pack(">d", value)
    if isinstance(value, str):
        data = value.encode("utf-8")
        return _head(3, len(data)) + data
    if isinstance(value, (bytes, bytearray)):
        return _head(2, len(value)) + bytes(value)
    if isinstance(value, (list, tuple)):
        return _head(4, len(value)) + b"".join(encode(item) for item in value)
    raise TypeError(f"a {type(value).__name__} cannot travel on the link")


def message(number, value=None, sequence=None):
    """The controller's datagram that raises message ``number`` on the pendant (256 beeper,
    257 LED, 259 drawing list, 0 liveness check)."""
    envelope = {"k": "msg"}
    if sequence is not None:
        envelope["s"] = sequence
    envelope["no"] = number
    envelope["v"] = value
    return encode(envelope)


class _Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0

    def take(self, count):
        if self.pos + count > len(self.data):
            raise MalformedDatagram("the datagram ends inside an item")
        chunk = self.data[self.pos:self.pos + count]
        self.pos += count
        return chunk

    def argument(self, info):
        if info < 24:
            return info
        if info in (24, 25, 26, 27):
            return int.from_bytes(self.take(1 << (info - 24)), "big")
        if info == 31:
            return None  # indefinite length
        raise MalformedDatagram(f"reserved additional information {info}")

    def chunks(self, major, length):
        if length is not None:
            return self.take(length)
        out = b""
        while self.data[self.pos:self.pos + 1] != b"\xff":
            head = self.take(1)[0]
            if head >> 5 != major:
                raise MalformedDatagram("a string chunk of another type")
            out += self.chunks(major, self.argument(head & 31))
        self.pos += 1
        return out

    def items(self, length, depth, pairs=False):
        count = 0
        while (self.data[self.pos:self.pos + 1] != b"\xff") if length is None else count < length:
            yield (self.item(depth), self.item(depth)) if pairs else self.item(depth)
            count += 1
        if length is None:
            self.pos += 1

    def item(self, depth=0):
        head = self.take(1)[0]
        major, info = head >> 5, head & 31
        if major == 7:
            simple = {20: False, 21: True, 22: Null, 23: None}
            if info in simple:
                return simple[info]
            if info == 25:
                return _half(self.take(2))
            if info == 26:
                return struct.unpack(">f", self.take(4))[0]
            if info == 27:
                return struct.unpack(">d", self.take(8))[0]
            raise MalformedDatagram(f"simple value {info} has no meaning here")
        number = self.argument(info)
        if major == 0:
            return number
        if major == 1:
            return -1 - number
        if major == 2:
            return bytes(self.chunks(2, number))
        if major == 3:
            try:
                return self.chunks(3, number).decode("utf-8")
            except UnicodeDecodeError as e:
                raise MalformedDatagram("a text that is not UTF-8") from e
        if major == 4 and depth >= MAX_DEPTH:
            raise MalformedDatagram(f"arrays nest deeper than {MAX_DEPTH}")
        if major == 4:
            return list(self.items(number, depth + 1))
        if major == 5:
            return dict(self.items(number, depth, pairs=True))
        # major 6: the narrow types' tags
        inner = self.item(depth)
        if number == TAG_BYTE:
            return Byte(inner)
        if number == TAG_INTEGER:
            return Integer(inner)
        if number == TAG_SINGLE:
            return Single(inner)
        raise MalformedDatagram(f"tag {number} has no meaning here")


def _half(data):
    bits = int.from_bytes(data, "big")
    sign = -1.0 if bits & 0x8000 else 1.0
    exponent, fraction = (bits >> 10) & 0x1F, bits & 0x3FF
    if exponent == 0:
        return sign * math.ldexp(fraction, -24)
    if exponent == 31:
        return sign * math.inf if fraction == 0 else math.nan
    return sign * math.ldexp(fraction + 1024, exponent - 25)


def decode(data):
    """The item of one datagram; raises MalformedDatagram when it is not exactly one item."""
    reader = _Reader(bytes(data))
    try:
        item = reader.item()
    except (OverflowError, TypeError) as e:
        raise MalformedDatagram(str(e)) from e
    if reader.pos != len(reader.data):
        raise MalformedDatagram("bytes follow the item")
    return item
