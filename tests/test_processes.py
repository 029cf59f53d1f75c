"""Versions crossing process boundaries: worker pools, a Dask cluster, and functions
shipped by value the way Dask ships them."""

import importlib.util
import itertools
import multiprocessing
import re
import subprocess
import sys
from concurrent.futures import ProcessPoolExecutor
from pathlib import Path

import cloudpickle
import pytest

from stress_support import EMULATED
from support import CORPUS, THREAD_SANITIZED, WINDOWS, WINE, SemVer, Version

ROOT = Path(__file__).resolve().parents[1]
EVERY = 100  # a sample of about 4,500 lines, spread over every corpus file


def corpus_sample():
    return [line for path in sorted(CORPUS.glob("*.txt"))
            for line in path.read_text(encoding="utf-8").splitlines()[::EVERY]]


# Run in the pool's worker processes, which import this module by name: shipped
# by reference, so the module's alias `Version` is safe here.
def parse_all(lines):
    result = []
    for line in lines:
        try:
            result.append(Version(line))
        except RuntimeError:
            result.append(None)
    return result


# Under Wine 8 a pool's spawned workers never answer once the suite has run a
# while (alone, the test passes there).
@pytest.mark.skipif(WINE, reason="Wine's process pool stalls after the rest of the suite")
@pytest.mark.parametrize("method", [
    "spawn", pytest.param("fork", marks=pytest.mark.skipif(WINDOWS, reason="Windows cannot fork"))])
def test_process_pool_returns_the_same_values(method, recwarn):
    lines = corpus_sample()
    chunks = [lines[i:i + 600] for i in range(0, len(lines), 600)]
    context = multiprocessing.get_context(method)
    with ProcessPoolExecutor(max_workers=2, mp_context=context) as pool:
        parsed = [v for part in pool.map(parse_all, chunks) for v in part]
    expected = parse_all(lines)
    assert len(parsed) == len(lines) and any(v is None for v in expected)
    assert [repr(v) for v in parsed] == [repr(v) for v in expected]
    assert all(type(v) is type(e) and v == e for v, e in zip(parsed, expected))
    # A fork while other threads run warns from 3.12 on (the interpreter swallows
    # the warning even when filters make it an error, so look for it): the pool
    # forks before it starts its own threads, and no earlier test may leave one.
    # The sanitizer's own thread makes every fork warn.
    warned = [str(w.message) for w in recwarn if "is multi-threaded" in str(w.message)]
    assert not warned or THREAD_SANITIZED


# A local cluster starts in seconds natively; emulated, on a loaded machine, one
# run took over 120.
CLUSTER_SECONDS = 600 if EMULATED else 120


@pytest.mark.skipif(WINE, reason="psutil, which Dask's cluster needs, cannot load under Wine 8")
@pytest.mark.skipif(THREAD_SANITIZED, reason="Dask's cluster races inside CPython 3.13's own asyncio"
                    " and frames, which ThreadSanitizer reports")
@pytest.mark.skipif(importlib.util.find_spec("_ssl") is None,
                    reason="Dask's cluster needs ssl, which this interpreter is built without")
def test_cluster_example_matches_the_computation_in_process():
    result = subprocess.run(
        [sys.executable, str(ROOT / "examples" / "cluster.py"), "--every", str(EVERY), str(CORPUS)],
        capture_output=True, text=True, timeout=CLUSTER_SECONDS, check=False)
    assert result.returncode == 0, result.stderr
    lines = corpus_sample()
    versions = [v for v in parse_all(lines) if v is not None]
    unique = [next(group) for _, group in itertools.groupby(sorted(versions))]
    highest = {}
    for v in unique:
        if repr(v).startswith("Version::SemVer"):
            highest.setdefault(SemVer(v).major, []).append(v)
    first, second, third, *table = result.stdout.splitlines()
    assert re.fullmatch(rf"{len(lines)} lines in \d+ partitions: {len(versions)} versions, "
                        rf"{len(lines) - len(versions)} lines that do not parse", first)
    assert second == f"{len(unique)} distinct versions, from {unique[0]} to {unique[-1]}"
    assert third == f"the highest version of each of {len(highest)} major numbers:"
    assert [row.split() for row in table] == [
        [str(major), str(max(highest[major]))] for major in sorted(highest)]


# Run as the script of a Dask client, these functions are shipped by value. The
# alias is a global of the script, so the class is shipped by value too: its name,
# builtins.Version, does not lead back to it. The copy has no working constructor.
SHIPPED = """
import tolvi

V = tolvi.package.version.Version

def by_alias(text):
    return V(text)

def by_module(text):
    return tolvi.package.version.Version(text)
"""

CALL_IN_CHILD = """
import sys, cloudpickle
function = cloudpickle.loads(sys.stdin.buffer.read())
try:
    result = function("1.2.3-rc.1+build.5")
except Exception as error:
    print("raised", type(error).__name__, error)
else:
    print("returned", type(result) is __import__("tolvi").package.version.Version, repr(result))
"""


@pytest.mark.parametrize("name, outcome", [
    ("by_module", f"returned True {Version('1.2.3-rc.1+build.5')!r}"),
    ("by_alias", "raised TypeError Version() takes no arguments"),
], ids=["module-attribute", "alias"])
def test_function_shipped_by_value(name, outcome):
    namespace = {"__name__": "__main__"}
    exec(SHIPPED, namespace)
    function = namespace[name]
    data = cloudpickle.dumps(function)
    # In this process cloudpickle hands back the original class, so both work here:
    # only a fresh process shows what a worker gets.
    assert cloudpickle.loads(data)("1.2.3") == Version("1.2.3")
    result = subprocess.run([sys.executable, "-X", "dev", "-P", "-c", CALL_IN_CHILD],
                            input=data, capture_output=True, timeout=60, check=False)
    assert result.returncode == 0, result.stderr.decode(errors="replace")
    assert result.stdout.decode().strip() == outcome
