"""Coverage-guided fuzzing of the Python API, run by `make fuzz-python`.

Every input drives one of five modes, chosen by its first byte's low seven
bits modulo five, in this order:

- parse: the rest of the input, decoded with lone surrogates for bytes that are
  not UTF-8, goes to the four constructors (with the high bit of the first byte
  set it is split at its first line feed into two texts, which are also
  compared);
- keywords: the keyword forms of SemVer, DotSeparated and Other, with values
  of any type drawn from the input;
- setters: every property of the three kinds, set to such values;
- objects: each constructor given objects of every class;
- pickling: either tolvi._reconstruct called with any number of arguments of
  any type, or values of every class, parsed or built field by field (with
  identifiers no text parses to), sent through pickle, copy and deepcopy.

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
- an exception raised by an argument's own code reaches the caller unchanged;
- tolvi._reconstruct gives a value of one of the four classes or raises
  TypeError, ValueError or OverflowError, and what it gives or raises is what
  the constructor forms its arguments stand for give or raise;
- a value sent through pickle (any protocol), copy or deepcopy comes back as a
  new object of its class with the same debug form, and setting a field on a
  copy leaves the original as it was.
"""

import copy
import copyreg
import os
import pickle
import sys

import atheris

import tolvi
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


# --- pickling mode ----------------------------------------------------------

# What versions are made of, and some of what no text parses to.
PIECES = ("", "0", "1", "01", "42", "rc", "a", "é", ".", "-", "+", "_", "v", "\0", "\n")


def any_piece_text(fdp):
    """Text of pieces, sometimes in the shape of a SemVer; sometimes any text."""
    choice = fdp.ConsumeIntInRange(0, 3)
    if choice == 0:
        return any_text(fdp)
    count = fdp.ConsumeIntInRange(0, 9 if choice == 1 else 3)
    text = "".join(PIECES[fdp.ConsumeIntInRange(0, len(PIECES) - 1)] for _ in range(count))
    if choice == 1:
        return text
    numbers = ".".join(PIECES[fdp.ConsumeIntInRange(0, 4)] for _ in range(3))
    return numbers + ("-" if choice == 2 else "+") + text if text else numbers


def any_pieces(fdp):
    """None, or a list or tuple of identifiers; sometimes any value at all."""
    choice = fdp.ConsumeIntInRange(0, 4)
    if choice == 0:
        return None
    if choice == 1:
        return any_value(fdp)
    pieces = [any_piece_text(fdp) for _ in range(fdp.ConsumeIntInRange(0, 3))]
    return tuple(pieces) if choice == 2 else pieces


def any_number(fdp):
    choice = fdp.ConsumeIntInRange(0, 3)
    if choice == 0:
        return fdp.ConsumeIntInRange(0, 2**32 - 1)
    if choice == 1:
        return Index(fdp.ConsumeIntInRange(0, 2**32 - 1))
    if choice == 2:
        return fdp.ConsumeIntInRange(-2, 8)
    return any_value(fdp)


def any_code(fdp):
    if fdp.ConsumeBool():
        return fdp.ConsumeIntInRange(0, 2 * len(KINDS) - 1)
    return any_number(fdp)


def reconstruct_arguments(fdp):
    """Any number of arguments, mostly of the shapes the reconstructor takes
    in each position."""
    if fdp.ConsumeBool():
        count = (1, 2, 6)[fdp.ConsumeIntInRange(0, 2)]
    else:
        count = fdp.ConsumeIntInRange(0, 7)
    if count == 1:
        return [any_piece_text(fdp) if fdp.ConsumeBool() else any_value(fdp)]
    args = [any_code(fdp) for _ in range(min(count, 1))]
    for position in range(1, count):
        if fdp.ConsumeIntInRange(0, 5) == 0:
            args.append(any_value(fdp))
        elif count == 6 and position <= 3:
            args.append(any_number(fdp))
        elif count == 6 or fdp.ConsumeBool():
            args.append(any_pieces(fdp))
        else:
            args.append(any_piece_text(fdp))
    return args


def outcome(call, /, *args, name, **kwargs):
    """The value call gives, or the (class, message) of its exception as the
    reconstructor reports it: a TypeError names argument `name`."""
    value, error = calls(call, *args, **kwargs)
    if error is None:
        return value
    if type(error) is TypeError:
        return TypeError, f"argument '{name}': {error}"
    return type(error), str(error)


def parsed_outcome(cls, text):
    if not isinstance(text, str):
        return outcome(Other, value=text, name="text")  # the same conversion of a str
    result = outcome(cls, text, name="text")
    if isinstance(result, tuple) and result[0] is RuntimeError:
        quoted = str.__repr__(text)
        return ValueError, f"_reconstruct() got {cls.__name__} text that does not parse: {quoted}"
    return result


