"""The general Version class: its constructor's dispatch and failures."""

import pytest

from support import DotSeparated, Other, raises_exactly, SemVer, Text, Version


class ShownAs(str):
    """A str subclass whose str() differs from its text."""

    def __str__(self):
        return "shown"


class StrFails(str):
    def __str__(self):
        raise LookupError("str() of the key was called")


UNEXPECTED = "Version.__new__() got an unexpected keyword argument '{}'"
CANNOT = "Cannot construct Version from type '{}'"

# (label, call, exception, message)
FAILURES = [
    ("no arguments", lambda: Version(), ValueError, "Version() requires arguments"),
    ("two arguments", lambda: Version("1", "2"), ValueError, "Version() requires arguments"),
    ("keyword", lambda: Version(value="1"), TypeError, UNEXPECTED.format("value")),
    # The keyword test comes before the count and the argument's type.
    ("keyword and argument", lambda: Version("1", value="1"), TypeError, UNEXPECTED.format("value")),
    ("keyword only", lambda: Version(x=1), TypeError, UNEXPECTED.format("x")),
    ("first of two keywords", lambda: Version(b=1, a=2), TypeError, UNEXPECTED.format("b")),
    # A keyword is named by its text; no code of the key's class runs.
    ("str subclass key", lambda: Version("1", **{ShownAs("k"): 1}), TypeError,
     UNEXPECTED.format("k")),
    ("key whose str() fails", lambda: Version(**{StrFails("k"): 1}), TypeError,
     UNEXPECTED.format("k")),
    ("int", lambda: Version(1), TypeError, CANNOT.format("int")),
    ("bytes", lambda: Version(b"1.0"), TypeError, CANNOT.format("bytes")),
    ("None", lambda: Version(None), TypeError, CANNOT.format("NoneType")),
    ("list", lambda: Version(["1"]), TypeError, CANNOT.format("list")),
]


@pytest.mark.parametrize(("label", "call", "exc", "message"), FAILURES,
                         ids=[row[0] for row in FAILURES])
def test_constructor_failures(label, call, exc, message):
    raises_exactly(exc, message, call)


def test_explicit_empty_keywords_count_as_none():
    assert Version("1.0", **{}) == Version("1.0")


@pytest.mark.parametrize(
    ("argument", "expected_repr"),
    [
        ("1.2.3", "Version::SemVer { major: 1, minor: 2, patch: 3, rc: None, meta: None }"),
        (Text("1.2.3.4"), 'Version::DotSeparated { parts: ["1", "2", "3", "4"] }'),
        (SemVer("1.2.3+b"), 'Version::SemVer { major: 1, minor: 2, patch: 3, rc: None, '
                            'meta: Some(["b"]) }'),
        (DotSeparated("2024.01"), 'Version::DotSeparated { parts: ["2024", "01"] }'),
        (Other("nightly_1"), 'Version::Other { value: "nightly_1" }'),
        (Version("2.0.0"), "Version::SemVer { major: 2, minor: 0, patch: 0, rc: None, meta: None }"),
    ],
    ids=["str", "str subclass", "SemVer", "DotSeparated", "Other", "Version"],
)
def test_constructor_dispatch(argument, expected_repr):
    made = Version(argument)
    assert repr(made) == expected_repr
    assert made is not argument


def test_kinds_and_general_class_never_compare_equal():
    assert Version(SemVer("1.2.3")) == Version("1.2.3")
    assert (Version("1.2.3") == SemVer("1.2.3")) is False
    assert (SemVer("1.2.3") != Version("1.2.3")) is True
