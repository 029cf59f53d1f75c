"""What each entry point makes of a string: a value, or the exact report."""

import pytest

from reports import ascii_report
from support import DotSeparated, Other, SemVer, Version

PARSERS = {"Version": Version, "SemVer": SemVer, "DotSeparated": DotSeparated, "Other": Other}

# (entry point, input, repr of the value)
PARSED = [
    ("Version", "1.2.3", "Version::SemVer { major: 1, minor: 2, patch: 3, rc: None, meta: None }"),
    (
        "Version",
        "v1.2.3-rc.1+build.5",
        'Version::SemVer { major: 1, minor: 2, patch: 3, rc: Some(["rc", "1"]), '
        'meta: Some(["build", "5"]) }',
    ),
    ("Version", "1.2.3.4", 'Version::DotSeparated { parts: ["1", "2", "3", "4"] }'),
    ("Version", "1.2", 'Version::DotSeparated { parts: ["1", "2"] }'),
    ("Version", "latest", 'Version::DotSeparated { parts: ["latest"] }'),
    ("Version", "V1.2.3", 'Version::DotSeparated { parts: ["V1", "2", "3"] }'),
    ("Version", "foo_bar", 'Version::Other { value: "foo_bar" }'),
    ("Version", "é", 'Version::Other { value: "é" }'),
    ("Version", "", "Version::DotSeparated { parts: [] }"),
    (
        "Version",
        "1.2.3-+",
        "Version::SemVer { major: 1, minor: 2, patch: 3, rc: Some([]), meta: Some([]) }",
    ),
    (
        "Version",
        "1.2.3-",
        "Version::SemVer { major: 1, minor: 2, patch: 3, rc: Some([]), meta: None }",
    ),
    (
        "Version",
        "1.2.3+",
        "Version::SemVer { major: 1, minor: 2, patch: 3, rc: None, meta: Some([]) }",
    ),
    (
        "Version",
        "1.2.3-01",
        'Version::SemVer { major: 1, minor: 2, patch: 3, rc: Some(["01"]), meta: None }',
    ),
    ("Version", "v1.2", 'Version::DotSeparated { parts: ["v1", "2"] }'),
    ("SemVer", "01.02.03", "SemVer { major: 1, minor: 2, patch: 3, rc: None, meta: None }"),
    ("DotSeparated", "", "DotSeparated { parts: [] }"),
    ("DotSeparated", "1.2.3-rc", 'DotSeparated { parts: ["1", "2", "3-rc"] }'),
    ("Other", "_x9", 'Other { value: "_x9" }'),
]

# (entry point, input, span start, span end, message)
FAILED = [
    (
        "Version",
        "1.2.3 ",
        5,
        6,
        "found ' ' expected digit, '-', '+', end of input, alphanumeric or '-', or '.'",
    ),
    ("Version", "1..2", 2, 3, "found '.' expected integer, or alphanumeric or '-'"),
    ("Version", "1.", 2, 2, "found end of input expected integer, or alphanumeric or '-'"),
    (
        "Version",
        " ",
        0,
        1,
        "found ' ' expected 'v', integer, dot-separated list, end of input, or identifier",
    ),
    ("Version", "1.2.3+x_y", 7, 8, "found '_' expected alphanumeric or '-', '.', or end of input"),
    (
        "Version",
        "a b",
        1,
        2,
        "found ' ' expected alphanumeric or '-', '.', end of input, or identifier",
    ),
    ("SemVer", "x", 0, 1, "found 'x' expected 'v', or integer"),
    ("SemVer", "1.2", 3, 3, "found end of input expected digit, or '.'"),
    ("SemVer", "1.2.3.4", 5, 6, "found '.' expected digit, '-', '+', or end of input"),
    ("SemVer", "1.2.3-.a", 6, 7, "found '.' expected dot-separated list, '+', or end of input"),
    ("SemVer", "", 0, 0, "found end of input expected 'v', or integer"),
    ("DotSeparated", "1.2.", 4, 4, "found end of input expected alphanumeric or '-'"),
    ("DotSeparated", ".", 0, 1, "found '.' expected dot-separated list, or end of input"),
    ("DotSeparated", "a_b", 1, 2, "found '_' expected alphanumeric or '-', '.', or end of input"),
    ("DotSeparated", "1..2", 2, 3, "found '.' expected alphanumeric or '-'"),
    ("Other", "1abc", 0, 1, "found '1' expected identifier"),
    ("Other", "ab-c", 2, 3, "found '-' expected identifier, or end of input"),
    ("Other", "", 0, 0, "found end of input expected identifier"),
    ("Other", "1.2.3", 0, 1, "found '1' expected identifier"),
    ("Other", "night ly", 5, 6, "found ' ' expected identifier, or end of input"),
]


@pytest.mark.parametrize(("kind", "text", "expected"), PARSED)
def test_parses(kind, text, expected):
    assert repr(PARSERS[kind](text)) == expected


@pytest.mark.parametrize(("kind", "text", "start", "end", "message"), FAILED)
def test_fails_with_report(kind, text, start, end, message):
    with pytest.raises(RuntimeError) as caught:
        PARSERS[kind](text)
    assert str(caught.value) == ascii_report(kind, text, start, end, message)


# A number above 4294967295 is refused where it starts, never wrapped.
IN_RANGE = "integer from 0 to 4294967295"


@pytest.mark.parametrize(
    ("text", "start"),
    [
        ("4294967296.0.0", 0),
        ("99999999999.1.2", 0),
        ("0004294967296.0.0", 0),
        ("1.4294967296.0", 2),
        ("1.00004294967296.0", 2),
        ("1.2.4294967296", 4),
        ("1.2.99999999999", 4),
        ("v4294967296.0.0", 1),
        ("1.2.18446744073709551616", 4),
    ],
)
def test_semver_number_out_of_range(text, start):
    with pytest.raises(RuntimeError) as caught:
        SemVer(text)
    found = text[start]
    assert str(caught.value) == ascii_report(
        "SemVer", text, start, start + 1, f"found '{found}' expected {IN_RANGE}"
    )


@pytest.mark.parametrize(
    ("text", "fields"),
    [
        ("4294967295.0.0", (4294967295, 0, 0)),
        ("0.4294967295.0", (0, 4294967295, 0)),
        ("0.0.4294967295", (0, 0, 4294967295)),
        ("0004294967295.00.0004294967295", (4294967295, 0, 4294967295)),
    ],
)
def test_semver_number_at_limit(text, fields):
    for parsed in (SemVer(text), SemVer(Version(text))):
        assert (parsed.major, parsed.minor, parsed.patch) == fields


@pytest.mark.parametrize(
    "text",
    ["4294967296.0.0", "99999999999.1.2", "1.4294967296.0", "1.2.4294967296", "1.2.00099999999999"],
)
def test_version_falls_back_to_dot_separated(text):
    v = Version(text)
    assert repr(v).startswith("Version::DotSeparated")
    assert str(v) == text
    assert v > Version("1.0.0")


def test_version_reports_later_failures_past_an_overflow():
    with pytest.raises(RuntimeError) as caught:
        Version("1.2.99999999999 ")
    assert str(caught.value) == ascii_report(
        "Version", "1.2.99999999999 ", 15, 16,
        "found ' ' expected alphanumeric or '-', '.', or end of input",
    )

