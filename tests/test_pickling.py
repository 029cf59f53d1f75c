"""Versions leaving the process: pickle, copy and deepcopy give a new object of
the same class holding exactly the same value. The reconstructor's checks and
the exact reductions are in the leak table, and the fuzzer's pickling mode."""

import copy
import pickle
from pathlib import Path

import pytest

import tolvi
from support import DotSeparated, Other, SemVer, Version

PROTOCOLS = range(pickle.HIGHEST_PROTOCOL + 1)
ODD = ["a.b", "+", "", " ", "line\nfeed", "nul\0", "é€😀", "\u0301"]

# Values made from text, and values that only the keyword forms and setters make.
VALUES = {
    "semver": lambda: SemVer("v1.02.3-rc.1+build.5"),
    "semver rc empty, meta absent": lambda: SemVer("1.2.3-"),
    "semver rc absent, meta empty": lambda: SemVer("1.2.3+"),
    "semver largest numbers": lambda: SemVer("4294967295.4294967295.4294967295"),
    "semver odd identifiers": lambda: SemVer(major=0, minor=0, patch=0, rc=ODD, meta=ODD[::-1]),
    "semver meta only differs": lambda: SemVer(major=1, minor=2, patch=3, meta=["a_b"]),
    "dotted": lambda: DotSeparated("2024.01.rc1"),
    "dotted empty": lambda: DotSeparated(""),
    "dotted that reads as a semver": lambda: DotSeparated("1.2.3"),
    "dotted odd parts": lambda: DotSeparated(parts=ODD),
    "dotted one empty part": lambda: DotSeparated(parts=[""]),
    "other": lambda: Other("nightly_é"),
    "other any text": lambda: Other(value="1.2.3 \n\0+"),
    "other empty": lambda: Other(value=""),
    "other windows path, crlf": lambda: Other(value="C:\\Temp\\v1.2\r\n"),
    "version semver": lambda: Version("1.2.3-rc.1+build.5"),
    "version dotted": lambda: Version("1.2"),
    "version other": lambda: Version("foo_bar"),
    "version empty": lambda: Version(""),
    "version of dotted that reads as a semver": lambda: Version(DotSeparated("1.2.3")),
    "version of odd semver": lambda: Version(SemVer(major=7, minor=8, patch=9, rc=[], meta=ODD)),
    "version of odd dotted": lambda: Version(DotSeparated(parts=["a_b", "c.d"])),
    "version of other that reads as dotted": lambda: Version(Other(value="abc")),
    "version of other any text": lambda: Version(Other(value="")),
}

WAYS = {
    **{f"pickle protocol {p}": (lambda p: lambda x: pickle.loads(pickle.dumps(x, p)))(p)
       for p in PROTOCOLS},
    "copy": copy.copy,
    "deepcopy": copy.deepcopy,
}


@pytest.mark.parametrize("make", VALUES.values(), ids=VALUES.keys())
@pytest.mark.parametrize("way", WAYS.values(), ids=WAYS.keys())
def test_round_trip_keeps_class_and_value(make, way):
    original = make()
    restored = way(original)
    assert restored is not original
    assert type(restored) is type(original)
    assert repr(restored) == repr(original)
    assert restored == original


# Pickles of {name: VALUES[name]()} for the 23 names of VALUES then, written by
# an earlier build: every reduction form, which later builds must keep reading
# and keep writing byte for byte.
SAVED = {p: Path(__file__).parent / "data" / f"values.protocol{p}.pickle" for p in (2, 5)}


@pytest.mark.parametrize("protocol, path", SAVED.items(), ids=[p.name for p in SAVED.values()])
def test_saved_pickles_load_to_identical_values(protocol, path):
    saved = pickle.loads(path.read_bytes())
    assert len(saved) == 23
    assert pickle.dumps({name: VALUES[name]() for name in saved}, protocol) == path.read_bytes()
    for name, restored in saved.items():
        expected = VALUES[name]()
        assert (type(restored), repr(restored)) == (type(expected), repr(expected)), name
        # What a restored value knows of its text must hold when it travels again.
        again = pickle.loads(pickle.dumps(restored, pickle.HIGHEST_PROTOCOL))
        assert repr(again) == repr(expected), name


@pytest.mark.parametrize(
    ("original", "field", "value"),
    [
        (SemVer("1.2.3-rc.1"), "rc", ["x"]),
        (SemVer("1.2.3"), "major", 9),
        (DotSeparated("1.2"), "parts", ["9"]),
        (Other("a_b"), "value", "c_d"),
    ],
)
@pytest.mark.parametrize("way", [copy.copy, copy.deepcopy])
def test_copies_are_independent(original, field, value, way):
    before = repr(original)
    duplicate = way(original)
    setattr(duplicate, field, value)
    assert repr(original) == before
    assert getattr(duplicate, field) == value


def test_reconstructor_is_private_and_found_by_name():
    assert "_reconstruct" not in tolvi.__all__
    assert pickle.loads(pickle.dumps(tolvi._reconstruct)) is tolvi._reconstruct
