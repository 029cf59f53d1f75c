"""The report text that a failed parse raises, as Python code receives it.

Every test here runs in the test process, where the colour decision is plain
(conftest.py); colour is tested in subprocesses by test_report_colour.py.
"""

import pytest

from reports import ascii_report, plain_report
from support import DotSeparated, Other, SemVer, Text, Version

PARSERS = {"Version": Version, "SemVer": SemVer, "DotSeparated": DotSeparated, "Other": Other}

NOTHING_MATCHES = "'v', integer, dot-separated list, end of input, or identifier"
AFTER_TWO_NUMBERS = "digit, '.', alphanumeric or '-', or end of input"
AFTER_THREE_NUMBERS = "digit, '-', '+', end of input, alphanumeric or '-', or '.'"
AFTER_IDENTIFIER = "identifier, or end of input"
AFTER_DOT = "integer, or alphanumeric or '-'"


def report_of(kind, text):
    """The message of the RuntimeError that the constructor raises for text."""
    with pytest.raises(RuntimeError) as caught:
        PARSERS[kind](text)
    assert type(caught.value) is RuntimeError
    assert len(caught.value.args) == 1
    report = caught.value.args[0]
    assert isinstance(report, str)
    assert str(caught.value) == report
    return report


# ---------------------------------------------------------------- whole reports, written out


@pytest.mark.parametrize(
    ("kind", "text", "expected"),
    [
        pytest.param(
            "Version",
            "1..2",
            "Error: \n"
            "   ╭─[ tolvi::package::version::Version:1:3 ]\n"
            "   │\n"
            " 1 │ 1..2\n"
            "   │   ┬  \n"
            "   │   ╰── found '.' expected integer, or alphanumeric or '-'\n"
            "───╯\n",
            id="double-dot",
        ),
        pytest.param(
            "SemVer",
            "1.2",
            "Error: \n"
            "   ╭─[ tolvi::package::version::semver::SemVer:1:4 ]\n"
            "   │\n"
            " 1 │ 1.2\n"
            "   │    │ \n"
            "   │    ╰─ found end of input expected digit, or '.'\n"
            "───╯\n",
            id="empty-span-at-end",
        ),
        pytest.param(
            "Version",
            "\t1.2..3",
            "Error: \n"
            "   ╭─[ tolvi::package::version::Version:1:1 ]\n"
            "   │\n"
            " 1 │     1.2..3\n"
            "   │ ┬───  \n"
            "   │ ╰───── found '\t' expected 'v', integer, dot-separated list, end of input, "
            "or identifier\n"
            "───╯\n",
            id="tab-at-error",
        ),
        pytest.param(
            "Version",
            "é x",
            "Error: \n"
            "   ╭─[ tolvi::package::version::Version:1:2 ]\n"
            "   │\n"
            " 1 │ é x\n"
            "   │  ┬  \n"
            "   │  ╰── found ' ' expected identifier, or end of input\n"
            "───╯\n",
            id="two-byte-character-before-error",
        ),
        pytest.param(
            "Version",
            "1.2.3 ",
            "Error: \n"
            "   ╭─[ tolvi::package::version::Version:1:6 ]\n"
            "   │\n"
            " 1 │ 1.2.3\n"
            "   │      ┬  \n"
            "   │      ╰── found ' ' expected digit, '-', '+', end of input, alphanumeric or "
            "'-', or '.'\n"
            "───╯\n",
            id="trailing-space",
        ),
        pytest.param(
            "Version",
            "1.2\n3",
            "Error: \n"
            "   ╭─[ tolvi::package::version::Version:1:4 ]\n"
            "   │\n"
            " 1 │ 1.2\n"
            "   │    ┬  \n"
            "   │    ╰── found '\n"
            "' expected digit, '.', alphanumeric or '-', or end of input\n"
            "───╯\n",
            id="line-feed-at-error",
        ),
        pytest.param(
            "Version",
            "1.2.3-rc..1",
            "Error: \n"
            "   ╭─[ tolvi::package::version::Version:1:10 ]\n"
            "   │\n"
            " 1 │ 1.2.3-rc..1\n"
            "   │          ┬  \n"
            "   │          ╰── found '.' expected alphanumeric or '-'\n"
            "───╯\n",
            id="two-digit-column",
        ),
    ],
)
def test_whole_report(kind, text, expected):
    assert report_of(kind, text) == expected


