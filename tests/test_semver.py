"""The SemVer class: construction, integer conversion, properties, text and
comparisons."""

import operator

import pytest

from reports import ascii_report
from support import (
    DotSeparated, EQUAL, GREATER, Index, LESS, mirrored, Other, outcomes, PanicException,
    raises_exactly, SemVer, Text, Version,
)


OVERFLOW = "out of range integral type conversion attempted"


def index_error_message(value):
    """The interpreter's own message for a value that is not an integer."""
    with pytest.raises(TypeError) as caught:
        operator.index(value)
    return str(caught.value)


def fields(s):
    return (s.major, s.minor, s.patch, s.rc, s.meta)


def sv(major=1, minor=2, patch=3, **rest):
    return SemVer(major=major, minor=minor, patch=patch, **rest)


class Number(int):
    pass


class IntIgnoringIndex(int):
    """An int subclass is read as an int: its __index__ is never asked."""

    def __index__(self):
        raise AssertionError("__index__ of an int subclass was called")


# ---------------------------------------------------------------------------
# From a string

PARSED = [
    ("1.2.3", (1, 2, 3, None, None), "1.2.3",
     "SemVer { major: 1, minor: 2, patch: 3, rc: None, meta: None }"),
    ("v1.2.3", (1, 2, 3, None, None), "1.2.3",
     "SemVer { major: 1, minor: 2, patch: 3, rc: None, meta: None }"),
    ("01.02.03", (1, 2, 3, None, None), "1.2.3",
     "SemVer { major: 1, minor: 2, patch: 3, rc: None, meta: None }"),
    ("0.0.0", (0, 0, 0, None, None), "0.0.0",
     "SemVer { major: 0, minor: 0, patch: 0, rc: None, meta: None }"),
    ("4294967295.4294967295.4294967295", (4294967295,) * 3 + (None, None),
     "4294967295.4294967295.4294967295",
     "SemVer { major: 4294967295, minor: 4294967295, patch: 4294967295, rc: None, meta: None }"),
    ("1.2.3-", (1, 2, 3, [], None), "1.2.3-",
     "SemVer { major: 1, minor: 2, patch: 3, rc: Some([]), meta: None }"),
    ("1.2.3+", (1, 2, 3, None, []), "1.2.3+",
     "SemVer { major: 1, minor: 2, patch: 3, rc: None, meta: Some([]) }"),
    ("1.2.3-+", (1, 2, 3, [], []), "1.2.3-+",
     "SemVer { major: 1, minor: 2, patch: 3, rc: Some([]), meta: Some([]) }"),
    ("1.2.3-rc.1+b5", (1, 2, 3, ["rc", "1"], ["b5"]), "1.2.3-rc.1+b5",
     'SemVer { major: 1, minor: 2, patch: 3, rc: Some(["rc", "1"]), meta: Some(["b5"]) }'),
    ("v1.2.3-rc.1+build.5", (1, 2, 3, ["rc", "1"], ["build", "5"]), "1.2.3-rc.1+build.5",
     'SemVer { major: 1, minor: 2, patch: 3, rc: Some(["rc", "1"]), '
     'meta: Some(["build", "5"]) }'),
    ("1.2.3+exp", (1, 2, 3, None, ["exp"]), "1.2.3+exp",
     'SemVer { major: 1, minor: 2, patch: 3, rc: None, meta: Some(["exp"]) }'),
    ("1.2.3-01", (1, 2, 3, ["01"], None), "1.2.3-01",
     'SemVer { major: 1, minor: 2, patch: 3, rc: Some(["01"]), meta: None }'),
    ("1.2.3-A-b.C", (1, 2, 3, ["A-b", "C"], None), "1.2.3-A-b.C",
     'SemVer { major: 1, minor: 2, patch: 3, rc: Some(["A-b", "C"]), meta: None }'),
]


@pytest.mark.parametrize(
    ("text", "expected", "as_text", "as_repr"),
    PARSED,
    ids=[p[0] for p in PARSED],
)
def test_parsed(text, expected, as_text, as_repr):
    for s in (SemVer(text), SemVer(Text(text)), SemVer(Version(text))):
        assert type(s) is SemVer
        assert fields(s) == expected
        assert str(s) == as_text
        assert repr(s) == as_repr


# ---------------------------------------------------------------------------
# Failures of the constructor


def _report(text, start, end, message):
    return ascii_report("SemVer", text, start, end, message)


