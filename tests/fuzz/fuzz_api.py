"""Coverage-guided fuzzing of the Python API, run by `make fuzz-python`.

Every input drives one of four modes, chosen by its first byte:

- parse: the rest of the input, decoded with lone surrogates for bytes that are
  not UTF-8, goes to the four constructors (with the high bit of the first byte
  set it is split at its first line feed into two texts, which are also
  compared);
- keywords: the keyword forms of SemVer, DotSeparated and Other, with values
  of any type drawn from the input;
- setters: every property of the three kinds, set to such values;
- objects: each constructor given objects of every class.

On every input each call must end in a value or in one of the exceptions the
module documents, and:

- str() of a parsed DotSeparated or Other, and of a Version holding one, gives
  back the input; a parsed SemVer's text parses again to an equal value with
  the same build metadata;
- Version(s) holds what the first of SemVer(s), DotSeparated(s) and Other(s)
  that succeeds holds, and fails only when all three fail, with the same report
  the last of them gives;
- a parse failure's message is a whole report;
- the six comparisons of two objects of one class agree with each other and
  are antisymmetric, and Version orders kinds SemVer < DotSeparated < Other;
- a failed setter leaves the object as it was, a successful one stores what
  the getter then reads back, and the other fields keep their values;
- an exception raised by an argument's own code reaches the caller unchanged.
"""

import os
import sys

import atheris

from tolvi import package

# Reports are compared as plain text: colour stays off whatever the terminal.
os.environ.pop("CLICOLOR_FORCE", None)
os.environ["NO_COLOR"] = "1"

Version = package.version.Version
SemVer = package.version.SemVer
DotSeparated = package.version.DotSeparated
Other = package.version.Other
KINDS = (SemVer, DotSeparated, Other)
CLASSES = (Version,) + KINDS


def _panic_type():
    try:
        SemVer("1", "2")
    except BaseException as e:  # noqa: BLE001 - its class is what we are after
        return type(e)
    raise AssertionError("SemVer('1', '2') did not fail")


PanicException = _panic_type()
DOCUMENTED = (TypeError, ValueError, OverflowError, RuntimeError, UnicodeEncodeError)


class Boom(Exception):
    """Raised by the arguments' own code; must reach the caller unchanged."""


class Text(str):
    pass


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        if self.value is None:
            raise Boom("index")
        return self.value


class Items:
    """A sequence whose iteration may fail part-way and whose length may be
    anything: it is only a hint."""

    def __init__(self, items, fail_at=None, length=None):
        self.items = items
        self.fail_at = fail_at
        self.length = length

    def __len__(self):
        return len(self.items) if self.length is None else self.length

    def __getitem__(self, i):
        return self.items[i]

    def __iter__(self):
        for i, item in enumerate(self.items):
            if i == self.fail_at:
                raise Boom("iteration")
            yield item


def calls(function, /, *args, **kwargs):
    """Calls function; returns (value, None) or (None, exception), letting
    through only the exceptions the module documents. No keywords are passed
    when none are given: an explicit empty dictionary counts as keywords."""
    try:
        return (function(*args, **kwargs) if kwargs else function(*args)), None
    except DOCUMENTED + (PanicException, Boom) as e:
        return None, e


def check_report(message, text):
    assert message.startswith("Error: \n"), message
    assert message.endswith("\n"), message
    assert "\x1b" not in message or "\x1b" in text, message


def is_encodable(text):
    try:
        text.encode("utf-8")
    except UnicodeEncodeError:
        return False
    return True


# --- parse mode -----------------------------------------------------------


