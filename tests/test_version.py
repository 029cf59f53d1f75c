"""The general Version class: its constructor's dispatch and failures."""

import subprocess
import sys
import textwrap

import pytest

from stress_support import SANITIZED
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


# Calls of Version once its __new__ is replaced, each with what the replacement
# receives: every call reaches it, whatever the route the call would take.
REPLACED_NEW_CALLS = [
    ('Version("1.2.3")', "Version ('1.2.3',) {}"),
    ("Version()", "Version () {}"),
    ('Version("1", "2")', "Version ('1', '2') {}"),
    ('Version(value="1")', "Version () {'value': '1'}"),
]


def test_replaced_new_is_called():
    # In a process of its own: the interpreter cannot give the class back its
    # own creation slot once it is replaced.
    code = textwrap.dedent(
        """
        from tolvi import package
        Version = package.version.Version

        def new(cls, *args, **kwargs):
            return f"{cls.__name__} {args} {kwargs}"

        Version.__new__ = new
        for call in CALLS:
            print(eval(call))
        """
    ).replace("CALLS", repr([call for call, _ in REPLACED_NEW_CALLS]))
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                            timeout=60)
    assert result.stdout.splitlines() == [seen for _, seen in REPLACED_NEW_CALLS]
    assert result.stderr == ""


@pytest.mark.skipif(not SANITIZED, reason="only the address sanitizer sees the freed block")
def test_sanitizer_sees_a_freed_version_read():
    # A Version small enough for the blocks kept for reuse, freed while still
    # referenced, then read.
    code = textwrap.dedent(
        """
        import ctypes, os
        from tolvi import package
        freed = package.version.Version("1.2.3")
        ctypes.pythonapi.Py_DecRef(ctypes.py_object(freed))
        print(str(freed), flush=True)
        os._exit(0)
        """
    )
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                            timeout=60)
    assert "ERROR: AddressSanitizer: heap-use-after-free" in result.stderr
    assert result.returncode != 0