FAILURES = [
    ("no arguments", lambda: SemVer(), ValueError, "SemVer() requires arguments"),
    ("not a semver", lambda: SemVer("x"), RuntimeError,
     _report("x", 0, 1, "found 'x' expected 'v', or integer")),
    ("two numbers", lambda: SemVer("1.2"), RuntimeError,
     _report("1.2", 3, 3, "found end of input expected digit, or '.'")),
    ("four numbers", lambda: SemVer("1.2.3.4"), RuntimeError,
     _report("1.2.3.4", 5, 6, "found '.' expected digit, '-', '+', or end of input")),
    ("empty string", lambda: SemVer(""), RuntimeError,
     _report("", 0, 0, "found end of input expected 'v', or integer")),
    ("capital V", lambda: SemVer("V1.2.3"), RuntimeError,
     _report("V1.2.3", 0, 1, "found 'V' expected 'v', or integer")),
    ("Version of DotSeparated", lambda: SemVer(Version("1.2")), TypeError,
     'Expected SemVer; found Version::DotSeparated { parts: ["1", "2"] }'),
    ("Version of Other", lambda: SemVer(Version("nightly_1")), TypeError,
     'Expected SemVer; found Version::Other { value: "nightly_1" }'),
    ("int", lambda: SemVer(5), TypeError, "Cannot construct SemVer from type 'int'"),
    ("None", lambda: SemVer(None), TypeError, "Cannot construct SemVer from type 'NoneType'"),
    ("bytes", lambda: SemVer(b"1.2.3"), TypeError, "Cannot construct SemVer from type 'bytes'"),
    ("DotSeparated", lambda: SemVer(DotSeparated("1.2.3")), TypeError,
     "Cannot construct SemVer from type 'DotSeparated'"),
    ("Other", lambda: SemVer(Other("x_y")), TypeError,
     "Cannot construct SemVer from type 'Other'"),
    ("two arguments", lambda: SemVer("1", "2"), PanicException, "not yet implemented"),
    ("two SemVer", lambda: SemVer(SemVer("1.2.3"), SemVer("1.2.3")), PanicException,
     "not yet implemented"),
    ("string and keyword", lambda: SemVer("1.2.3", major=1), TypeError,
     "Constructor expects *args or **kwargs, but not both"),
    ("string and empty **{}", lambda: SemVer("1.2.3", **{}), TypeError,
     "Constructor expects *args or **kwargs, but not both"),
    ("only minor", lambda: SemVer(minor=1), TypeError,
     "Missing required keyword argument 'major'"),
    ("no minor", lambda: SemVer(major=1, patch=3), TypeError,
     "Missing required keyword argument 'minor'"),
    ("no patch", lambda: SemVer(major=1, minor=2), TypeError,
     "Missing required keyword argument 'patch'"),
    ("only lists", lambda: SemVer(rc=[], meta=[]), TypeError,
     "Missing required keyword argument 'major'"),
    ("empty **{}", lambda: SemVer(**{}), TypeError, "Missing required keyword argument 'major'"),
    ("missing before unknown", lambda: SemVer(major=1, minor=2, build=4), TypeError,
     "Missing required keyword argument 'patch'"),
    ("unknown keyword", lambda: sv(build=4), ValueError,
     "'build' is an invalid keyword argument for SemVer()"),
    ("first unknown keyword", lambda: sv(rc=None, pre=1, build=4), ValueError,
     "'pre' is an invalid keyword argument for SemVer()"),
    ("conversion before unknown", lambda: SemVer(major="x", build=4), TypeError,
     index_error_message("x")),
    ("rc conversion before unknown", lambda: sv(rc=5, build=4), TypeError,
     "'int' object cannot be converted to 'Sequence'"),
    ("rc before meta", lambda: sv(meta=5, rc="x"), TypeError, "Can't extract `str` to `Vec`"),
    ("major before missing minor", lambda: SemVer(major=-1), OverflowError, None),
    ("minor converted before patch", lambda: SemVer(major=1, minor=2**32), OverflowError,
     OVERFLOW),
    ("None for a number", lambda: sv(major=None), TypeError, index_error_message(None)),
    ("major too large", lambda: sv(major=4294967296), OverflowError, OVERFLOW),
    ("minor too large", lambda: sv(minor=2**64 - 1), OverflowError, OVERFLOW),
    ("patch too large", lambda: sv(patch=Index(2**32)), OverflowError, OVERFLOW),
    ("float", lambda: sv(major=2.0), TypeError, index_error_message(2.0)),
    ("str number", lambda: sv(minor="1"), TypeError, index_error_message("1")),
    ("rc str", lambda: sv(rc="alpha"), TypeError, "Can't extract `str` to `Vec`"),
    ("rc int", lambda: sv(rc=5), TypeError, "'int' object cannot be converted to 'Sequence'"),
    ("rc int item", lambda: sv(rc=["a", 1]), TypeError,
     "'int' object cannot be converted to 'PyString'"),
    ("meta str", lambda: sv(meta="b5"), TypeError, "Can't extract `str` to `Vec`"),
    ("meta dict", lambda: sv(meta={}), TypeError,
     "'dict' object cannot be converted to 'Sequence'"),
]