def test_tab_rows_after_the_margin():
    lines = report_of("Version", "\t1.2..3").split("\n")
    assert lines[3] == " 1 │ " + " " * 4 + "1.2..3"
    assert lines[4] == "   │ " + "┬" + "─" * 3 + " " * 2
    assert lines[5].startswith("   │ " + "╰" + "─" * 5 + " found '\t' expected ")


# ---------------------------------------------------------------- cells, columns and positions

# (kind, input, quoted line, column of the location, marker row, message row),
# the rows as they stand after the margin.
LAYOUTS = [
    # Tabs: four columns at the start, up to the next multiple of four elsewhere.
    pytest.param(
        "Version", "1.\t2", "1.  2", 3, "  ┬─  ", f"  ╰─── found '\t' expected {AFTER_DOT}",
        id="tab-in-column-2",
    ),
    pytest.param(
        "Version", "1..\t2", "1.. 2", 3, "  ┬  ", f"  ╰── found '.' expected {AFTER_DOT}",
        id="one-column-tab-after-error",
    ),
    # Windows' line end and path: the quoted line stops before "\r\n", whose
    # carriage return is found as any other character.
    pytest.param(
        "Version", "1.2.3\r\n", "1.2.3", 6, "     ┬  ",
        f"     ╰── found '\r' expected {AFTER_THREE_NUMBERS}", id="crlf-line-end",
    ),
    pytest.param(
        "Version", "C:\\Users\\me\\1.2.3", "C:\\Users\\me\\1.2.3", 2, " ┬  ",
        " ╰── found ':' expected alphanumeric or '-', '.', end of input, or identifier",
        id="windows-path",
    ),
    # Multi-byte characters: the span is counted in characters, not bytes.
    pytest.param(
        "Version", "1.é", "1.é", 3, "  ┬  ", f"  ╰── found 'é' expected {AFTER_DOT}",
        id="two-byte-character-at-error",
    ),
    pytest.param(
        "Version", "éé x", "éé x", 3, "  ┬  ", f"  ╰── found ' ' expected {AFTER_IDENTIFIER}",
        id="two-byte-characters-before-error",
    ),
    pytest.param(
        "Version", "\U0001d518 x", "\U0001d518 x", 2, " ┬  ",
        f" ╰── found ' ' expected {AFTER_IDENTIFIER}",
        id="four-byte-narrow-character-before-error",
    ),
    pytest.param(
        "Other", "a\u00df\u00e9\u00f8-", "a\u00df\u00e9\u00f8-", 5, "    ┬  ",
        f"    ╰── found '-' expected {AFTER_IDENTIFIER}",
        id="several-two-byte-characters",
    ),
    # Wide characters take two columns, under the marker and on the message row.
    pytest.param(
        "Version", "１.2", "１.2", 1, "┬─  ", f"╰─── found '１' expected {NOTHING_MATCHES}",
        id="wide-character-at-start",
    ),
    pytest.param(
        "Version", "1.日", "1.日", 3, "  ┬─  ", f"  ╰─── found '日' expected {AFTER_DOT}",
        id="wide-character-at-error",
    ),
    pytest.param(
        "Version", "\U0001f600", "\U0001f600", 1, "┬─  ",
        f"╰─── found '\U0001f600' expected {NOTHING_MATCHES}",
        id="wide-four-byte-character-at-error",
    ),
    pytest.param(
        "Other", "日本-x", "日本-x", 3, "    ┬  ", f"    ╰── found '-' expected {AFTER_IDENTIFIER}",
        id="wide-characters-before-error",
    ),
    pytest.param(
        "Version", "日本 x", "日本 x", 3, "    ┬  ",
        f"    ╰── found ' ' expected {AFTER_IDENTIFIER}",
        id="wide-characters-before-error-version",
    ),
    pytest.param(
        "Version", "가나다 1", "가나다 1", 4, "      ┬  ",
        f"      ╰── found ' ' expected {AFTER_IDENTIFIER}",
        id="hangul-before-error",
    ),
    # Combining marks are characters of their own, one column each.
    pytest.param(
        "Version", "e\u0301 x", "e\u0301 x", 3, "  ┬  ",
        f"  ╰── found ' ' expected {AFTER_IDENTIFIER}",
        id="combining-mark-before-error",
    ),
    pytest.param(
        "Other", "a\u0300\u0301\u0302-", "a\u0300\u0301\u0302-", 5, "    ┬  ",
        f"    ╰── found '-' expected {AFTER_IDENTIFIER}",
        id="three-combining-marks-before-error",
    ),
    pytest.param(
        "Version", "1.2\u0301", "1.2\u0301", 4, "   ┬  ",
        f"   ╰── found '\u0301' expected {AFTER_TWO_NUMBERS}",
        id="combining-mark-at-error",
    ),
    # Line breaks: the quoted line stops before the first one, and a break at the
    # error is written raw inside the message.
    pytest.param(
        "SemVer", "1.2\n3", "1.2", 4, "   ┬  ", "   ╰── found '\n' expected digit, or '.'",
        id="line-feed-at-error-semver",
    ),
    pytest.param(
        "Version", "\n1.2", "", 1, "┬  ", f"╰── found '\n' expected {NOTHING_MATCHES}",
        id="line-feed-first",
    ),
    pytest.param(
        "Version", "1 .2\n3", "1 .2", 2, " ┬  ", f" ╰── found ' ' expected {AFTER_TWO_NUMBERS}",
        id="error-before-line-feed",
    ),
    pytest.param(
        "Other", "ab\n\nc", "ab", 3, "  ┬  ", f"  ╰── found '\n' expected {AFTER_IDENTIFIER}",
        id="two-line-feeds",
    ),
    # A carriage return before the line feed is trailing white space.
    pytest.param(
        "Version", "1.2\r\n3", "1.2", 4, "   ┬  ",
        f"   ╰── found '\r' expected {AFTER_TWO_NUMBERS}",
        id="carriage-return-line-feed",
    ),
    pytest.param(
        "SemVer", "1.2\r\n3", "1.2", 4, "   ┬  ", "   ╰── found '\r' expected digit, or '.'",
        id="carriage-return-line-feed-semver",
    ),
    pytest.param(
        "Version", "1.2.3 \r\n", "1.2.3", 6, "     ┬  ",
        f"     ╰── found ' ' expected {AFTER_THREE_NUMBERS}",
        id="space-and-carriage-return",
    ),
    # NUL is an ordinary character: it does not end the text.
    pytest.param(
        "Version", "1\x002.3", "1\x002.3", 2, " ┬  ",
        f" ╰── found '\x00' expected {AFTER_TWO_NUMBERS}",
        id="nul-inside",
    ),
    pytest.param(
        "Other", "\x00", "\x00", 1, "┬  ", "╰── found '\x00' expected identifier",
        id="nul-alone",
    ),
    pytest.param(
        "DotSeparated", "a.b\x00c d", "a.b\x00c d", 4, "   ┬  ",
        "   ╰── found '\x00' expected alphanumeric or '-', '.', or end of input",
        id="nul-then-more-text",
    ),
    # Trailing white space is cut from the quoted line, so a tab or a wide
    # space at the error stands past the line's end and takes one column.
    pytest.param(
        "Version", "1.2.3\t", "1.2.3", 6, "     ┬  ",
        f"     ╰── found '\t' expected {AFTER_THREE_NUMBERS}",
        id="trailing-tab-at-error",
    ),
    pytest.param(
        "Version", "1.2.3\u3000", "1.2.3", 6, "     ┬  ",
        f"     ╰── found '\u3000' expected {AFTER_THREE_NUMBERS}",
        id="trailing-wide-space-at-error",
    ),
    # Reports longer than the renderer's first buffer, in ASCII and beyond it.
    pytest.param(
        "Version", "x" * 1100 + " y", "x" * 1100 + " y", 1101, " " * 1100 + "┬  ",
        " " * 1100
        + "╰── found ' ' expected alphanumeric or '-', '.', end of input, or identifier",
        id="long-ascii-line",
    ),
    pytest.param(
        "Version", "é" * 600 + " x", "é" * 600 + " x", 601, " " * 600 + "┬  ",
        " " * 600 + f"╰── found ' ' expected {AFTER_IDENTIFIER}",
        id="long-two-byte-line",
    ),
]


