"""The Other class: construction, the value property, text and comparisons."""

import pytest

from reports import ascii_report
from support import (
    DotSeparated, EQUAL, GREATER, LESS, mirrored, Other, outcomes, PanicException, raises_exactly,
    SemVer, Text, Version,
)


class Holder:
    class Item:
        pass


PARSED = ["nightly", "nightly_1", "_x9", "foo_bar", "é", "_", "Ab9_z"]


@pytest.mark.parametrize("text", PARSED)
def test_parsed(text):
    for o in (Other(text), Other(Text(text))):
        assert type(o) is Other
        assert o.value == text
        assert type(o.value) is str
        assert str(o) == text
        assert repr(o) == f'Other {{ value: "{text}" }}'


def test_from_version_copies_the_held_string():
    v = Version("nightly_1")
    o = Other(v)
    assert o.value == "nightly_1"
    o.value = "changed"
    assert str(v) == "nightly_1"
    assert Other(v).value == "nightly_1"


def _report(text, start, end, message):
    return ascii_report("Other", text, start, end, message)


FAILURES = [
    ("no arguments", lambda: Other(), ValueError, "Other() requires arguments"),
    ("dotted", lambda: Other("1.2.3"), RuntimeError,
     _report("1.2.3", 0, 1, "found '1' expected identifier")),
    ("empty", lambda: Other(""), RuntimeError,
     _report("", 0, 0, "found end of input expected identifier")),
    ("space", lambda: Other("night ly"), RuntimeError,
     _report("night ly", 5, 6, "found ' ' expected identifier, or end of input")),
    ("hyphen", lambda: Other("ab-c"), RuntimeError,
     _report("ab-c", 2, 3, "found '-' expected identifier, or end of input")),
    ("Version of DotSeparated", lambda: Other(Version("nightly")), TypeError,
     'Expected Other; found Version::DotSeparated { parts: ["nightly"] }'),
    ("Version of SemVer", lambda: Other(Version("1.2.3-rc")), TypeError,
     "Expected Other; found "
     'Version::SemVer { major: 1, minor: 2, patch: 3, rc: Some(["rc"]), meta: None }'),
    ("SemVer", lambda: Other(SemVer("1.2.3")), TypeError,
     "Cannot construct Other from type 'SemVer'"),
    ("DotSeparated", lambda: Other(DotSeparated("x")), TypeError,
     "Cannot construct Other from type 'DotSeparated'"),
    ("bytes", lambda: Other(b"x"), TypeError, "Cannot construct Other from type 'bytes'"),
    ("two arguments", lambda: Other("a", "b"), PanicException, "not yet implemented"),
    ("string and keyword", lambda: Other("x", value="y"), TypeError,
     "Constructor expects *args or **kwargs, but not both"),
    ("string and **{}", lambda: Other("x", **{}), TypeError,
     "Constructor expects *args or **kwargs, but not both"),
    ("misspelt keyword", lambda: Other(val="x"), ValueError, "invalid input to argument 'value'"),
    ("empty **{}", lambda: Other(**{}), ValueError, "invalid input to argument 'value'"),
    ("unknown keyword", lambda: Other(value="x", kind="y"), ValueError,
     "'kind' is an invalid keyword argument for Other()"),
    ("conversion before unknown", lambda: Other(value=None, kind="y"), TypeError,
     "'NoneType' object cannot be converted to 'PyString'"),
    ("int value", lambda: Other(value=5), TypeError,
     "'int' object cannot be converted to 'PyString'"),
    ("None value", lambda: Other(value=None), TypeError,
     "'NoneType' object cannot be converted to 'PyString'"),
    ("bytes value", lambda: Other(value=b"x"), TypeError,
     "'bytes' object cannot be converted to 'PyString'"),
    ("list value", lambda: Other(value=["x"]), TypeError,
     "'list' object cannot be converted to 'PyString'"),
    ("nested class value", lambda: Other(value=Holder.Item()), TypeError,
     "'Holder.Item' object cannot be converted to 'PyString'"),
]


@pytest.mark.parametrize(
    ("label", "call", "exc", "message"),
    FAILURES,
    ids=[f[0] for f in FAILURES],
)
def test_constructor_failures(label, call, exc, message):
    raises_exactly(exc, message, call)


VALUES = [
    ("1.2.3", 'Other { value: "1.2.3" }'),
    ("", 'Other { value: "" }'),
    ("night ly", 'Other { value: "night ly" }'),
    ('a"b\\c', 'Other { value: "a\\"b\\\\c" }'),
    ("tab\there", 'Other { value: "tab\\there" }'),
    (Text("sub"), 'Other { value: "sub" }'),
]


@pytest.mark.parametrize(("value", "as_repr"), VALUES)
def test_keyword_form_and_setter_store_any_string(value, as_repr):
    o = Other(value=value)
    assert o.value == value
    assert type(o.value) is str
    assert str(o) == value
    assert repr(o) == as_repr
    o = Other("x_y")
    o.value = value
    assert o.value == value
    assert repr(o) == as_repr


def test_keyword_form_equals_parsed():
    assert Other(value="nightly_1") == Other("nightly_1")
    assert repr(Other(value="nightly_1")) == repr(Other("nightly_1"))


def test_setter_replaces_the_string():
    o = Other("abc")
    o.value = "b"
    assert repr(o) == 'Other { value: "b" }'
    assert str(o) == "b"


SETTER_FAILURES = [
    (1, "argument 'new_value': 'int' object cannot be converted to 'PyString'"),
    (None, "argument 'new_value': 'NoneType' object cannot be converted to 'PyString'"),
    (["x"], "argument 'new_value': 'list' object cannot be converted to 'PyString'"),
    (b"x", "argument 'new_value': 'bytes' object cannot be converted to 'PyString'"),
    (Other("y"), "argument 'new_value': 'Other' object cannot be converted to 'PyString'"),
]


@pytest.mark.parametrize(("value", "message"), SETTER_FAILURES)
def test_setter_failures(value, message):
    o = Other("abc")
    raises_exactly(TypeError, message, lambda: setattr(o, "value", value))
    assert o.value == "abc"
    raises_exactly(AttributeError, "can't delete attribute", lambda: delattr(o, "value"))
    assert o.value == "abc"


def test_text_that_cannot_be_encoded():
    with pytest.raises(UnicodeEncodeError):
        Other(value="a\udc80")
    o = Other("abc")
    with pytest.raises(UnicodeEncodeError):  # not a TypeError: not renamed
        o.value = "a\udc80"
    assert o.value == "abc"


COMPARED = [
    ("bytewise", Other("Z"), Other("a"), LESS),
    ("prefix", Other("ab"), Other("abc"), LESS),
    ("equal", Other("x_y"), Other(value="x_y"), EQUAL),
    ("empty first", Other(value=""), Other(value="\x00"), LESS),
    ("utf-8 bytes", Other("é"), Other("z"), GREATER),
    ("digits as text", Other(value="10"), Other(value="9"), LESS),
]


@pytest.mark.parametrize(("label", "a", "b", "expected"), COMPARED, ids=[c[0] for c in COMPARED])
def test_comparisons(label, a, b, expected):
    assert outcomes(a, b) == expected
    assert outcomes(b, a) == mirrored(expected)


def test_never_equal_to_other_classes():
    o = Other("x")
    assert (o == "x") is False
    assert (o != "x") is True
    assert (Other("x_y") == Version("x_y")) is False
    raises_exactly(
        TypeError,
        "'<=' not supported between instances of 'builtins.Other' and 'builtins.Version'",
        lambda: o <= Version("x_y"),
    )