@pytest.mark.parametrize(
    ("label", "call", "exc", "message"),
    FAILURES,
    ids=[f[0] for f in FAILURES],
)
def test_constructor_failures(label, call, exc, message):
    if message is None:  # the interpreter's own wording
        with pytest.raises(BaseException) as caught:
            call()
        assert type(caught.value) is exc
    else:
        raises_exactly(exc, message, call)


# ---------------------------------------------------------------------------
# Keyword form

KEYWORDS = [
    ("numbers only", {}, (1, 2, 3, None, None), "1.2.3"),
    ("lists None", {"rc": None, "meta": None}, (1, 2, 3, None, None), "1.2.3"),
    ("empty rc", {"rc": []}, (1, 2, 3, [], None), "1.2.3-"),
    ("empty meta", {"meta": ()}, (1, 2, 3, None, []), "1.2.3+"),
    ("both empty", {"rc": [], "meta": []}, (1, 2, 3, [], []), "1.2.3-+"),
    ("tuple rc", {"rc": ("a", "b")}, (1, 2, 3, ["a", "b"], None), "1.2.3-a.b"),
    ("dot inside", {"rc": ["a.b"]}, (1, 2, 3, ["a.b"], None), "1.2.3-a.b"),
    ("empty identifier", {"rc": [""], "meta": ["", ""]}, (1, 2, 3, [""], ["", ""]), "1.2.3-+."),
    ("plus and space", {"rc": ["+", " "]}, (1, 2, 3, ["+", " "], None), "1.2.3-+. "),
    ("str subclass items", {"meta": [Text("b"), Text("5")]}, (1, 2, 3, None, ["b", "5"]),
     "1.2.3+b.5"),
    ("keyword order", {"meta": ["m"], "rc": ["r"]}, (1, 2, 3, ["r"], ["m"]), "1.2.3-r+m"),
]


@pytest.mark.parametrize(
    ("label", "extra", "expected", "text"),
    KEYWORDS,
    ids=[k[0] for k in KEYWORDS],
)
def test_keyword_form(label, extra, expected, text):
    s = sv(**extra)
    assert fields(s) == expected
    assert str(s) == text


def test_keyword_form_stores_what_the_grammar_would_refuse():
    s = SemVer(major=0, minor=4294967295, patch=0, rc=["a b", "é"], meta=["x+y"])
    assert str(s) == "0.4294967295.0-a b.é+x+y"
    assert repr(s) == (
        'SemVer { major: 0, minor: 4294967295, patch: 0, rc: Some(["a b", "é"]), '
        'meta: Some(["x+y"]) }'
    )


def test_keyword_form_equals_parsed():
    assert sv() == SemVer("1.2.3")
    assert repr(sv()) == repr(SemVer("1.2.3"))
    # A present empty rc is a different value, and sorts first.
    assert sv(rc=[]) != SemVer("1.2.3")
    assert sv(rc=[]) < SemVer("1.2.3")


# ---------------------------------------------------------------------------
# Integer conversion, through the keyword form and the setters

NUMBERS_ACCEPTED = [
    ("zero", 0, 0),
    ("limit", 4294967295, 4294967295),
    ("True", True, 1),
    ("False", False, 0),
    ("int subclass", Number(7), 7),
    ("int subclass at limit", Number(4294967295), 4294967295),
    ("int subclass, __index__ unused", IntIgnoringIndex(5), 5),
    ("__index__", Index(9), 9),
    ("__index__ at limit", Index(4294967295), 4294967295),
]

NUMBERS_REFUSED = [
    ("2**32", 4294967296, OverflowError, OVERFLOW),
    ("2**64-1", 2**64 - 1, OverflowError, OVERFLOW),
    ("int subclass 2**32", Number(2**32), OverflowError, OVERFLOW),
    ("__index__ 2**32", Index(2**32), OverflowError, OVERFLOW),
    ("__index__ 2**64-1", Index(2**64 - 1), OverflowError, OVERFLOW),
    ("-1", -1, OverflowError, None),
    ("2**64", 2**64, OverflowError, None),
    ("2**100", 2**100, OverflowError, None),
    ("int subclass -1", Number(-1), OverflowError, None),
    ("__index__ -1", Index(-1), OverflowError, None),
    ("__index__ 2**64", Index(2**64), OverflowError, None),
    ("float", 2.0, TypeError, index_error_message(2.0)),
    ("str", "1", TypeError, index_error_message("1")),
    ("None", None, TypeError, index_error_message(None)),
    ("list", [1], TypeError, index_error_message([1])),
    ("__index__ giving float", Index(1.0), TypeError, index_error_message(Index(1.0))),
]