@pytest.mark.parametrize(("kind", "text", "line", "column", "marker", "message"), LAYOUTS)
def test_layout(kind, text, line, column, marker, message):
    assert report_of(kind, text) == plain_report(kind, line, column, marker, message)


@pytest.mark.parametrize("kind", PARSERS)
def test_str_subclass_gives_the_same_report(kind):
    assert report_of(kind, Text("1..2")) == report_of(kind, "1..2")


# ---------------------------------------------------------------- the shape every report has

SHAPES = [
    ("Version", "1..2"),
    ("Version", " "),
    ("Version", "1."),
    ("Version", "1.2.3+x_y"),
    ("Version", "\t1.2..3"),
    ("Version", "日本 x"),
    ("Version", "1\x002.3"),
    ("Version", "1.2\r\n3"),
    ("SemVer", "1.2"),
    ("SemVer", ""),
    ("SemVer", "x"),
    ("DotSeparated", "."),
    ("DotSeparated", "1.2."),
    ("Other", ""),
    ("Other", "1abc"),
    ("Other", "e\u0301-"),
]


@pytest.mark.parametrize(("kind", "text"), SHAPES)
def test_report_shape(kind, text):
    report = report_of(kind, text)
    assert report.endswith("───╯\n")
    lines = report.split("\n")
    assert len(lines) == 8 and lines[-1] == ""
    assert lines[0] == "Error: "
    assert lines[2] == "   │"
    marker_row = lines[4]
    assert marker_row.endswith(" ") and not marker_row.endswith("   ")
    assert "\x1b" not in report
    # The quoted line never ends in white space.
    assert lines[3] == lines[3].rstrip() or lines[3] == " 1 │ "