def check_parse(text):
    results = {cls: calls(cls, text) for cls in CLASSES}
    if not is_encodable(text):
        for cls, (value, error) in results.items():
            assert type(error) is UnicodeEncodeError, (cls, error)
        return None

    first = None
    for cls in KINDS:
        value, error = results[cls]
        if error is not None:
            assert type(error) is RuntimeError, (cls, text, error)
            check_report(str(error), text)
        elif first is None:
            first = value
        if value is not None and cls is not SemVer:
            assert str(value) == text, (cls, text, str(value))
        if value is not None and cls is SemVer:
            again = SemVer(str(value))
            assert again == value and repr(again) == repr(value), (text, value)

    version, error = results[Version]
    if first is None:
        assert type(error) is RuntimeError, (text, error)
        check_report(str(error), text)
        assert "tolvi::package::version::Version:" in str(error), text
        return None
    assert error is None, (text, error)
    assert repr(version) == "Version::" + repr(first), (text, version, first)
    assert str(version) == str(first)
    assert Version(first) == version
    return version, {cls: value for cls, (value, _) in results.items()}


def check_order(a, b):
    lt, eq, gt = a < b, a == b, a > b
    assert [lt, eq, gt].count(True) == 1, (a, b)
    assert (a <= b) == (lt or eq) and (a >= b) == (gt or eq), (a, b)
    assert (a != b) == (not eq), (a, b)
    assert (b < a) == gt and (b > a) == lt and (b == a) == eq, (a, b)


KIND_RANK = {"SemVer": 0, "DotSeparated": 1, "Other": 2}


def kind_of(version):
    return repr(version).split("::", 1)[1].split(" ", 1)[0]


def parse_mode(data, pair):
    text = data.decode("utf-8", "surrogateescape")
    texts = text.split("\n", 1) if pair and "\n" in text else [text]
    parsed = [check_parse(t) for t in texts]
    if len(parsed) != 2 or None in parsed:
        return
    (va, a), (vb, b) = parsed
    check_order(va, vb)
    ka, kb = kind_of(va), kind_of(vb)
    if ka != kb:
        assert (va < vb) == (KIND_RANK[ka] < KIND_RANK[kb]), (va, vb)
    else:
        cls = {"SemVer": SemVer, "DotSeparated": DotSeparated, "Other": Other}[ka]
        check_order(a[cls], b[cls])
        assert (a[cls] < b[cls]) == (va < vb) and (a[cls] == b[cls]) == (va == vb)
    for cls in KINDS:
        if a[cls] is not None and b[cls] is not None:
            check_order(a[cls], b[cls])


# --- values of any type ---------------------------------------------------


def any_text(fdp):
    text = fdp.ConsumeUnicode(fdp.ConsumeIntInRange(0, 12))
    return Text(text) if fdp.ConsumeBool() else text


def any_value(fdp):
    choice = fdp.ConsumeIntInRange(0, 15)
    if choice == 0:
        return fdp.ConsumeIntInRange(0, 2**32 + 2)
    if choice == 1:
        return fdp.ConsumeInt(9)
    if choice == 2:
        return fdp.ConsumeBool()
    if choice == 3:
        return fdp.ConsumeRegularFloat()
    if choice == 4:
        return None
    if choice == 5:
        return any_text(fdp)
    if choice == 6:
        return [any_text(fdp) for _ in range(fdp.ConsumeIntInRange(0, 4))]
    if choice == 7:
        return tuple(any_text(fdp) for _ in range(fdp.ConsumeIntInRange(0, 4)))
    if choice == 8:
        return [any_text(fdp), fdp.ConsumeInt(2)]
    if choice == 9:
        return (any_text(fdp) for _ in range(fdp.ConsumeIntInRange(0, 3)))
    if choice == 10:
        items = [any_text(fdp) for _ in range(fdp.ConsumeIntInRange(0, 4))]
        length = fdp.ConsumeInt(9) if fdp.ConsumeBool() else None
        return Items(items, fdp.ConsumeIntInRange(0, len(items)), length)
    if choice == 11:
        return Index(fdp.ConsumeInt(5) if fdp.ConsumeBool() else None)
    if choice == 12:
        return fdp.ConsumeBytes(fdp.ConsumeIntInRange(0, 8))
    if choice == 13:
        return {any_text(fdp): 1}
    if choice == 14:
        return Version("1.2.3") if fdp.ConsumeBool() else SemVer("0.1.0-rc")
    return object()


