"""Package-version values: parse, print, compare and sort version strings."""

# At run time `package` and `package.version` are module objects held as
# attributes, not importable submodules: `import tolvi.package` fails there,
# though a type checker reading these stubs lets it pass. A stub cannot give an
# attribute the type of a particular module, and classes standing in for the
# two modules would hide every class from stubtest, so the stubs take the
# shape of a package.
from tolvi import package as package
from tolvi.package.version import Version

__all__ = ["package", "test_function", "init_tracing"]

def test_function(version: Version) -> None:
    """Write "Got version: " and the text of `version` to the process's standard output."""

def init_tracing() -> None:
    """Install the process-wide log subscriber; raises RuntimeError on a second call."""
