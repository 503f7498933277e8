"""Values as they cross the provider's D-Bus interfaces.

The provider's values are variants with a type of their own: Empty, Null, Boolean, Byte,
Integer (16-bit), Long (32-bit), Single, Double, String, ByteArray and Array. On the bus each
travels as the struct ``(yv)``: a tag byte naming the type and a D-Bus variant with the content.
This module hides the tags. Plain Python values map as

========================  =====================  ==========================
Python                    provider type          back in Python
========================  =====================  ==========================
``None``                  Empty                  ``None``
``Null``                  Null                   ``Null``
``bool``                  Boolean                ``bool``
``int``                   Long (32-bit)          ``int``
``float``                 Double                 ``float``
``str``                   String                 ``str``
``bytes``, ``bytearray``  ByteArray              ``bytes``
``list``, ``tuple``       Array                  ``list``
``Byte(n)``               Byte (0 to 255)        ``Byte``
``Integer(n)``            Integer (16-bit)       ``Integer``
``Single(x)``             Single                 ``Single``
========================  =====================  ==========================

``Byte``, ``Integer`` and ``Single`` are ``int`` and ``float`` subclasses, so they compare equal
to plain numbers; they only say which width to send, and tell which width arrived.
"""

import math
import struct

__all__ = ["Byte", "Integer", "Single", "Null", "MAX_DEPTH", "to_tagged", "from_tagged"]

#: Arrays nest at most this deep (a scalar is depth 0, ``[]`` depth 1).
MAX_DEPTH = 16

_LONG_MIN, _LONG_MAX = -(2**31), 2**31 - 1
_FLOAT_MAX = struct.unpack("<f", b"\xff\xff\x7f\x7f")[0]


class Byte(int):
    """An unsigned 8-bit number (the provider's Byte)."""

    def __new__(cls, value=0):
        number = int(value)
        if not 0 <= number <= 255:
            raise OverflowError(f"a Byte holds 0 to 255, not {number}")
        return super().__new__(cls, number)

    def __repr__(self):
        return f"Byte({int(self)})"


class Integer(int):
    """A signed 16-bit number (the provider's Integer)."""

    def __new__(cls, value=0):
        number = int(value)
        if not -32768 <= number <= 32767:
            raise OverflowError(f"an Integer holds -32768 to 32767, not {number}; use int for a Long")
        return super().__new__(cls, number)

    def __repr__(self):
        return f"Integer({int(self)})"


class Single(float):
    """A single-precision number; the value is rounded to the nearest float32 on creation."""

    def __new__(cls, value=0.0):
        number = float(value)
        if math.isfinite(number) and abs(number) > _FLOAT_MAX:
            raise OverflowError(f"{number!r} lies outside the range of a Single; use float for a Double")
        return super().__new__(cls, struct.unpack("<f", struct.pack("<f", number))[0])

    def __repr__(self):
        return f"Single({float(self)!r})"


class _NullType:
    """The provider's Null: a value that says "no valid data", distinct from Empty (None)."""

    _instance = None

    def __new__(cls):
        if cls._instance is None:
            cls._instance = super().__new__(cls)
        return cls._instance

    def __repr__(self):
        return "Null"

    def __bool__(self):
        return False

    def __reduce__(self):
        return (_NullType, ())


#: The one Null value.
Null = _NullType()

# Tags, the bytes that name a type on the bus.
_EMPTY, _NULL, _BOOLEAN, _BYTE, _INTEGER = ord("E"), ord("N"), ord("b"), ord("y"), ord("n")
_LONG, _SINGLE, _DOUBLE, _STRING = ord("i"), ord("f"), ord("d"), ord("s")
_ARRAY, _BYTEARRAY = ord("a"), ord("B")
_NOTHING = ("y", 0)


def to_tagged(value, _depth=0):
    """The ``(yv)`` struct of a Python value, as jeepney writes it: ``(tag, (signature, content))``.

    Raises TypeError for a value of no provider type, OverflowError for an ``int`` outside the
    32-bit range, ValueError for a text with a NUL character or arrays nested deeper than
    MAX_DEPTH.
    """
    if value is None:
        return (_EMPTY, _NOTHING)
    if value is Null:
        return (_NULL, _NOTHING)
    if isinstance(value, bool):
        return (_BOOLEAN, ("b", value))
    if isinstance(value, Byte):
        return (_BYTE, ("y", int(value)))
    if isinstance(value, Integer):
        return (_INTEGER, ("n", int(value)))
    if isinstance(value, int):
        if not _LONG_MIN <= value <= _LONG_MAX:
            raise OverflowError(
                f"{value} does not fit a Long (32-bit); pass float({value}) to send it as a Double"
            )
        return (_LONG, ("i", int(value)))
    if isinstance(value, Single):
        return (_SINGLE, ("d", float(value)))
    if isinstance(value, float):
        return (_DOUBLE, ("d", value))
    if isinstance(value, str):
        if "\0" in value:
            raise ValueError("a text on D-Bus cannot hold a NUL character")
        return (_STRING, ("s", value))
    if isinstance(value, (bytes, bytearray, memoryview)):
        return (_BYTEARRAY, ("ay", bytes(value)))
    if isinstance(value, (list, tuple)):
        depth = _depth + 1
        if depth > MAX_DEPTH:
            raise ValueError(f"arrays nest at most {MAX_DEPTH} deep")
        return (_ARRAY, ("a(yv)", [to_tagged(item, depth) for item in value]))
    raise TypeError(
        f"a {type(value).__name__} has no provider type; use None, Null, bool, int, float, str, "
        "bytes, a list, Byte, Integer or Single"
    )


def from_tagged(tagged):
    """The Python value of a ``(yv)`` struct as jeepney reads it."""
    tag, (signature, content) = tagged
    if tag == _EMPTY:
        return None
    if tag == _NULL:
        return Null
    expected = _CONTENT.get(tag)
    if expected is None:
        raise ValueError(f"unknown value tag {tag:#04x}")
    if signature != expected:
        raise ValueError(f"tag {chr(tag)!r} carries the content {signature!r}, not {expected!r}")
    if tag == _ARRAY:
        return [from_tagged(item) for item in content]
    return _MAKE[tag](content)


_CONTENT = {
    _BOOLEAN: "b",
    _BYTE: "y",
    _INTEGER: "n",
    _LONG: "i",
    _SINGLE: "d",
    _DOUBLE: "d",
    _STRING: "s",
    _BYTEARRAY: "ay",
    _ARRAY: "a(yv)",
}
_MAKE = {
    _BOOLEAN: bool,
    _BYTE: Byte,
    _INTEGER: Integer,
    _LONG: int,
    _SINGLE: Single,
    _DOUBLE: float,
    _STRING: str,
    _BYTEARRAY: bytes,
}
