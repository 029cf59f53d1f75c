"""The version classes under comparison and the corpus they are fed."""

import os
from pathlib import Path

# Real version strings: data/corpus, unless TOLVI_CORPUS names another folder of them.
CORPUS = Path(os.environ.get("TOLVI_CORPUS")
              or Path(__file__).resolve().parents[1] / "data" / "corpus")
MIXED_FILES = ("pypi-versions.txt", "npm-versions.txt")

TOLVI = "tolvi Version"
TOLVI_SEMVER = "tolvi SemVer"


def read_mixed(directory=CORPUS, step=1):
    """Every `step`-th line of the Python and npm version lists, in file order."""
    lines = []
    for name in MIXED_FILES:
        lines += (Path(directory) / name).read_text(encoding="utf-8").splitlines()
    return lines[::step]


def classes():
    """Display name -> callable that builds a version object from a string."""
    import packaging.version
    import pep440_rs
    import semantic_version
    import semver
    from tolvi import package

    tolvi = package.version
    return {
        TOLVI: tolvi.Version,
        TOLVI_SEMVER: tolvi.SemVer,
        "tolvi DotSeparated": tolvi.DotSeparated,
        "tolvi Other": tolvi.Other,
        "packaging.version.Version": packaging.version.Version,
        "pep440_rs.Version": pep440_rs.Version,
        "semver.Version": semver.Version.parse,  # its documented way to parse text
        "semantic_version.Version": semantic_version.Version,
    }


# Classes that take any version string, compared on the whole corpus.
GENERAL = (TOLVI, "packaging.version.Version", "pep440_rs.Version",
           "semver.Version", "semantic_version.Version")
# Classes that take semantic versions only.
SEMANTIC = (TOLVI_SEMVER, "semver.Version", "semantic_version.Version")
# Classes compared on pickling: tolvi and the most used peer.
PICKLED = (TOLVI, "packaging.version.Version")


def split_dots(s):
    """The construction floor, as a callable for the memory measurement."""
    return s.split(".")


def versions():
    """Installed version of tolvi and of each peer, for the results header."""
    from importlib.metadata import version

    names = ("tolvi", "packaging", "pep440_rs", "semver", "semantic_version")
    return {name: version(name) for name in names}
