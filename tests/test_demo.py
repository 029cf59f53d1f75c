"""examples/demo.py, which `make demo` runs, with its output going to a file."""

import os
import subprocess
import sys
from pathlib import Path

import pytest

from support import open_terminal

DEMO = Path(__file__).resolve().parents[1] / "examples" / "demo.py"


@pytest.mark.parametrize("given_by", ["argument", "TOLVI_CORPUS"])
def test_redirected_demo_is_plain_even_when_the_module_would_colour(tmp_path, given_by):
    corpus = tmp_path / "versions.txt"
    corpus.write_text("1.0.0-rc.10\n1.0.0-rc.9\n0.10\n0.9\nnightly_build\n1..2\n", encoding="utf-8")
    env = {k: v for k, v in os.environ.items()
           if k not in ("NO_COLOR", "CLICOLOR", "CLICOLOR_FORCE", "TOLVI_CORPUS")}
    args = [str(corpus)] if given_by == "argument" else []
    env |= {"TOLVI_CORPUS": str(tmp_path)} if given_by == "TOLVI_CORPUS" else {}
    master, slave = open_terminal()  # standard error a terminal: the module would colour
    with os.fdopen(master, "rb", buffering=0) as terminal:
        try:
            result = subprocess.run([sys.executable, str(DEMO), *args], env=env | {"TERM": "xterm"},
                                    stdout=subprocess.PIPE, stderr=slave, timeout=120, check=False)
        finally:
            os.close(slave)
        os.set_blocking(master, False)
        err = terminal.read(1 << 16) or b"" if result.returncode else b""
    out = result.stdout.decode()
    assert result.returncode == 0, err.decode(errors="replace")
    assert "\x1b" not in out
    assert "lines that do not parse: 1" in out
    assert "1.0.0-rc.10  1.0.0-rc.9  0.10  0.9  nightly_build" in out
    assert "   ╰── found '.' expected alphanumeric or '-'" in out