NUMBER_FIELDS = [("major", "new_major"), ("minor", "new_minor"), ("patch", "new_patch")]


@pytest.mark.parametrize(("attr", "parameter"), NUMBER_FIELDS, ids=[f[0] for f in NUMBER_FIELDS])
@pytest.mark.parametrize(
    ("label", "value", "expected"),
    NUMBERS_ACCEPTED,
    ids=[n[0] for n in NUMBERS_ACCEPTED],
)
def test_number_accepted(attr, parameter, label, value, expected):
    built = sv(**{attr: value})
    assert getattr(built, attr) == expected
    assert type(getattr(built, attr)) is int

    s = SemVer("1.2.3-rc+m")
    setattr(s, attr, value)
    assert getattr(s, attr) == expected
    assert type(getattr(s, attr)) is int
    others = {"major": 1, "minor": 2, "patch": 3}
    others[attr] = expected
    assert (s.major, s.minor, s.patch) == tuple(others.values())
    assert (s.rc, s.meta) == (["rc"], ["m"])


@pytest.mark.parametrize(("attr", "parameter"), NUMBER_FIELDS, ids=[f[0] for f in NUMBER_FIELDS])
@pytest.mark.parametrize(
    ("label", "value", "exc", "message"),
    NUMBERS_REFUSED,
    ids=[n[0] for n in NUMBERS_REFUSED],
)
def test_number_refused(attr, parameter, label, value, exc, message):
    with pytest.raises(BaseException) as caught:
        sv(**{attr: value})
    assert type(caught.value) is exc
    if message is not None:
        assert str(caught.value) == message  # no argument name in the keyword form

    s = SemVer("1.2.3")
    with pytest.raises(BaseException) as caught:
        setattr(s, attr, value)
    assert type(caught.value) is exc
    if exc is TypeError:
        assert str(caught.value) == f"argument '{parameter}': {message}"
    elif message is not None:
        assert str(caught.value) == message  # only a TypeError is renamed
    else:
        assert not str(caught.value).startswith("argument")
    assert fields(s) == (1, 2, 3, None, None)


# ---------------------------------------------------------------------------
# Properties

LIST_SETTERS = [
    ("rc", ["beta", "2"], (1, 2, 3, ["beta", "2"], ["b5"]), "1.2.3-beta.2+b5"),
    ("rc", ("x",), (1, 2, 3, ["x"], ["b5"]), "1.2.3-x+b5"),
    ("rc", [], (1, 2, 3, [], ["b5"]), "1.2.3-+b5"),
    ("rc", None, (1, 2, 3, None, ["b5"]), "1.2.3+b5"),
    ("rc", [""], (1, 2, 3, [""], ["b5"]), "1.2.3-+b5"),
    ("rc", ["a.b"], (1, 2, 3, ["a.b"], ["b5"]), "1.2.3-a.b+b5"),
    ("meta", ["x", "y"], (1, 2, 3, ["rc", "1"], ["x", "y"]), "1.2.3-rc.1+x.y"),
    ("meta", [], (1, 2, 3, ["rc", "1"], []), "1.2.3-rc.1+"),
    ("meta", None, (1, 2, 3, ["rc", "1"], None), "1.2.3-rc.1"),
    ("meta", [Text("t")], (1, 2, 3, ["rc", "1"], ["t"]), "1.2.3-rc.1+t"),
]


@pytest.mark.parametrize(("attr", "value", "expected", "text"), LIST_SETTERS)
def test_list_setters(attr, value, expected, text):
    s = SemVer("1.2.3-rc.1+b5")
    setattr(s, attr, value)
    assert fields(s) == expected
    assert str(s) == text


def test_identifier_with_a_dot_is_one_element():
    s = SemVer("1.2.3")
    s.rc = ["a.b"]
    assert str(s) == "1.2.3-a.b"
    assert repr(s) == 'SemVer { major: 1, minor: 2, patch: 3, rc: Some(["a.b"]), meta: None }'
    # The same text as two identifiers, but a different value.
    assert s != SemVer("1.2.3-a.b")
    assert str(s) == str(SemVer("1.2.3-a.b"))


