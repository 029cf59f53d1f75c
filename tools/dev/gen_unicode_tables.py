#!/usr/bin/env python3
"""Generate src/core/unicode/tables.cpp, the character-property range tables.

Usage: gen_unicode_tables.py [UCD_DIR] [--output FILE] [--check]

UCD_DIR holds DerivedCoreProperties.txt, DerivedGeneralCategory.txt and
EastAsianWidth.txt, either the official Unicode Character Database files or
extracts of them in the same line format. The output depends on the data
alone (no dates, no paths), so running the tool twice gives identical files
and --check can tell whether the committed tables are up to date.

Needs the Unicode data under data/ alone.
"""

from __future__ import annotations

import argparse
import re
import sys
from dataclasses import dataclass
from pathlib import Path

REPO_ROOT = Path(__file__).resolve().parents[2]
DEFAULT_UCD_DIR = REPO_ROOT / "data" / "unicode-16.0.0"
DEFAULT_OUTPUT = REPO_ROOT / "src" / "core" / "unicode" / "tables.cpp"

CODE_POINTS = 0x110000
ESCAPED_CATEGORIES = ("Cc", "Cf", "Cs", "Co", "Cn", "Zl", "Zp", "Zs")
WIDE_WIDTHS = ("W", "F")

VERSION_RE = re.compile(r"\b(\d+\.\d+\.\d+)\b")
MISSING_PREFIX = "@missing:"

COLUMN_LIMIT = 100  # as in .clang-format
INDENT = "    "


class UcdError(Exception):
    pass


@dataclass(frozen=True)
class Entry:
    first: int
    last: int
    fields: tuple[str, ...]  # the fields after the code point field


@dataclass
class UcdFile:
    path: Path
    version: str | None
    entries: list[Entry]
    missing: list[Entry]  # default values for code points the file does not list


def parse_code_points(text: str, where: str) -> tuple[int, int]:
    first_text, sep, last_text = text.partition("..")
    try:
        first = int(first_text, 16)
        last = int(last_text, 16) if sep else first
    except ValueError:
        raise UcdError(f"{where}: bad code point field {text!r}") from None
    if not 0 <= first <= last < CODE_POINTS:
        raise UcdError(f"{where}: bad code point range {text!r}")
    return first, last


def parse_data(text: str, where: str) -> Entry:
    fields = [field.strip() for field in text.split(";")]
    if len(fields) < 2 or not fields[0] or not fields[1]:
        raise UcdError(f"{where}: expected 'code points ; value', got {text.strip()!r}")
    first, last = parse_code_points(fields[0], where)
    return Entry(first, last, tuple(fields[1:]))


def read_ucd(path: Path) -> UcdFile:
    try:
        lines = path.read_text(encoding="utf-8-sig").splitlines()
    except OSError as error:
        raise UcdError(f"cannot read {path}: {error.strerror}") from None
    version = None
    entries: list[Entry] = []
    missing: list[Entry] = []
    for number, line in enumerate(lines, start=1):
        where = f"{path}:{number}"
        comment_start = line.find("#")
        if comment_start >= 0:
            comment = line[comment_start + 1 :].strip()
            line = line[:comment_start]
            if comment.startswith(MISSING_PREFIX):
                missing.append(parse_data(comment[len(MISSING_PREFIX) :], where))
                continue
            # Both the official files and the extracts name the release in
            # their first comment lines, before any data.
            if version is None and not entries:
                match = VERSION_RE.search(comment)
                if match:
                    version = match.group(1)
        if line.strip():
            entries.append(parse_data(line, where))
    if not entries:
        raise UcdError(f"{path}: no data lines")
    return UcdFile(path, version, entries, missing)


def paint(bitmap: bytearray, entry: Entry, value: bool) -> None:
    length = entry.last - entry.first + 1
    bitmap[entry.first : entry.last + 1] = (b"\x01" if value else b"\x00") * length


def binary_property(ucd: UcdFile, name: str) -> bytearray:
    """Code points listed with `name` as their property (binary properties
    default to false, so @missing lines have nothing to add)."""
    members = bytearray(CODE_POINTS)
    found = False
    for entry in ucd.entries:
        if entry.fields[0] == name:
            paint(members, entry, True)
            found = True
    if not found:
        raise UcdError(f"{ucd.path}: property {name} not found")
    return members


def enumerated_property(ucd: UcdFile, values: tuple[str, ...]) -> bytearray:
    """Code points whose value is one of `values`. The official files leave
    some code points to their @missing defaults (East_Asian_Width W for the
    unassigned parts of the CJK blocks and planes 2 and 3, for example), so
    defaults apply wherever no data line speaks, later defaults overriding
    earlier ones as the file format prescribes."""
    members = bytearray(CODE_POINTS)
    known = bytearray(CODE_POINTS)
    seen: set[str] = set()
    for entry in ucd.missing + ucd.entries:
        value = entry.fields[0]
        seen.add(value)
        paint(members, entry, value in values)
        paint(known, entry, True)
    unknown = known.find(0)
    if unknown >= 0:
        raise UcdError(f"{ucd.path}: no value for U+{unknown:04X}")
    absent = [value for value in values if value not in seen]
    if absent:
        raise UcdError(f"{ucd.path}: no code point has the value {', '.join(absent)}")
    return members


def to_ranges(members: bytearray) -> list[tuple[int, int]]:
    # Runs of members are maximal, so adjacent and overlapping input ranges
    # come out merged.
    return [(run.start(), run.end() - 1) for run in re.finditer(b"\x01+", bytes(members))]


