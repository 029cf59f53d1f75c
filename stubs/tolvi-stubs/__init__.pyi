"""Package-version values: parse, print, compare and sort version strings."""

# At run time `package` and `package.version` are module objects held as
# attributes of this one compiled module, not submodules the import system can
# find: `import tolvi.package` and `from tolvi.package.version import Version`
# fail there. The stubs of the two modules therefore sit under the private name
# `_package`, which nobody imports, and are bound here to `package`. A type
# checker then reaches `tolvi.package.version.Version` through the attributes,
# as the interpreter does, and refuses the dotted imports, as the interpreter
# does. (Classes standing in for the modules would not do: a class attribute
# cannot be used as a type, and stubtest would not see the classes.)
from tolvi import _package as package
from tolvi._package.version import Version

__all__ = ["package", "test_function", "init_tracing"]

def test_function(version: Version) -> None:
    """Write "Got version: " and the text of `version` to the process's standard output."""

def init_tracing() -> None:
    """Install the process-wide log subscriber; raises RuntimeError on a second call."""