def test_empty_span_marker_row_ends_with_one_space():
    assert report_of("SemVer", "1.2").split("\n")[4] == "   │    │ "


def test_line_feed_at_error_splits_the_message_row():
    lines = report_of("Version", "1.2\n3").split("\n")
    assert len(lines) == 9
    assert lines[3] == " 1 │ 1.2"
    assert lines[5] == "   │    ╰── found '"
    assert lines[6] == "' expected digit, '.', alphanumeric or '-', or end of input"
    assert lines[7] == "───╯"


# ---------------------------------------------------------------- text that is not UTF-8


@pytest.mark.parametrize("kind", PARSERS)
@pytest.mark.parametrize("text", ["\ud800", "1.2.\udfff", "1..2\ud800", "a\ud83d\ude00", "é\udc80x"])
def test_lone_surrogate_raises_the_encoding_error(kind, text):
    with pytest.raises(UnicodeEncodeError) as expected:
        text.encode("utf-8")
    with pytest.raises(UnicodeEncodeError) as caught:
        PARSERS[kind](text)
    error = caught.value
    assert type(error) is UnicodeEncodeError
    assert str(error) == str(expected.value)
    assert (error.encoding, error.object, error.start, error.end, error.reason) == (
        expected.value.encoding,
        expected.value.object,
        expected.value.start,
        expected.value.end,
        expected.value.reason,
    )
    assert error.__cause__ is None and error.__context__ is None


def test_surrogate_pair_written_as_two_code_points():
    # '\ud83d\ude00' in a str is two lone surrogates, not the emoji.
    with pytest.raises(UnicodeEncodeError) as caught:
        Version("\ud83d\ude00")
    assert str(caught.value) == (
        "'utf-8' codec can't encode characters in position 0-1: surrogates not allowed"
    )


def test_ascii_helper_matches_written_out_report():
    # The helper used by the grammar tests builds the same text as the reports
    # written out above.
    assert ascii_report(
        "Version", "1..2", 2, 3, "found '.' expected integer, or alphanumeric or '-'"
    ) == report_of("Version", "1..2")