def ascii_mask(members: bytearray) -> tuple[int, int]:
    low = sum(1 << c for c in range(64) if members[c])
    high = sum(1 << (c - 64) for c in range(64, 128) if members[c])
    return low, high


@dataclass(frozen=True)
class Table:
    function: str
    name: str
    description: str
    members: bytearray


def build_tables(ucd_dir: Path) -> tuple[str, list[Table]]:
    core = read_ucd(ucd_dir / "DerivedCoreProperties.txt")
    category = read_ucd(ucd_dir / "DerivedGeneralCategory.txt")
    width = read_ucd(ucd_dir / "EastAsianWidth.txt")

    versions = {ucd.path.name: ucd.version for ucd in (core, category, width)}
    if None in versions.values() or len(set(versions.values())) != 1:
        listed = ", ".join(f"{name}: {version or 'none'}" for name, version in versions.items())
        raise UcdError(f"the files do not name one Unicode version ({listed})")
    version = core.version
    assert version is not None

    escaped = enumerated_property(category, ESCAPED_CATEGORIES)
    if not escaped[0x20]:
        raise UcdError(f"{category.path}: U+0020 is not Zs")
    escaped[0x20] = 0  # a plain space is printed as itself

    tables = [
        Table(
            "is_grapheme_extend",
            "kGraphemeExtend",
            "Grapheme_Extend",
            binary_property(core, "Grapheme_Extend"),
        ),
        Table(
            "is_escaped_category",
            "kEscapedCategory",
            "General_Category " + ", ".join(ESCAPED_CATEGORIES) + ", without U+0020",
            escaped,
        ),
        Table("is_xid_start", "kXidStart", "XID_Start", binary_property(core, "XID_Start")),
        Table(
            "is_xid_continue", "kXidContinue", "XID_Continue", binary_property(core, "XID_Continue")
        ),
        Table(
            "is_wide",
            "kWide",
            "East_Asian_Width " + " or ".join(WIDE_WIDTHS),
            enumerated_property(width, WIDE_WIDTHS),
        ),
    ]
    return version, tables


def hex_code_point(c: int) -> str:
    return f"0x{c:04X}"


def range_lines(ranges: list[tuple[int, int]]) -> list[str]:
    """Several ranges a line in aligned columns. The formatter would pick its own
    column count, so the generated layout is fenced off from it instead."""
    cells = [f"{{{hex_code_point(first)}, {hex_code_point(last)}}}," for first, last in ranges]
    width = max(len(cell) for cell in cells)
    per_line = max(1, (COLUMN_LIMIT - len(INDENT) + 1) // (width + 1))
    lines = []
    for start in range(0, len(cells), per_line):
        row = cells[start : start + per_line]
        lines.append(INDENT + " ".join(cell.ljust(width) for cell in row).rstrip())
    return lines


def render(version: str, tables: list[Table]) -> str:
    out: list[str] = []
    emit = out.append
    emit("// Generated by tools/dev/gen_unicode_tables.py from the Unicode Character Database")
    emit(f"// {version} (DerivedCoreProperties.txt, DerivedGeneralCategory.txt, EastAsianWidth.txt).")
    emit("// Do not edit by hand: change the generator or its input and run it again.")
    emit("")
    emit('#include "core/unicode/properties.hpp"')
    emit('#include "core/unicode/range_table.hpp"')
    emit("")
    emit("namespace tolvi::unicode {")
    emit("")
    emit("namespace {")
    for table in tables:
        ranges = to_ranges(table.members)
        low, high = ascii_mask(table.members)
        emit("")
        emit(f"// {table.description}: {len(ranges)} ranges.")
        emit(f"constexpr Range {table.name}[] = {{")
        emit("    // clang-format off")
        out.extend(range_lines(ranges))
        emit("    // clang-format on")
        emit("};")
        emit(f"constexpr AsciiSet {table.name}Ascii{{0x{low:016X}, 0x{high:016X}}};")
        emit(f"static_assert(is_normalized({table.name}));")
        emit(f"static_assert(agrees({table.name}Ascii, {table.name}));")
    emit("")
    emit("} // namespace")
    for table in tables:
        emit("")
        emit(f"bool {table.function}(char32_t c) noexcept {{")
        emit(f"    return contains({table.name}Ascii, {table.name}, c);")
        emit("}")
    emit("")
    emit("} // namespace tolvi::unicode")
    return "\n".join(out) + "\n"


def main(argv: list[str]) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument(
        "ucd_dir",
        nargs="?",
        type=Path,
        default=DEFAULT_UCD_DIR,
        help=f"directory with the UCD files (default: {DEFAULT_UCD_DIR})",
    )
    parser.add_argument(
        "--output",
        type=Path,
        default=DEFAULT_OUTPUT,
        help="the C++ file to write (default: src/core/unicode/tables.cpp)",
    )
    parser.add_argument(
        "--check",
        action="store_true",
        help="do not write; exit with status 1 if the output file is not up to date",
    )
    args = parser.parse_args(argv)

    try:
        version, tables = build_tables(args.ucd_dir)
    except UcdError as error:
        print(f"gen_unicode_tables: {error}", file=sys.stderr)
        return 2
    text = render(version, tables)

    if args.check:
        try:
            current = args.output.read_text(encoding="utf-8")
        except FileNotFoundError:
            current = None
        if current != text:
            print(f"gen_unicode_tables: {args.output} is out of date", file=sys.stderr)
            return 1
        return 0
    args.output.parent.mkdir(parents=True, exist_ok=True)
    with open(args.output, "w", encoding="utf-8", newline="\n") as file:
        file.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
