"""Runs clang-tidy with the repository's .clang-tidy over every C++ source file
in src/ and tests/cpp/, a few files at a time, and fails if any file has a
finding.

    python tools/dev/run_clang_tidy.py [BUILD_DIR]

BUILD_DIR (default build/tidy) must hold the compile_commands.json of a CMake
configuration with the extension and the C++ tests on. JOBS (default 2) sets
the number of parallel clang-tidy processes, CLANG_TIDY the binary.

A file found clean is remembered in the cache outside the work tree
(TOLVI_CACHE, else ~/.cache/tolvi, in clang-tidy/), under a key made of
everything its checking reads: clang-tidy's version, .clang-tidy, this
script, the file's compile flags and the bytes of every file it includes, as
its compiler lists them. A file whose key is remembered is not checked again;
findings are never remembered, so a file with findings is checked every run.

Needs clang-tidy (make lint-tools), git, and the compiler of the compile
database.
"""

import concurrent.futures
import hashlib
import json
import os
import re
import shlex
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
# The compile database comes from g++; this keeps clang quiet about warning
# options only g++ knows.
EXTRA_ARGUMENT = "--extra-arg=-Wno-unknown-warning-option"


def cache_folder():
    base = os.environ.get("TOLVI_CACHE") or Path(
        os.environ.get("XDG_CACHE_HOME") or Path.home() / ".cache") / "tolvi"
    return Path(base) / "clang-tidy"


def included_files(entry):
    """Every file the compiler reads for the entry's source, itself first."""
    words = shlex.split(entry["command"])
    flags, skip = [], False
    for word in words[1:]:
        if skip:
            skip = False
        elif word == "-o":
            skip = True
        elif word != "-c":
            flags.append(word)
    listed = subprocess.run([words[0], *flags, "-M"], cwd=entry["directory"], check=True,
                            capture_output=True, text=True).stdout
    # make's syntax: a backslash ends a continued line, or escapes a space.
    names = re.split(r"(?<!\\)\s+", listed.replace("\\\n", " ").split(": ", 1)[1].strip())
    return flags, [Path(entry["directory"], name.replace("\\ ", " ")) for name in names]


def key_of(entry, common):
    """The cache key of one file: `common` (the tool, its settings and this
    script), then its flags with the work tree's place taken out, then each
    file it reads, by its name within the work tree or on the system."""
    flags, files = included_files(entry)
    digest = hashlib.sha256(common)
    place = str(ROOT)
    digest.update("\0".join(flag.replace(place, ".") for flag in flags).encode())
    for path in files:
        digest.update(b"\0" + str(path).replace(place, ".").encode() + b"\0")
        digest.update(path.read_bytes())
    return digest.hexdigest()


def check(path, entry, build_dir, clang_tidy, common, cache):
    """None when the file is clean (remembered, or found so now), else the
    report of its findings."""
    key = key_of(entry, common)
    if (cache / key).exists():
        return None
    run = subprocess.run([clang_tidy, "--quiet", "-p", str(build_dir), EXTRA_ARGUMENT, path],
                         cwd=ROOT, capture_output=True, text=True)
    if run.returncode == 0:
        cache.mkdir(parents=True, exist_ok=True)
        (cache / key).touch()
        return None
    # The "N warnings generated" chatter of each run is left out; findings stay.
    report = "".join(line for line in (run.stdout + run.stderr).splitlines(keepends=True)
                     if not line.rstrip().endswith(("warning generated.", "warnings generated.")))
    return report or f"{path}: clang-tidy exited with {run.returncode}\n"


def main():
    build_dir = Path(sys.argv[1] if len(sys.argv) > 1 else "build/tidy")
    if not build_dir.is_absolute():
        build_dir = ROOT / build_dir
    database = build_dir / "compile_commands.json"
    if not database.is_file():
        sys.exit(f"no {database}: configure with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON")
    clang_tidy = os.environ.get("CLANG_TIDY", "clang-tidy")
    entries = {str(Path(entry["file"]).resolve().relative_to(ROOT)): entry
               for entry in json.loads(database.read_text())
               if Path(entry["file"]).resolve().is_relative_to(ROOT)}
    paths = subprocess.run(["git", "ls-files", "src/*.cpp", "tests/cpp/*.cpp"], cwd=ROOT,
                           check=True, capture_output=True, text=True).stdout.split()
    missing = [path for path in paths if path not in entries]
    if missing:
        sys.exit(f"not in {database}: {' '.join(missing)}")
    version = subprocess.run([clang_tidy, "--version"], check=True, capture_output=True).stdout
    common = b"\0".join((version, (ROOT / ".clang-tidy").read_bytes(),
                         Path(__file__).read_bytes()))
    cache = cache_folder()
    with concurrent.futures.ThreadPoolExecutor(int(os.environ.get("JOBS", "2"))) as pool:
        reports = list(pool.map(
            lambda path: check(path, entries[path], build_dir, clang_tidy, common, cache),
            paths))
    found = [report for report in reports if report is not None]
    if found:
        sys.stderr.write("".join(found))
        sys.exit(f"clang-tidy: findings in {len(found)} file(s)")
    print(f"clang-tidy: {len(paths)} files clean")


if __name__ == "__main__":
    main()
