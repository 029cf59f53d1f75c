"""The DotSeparated class: construction, the parts property, text and
comparisons."""

import pytest

from reports import ascii_report
from support import (
    DotSeparated, EQUAL, GREATER, LESS, mirrored, Other, outcomes, PanicException, raises_exactly,
    SemVer, Text, Version,
)


PARSED = [
    ("1.2.3", ["1", "2", "3"], 'DotSeparated { parts: ["1", "2", "3"] }'),
    ("", [], "DotSeparated { parts: [] }"),
    ("1.2.3-rc", ["1", "2", "3-rc"], 'DotSeparated { parts: ["1", "2", "3-rc"] }'),
    ("2024.01.rc1", ["2024", "01", "rc1"], 'DotSeparated { parts: ["2024", "01", "rc1"] }'),
    ("latest", ["latest"], 'DotSeparated { parts: ["latest"] }'),
    ("V1.2.3", ["V1", "2", "3"], 'DotSeparated { parts: ["V1", "2", "3"] }'),
    ("1.0.0", ["1", "0", "0"], 'DotSeparated { parts: ["1", "0", "0"] }'),
    ("-.--", ["-", "--"], 'DotSeparated { parts: ["-", "--"] }'),
]


@pytest.mark.parametrize(
    ("text", "parts", "as_repr"),
    PARSED,
    ids=[p[0] or "empty" for p in PARSED],
)
def test_parsed(text, parts, as_repr):
    for d in (DotSeparated(text), DotSeparated(Text(text))):
        assert type(d) is DotSeparated
        assert d.parts == parts
        assert str(d) == text
        assert repr(d) == as_repr


def test_from_version_copies_the_held_list():
    v = Version("1.2.3.4")
    d = DotSeparated(v)
    assert d.parts == ["1", "2", "3", "4"]
    d.parts = ["x"]
    assert str(v) == "1.2.3.4"
    assert str(DotSeparated(v)) == "1.2.3.4"


def _report(text, start, end, message):
    return ascii_report("DotSeparated", text, start, end, message)


FAILURES = [
    ("no arguments", lambda: DotSeparated(), ValueError, "DotSeparated() requires arguments"),
    ("double dot", lambda: DotSeparated("1..2"), RuntimeError,
     _report("1..2", 2, 3, "found '.' expected alphanumeric or '-'")),
    ("underscore", lambda: DotSeparated("a_b"), RuntimeError,
     _report("a_b", 1, 2, "found '_' expected alphanumeric or '-', '.', or end of input")),
    ("lone dot", lambda: DotSeparated("."), RuntimeError,
     _report(".", 0, 1, "found '.' expected dot-separated list, or end of input")),
    ("trailing dot", lambda: DotSeparated("1.2."), RuntimeError,
     _report("1.2.", 4, 4, "found end of input expected alphanumeric or '-'")),
    ("plus", lambda: DotSeparated("1.2.3+b"), RuntimeError,
     _report("1.2.3+b", 5, 6, "found '+' expected alphanumeric or '-', '.', or end of input")),
    ("Version of SemVer", lambda: DotSeparated(Version("1.2.3")), TypeError,
     "Expected DotSeparated; found "
     "Version::SemVer { major: 1, minor: 2, patch: 3, rc: None, meta: None }"),
    ("Version of Other", lambda: DotSeparated(Version("x_y")), TypeError,
     'Expected DotSeparated; found Version::Other { value: "x_y" }'),
    ("SemVer", lambda: DotSeparated(SemVer("1.2.3")), TypeError,
     "Cannot construct DotSeparated from type 'SemVer'"),
    ("Other", lambda: DotSeparated(Other("x_y")), TypeError,
     "Cannot construct DotSeparated from type 'Other'"),
    ("list", lambda: DotSeparated(["1", "2"]), TypeError,
     "Cannot construct DotSeparated from type 'list'"),
    ("int", lambda: DotSeparated(5), TypeError, "Cannot construct DotSeparated from type 'int'"),
    ("two arguments", lambda: DotSeparated("1", "2"), PanicException, "not yet implemented"),
    ("string and keyword", lambda: DotSeparated("1.2", parts=["1"]), TypeError,
     "Constructor expects *args or **kwargs, but not both"),
    ("string and **{}", lambda: DotSeparated("1.2", **{}), TypeError,
     "Constructor expects *args or **kwargs, but not both"),
    ("misspelt keyword", lambda: DotSeparated(part=["1"]), ValueError,
     "invalid input to argument 'parts'"),
    ("empty **{}", lambda: DotSeparated(**{}), ValueError, "invalid input to argument 'parts'"),
    ("unknown keyword", lambda: DotSeparated(parts=["1"], extra=0), ValueError,
     "'extra' is an invalid keyword argument for DotSeparated()"),
    ("unknown keyword first", lambda: DotSeparated(extra=0, parts=["1"]), ValueError,
     "'extra' is an invalid keyword argument for DotSeparated()"),
    ("conversion before unknown", lambda: DotSeparated(parts=[1], extra=0), TypeError,
     "'int' object cannot be converted to 'PyString'"),
    ("str parts", lambda: DotSeparated(parts="1.2"), TypeError, "Can't extract `str` to `Vec`"),
    ("None parts", lambda: DotSeparated(parts=None), TypeError,
     "'NoneType' object cannot be converted to 'Sequence'"),
    ("int item", lambda: DotSeparated(parts=[1]), TypeError,
     "'int' object cannot be converted to 'PyString'"),
    ("set parts", lambda: DotSeparated(parts={"1"}), TypeError,
     "'set' object cannot be converted to 'Sequence'"),
]


