"""The module's layout, its class types and its one-per-process life."""

import os
import subprocess
import sys
import sysconfig
import textwrap

import pytest

import tolvi
version_module = tolvi.package.version
from tolvi import package
from support import DotSeparated, Other, SemVer, Version

CLASSES = [Version, SemVer, DotSeparated, Other]
SAMPLES = [Version("1.0"), SemVer("1.0.0"), DotSeparated("1.0"), Other("x_y")]


def test_all_lists_in_order():
    assert tolvi.__all__ == ["package", "test_function", "init_tracing"]
    assert tolvi.package.__all__ == ["version"]
    assert version_module.__all__ == ["Version", "SemVer", "DotSeparated", "Other"]


def test_submodules_are_plain_attributes():
    assert tolvi.__name__ == "tolvi"
    assert tolvi.package.__name__ == "package"
    assert version_module.__name__ == "version"
    assert tolvi.package.__doc__ is None and version_module.__doc__ is None
    assert "tolvi.package" not in sys.modules
    with pytest.raises(ModuleNotFoundError):
        __import__("tolvi.package")
    public = {name for name in vars(version_module) if not name.startswith("__")}
    assert public == {"Version", "SemVer", "DotSeparated", "Other"}
    assert not hasattr(tolvi, "Version")


@pytest.mark.parametrize(
    ("cls", "signature", "doc"),
    [
        (Version, "(*args)", "Python wrapper around a [`Version`]"),
        (SemVer, "(*args, **kwargs)", "Python wrapper type for [`SemVer`]"),
        (DotSeparated, "(*args, **kwargs)", "Python wrapper around [`DotSeparated`]"),
        (Other, "(*args, **kwargs)", "Python wrapper around the [`Other`] version type"),
    ],
)
def test_class_names_and_documentation(cls, signature, doc):
    name = cls.__name__
    assert cls.__module__ == "builtins"
    assert cls.__qualname__ == name
    assert repr(cls) == f"<class 'builtins.{name}'>"
    assert cls.__text_signature__ == signature
    assert cls.__doc__ == doc
    assert cls.__mro__ == (cls, object)


SLOTS = {"__doc__", "__module__", "__new__", "__repr__", "__str__", "__hash__",
         "__eq__", "__ne__", "__lt__", "__le__", "__gt__", "__ge__"}


# Pickling goes through copyreg, so it adds nothing to the classes.
@pytest.mark.parametrize(
    ("cls", "properties"),
    [(Version, set()), (SemVer, {"major", "minor", "patch", "rc", "meta"}),
     (DotSeparated, {"parts"}), (Other, {"value"})],
)
def test_class_dictionaries(cls, properties):
    assert set(vars(cls)) == SLOTS | properties


@pytest.mark.parametrize("cls", CLASSES)
def test_classes_cannot_be_subclassed(cls):
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})


@pytest.mark.parametrize("obj", SAMPLES, ids=lambda o: type(o).__name__)
def test_instances_are_unhashable_and_closed(obj):
    name = type(obj).__name__
    with pytest.raises(TypeError, match=rf"^unhashable type: 'builtins\.{name}'$"):
        hash(obj)
    with pytest.raises(TypeError):
        {obj: 1}
    with pytest.raises(AttributeError):
        obj.anything = 1
    assert not hasattr(obj, "__dict__")
    with pytest.raises(TypeError):
        __import__("weakref").ref(obj)


def test_functions():
    assert tolvi.test_function.__module__ == "tolvi"
    assert tolvi.test_function.__self__ is tolvi
    assert tolvi.test_function.__doc__ is None
    assert tolvi.test_function.__text_signature__ == "(version)"
    assert tolvi.init_tracing.__doc__ is None
    assert tolvi.init_tracing.__text_signature__ == "()"


def test_reimport_gives_the_same_module_and_classes():
    del sys.modules["tolvi"]
    again = __import__("tolvi")
    sys.modules["tolvi"] = tolvi
    assert again is tolvi
    assert again.package.version.Version is Version


def _run(code):
    return subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True, timeout=60
    )


@pytest.mark.parametrize("cls", CLASSES)
def test_no_instance_without_a_value(cls):
    # A __new__ replaced from Python reaches the type's allocator through
    # object.__new__, which would hand out an object whose value was never made.
    result = _run(
        f"""
        import tolvi
        cls = tolvi.package.version.{cls.__name__}
        cls.__new__ = lambda c, *args, **kwargs: object.__new__(c)
        try:
            made = cls.__new__(cls, "1.2.3")
            print("made", str(made), repr(made))
        except TypeError as e:
            print(e)
        """
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout == f"cannot create 'builtins.{cls.__name__}' instances\n"


def test_second_interpreter_is_refused():
    # A legacy (non-isolated) interpreter, so that the interpreter's own check
    # for single-phase modules does not stop the import before the module does.
    result = _run(
        """
        import sys
        import tolvi
        if sys.version_info >= (3, 13):
            import _interpreters as interpreters
            interp = interpreters.create("legacy")
            run = interpreters.exec
        else:
            import _xxsubinterpreters as interpreters
            interp = interpreters.create(isolated=False)
            run = interpreters.run_string
        run(interp, (
            "try:\\n"
            "    import tolvi\\n"
            "    print('imported')\\n"
            "except ImportError as e:\\n"
            "    print('refused:', e)\\n"
        ))
        interpreters.destroy(interp)
        print(str(tolvi.package.version.Version("1.2.3")))
        """
    )
    assert result.returncode == 0, result.stderr
    refused, after = result.stdout.splitlines()
    if sysconfig.get_config_var("Py_GIL_DISABLED"):
        # A free-threaded interpreter checks single-phase modules in every
        # interpreter but the main one, legacy or not, and refuses first.
        assert refused == "refused: module tolvi does not support loading in subinterpreters"
    else:
        assert refused.startswith("refused: PyO3 modules do not yet support subinterpreters, see ")
    assert after == "1.2.3"


def test_the_module_leaves_the_interpreter_lock_off_where_the_build_has_none():
    # Without a word from the module, a free-threaded interpreter turns its
    # lock back on at the import, and warns.
    env = {k: v for k, v in os.environ.items() if k != "PYTHON_GIL"}
    result = subprocess.run(
        [sys.executable, "-W", "error", "-c",
         "import sys, tolvi; print(getattr(sys, '_is_gil_enabled', lambda: True)())"],
        capture_output=True, text=True, timeout=60, env=env,
    )
    assert (result.stdout, result.stderr) == (
        f"{not sysconfig.get_config_var('Py_GIL_DISABLED')}\n", "")
