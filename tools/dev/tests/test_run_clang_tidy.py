"""The clang-tidy runner's memory of clean files, in a small tree of its own
with a stand-in clang-tidy that finds "BAD" in a source or a header it
includes: a file is checked again whenever a file it reads changes, a finding
is reported every run, and a clone elsewhere finds the same keys."""

import json
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

RUNNER = Path(__file__).resolve().parents[1] / "run_clang_tidy.py"

FAKE_CLANG_TIDY = """#!/bin/sh
[ "$1" = --version ] && { echo "stand-in 1"; exit 0; }
for last; do :; done
echo "$last" >> "$CALLS"
if grep -q BAD "$last" src/*.hpp; then echo "$last:1:1: error: BAD [stand-in]"; exit 1; fi
"""


def make_tree(tree: Path) -> None:
    (tree / "tools" / "dev").mkdir(parents=True)
    shutil.copy(RUNNER, tree / "tools" / "dev")
    (tree / "src").mkdir()
    (tree / "src" / "a.hpp").write_text("inline int a() { return 1; }\n")
    (tree / "src" / "a.cpp").write_text('#include "a.hpp"\nint b() { return a(); }\n')
    (tree / "src" / "c.cpp").write_text("int c() { return 2; }\n")
    (tree / ".clang-tidy").write_text("Checks: '-*'\n")
    subprocess.run(["git", "init", "-q"], cwd=tree, check=True)
    subprocess.run(["git", "add", "."], cwd=tree, check=True)


def run(tree: Path, tmp_path: Path, monkeypatch: pytest.MonkeyPatch) -> tuple[int, str, list]:
    """Configures the tree's compile database where it is, runs the runner,
    and returns its status, its output and the files the stand-in checked."""
    build = tree / "build"
    build.mkdir(exist_ok=True)
    (build / "compile_commands.json").write_text(json.dumps([
        {"directory": str(build), "file": str(tree / "src" / name),
         "command": shlex.join(["g++", f"-I{tree / 'src'}", "-std=c++20", "-o", f"{name}.o",
                                "-c", str(tree / "src" / name)])}
        for name in ("a.cpp", "c.cpp")]))
    calls = tmp_path / "calls"
    calls.unlink(missing_ok=True)
    calls.touch()
    monkeypatch.setenv("CALLS", str(calls))
    done = subprocess.run([sys.executable, "tools/dev/run_clang_tidy.py", "build"], cwd=tree,
                          capture_output=True, text=True)
    checked = sorted(Path(line).name for line in calls.read_text().split())
    return done.returncode, done.stdout + done.stderr, checked


@pytest.mark.skipif(not shutil.which("g++"), reason="needs g++, the compile database's compiler")
def test_clean_files_are_remembered_until_a_file_they_read_changes(tmp_path, monkeypatch):
    fake = tmp_path / "clang-tidy"
    fake.write_text(FAKE_CLANG_TIDY)
    fake.chmod(0o755)
    monkeypatch.setenv("CLANG_TIDY", str(fake))
    monkeypatch.setenv("TOLVI_CACHE", str(tmp_path / "cache"))
    tree = tmp_path / "one tree"
    make_tree(tree)

    assert run(tree, tmp_path, monkeypatch) == (0, "clang-tidy: 2 files clean\n",
                                                 ["a.cpp", "c.cpp"])
    assert run(tree, tmp_path, monkeypatch) == (0, "clang-tidy: 2 files clean\n", [])

    # A clone elsewhere reads the same bytes under the same flags.
    clone = tmp_path / "another tree"
    shutil.copytree(tree, clone, ignore=shutil.ignore_patterns("build"))
    assert run(clone, tmp_path, monkeypatch)[2] == []

    (tree / "src" / "a.hpp").write_text("inline int a() { return 1; } // BAD\n")
    for _ in range(2):
        status, output, checked = run(tree, tmp_path, monkeypatch)
        assert (status, checked) == (1, ["a.cpp"])
        assert "a.cpp:1:1: error: BAD [stand-in]" in output
        assert output.endswith("clang-tidy: findings in 1 file(s)\n")

    (tree / "src" / "a.hpp").write_text("inline int a() { return 1; }\n")
    assert run(tree, tmp_path, monkeypatch)[::2] == (0, [])
    (tree / ".clang-tidy").write_text("Checks: '-*,bugprone-*'\n")
    assert run(tree, tmp_path, monkeypatch)[2] == ["a.cpp", "c.cpp"]
