"""The classes under test and small helpers shared by the test modules."""

import operator
import os
import sys
import sysconfig
from pathlib import Path

import pytest

from tolvi import package

# The submodules are plain attributes, not packages: reach the classes by
# attribute, never by `from tolvi.package.version import ...`.
Version = package.version.Version
SemVer = package.version.SemVer
DotSeparated = package.version.DotSeparated
Other = package.version.Other

# Real version strings, a folder of *.txt files: TOLVI_CORPUS runs the tests on other lists.
CORPUS = Path(os.environ.get("TOLVI_CORPUS")
              or Path(__file__).resolve().parents[1] / "data" / "corpus")


# Windows has no pseudo-terminal, no fork and no /proc: the tests that need one
# skip there, saying which.
WINDOWS = sys.platform == "win32"


def _under_wine():
    if not WINDOWS:
        return False
    import ctypes

    return hasattr(ctypes.windll.ntdll, "wine_get_version")


# Wine runs the Windows wheels here, and lacks what two of the process tests
# need of Windows (see them): they skip under Wine alone.
WINE = _under_wine()

# An interpreter built with ThreadSanitizer, whose runtime keeps a thread of its
# own in every process.
THREAD_SANITIZED = "--with-thread-sanitizer" in (sysconfig.get_config_var("CONFIG_ARGS") or "")


def open_terminal():
    """(master, slave) of a new pseudo-terminal; skips the test where the slave side is
    not a terminal, as under user-mode emulation, which cannot pass the terminal's
    requests on to the kernel, or where there is none, as on Windows."""
    if WINDOWS:
        pytest.skip("Windows has no pseudo-terminal")
    import pty

    master, slave = pty.openpty()
    if not os.isatty(slave):
        os.close(master)
        os.close(slave)
        pytest.skip("a pseudo-terminal is not a terminal here (user-mode emulation)")
    return master, slave


def _panic_type():
    try:
        SemVer("1", "2")
    except BaseException as e:  # noqa: BLE001 - the class is what we are after
        return type(e)
    raise AssertionError("two positional arguments did not fail")


PanicException = _panic_type()


class Text(str):
    """A str subclass: accepted wherever a str is."""


class Index:
    """Converts to an integer only through __index__."""

    def __init__(self, n):
        self.n = n

    def __index__(self):
        return self.n


class Strings:
    """A sequence of str made of __len__ and __getitem__ alone."""

    def __init__(self, *items):
        self.items = items

    def __len__(self):
        return len(self.items)

    def __getitem__(self, i):
        return self.items[i]


# The results of ==, !=, <, <=, > and >= of a value less than, equal to or
# greater than another: the expected column of the kinds' comparison tables.
LESS = [False, True, True, True, False, False]
EQUAL = [True, False, False, True, False, True]
GREATER = [False, True, False, False, True, True]

_MIRRORED = {tuple(LESS): GREATER, tuple(GREATER): LESS, tuple(EQUAL): EQUAL}


def outcomes(a, b):
    """The results of the six comparisons of a with b, in the order of LESS."""
    return [op(a, b) for op in (operator.eq, operator.ne, operator.lt, operator.le,
                                operator.gt, operator.ge)]


def mirrored(expected):
    """The outcomes of b with a, given those of a with b."""
    return _MIRRORED[tuple(expected)]


def raises_exactly(exc_type, message, call):
    """Calls `call` and checks the exception's exact type and message."""
    with pytest.raises(BaseException) as caught:
        call()
    assert type(caught.value) is exc_type, repr(caught.value)
    assert str(caught.value) == message
    return caught.value
