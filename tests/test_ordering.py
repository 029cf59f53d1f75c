"""Equality and ordering of version values under the six operators."""

import operator

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from stress_support import scaled
from support import DotSeparated, Other, SemVer, Version


def sv(text, rc=None, meta=None):
    major, minor, patch = map(int, text.split("."))
    return SemVer(major=major, minor=minor, patch=patch, rc=rc, meta=meta)


LESS, EQUAL, GREATER = -1, 0, 1

OUTCOMES = [
    (sv("1.0.0", ["rc", "1"]), sv("1.0.0"), LESS),
    (sv("1.0.0", ["alpha"]), sv("1.0.0", ["alpha", "1"]), LESS),
    (sv("1.0.0", ["alpha", "10"]), sv("1.0.0", ["alpha", "9"]), LESS),
    (sv("1.0.0", ["beta"]), sv("1.0.0", ["alpha"]), GREATER),
    (sv("1.0.0", ["RC"]), sv("1.0.0", ["rc"]), LESS),
    (sv("1.0.0", []), sv("1.0.0"), LESS),
    (sv("1.0.0", []), sv("1.0.0", ["0"]), LESS),
    (sv("1.2.3", meta=["build", "1"]), sv("1.2.3", meta=["build", "2"]), EQUAL),
    (sv("1.2.3"), sv("1.2.3", meta=["x"]), EQUAL),
    (sv("2.0.0"), sv("1.99.99"), GREATER),
    (sv("4294967295.0.0"), sv("0.0.0"), GREATER),
    (sv("1.0.0"), sv("1.0.1"), LESS),
    (sv("1.1.0"), sv("1.0.9"), GREATER),
    (sv("1.0.0", ["é"]), sv("1.0.0", ["z"]), GREATER),  # UTF-8 bytes, not Latin-1
    (DotSeparated(parts=["1", "10"]), DotSeparated(parts=["1", "9"]), LESS),
    (DotSeparated(parts=["1", "2"]), DotSeparated(parts=["1", "2", "0"]), LESS),
    (DotSeparated(parts=[]), DotSeparated(parts=[""]), LESS),
    (DotSeparated(parts=["007"]), DotSeparated(parts=["7"]), LESS),
    (DotSeparated(parts=["1.2"]), DotSeparated(parts=["1", "2"]), GREATER),
    (DotSeparated(parts=["", ""]), DotSeparated(parts=[""]), GREATER),
    (sv("1.0.0", ["a.b"]), sv("1.0.0", ["a", "b"]), GREATER),
    (sv("1.0.0", ["a+b"], ["c"]), sv("1.0.0", ["a"], ["b", "c"]), GREATER),
    (Other(value="ab"), Other(value="abc"), LESS),
    (Other(value="Z"), Other(value="a"), LESS),
    (Other(value="\uffff"), Other(value="\U00010000"), LESS),  # code point order
    (Version("99.0.0"), Version("1"), LESS),
    (Version("9"), Version("a_b"), LESS),
    (Version(Other(value="1.2.3")), Version("1.2.3"), GREATER),
    (Version("1.0.0-rc.1"), Version("1.0.0"), LESS),
    (Version("1.0.0+a"), Version("1.0.0+b"), EQUAL),
    (Version("1.2"), Version("1.2.0.0"), LESS),
]


# A Version holds its value in another form than the kinds do, and orders alike.
WRAPPED = [(Version(a), Version(b), outcome) for a, b, outcome in OUTCOMES
           if not isinstance(a, Version)]


@pytest.mark.parametrize(("a", "b", "outcome"), OUTCOMES + WRAPPED)
def test_six_operators_follow_the_ordering(a, b, outcome):
    for op in (operator.lt, operator.le, operator.eq, operator.ne, operator.gt, operator.ge):
        assert op(a, b) is op(outcome, 0), (op, a, b)
        assert op(b, a) is op(-outcome, 0), (op, b, a)


@pytest.mark.parametrize(
    ("a", "b"),
    [
        (Version("1.2.3"), SemVer("1.2.3")),
        (SemVer("1.2.3"), Version("1.2.3")),
        (Version("1.2.3"), "1.2.3"),
        (DotSeparated("1.2"), Version("1.2")),
        (Other("a_b"), Version("a_b")),
        (SemVer("1.2.3"), DotSeparated("1.2.3")),
        (Version("1"), 1),
    ],
)
def test_other_classes_never_compare(a, b):
    assert (a == b) is False
    assert (a != b) is True
    name = type(a).__name__
    for op in (operator.lt, operator.le, operator.gt, operator.ge):
        with pytest.raises(TypeError, match=rf"not supported between instances of 'builtins\.{name}'"):
            op(a, b)


def test_equal_values_need_not_look_the_same():
    a, b = Version("1.2.3+a"), Version("1.2.3+b")
    assert a == b and not a < b and not b < a
    assert str(a) != str(b)


def test_sorting_mixed_versions():
    texts = ["1.0.0", "1.0.0-rc.1", "a_b", "1.0", "0.9.9", "1.0.0-alpha", "latest", "1.0.0-"]
    ordered = [str(v) for v in sorted(Version(t) for t in texts)]
    assert ordered == [
        "0.9.9", "1.0.0-", "1.0.0-alpha", "1.0.0-rc.1", "1.0.0", "1.0", "latest", "a_b",
    ]


# A reference model of the ordering, to check the operators on values that
# the grammar would never produce (any text, NUL and 0x01 included).
def reference_key(v):
    for kind, cls in enumerate((SemVer, DotSeparated, Other)):
        try:
            value = cls(v)
        except TypeError:
            continue
        if cls is SemVer:
            rc = (1,) if value.rc is None else (0, value.rc)
            return (kind, value.major, value.minor, value.patch, rc)
        return (kind, value.parts if cls is DotSeparated else value.value)
    raise AssertionError(repr(v))


TEXT = st.text(alphabet=st.sampled_from(["", "\x00", "\x01", "\x02", "a", "b", "é", "."]).filter(len)
               | st.characters(codec="utf-8"), max_size=10)
NUMBER = st.sampled_from([0, 1, 2, 3, 4, 7, 8, 2**30, 2**32 - 1])
ANY_VERSION = st.one_of(
    st.builds(
        lambda a, b, c, rc: Version(SemVer(major=a, minor=b, patch=c, rc=rc)),
        NUMBER, NUMBER, NUMBER, st.none() | st.lists(TEXT, max_size=3),
    ),
    st.builds(lambda parts: Version(DotSeparated(parts=parts)), st.lists(TEXT, max_size=4)),
    st.builds(lambda value: Version(Other(value=value)), TEXT),
)


@settings(max_examples=scaled(2000, 10), deadline=None)
@given(ANY_VERSION, ANY_VERSION)
def test_operators_match_the_reference_order(a, b):
    ka, kb = reference_key(a), reference_key(b)
    assert (a < b) is (ka < kb)
    assert (a == b) is (ka == kb)
    assert (a > b) is (ka > kb)
