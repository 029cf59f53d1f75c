"""str() and repr() of every class: the text form and the debug form."""

import pytest

from support import DotSeparated, Other, SemVer, Version


def semver(rc=None, meta=None, major=1, minor=2, patch=3):
    return SemVer(major=major, minor=minor, patch=patch, rc=rc, meta=meta)


@pytest.mark.parametrize(
    ("value", "text", "debug"),
    [
        (semver(), "1.2.3", "SemVer { major: 1, minor: 2, patch: 3, rc: None, meta: None }"),
        (
            semver(["rc", "1"], ["build", "5"]),
            "1.2.3-rc.1+build.5",
            'SemVer { major: 1, minor: 2, patch: 3, rc: Some(["rc", "1"]), '
            'meta: Some(["build", "5"]) }',
        ),
        (semver(meta=["exp"]), "1.2.3+exp", None),
        (semver([]), "1.2.3-", "SemVer { major: 1, minor: 2, patch: 3, rc: Some([]), meta: None }"),
        (semver(meta=[]), "1.2.3+", None),
        (semver([], []), "1.2.3-+", None),
        (semver(major=0, minor=0, patch=0), "0.0.0", None),
        (semver(major=4294967295, minor=0, patch=0), "4294967295.0.0", None),
        (semver(["a.b"]), "1.2.3-a.b", 'SemVer { major: 1, minor: 2, patch: 3, rc: Some(["a.b"]), '
         "meta: None }"),
        (semver(["a+b"], ["c"]), "1.2.3-a+b+c", 'SemVer { major: 1, minor: 2, patch: 3, '
         'rc: Some(["a+b"]), meta: Some(["c"]) }'),
        (DotSeparated(parts=["2024", "01", "rc1"]), "2024.01.rc1", None),
        (DotSeparated(parts=["1", "0", "rc"]), "1.0.rc", 'DotSeparated { parts: ["1", "0", "rc"] }'),
        (DotSeparated(parts=[]), "", "DotSeparated { parts: [] }"),
        (DotSeparated(parts=[""]), "", 'DotSeparated { parts: [""] }'),
        (DotSeparated(parts=["", ""]), ".", 'DotSeparated { parts: ["", ""] }'),
        (Other(value="nightly"), "nightly", 'Other { value: "nightly" }'),
        (Other(value=""), "", 'Other { value: "" }'),
        (Other(value="\u00e9t\u00e9"), "\u00e9t\u00e9", 'Other { value: "\u00e9t\u00e9" }'),
        (
            Version("1.0.0"),
            "1.0.0",
            "Version::SemVer { major: 1, minor: 0, patch: 0, rc: None, meta: None }",
        ),
        (Version(Other(value="1.2.3")), "1.2.3", 'Version::Other { value: "1.2.3" }'),
    ],
)
def test_text_and_debug_forms(value, text, debug):
    # A Version keeps its value in another form than the kinds do.
    wrapped = value if isinstance(value, Version) else Version(value)
    assert str(value) == str(wrapped) == text
    if debug is not None:
        assert repr(value) == debug
        assert repr(wrapped) == "Version::" + debug.removeprefix("Version::")


@pytest.mark.parametrize(
    ("char", "written"),
    [
        ('"', '\\"'),
        ("\\", "\\\\"),
        ("\t", "\\t"),
        ("\r", "\\r"),
        ("\n", "\\n"),
        ("\0", "\\0"),
        ("\u0301", "\\u{301}"),  # combining acute accent: Grapheme_Extend
        ("\u00a0", "\\u{a0}"),  # no-break space: Zs
        ("\u00ad", "\\u{ad}"),  # soft hyphen: Cf
        ("\u007f", "\\u{7f}"),  # delete: Cc
        ("\u0001", "\\u{1}"),
        ("\ue000", "\\u{e000}"),  # private use: Co
        ("\u0378", "\\u{378}"),  # unassigned: Cn
        ("\u2028", "\\u{2028}"),  # line separator: Zl
        ("\u2029", "\\u{2029}"),  # paragraph separator: Zp
        ("\u3000", "\\u{3000}"),  # ideographic space: Zs
        ("\u200d", "\\u{200d}"),  # zero width joiner: Cf
        ("\U000e0100", "\\u{e0100}"),  # variation selector: Grapheme_Extend
        ("\U0010ffff", "\\u{10ffff}"),  # noncharacter: Cn
        ("\u00e9", "\u00e9"),
        (" ", " "),
        ("'", "'"),
        ("\u4e00", "\u4e00"),
        ("\U0001f600", "\U0001f600"),
        ("\u0085", "\\u{85}"),  # next line: Cc
    ],
)
def test_debug_form_escapes(char, written):
    value = f"a{char}b"
    assert repr(Other(value=value)) == f'Other {{ value: "a{written}b" }}'
    assert repr(DotSeparated(parts=[value])) == f'DotSeparated {{ parts: ["a{written}b"] }}'
    assert str(Other(value=value)) == value


def test_lone_surrogate_is_refused_by_the_interpreter():
    with pytest.raises(UnicodeEncodeError):
        Other(value="\ud800")
    with pytest.raises(UnicodeEncodeError):
        Version("1.\udfff")


def test_same_text_different_kinds():
    as_other = Version(Other(value="1.2.3"))
    as_semver = Version("1.2.3")
    assert str(as_other) == str(as_semver)
    assert repr(as_other) != repr(as_semver)
    assert as_other != as_semver
    assert as_other > as_semver