SETTER_FAILURES = [
    ("patch", "3", TypeError, "argument 'new_patch': " + index_error_message("3")),
    ("major", 1.5, TypeError, "argument 'new_major': " + index_error_message(1.5)),
    ("minor", 4294967296, OverflowError, OVERFLOW),
    ("rc", "rc.1", TypeError, "argument 'new_rc': Can't extract `str` to `Vec`"),
    ("rc", 5, TypeError, "argument 'new_rc': 'int' object cannot be converted to 'Sequence'"),
    ("meta", ["a", None], TypeError,
     "argument 'new_meta': 'NoneType' object cannot be converted to 'PyString'"),
    ("meta", Text("b5"), TypeError, "argument 'new_meta': Can't extract `str` to `Vec`"),
]


@pytest.mark.parametrize(("attr", "value", "exc", "message"), SETTER_FAILURES)
def test_setter_failures_leave_the_field(attr, value, exc, message):
    s = SemVer("1.2.3-rc.1+b5")
    raises_exactly(exc, message, lambda: setattr(s, attr, value))
    assert fields(s) == (1, 2, 3, ["rc", "1"], ["b5"])


def test_other_attributes_and_hash_are_refused():
    s = SemVer("1.2.3")
    with pytest.raises(AttributeError):
        s.build = 1
    with pytest.raises(TypeError):
        hash(s)


def test_rc_list_is_a_copy():
    s = SemVer("1.2.3-rc")
    s.rc.append("x")
    assert str(s) == "1.2.3-rc"
    given = ["a"]
    s.rc = given
    given.append("b")
    assert s.rc == ["a"]


# ---------------------------------------------------------------------------
# Comparisons

COMPARED = [
    ("meta ignored", SemVer("1.2.3+a"), SemVer("1.2.3+b"), EQUAL),
    ("meta absent vs present", SemVer("1.2.3"), SemVer("1.2.3+x"), EQUAL),
    ("meta empty vs absent", sv(meta=[]), sv(), EQUAL),
    ("empty rc before absent", sv(rc=[]), sv(), LESS),
    ("empty rc before any rc", sv(rc=[]), sv(rc=["0"]), LESS),
    ("empty rc before empty string", sv(rc=[]), sv(rc=[""]), LESS),
    ("rc before absent", SemVer("1.0.0-rc.1"), SemVer("1.0.0"), LESS),
    ("absent after rc", SemVer("1.0.0"), SemVer("1.0.0-zzz"), GREATER),
    ("both rc empty", sv(rc=[], meta=["x"]), sv(rc=()), EQUAL),
    ("rc as text", SemVer("1.0.0-alpha.10"), SemVer("1.0.0-alpha.9"), LESS),
    ("rc prefix", SemVer("1.0.0-alpha"), SemVer("1.0.0-alpha.1"), LESS),
    ("upper before lower", SemVer("1.0.0-RC"), SemVer("1.0.0-rc"), LESS),
    ("dot inside differs", sv(rc=["a.b"]), sv(rc=["a", "b"]), GREATER),
    ("numbers first", SemVer("2.0.0-a"), SemVer("1.99.99"), GREATER),
    ("numbers unsigned", SemVer("4294967295.0.0"), SemVer("0.0.0"), GREATER),
    ("patch", SemVer("1.2.3"), SemVer("1.2.4"), LESS),
    ("rc never beats numbers", SemVer("1.2.3"), SemVer("1.2.4-a"), LESS),
]


@pytest.mark.parametrize(("label", "a", "b", "expected"), COMPARED, ids=[c[0] for c in COMPARED])
def test_comparisons(label, a, b, expected):
    assert outcomes(a, b) == expected
    assert outcomes(b, a) == mirrored(expected)


def test_equal_values_may_render_differently():
    a, b = SemVer("1.2.3+a"), SemVer("1.2.3+b")
    assert a == b and repr(a) != repr(b) and str(a) != str(b)


def test_never_equal_to_other_classes():
    s = SemVer("1.2.3")
    assert (s == "1.2.3") is False
    assert (s == Version("1.2.3")) is False
    assert (Version("1.2.3") == s) is False
    assert (s != Version("1.2.3")) is True
    raises_exactly(
        TypeError,
        "'<' not supported between instances of 'builtins.SemVer' and 'builtins.Version'",
        lambda: s < Version("1.2.4"),
    )
    raises_exactly(
        TypeError,
        "'<' not supported between instances of 'builtins.SemVer' and 'str'",
        lambda: s < "1.2.4",
    )


def test_setter_changes_the_ordering():
    a, b = SemVer("1.2.3"), SemVer("1.2.3")
    a.rc = []
    assert a < b
    a.rc = None
    assert a == b
    b.meta = ["x"]
    assert a == b
    b.patch = 2
    assert a > b