FIELDS = {
    SemVer: ("major", "minor", "patch", "rc", "meta"),
    DotSeparated: ("parts",),
    Other: ("value",),
}
LIST_FIELDS = {"rc", "meta", "parts"}
NUMBER_FIELDS = {"major", "minor", "patch"}


def expected_field(name, given):
    """What the getter reads back after `given` was accepted for `name`."""
    if name in NUMBER_FIELDS:
        return int(given.value) if isinstance(given, Index) else int(given)
    if name in LIST_FIELDS:
        if given is None:
            return None
        return list(given.items if isinstance(given, Items) else given)
    return str(given)


def keywords_mode(fdp):
    cls = CLASSES[fdp.ConsumeIntInRange(0, 3)]
    names = list(FIELDS.get(cls, ("value",)))
    if fdp.ConsumeBool():
        names.append(any_text(fdp) if fdp.ConsumeBool() else "build")
    kwargs = {}
    for name in names:
        if fdp.ConsumeIntInRange(0, 5) != 0:
            kwargs[name] = any_value(fdp)
    value, error = calls(cls, **kwargs)
    if cls is Version:
        # Version takes no keywords at all; the first one is named.
        if kwargs:
            assert type(error) is TypeError, (kwargs, error)
            first = next(iter(kwargs))
            assert str(error) == f"Version.__new__() got an unexpected keyword argument '{first}'"
        else:
            assert type(error) is ValueError, error
        return
    if error is not None:
        assert type(error) is not RuntimeError, (cls, kwargs, error)
        return
    for name in FIELDS[cls]:
        if name in kwargs:
            expected = expected_field(name, kwargs[name])
            assert getattr(value, name) == expected, (cls, name, kwargs)
    assert cls(value) == value and repr(cls(value)) == repr(value)
    assert Version(value) == Version(value)
    str(value)


def setters_mode(fdp):
    choice = fdp.ConsumeIntInRange(0, 2)
    target = [SemVer("1.2.3-rc.1+b5"), DotSeparated("1.2"), Other("x_y")][choice]
    cls = type(target)
    for _ in range(fdp.ConsumeIntInRange(1, 4)):
        name = FIELDS[cls][fdp.ConsumeIntInRange(0, len(FIELDS[cls]) - 1)]
        before = {field: getattr(target, field) for field in FIELDS[cls]}
        given = any_value(fdp)
        _, error = calls(setattr, target, name, given)
        after = {field: getattr(target, field) for field in FIELDS[cls]}
        if error is not None:
            assert after == before, (cls, name, given, error)
            if type(error) is TypeError:
                assert str(error).startswith(f"argument 'new_{name}': "), error
            continue
        for field in FIELDS[cls]:
            if field != name:
                assert after[field] == before[field], (cls, name, field)
        assert after[name] == expected_field(name, given), (cls, name, given, after[name])
        assert cls(target) == target and repr(cls(target)) == repr(target)
        str(target)


def objects_mode(fdp):
    texts = ["1.2.3-rc.1+b5", "2024.01", "nightly_1", ""]
    made = []
    for _ in range(fdp.ConsumeIntInRange(1, 3)):
        text = texts[fdp.ConsumeIntInRange(0, len(texts) - 1)]
        maker = CLASSES[fdp.ConsumeIntInRange(0, 3)]
        value, _ = calls(maker, text)
        if value is not None:
            made.append(value)
    for source in made:
        for cls in CLASSES:
            value, error = calls(cls, source)
            if error is not None:
                assert type(error) is TypeError, (cls, source, error)
                continue
            assert str(value) == str(source), (cls, source)
            if type(source) is cls:
                assert value == source and value is not source


def one_input(data):
    if not data:
        return
    mode = data[0]
    if mode & 0x3 == 0:
        parse_mode(data[1:], pair=bool(mode & 0x80))
        return
    fdp = atheris.FuzzedDataProvider(data[1:])
    [keywords_mode, setters_mode, objects_mode][(mode & 0x3) - 1](fdp)


def main():
    atheris.Setup(sys.argv, one_input)
    atheris.Fuzz()


if __name__ == "__main__":
    main()
