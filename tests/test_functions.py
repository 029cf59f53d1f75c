"""test_function and init_tracing."""

import errno
import os
import subprocess
import sys
import textwrap

import pytest

import tolvi
from support import WINDOWS
from tolvi import package

Version, SemVer = package.version.Version, package.version.SemVer


def run(code, **kwargs):
    """The child's run, its output read as UTF-8, which the module writes and the
    child's own streams are made to write (-X utf8) on Windows too."""
    return subprocess.run(
        [sys.executable, "-X", "utf8", "-c", textwrap.dedent(code)],
        capture_output=True,
        encoding="utf-8",
        timeout=60,
        **kwargs,
    )


# The module writes UTF-8 whatever the streams' own encoding, a console's code
# page (cp1252) included, and nothing of it fails there.
@pytest.mark.parametrize("encoding", ["utf-8", "cp1252"])
def test_writes_to_the_real_standard_output_not_sys_stdout(encoding):
    result = run(
        """
        import io, sys
        from tolvi import package, test_function
        V = package.version.Version
        sys.stdout = io.StringIO()
        assert test_function(V("1.2.3-rc.1+b5")) is None
        assert test_function(version=V("1.2.3.4")) is None
        assert test_function(V("é_1")) is None
        captured = sys.stdout.getvalue()
        sys.stdout = sys.__stdout__
        print("captured:", repr(captured))
        """,
        env=os.environ | {"PYTHONIOENCODING": encoding},
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout == (
        "Got version: 1.2.3-rc.1+b5\nGot version: 1.2.3.4\nGot version: é_1\ncaptured: ''\n"
    )


@pytest.mark.parametrize(
    ("args", "kwargs", "message"),
    [
        ((), {}, "test_function() missing 1 required positional argument: 'version'"),
        (
            (Version("1"), Version("2")),
            {},
            "test_function() takes 1 positional arguments but 2 were given",
        ),
        (
            (1, 2, 3),
            {},
            "test_function() takes 1 positional arguments but 3 were given",
        ),
        ((), {"v": Version("1")}, "test_function() got an unexpected keyword argument 'v'"),
        # A name that cannot be encoded is still not `version`.
        ((), {"\ud800": Version("1")},
         "test_function() got an unexpected keyword argument '\ud800'"),
        (
            (Version("1"),),
            {"version": Version("2")},
            "test_function() got multiple values for argument 'version'",
        ),
        (
            ("1.0",),
            {},
            "argument 'version': 'str' object cannot be converted to 'Version'",
        ),
        (
            (SemVer("1.0.0"),),
            {},
            "argument 'version': 'SemVer' object cannot be converted to 'Version'",
        ),
        (
            (),
            {"version": None},
            "argument 'version': 'NoneType' object cannot be converted to 'Version'",
        ),
        # The unexpected keyword is found before the missing argument.
        ((), {"x": 1, "version": 1}, "test_function() got an unexpected keyword argument 'x'"),
    ],
)
def test_argument_errors(args, kwargs, message):
    with pytest.raises(TypeError) as caught:
        tolvi.test_function(*args, **kwargs)
    assert str(caught.value) == message
    assert type(caught.value) is TypeError


def test_conversion_error_keeps_no_unexpected_cause():
    with pytest.raises(TypeError) as caught:
        tolvi.test_function(1)
    assert caught.value.__cause__ is None


def test_closed_standard_output_is_silent():
    result = run(
        """
        import os, sys
        from tolvi import package, test_function
        os.close(1)
        result = test_function(package.version.Version("1.0"))
        sys.stderr.write(f"returned {result!r}\\n")
        """
    )
    assert result.returncode == 0, result.stderr
    assert result.stderr == "returned None\n"


def test_broken_pipe_raises_panic_with_the_system_description():
    result = run(
        """
        import os, sys
        from tolvi import package, test_function
        read_end, write_end = os.pipe()
        os.close(read_end)
        os.dup2(write_end, 1)
        try:
            test_function(package.version.Version("1.0"))
        except BaseException as error:
            kind = type(error)
            sys.stderr.write(f"{kind.__module__}.{kind.__qualname__}: {error}\\n")
        # The interpreter carries on.
        sys.stderr.write(str(package.version.Version("2.0")) + "\\n")
        """
    )
    assert result.returncode == 0, result.stderr
    # Windows' C runtime reports a write to a pipe whose reader is gone as
    # EINVAL, as the interpreter's own print shows there.
    description = os.strerror(errno.EINVAL if WINDOWS else errno.EPIPE)
    assert result.stderr == (
        f"pyo3_runtime.PanicException: failed printing to stdout: {description}\n2.0\n"
    )


def test_init_tracing_installs_once():
    result = run(
        """
        import tolvi
        assert tolvi.init_tracing() is None
        for _ in range(2):
            try:
                tolvi.init_tracing()
            except RuntimeError as error:
                print(type(error).__name__, error)
        """
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout == (
        "RuntimeError a global default trace dispatcher has already been set\n" * 2
    )


def test_init_tracing_takes_no_arguments():
    with pytest.raises(TypeError, match=r"takes no arguments \(1 given\)"):
        tolvi.init_tracing(1)


def test_lines_from_threads_never_interleave():
    result = run(
        """
        import threading
        from tolvi import package, test_function
        V = package.version.Version
        versions = [V("x" * 200 + f".{i}") for i in range(8)]
        def work(v):
            for _ in range(200):
                test_function(v)
        threads = [threading.Thread(target=work, args=(v,)) for v in versions]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        """
    )
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    assert len(lines) == 1600
    expected = {f"Got version: {'x' * 200}.{i}" for i in range(8)}
    assert set(lines) == expected
