"""A tour of tolvi: the three kinds of version and their fields, a value built from
parts and changed through its setters, equality, a sort of real versions, and the
report for a string that does not parse.

    python examples/demo.py            # sorts the versions of data/corpus/*.txt (or $TOLVI_CORPUS)
    python examples/demo.py PATH...    # or of these files (or folders of *.txt), a version a line

The report is coloured only where the module itself would colour it, and never when
the demo's own output is not a terminal: `make demo > log` writes no escape codes.
"""

import os
import sys
import textwrap
import time
from bisect import bisect_left
from contextlib import suppress
from importlib.metadata import version as distribution_version
from itertools import groupby, islice
from pathlib import Path

# The module decides on colour once, at its first report, from standard error; the
# demo prints reports on standard output, so it keeps them plain when that is not a
# terminal (an explicit CLICOLOR_FORCE still wins, as everywhere).
if not sys.stdout.isatty() and not os.environ.get("NO_COLOR"):
    os.environ["NO_COLOR"] = "1"

import tolvi  # noqa: E402

Version = tolvi.package.version.Version
SemVer = tolvi.package.version.SemVer
DotSeparated = tolvi.package.version.DotSeparated
Other = tolvi.package.version.Other

CORPUS = Path(os.environ.get("TOLVI_CORPUS")
              or Path(__file__).resolve().parents[1] / "data" / "corpus")


def kind(v):
    """The value in the class of its kind: each class refuses a Version of another kind."""
    for cls in (SemVer, DotSeparated):
        with suppress(TypeError):
            return cls(v)
    return Other(v)


def fields(value):
    names = {SemVer: ["major", "minor", "patch", "rc", "meta"], DotSeparated: ["parts"],
             Other: ["value"]}[type(value)]
    return " ".join(f"{name}={getattr(value, name)!r}" for name in names)


def heading(number, title):
    print(f"\n{number}. {title}")


def show_kinds():
    heading(1, "Every string parses into one of three kinds")
    print(f"   {'Version(text)':22} {'kind':13} {'str()':22} fields")
    for text in ["1.2.0-rc.1+build.5", "v1.02.3", "2024.01", "nightly_build", ""]:
        value = kind(Version(text))
        print(f"   {text!r:22} {type(value).__name__:13} {str(value)!r:22} {fields(value)}")
    print("   (kind: SemVer(v), DotSeparated(v) and Other(v) each take only a Version of their kind)")
    print(f"   repr() shows the structure: {Version('1.2.0-rc.1')!r}")


def show_building():
    heading(2, "A value built from parts, then changed through its setters")
    v = SemVer(major=1, minor=2, patch=3)
    print(f"   {'SemVer(major=1, minor=2, patch=3)':36} {v}")
    steps = [("rc", ["beta", "2"], '.rc = ["beta", "2"]'), ("patch", 4, ".patch = 4"),
             ("meta", ["linux"], '.meta = ["linux"]'), ("rc", None, ".rc = None")]
    for name, new, label in steps:
        setattr(v, name, new)
        print(f"   {label:36} {v}")
    print(f"   {'repr()':36} {v!r}")


def show_equality():
    heading(3, "Equality ignores build metadata; a pre-release comes before its release")
    pairs = [("1.2.0", "==", "1.2.0+exp"), ("1.2.0-rc.1", "<", "1.2.0"),
             ("1.2.0", "<", "1.10.0"), ("0.9", "<", "0.10")]
    for left, op, right in pairs:
        a, b = Version(left), Version(right)
        result = a == b if op == "==" else a < b
        print(f"   {left:>10} {op:2} {right:10} {result}")
    print("   (the numbers of a SemVer compare as numbers, dotted parts as text)")
    print(f"   str(Version('1.2.0+exp')) keeps the metadata: {Version('1.2.0+exp')}")


def duration(seconds):
    return f"{1e3 * seconds:.1f} ms" if seconds >= 1e-3 else f"{1e6 * seconds:.0f} µs"


def per(seconds, count, unit):
    return f" ({1e9 * seconds / count:.0f} ns a {unit})" if count else ""


def read_lines(paths):
    lines = []
    for path in paths:
        for file in sorted(path.glob("*.txt")) if path.is_dir() else [path]:
            lines += file.read_text(encoding="utf-8").splitlines()
    return lines


def parse_all(lines):
    """The versions of the lines that parse."""
    versions = []
    for line in lines:
        try:
            versions.append(Version(line))
        except RuntimeError:
            pass  # not a version: the report says why
    return versions


def show_sorting(paths):
    paths = paths or [CORPUS]
    source, lines = ", ".join(map(str, paths)), read_lines(paths)
    heading(4, f"Sorting real versions: {len(lines):,} lines of {source}")
    start = time.perf_counter()
    versions = parse_all(lines)
    parsed = time.perf_counter()
    ordered = sorted(versions)
    done = time.perf_counter()
    print(f"   parsed {len(versions):,} versions in {duration(parsed - start)}"
          f"{per(parsed - start, len(lines), 'line')}; lines that do not parse: "
          f"{len(lines) - len(versions):,}")
    print(f"   sorted them in {duration(done - parsed)}{per(done - parsed, len(ordered), 'version')}")
    print("   in the sorted list each kind is one run, in this order:")
    rank = {SemVer: 0, DotSeparated: 1, Other: 2}
    bounds = [bisect_left(ordered, r, key=lambda v: rank[type(kind(v))]) for r in range(3)]
    for cls, first, end in zip(rank, bounds, bounds[1:] + [len(ordered)]):
        span = f"from {str(ordered[first])!r} to {str(ordered[end - 1])!r}" if end > first else "none"
        print(f"   {cls.__name__:13} {end - first:>9,}  {span}")
    at = bisect_left(ordered, Version("1.0.0-rc.1"))
    stretch = [str(v) for v, _ in islice(groupby(ordered[at:at + 10_000]), 10)]
    if stretch:
        print("   a stretch of it from 1.0.0-rc.1 on, without repeats; identifiers compare as text:")
        print("   " + "  ".join(stretch))


def show_report():
    heading(5, "A string that does not parse raises RuntimeError, with a report")
    print('   Version("1.2.3-rc..1")')
    try:
        Version("1.2.3-rc..1")
    except RuntimeError as error:
        print(textwrap.indent(str(error), "   "), end="")


def main():
    print(f"tolvi {distribution_version('tolvi')} on CPython {sys.version.split()[0]}")
    show_kinds()
    show_building()
    show_equality()
    show_sorting([Path(p) for p in sys.argv[1:]])
    show_report()


if __name__ == "__main__":
    main()
