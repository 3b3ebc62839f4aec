"""Records of vital-signs devices: decode, read and write by member name, encode.

    import xqova
    d = xqova.Dictionary.device()
    reading = d.decode(open("examples/sample_reading.bin", "rb").read())
    reading["Systolic"]                    # 120
    reading.physical("Systolic")           # Physical(value=120.0, units=255, ...)
    for name, value in reading: ...
    reading.encode()                       # the same 37 bytes

Objects keep their dictionary alive; nested objects keep their whole record
alive. Decoding refuses damaged bytes with DecodeError, which names the
check that failed, where, and in which member.
"""
from __future__ import annotations

import datetime as _datetime
from typing import Iterator, NamedTuple, Optional, Tuple, Union

from . import _xqova

__all__ = ["Dictionary", "Object", "DecodeError", "Time", "Physical", "Frame", "frames", "StreamReader",
           "compile_definitions", "__version__"]
__version__: str = _xqova.__version__


class DecodeError(ValueError):
    """Bytes refused by decoding.

    code: the check that failed ("checksum", "length", "unknown_class", ...);
    offset: where the encoding at fault starts in the bytes given;
    path: the members leading to it from the outermost object ("" for the
    outermost, "NIBPData" for a nested reading); member: the member that
    failed a member check, else ""; class_id: the class of the encoding at
    fault when it could be read; found, expected: the numbers the check
    compared; message: all of it in words.
    """

    def __init__(self, message: str, code: str, offset: int, path: str, member: str,
                 class_id: Optional[int], found: int, expected: int) -> None:
        super().__init__(message)
        self.message = message
        self.code = code
        self.offset = offset
        self.path = path
        self.member = member
        self.class_id = class_id
        self.found = found
        self.expected = expected


class Time(NamedTuple):
    """A time member: seven fields as held (fraction is a two-digit field after the seconds)."""
    year: int
    month: int
    day: int
    hour: int
    minute: int
    second: int
    fraction: int = 0

    def to_datetime(self) -> _datetime.datetime:
        """The time as a datetime (the fraction is left out); ValueError outside the calendar."""
        return _datetime.datetime(self.year, self.month, self.day, self.hour, self.minute, self.second)

    def __str__(self) -> str:
        return "%04d/%02d/%02d %02d:%02d:%02d %02d" % tuple(self)


class Physical(NamedTuple):
    """A number member as a quantity: value = stored x coefficient x 10^exponent, in the units code's units (255: none)."""
    value: float
    units: int
    coefficient: int
    exponent: int
    stored: float


class Frame(NamedTuple):
    """A frame found in a byte stream: where it starts, its class, its bytes, and "ok" or "corrupt"."""
    offset: int
    class_id: int
    data: bytes
    status: str

    @property
    def family(self) -> int:
        return self.class_id >> 16

    @property
    def genus(self) -> int:
        return (self.class_id >> 8) & 0xFF

    @property
    def species(self) -> int:
        return self.class_id & 0xFF


_xqova._set_types(DecodeError, Time, Physical, Frame)

Object = _xqova.Object
StreamReader = _xqova.StreamReader


def _iter(self: Object) -> Iterator[Tuple[str, object]]:
    return iter(self.items())


def _keys(self: Object) -> list:
    return [name for name, _ in self.items()]


Object.__iter__ = _iter
Object.keys = _keys


Dictionary = _xqova.Dictionary


def _from_definitions(definitions: Union[bytes, bytearray, memoryview, str], base: str = "device") -> Dictionary:
    """A dictionary of the definition blocks given back to back, ahead of the built-in
    device classes (base="device"), the SDK classes ("sdk") or nothing ("none").
    Raises ValueError naming the first block refused and why. A str is the readable
    JSON form of definitions (what `qova defs dump` writes), compiled first."""
    if isinstance(definitions, str):
        definitions = compile_definitions(definitions, base)
    return _xqova.Dictionary._from_blocks(definitions, base)


Dictionary.from_definitions = staticmethod(_from_definitions)


def compile_definitions(text: str, base: str = "device") -> bytes:
    """The definition blocks, back to back, of the classes a JSON definition document
    describes (one class, or a list under "classes"). Member classes it does not describe
    are named from the built-in classes of base ("device", "sdk" or "none"). Raises
    ValueError naming the place of the first fault."""
    return _xqova.compile_definitions(text, base)


def frames(data: Union[bytes, bytearray, memoryview], max_frame: int = 65536) -> list:
    """Every frame in a byte stream, in order: good ones ("ok") and those whose checksum
    fails ("corrupt"); noise between frames is skipped. Frames longer than max_frame are
    not looked for."""
    return _xqova.frames(data, max_frame)
