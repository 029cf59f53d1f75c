"""The version classes under comparison and the corpus they are fed."""

import contextlib
import importlib
import os
import sys
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


def tolvi_classes(module):
    """Display name -> class, for the classes of a tolvi module."""
    version = module.package.version
    return {
        TOLVI: version.Version,
        TOLVI_SEMVER: version.SemVer,
        "tolvi DotSeparated": version.DotSeparated,
        "tolvi Other": version.Other,
    }


def classes():
    """Display name -> callable that builds a version object from a string."""
    import packaging.version
    import pep440_rs
    import semantic_version
    import semver
    import tolvi

    return tolvi_classes(tolvi) | {
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


def load_abi3(directory):
    """The module built against the stable ABI, `tolvi.abi3.so` in `directory`, imported beside
    the installed one, which stays sys.modules["tolvi"]."""
    import tolvi

    folder = str(Path(directory).resolve())
    # Imported afresh from the folder put first on the path: the interpreter keeps the module
    # of each extension file apart.
    with imported_as_tolvi(tolvi):
        del sys.modules["tolvi"]
        sys.path.insert(0, folder)
        try:
            module = importlib.import_module("tolvi")
        finally:
            sys.path.remove(folder)
    if Path(module.__file__).name != "tolvi.abi3.so":
        raise FileNotFoundError(f"no tolvi.abi3.so in {directory}")
    return module


@contextlib.contextmanager
def imported_as_tolvi(module):
    """`module` as sys.modules["tolvi"] meanwhile. Pickle reduces tolvi's objects to
    `tolvi._reconstruct` and finds it there, so the objects of a module loaded beside the
    installed one pickle only inside this."""
    installed = sys.modules.get("tolvi")
    sys.modules["tolvi"] = module
    try:
        yield
    finally:
        if installed is None:
            del sys.modules["tolvi"]
        else:
            sys.modules["tolvi"] = installed


def split_dots(s):
    """The construction floor, as a callable for the memory measurement."""
    return s.split(".")


def versions():
    """Installed version of tolvi and of each peer, for the results header."""
    from importlib.metadata import version

    names = ("tolvi", "packaging", "pep440_rs", "semver", "semantic_version")
    return {name: version(name) for name in names}
