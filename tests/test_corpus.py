"""Real version strings never crash the parser, and the order is a total order."""

import re

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from stress_support import scaled
from support import CORPUS, DotSeparated, Other, SemVer, Version

CORPUS_FILES = sorted(CORPUS.glob("*.txt"))

# A semantic version whose text form reproduces it: no "v", no leading zeros,
# numbers within range.
NUMBER = r"(0|[1-9][0-9]*)"
CANONICAL_SEMVER = re.compile(rf"{NUMBER}\.{NUMBER}\.{NUMBER}([-+].*)?", re.S)


def round_trips(v, text):
    if not repr(v).startswith("Version::SemVer"):
        return True
    match = CANONICAL_SEMVER.fullmatch(text)
    return match is not None and all(int(n) <= 4294967295 for n in match.group(1, 2, 3))


def test_corpus_is_present():
    assert len(CORPUS_FILES) >= 3


@pytest.mark.parametrize("path", CORPUS_FILES, ids=lambda p: p.name)
def test_every_corpus_line_parses_or_raises(path):
    lines = path.read_text(encoding="utf-8").splitlines()
    assert lines
    parsed = failed = 0
    for text in lines:
        try:
            v = Version(text)
        except RuntimeError as error:
            assert str(error).startswith("Error: \n")
            failed += 1
            continue
        parsed += 1
        if round_trips(v, text):
            assert str(v) == text
        else:
            # Leading zeros or a "v" are dropped; the value itself survives.
            assert Version(str(v)) == v
    assert parsed > failed


TOKENS = list("0123456789.-+vV_abcRC é\t") + ["99999999999", "4294967296"]
TEXT = st.lists(st.sampled_from(TOKENS), max_size=16).map("".join)


def parse(text):
    try:
        return Version(text)
    except RuntimeError:
        return None


versions = TEXT.map(parse).filter(lambda v: v is not None)


def compare(a, b):
    return (a > b) - (a < b)


@settings(max_examples=scaled(300, 5), deadline=None)
@given(versions, versions, versions)
def test_order_is_total_antisymmetric_transitive(a, b, c):
    assert sum((a < b, a == b, a > b)) == 1
    assert compare(a, b) == -compare(b, a)
    assert (a == b) == (compare(a, b) == 0) == (not a != b)
    assert (a <= b) == (a < b or a == b)
    if compare(a, b) <= 0 and compare(b, c) <= 0:
        assert compare(a, c) <= 0
    if a == b and b == c:
        assert a == c


@settings(max_examples=scaled(300, 5), deadline=None)
@given(st.text(max_size=30))
def test_any_text_gives_a_value_or_a_report(text):
    for cls in (Version, SemVer, DotSeparated, Other):
        try:
            value = cls(text)
        except RuntimeError as error:
            report = str(error)
            assert report.startswith("Error: \n") and report.endswith("───╯\n")
        except UnicodeEncodeError:
            assert any(0xD800 <= ord(c) <= 0xDFFF for c in text)
        else:
            assert type(value) is cls
            assert cls(str(value)) == value
