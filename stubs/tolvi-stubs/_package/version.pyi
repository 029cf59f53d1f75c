# The module object `tolvi.package.version`.

from collections.abc import Sequence
from typing import ClassVar, Self, SupportsIndex, final, overload

__all__ = ["Version", "SemVer", "DotSeparated", "Other"]

@final
class Version:
    """A version of any kind: it holds a SemVer, a DotSeparated or an Other value."""

    def __new__(cls, version: str | SemVer | DotSeparated | Other | Version, /) -> Self:
        """A version read from text, or a copy of another object's value.

        A str is read by the full grammar, which tries a semantic version, then a dot-
        separated list, then an identifier; the Version holds what it found. An object
        of one of the four classes is copied; later changes to it do not reach the new
        Version.

        Raises RuntimeError, whose message is the report of where and why the text does
        not parse; UnicodeEncodeError for a str that UTF-8 cannot hold (a lone
        surrogate); TypeError for an argument of any other type, or for any keyword;
        ValueError for no argument or more than one.
        """
    __hash__: ClassVar[None]  # type: ignore[assignment]
    def __str__(self) -> str:
        """The text form of the held value."""
    def __repr__(self) -> str:
        """The debug form: "Version::" and the held value's repr."""
    def __eq__(self, other: object, /) -> bool:
        """Whether `other` is a Version of an equal value: the same kind, and equal
        values of that kind.

        Any other object, a kind object holding an equal value included, is never equal:
        the comparison falls back to identity.
        """
    def __ne__(self, other: object, /) -> bool:
        """The negation of ==: True for any object that is not a Version."""
    def __lt__(self, other: Version, /) -> bool:
        """< in the order of Version values: a SemVer sorts before a DotSeparated, and a
        DotSeparated before an Other, whatever they hold; two of one kind compare as
        that kind's class compares them.

        Raises TypeError for any `other` that is not a Version.
        """
    def __le__(self, other: Version, /) -> bool:
        """<= in the order that __lt__ describes. Raises TypeError for any
        `other` that is not a Version.
        """
    def __gt__(self, other: Version, /) -> bool:
        """> in the order that __lt__ describes. Raises TypeError for any
        `other` that is not a Version.
        """
    def __ge__(self, other: Version, /) -> bool:
        """>= in the order that __lt__ describes. Raises TypeError for any
        `other` that is not a Version.
        """

@final
class SemVer:
    """A semantic version: major.minor.patch[-rc][+meta], numbers of 32 bits."""

    # A Version passes the type check whatever it holds; one that holds
    # another kind raises TypeError at run time.
    @overload
    def __new__(cls, version: str | SemVer | Version, /) -> Self:
        """A semantic version read from text, or a copy of another's value.

        A str is read as MAJOR.MINOR.PATCH, with an optional "v" before it, a pre-
        release after "-" and build metadata after "+". A SemVer is copied, and so is
        the SemVer that a Version holds.

        Raises RuntimeError, whose message is the report of where and why the text does
        not parse; UnicodeEncodeError for a str that UTF-8 cannot hold; TypeError for a
        Version holding another kind ("Expected SemVer; found ..."), for an argument of
        any other type, or for keywords given beside it; ValueError for no argument at
        all.
        """
    @overload
    def __new__(
        cls,
        *,
        major: SupportsIndex,
        minor: SupportsIndex,
        patch: SupportsIndex,
        rc: Sequence[str] | None = None,
        meta: Sequence[str] | None = None,
    ) -> Self:
        """A semantic version from its fields, taken as they are.

        The numbers run from 0 to 4294967295. rc and meta are lists of str, or None (the
        default) for none at all, which differs from an empty list; their identifiers
        are not checked against the grammar.

        Raises TypeError for a missing number, a number that is no integer, a str for rc
        or meta ("Can't extract `str` to `Vec`") or an item that is no str;
        OverflowError for a number out of range; ValueError for a keyword it does not
        know.
        """
    @property
    def major(self) -> int:
        """The major number. Set: any integer from 0 to 4294967295 (TypeError for any
        other type, OverflowError out of range); del raises AttributeError.
        """
    @major.setter
    def major(self, new_major: SupportsIndex, /) -> None: ...
    @property
    def minor(self) -> int:
        """The minor number, read and set as major."""
    @minor.setter
    def minor(self, new_minor: SupportsIndex, /) -> None: ...
    @property
    def patch(self) -> int:
        """The patch number, read and set as major."""
    @patch.setter
    def patch(self, new_patch: SupportsIndex, /) -> None: ...
    # None means absent, which differs from an empty list. A str is a
    # Sequence[str] too, but the run time refuses it with TypeError.
    @property
    def rc(self) -> list[str] | None:
        """The pre-release identifiers, a new list on every read, or None when there are
        none. Set: a sequence of str, or None (TypeError for a str or any other type, or
        an item that is no str); del raises AttributeError.
        """
    @rc.setter
    def rc(self, new_rc: Sequence[str] | None, /) -> None: ...
    @property
    def meta(self) -> list[str] | None:
        """The build metadata, read and set as rc. It takes no part in equality or
        order.
        """
    @meta.setter
    def meta(self, new_meta: Sequence[str] | None, /) -> None: ...
    __hash__: ClassVar[None]  # type: ignore[assignment]
    def __str__(self) -> str:
        """The text form of the value."""
    def __repr__(self) -> str:
        """The debug form: "SemVer {" and the fields."""
    def __eq__(self, other: object, /) -> bool:
        """Whether `other` is a SemVer of an equal value: major, minor, patch and rc
        equal; meta takes no part.

        Any other object, a Version holding an equal value included, is never equal: the
        comparison falls back to identity.
        """
    def __ne__(self, other: object, /) -> bool:
        """The negation of ==: True for any object that is not a SemVer."""
    def __lt__(self, other: SemVer, /) -> bool:
        """< in the order of SemVer values: major, minor, then patch as numbers, then
        rc. An absent rc sorts after every present one, an empty one first; identifiers
        compare as text ("10" < "9"). meta takes no part.

        Raises TypeError for any `other` that is not a SemVer.
        """
    def __le__(self, other: SemVer, /) -> bool:
        """<= in the order that __lt__ describes. Raises TypeError for any
        `other` that is not a SemVer.
        """
    def __gt__(self, other: SemVer, /) -> bool:
        """> in the order that __lt__ describes. Raises TypeError for any
        `other` that is not a SemVer.
        """
    def __ge__(self, other: SemVer, /) -> bool:
        """>= in the order that __lt__ describes. Raises TypeError for any
        `other` that is not a SemVer.
        """