@pytest.mark.parametrize(
    ("label", "call", "exc", "message"),
    FAILURES,
    ids=[f[0] for f in FAILURES],
)
def test_constructor_failures(label, call, exc, message):
    raises_exactly(exc, message, call)


KEYWORDS = [
    (["2024", "01"], "2024.01", 'DotSeparated { parts: ["2024", "01"] }'),
    ([], "", "DotSeparated { parts: [] }"),
    ((), "", "DotSeparated { parts: [] }"),
    ([""], "", 'DotSeparated { parts: [""] }'),
    (["", ""], ".", 'DotSeparated { parts: ["", ""] }'),
    (["a.b"], "a.b", 'DotSeparated { parts: ["a.b"] }'),
    (["a_b", "c d", "é"], "a_b.c d.é", 'DotSeparated { parts: ["a_b", "c d", "é"] }'),
    ([Text("x"), "y"], "x.y", 'DotSeparated { parts: ["x", "y"] }'),
]


@pytest.mark.parametrize(("parts", "text", "as_repr"), KEYWORDS)
def test_keyword_form_stores_the_list_unchanged(parts, text, as_repr):
    d = DotSeparated(parts=parts)
    assert d.parts == list(parts)
    assert str(d) == text
    assert repr(d) == as_repr


def test_keyword_form_equals_parsed():
    assert DotSeparated(parts=["2024", "01"]) == DotSeparated("2024.01")
    assert DotSeparated(parts=[]) == DotSeparated("")
    # One part holding a dot renders like two parts, but is another value.
    one, two = DotSeparated(parts=["a.b"]), DotSeparated(parts=["a", "b"])
    assert str(one) == str(two)
    assert one != two
    assert repr(one) != repr(two)


SETTERS = [
    (("x",), ["x"], "x"),
    (["a", "b", "c"], ["a", "b", "c"], "a.b.c"),
    ([], [], ""),
    ([""], [""], ""),
    (["1.2"], ["1.2"], "1.2"),
]


@pytest.mark.parametrize(("value", "parts", "text"), SETTERS)
def test_parts_setter(value, parts, text):
    d = DotSeparated("1.0.rc")
    d.parts = value
    assert d.parts == parts
    assert str(d) == text


SETTER_FAILURES = [
    ("x", "argument 'new_parts': Can't extract `str` to `Vec`"),
    (None, "argument 'new_parts': 'NoneType' object cannot be converted to 'Sequence'"),
    (7, "argument 'new_parts': 'int' object cannot be converted to 'Sequence'"),
    (["a", b"b"], "argument 'new_parts': 'bytes' object cannot be converted to 'PyString'"),
    ({"a": "b"}, "argument 'new_parts': 'dict' object cannot be converted to 'Sequence'"),
]


@pytest.mark.parametrize(("value", "message"), SETTER_FAILURES)
def test_parts_setter_failures(value, message):
    d = DotSeparated("1.0.rc")
    raises_exactly(TypeError, message, lambda: setattr(d, "parts", value))
    assert d.parts == ["1", "0", "rc"]
    raises_exactly(AttributeError, "can't delete attribute", lambda: delattr(d, "parts"))
    assert d.parts == ["1", "0", "rc"]


def test_parts_list_is_a_copy():
    d = DotSeparated("1.2")
    d.parts.append("3")
    assert str(d) == "1.2"
    given = ["a"]
    d.parts = given
    given[0] = "z"
    assert d.parts == ["a"]


COMPARED = [
    ("digits as text", DotSeparated("1.10"), DotSeparated("1.9"), LESS),
    ("prefix", DotSeparated("1.2"), DotSeparated("1.2.0"), LESS),
    ("empty before empty part", DotSeparated(""), DotSeparated(parts=[""]), LESS),
    ("leading zeros as text", DotSeparated("007"), DotSeparated("7"), LESS),
    ("upper first", DotSeparated("A"), DotSeparated("a"), LESS),
    ("equal", DotSeparated("1.2.3"), DotSeparated(parts=("1", "2", "3")), EQUAL),
    ("utf-8 bytes", DotSeparated(parts=["é"]), DotSeparated(parts=["z"]), GREATER),
    ("one part with dot", DotSeparated(parts=["a.b"]), DotSeparated(parts=["a", "b"]), GREATER),
]


@pytest.mark.parametrize(("label", "a", "b", "expected"), COMPARED, ids=[c[0] for c in COMPARED])
def test_comparisons(label, a, b, expected):
    assert outcomes(a, b) == expected
    assert outcomes(b, a) == mirrored(expected)


def test_never_equal_to_other_classes():
    d = DotSeparated("1.2.3")
    assert (d == Version("1.2.3.4")) is False
    assert (d == DotSeparated(Version("1.2.3.4"))) is False
    assert (d == "1.2.3") is False
    assert (d == ["1", "2", "3"]) is False
    raises_exactly(
        TypeError,
        "'>=' not supported between instances of 'builtins.DotSeparated' and 'builtins.SemVer'",
        lambda: d >= SemVer("1.2.3"),
    )