def reconstruct_outcome(args):
    """What tolvi._reconstruct(*args) stands for: (outcome, wrap), with the
    value of the kind's own class that it makes, to be wrapped in a Version
    when wrap is set, or the (class, message) of what it raises. It checks the
    argument count, then the kind code, then each field in order."""
    count = len(args)
    if count == 1:
        return parsed_outcome(Version, args[0]), False
    if count not in (2, 6):
        return (TypeError, f"_reconstruct() takes 1, 2 or 6 arguments ({count} given)"), False
    # The code converts as a SemVer's numbers do.
    code = outcome(SemVer, major=args[0], minor=0, patch=0, name="code")
    if isinstance(code, tuple):
        return code, False
    code = code.major
    if code >= 2 * len(KINDS):
        return (ValueError, f"_reconstruct() got an unknown kind code: {code}"), False
    kind, wrap, fields = KINDS[code % len(KINDS)], code >= len(KINDS), args[1:]
    if kind is not SemVer and count != 2:
        return (TypeError, f"_reconstruct() takes 2 arguments for kind code {code} (6 given)"), wrap
    if kind is Other:
        return outcome(Other, value=fields[0], name="value"), wrap
    if kind is DotSeparated and not isinstance(fields[0], str):
        return outcome(DotSeparated, parts=fields[0], name="parts"), wrap
    if count == 2:
        return parsed_outcome(kind, fields[0]), wrap
    for name, field in zip(FIELDS[SemVer], fields):
        kwargs = {"major": 0, "minor": 0, "patch": 0, name: field}
        result = outcome(SemVer, **kwargs, name=name)
        if isinstance(result, tuple):
            return result, wrap
    return SemVer(**dict(zip(FIELDS[SemVer], fields))), wrap


def reconstruct_check(fdp):
    args = reconstruct_arguments(fdp)
    kwargs = {any_text(fdp): any_value(fdp)} if fdp.ConsumeIntInRange(0, 15) == 0 else {}
    value, error = calls(tolvi._reconstruct, *args, **kwargs)
    # Never a panic or a RuntimeError, and a value only of the four classes.
    assert error is None or isinstance(error, (TypeError, ValueError, OverflowError, Boom)), (
        args,
        error,
    )
    assert error is not None or type(value) in CLASSES, (args, value)
    if kwargs:
        assert type(error) is TypeError, (args, kwargs, error)
        assert str(error) == "tolvi._reconstruct() takes no keyword arguments", error
        return
    expected, wrap = reconstruct_outcome(args)
    if isinstance(expected, tuple):
        assert (type(error), str(error)) == expected, (args, error, expected)
        return
    assert error is None, (args, error, expected)
    assert type(value) is (Version if wrap else type(expected)), (args, value)
    assert repr(value) == ("Version::" if wrap else "") + repr(expected), (args, value, expected)


def any_version(fdp):
    """A value of any class, parsed or built field by field, or None."""
    cls = CLASSES[fdp.ConsumeIntInRange(0, 3)]
    if cls is Version or fdp.ConsumeBool():
        value, _ = calls(cls, any_piece_text(fdp))
    elif cls is SemVer:
        numbers = {name: fdp.ConsumeIntInRange(0, 2**32 - 1) for name in FIELDS[SemVer][:3]}
        value, _ = calls(SemVer, **numbers, rc=any_pieces(fdp), meta=any_pieces(fdp))
    elif cls is DotSeparated:
        value, _ = calls(DotSeparated, parts=any_pieces(fdp))
    else:
        value, _ = calls(Other, value=any_piece_text(fdp))
    if value is not None and type(value) is not Version and fdp.ConsumeBool():
        return Version(value)
    return value


def check_same(original, duplicate):
    assert type(duplicate) is type(original), (original, duplicate)
    assert duplicate is not original
    assert repr(duplicate) == repr(original), (original, duplicate)
    assert duplicate == original and str(duplicate) == str(original), (original, duplicate)


def changed(field):
    """Another value for a field of the kind of `field`."""
    if isinstance(field, int):
        return (field + 1) % 2**32
    if isinstance(field, str):
        return field + "x"
    return (field or []) + ["x"]


def round_trip_check(fdp):
    value = any_version(fdp)
    if value is None:
        return
    cls = type(value)
    function, args = copyreg.dispatch_table[cls](value)
    assert function is tolvi._reconstruct, function
    check_same(value, function(*args))
    protocol = fdp.ConsumeIntInRange(0, pickle.HIGHEST_PROTOCOL)
    check_same(value, pickle.loads(pickle.dumps(value, protocol)))
    for duplicate in (copy.copy(value), copy.deepcopy(value)):
        check_same(value, duplicate)
        if cls is Version:
            continue
        before = repr(value)
        name = FIELDS[cls][fdp.ConsumeIntInRange(0, len(FIELDS[cls]) - 1)]
        new = changed(getattr(value, name))
        setattr(duplicate, name, new)
        assert getattr(duplicate, name) == new and repr(value) == before, (value, name)


def pickling_mode(fdp):
    if fdp.ConsumeBool():
        reconstruct_check(fdp)
    else:
        round_trip_check(fdp)


def one_input(data):
    if not data:
        return
    mode = (data[0] & 0x7F) % 5
    if mode == 0:
        parse_mode(data[1:], pair=bool(data[0] & 0x80))
        return
    fdp = atheris.FuzzedDataProvider(data[1:])
    [keywords_mode, setters_mode, objects_mode, pickling_mode][mode - 1](fdp)


def main():
    atheris.Setup(sys.argv, one_input)
    atheris.Fuzz()


if __name__ == "__main__":
    main()