@final
class DotSeparated:
    """A version made of parts joined with ".", compared part by part as text."""

    @overload
    def __new__(cls, version: str | DotSeparated | Version, /) -> Self:
        """A dot-separated version read from text, or a copy of another's value.

        A str is read as parts of letters, digits and "-" joined with "."; the empty str
        is the version of no parts. A DotSeparated is copied, and so is the DotSeparated
        that a Version holds.

        Raises RuntimeError, whose message is the report of where and why the text does
        not parse; UnicodeEncodeError for a str that UTF-8 cannot hold; TypeError for a
        Version holding another kind, for an argument of any other type, or for keywords
        given beside it; ValueError for no argument.
        """
    @overload
    def __new__(cls, *, parts: Sequence[str]) -> Self:
        """A dot-separated version from its parts, taken as they are: empty or holding
        "." alike.

        Raises TypeError for a str ("Can't extract `str` to `Vec`"), None or any other
        type that is no sequence, or an item that is no str; ValueError without parts or
        for a keyword it does not know.
        """
    @property
    def parts(self) -> list[str]:
        """The parts, a new list on every read. Set: a sequence of str (TypeError for a
        str, None or any other type, or an item that is no str); del raises
        AttributeError.
        """
    @parts.setter
    def parts(self, new_parts: Sequence[str], /) -> None: ...
    __hash__: ClassVar[None]  # type: ignore[assignment]
    def __str__(self) -> str:
        """The text form of the value."""
    def __repr__(self) -> str:
        """The debug form: "DotSeparated {" and the fields."""
    def __eq__(self, other: object, /) -> bool:
        """Whether `other` is a DotSeparated of an equal value: the same parts, in the
        same order.

        Any other object, a Version holding an equal value included, is never equal: the
        comparison falls back to identity.
        """
    def __ne__(self, other: object, /) -> bool:
        """The negation of ==: True for any object that is not a DotSeparated."""
    def __lt__(self, other: DotSeparated, /) -> bool:
        """< in the order of DotSeparated values: part by part as text ("10" < "9"); a
        list that is a prefix of another sorts first.

        Raises TypeError for any `other` that is not a DotSeparated.
        """
    def __le__(self, other: DotSeparated, /) -> bool:
        """<= in the order that __lt__ describes. Raises TypeError for any
        `other` that is not a DotSeparated.
        """
    def __gt__(self, other: DotSeparated, /) -> bool:
        """> in the order that __lt__ describes. Raises TypeError for any
        `other` that is not a DotSeparated.
        """
    def __ge__(self, other: DotSeparated, /) -> bool:
        """>= in the order that __lt__ describes. Raises TypeError for any
        `other` that is not a DotSeparated.
        """

@final
class Other:
    """A version held as one opaque string."""

    @overload
    def __new__(cls, version: str | Other | Version, /) -> Self:
        """An identifier version read from text, or a copy of another's value.

        A str is read as one identifier (a letter or "_", then letters, digits and "_").
        An Other is copied, and so is the Other that a Version holds.

        Raises RuntimeError, whose message is the report of where and why the text does
        not parse; UnicodeEncodeError for a str that UTF-8 cannot hold; TypeError for a
        Version holding another kind, for an argument of any other type, or for keywords
        given beside it; ValueError for no argument.
        """
    @overload
    def __new__(cls, *, value: str) -> Self:
        """An identifier version holding `value` as it is, unchecked.

        Raises TypeError for a value that is no str; ValueError without value or for a
        keyword it does not know.
        """
    @property
    def value(self) -> str:
        """The text. Set: a str (TypeError for any other type); del raises
        AttributeError.
        """
    @value.setter
    def value(self, new_value: str, /) -> None: ...
    __hash__: ClassVar[None]  # type: ignore[assignment]
    def __str__(self) -> str:
        """The text form of the value."""
    def __repr__(self) -> str:
        """The debug form: "Other {" and the fields."""
    def __eq__(self, other: object, /) -> bool:
        """Whether `other` is an Other of an equal value: the same text.

        Any other object, a Version holding an equal value included, is never equal: the
        comparison falls back to identity.
        """
    def __ne__(self, other: object, /) -> bool:
        """The negation of ==: True for any object that is not an Other."""
    def __lt__(self, other: Other, /) -> bool:
        """< in the order of Other values: the text, by code point ("Z" < "a").

        Raises TypeError for any `other` that is not an Other.
        """
    def __le__(self, other: Other, /) -> bool:
        """<= in the order that __lt__ describes. Raises TypeError for any
        `other` that is not an Other.
        """
    def __gt__(self, other: Other, /) -> bool:
        """> in the order that __lt__ describes. Raises TypeError for any
        `other` that is not an Other.
        """
    def __ge__(self, other: Other, /) -> bool:
        """>= in the order that __lt__ describes. Raises TypeError for any
        `other` that is not an Other.
        """
