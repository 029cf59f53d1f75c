"""The scripts that build and enter the Debian roots, attacked: killed at two
moments of a run, a second run started beside the first, a half-built root,
and a work tree bound into a root where an ordinary `rm -rf` would reach it.
Each runs in a clone of this checkout under a path with a space. Needs root,
mmdebstrap, bwrap and the Debian mirror of this machine's apt sources."""

import hashlib
import os
import re
import signal
import subprocess
import time
from pathlib import Path

import pytest

CHECKOUT = Path(__file__).resolve().parents[2]

# Wheels by name only: the leg is killed before it installs one.
PLACEHOLDER_WHEELS = [
    f"tolvi-0.1.0-{tag}-manylinux_2_17_x86_64.manylinux2014_x86_64.whl"
    for tag in ("cp314-cp314", "cp315-cp315", "cp312-abi3")
]


def mounts_at_or_below(directory: Path) -> list[str]:
    """The mount points at or below `directory` in this process's namespace,
    read from the mount table with its octal escapes decoded."""
    root = str(directory.resolve())
    places = []
    for line in Path("/proc/self/mountinfo").read_text().splitlines():
        place = re.sub(r"\\([0-7]{3})", lambda m: chr(int(m[1], 8)), line.split(" ")[4])
        if place == root or place.startswith(root + "/"):
            places.append(place)
    return places


def tracked_state(tree: Path) -> tuple[str, dict[str, str]]:
    """git's status of `tree` and the sha256 of each tracked file."""
    status = subprocess.run(["git", "status", "--porcelain"], cwd=tree, check=True,
                            capture_output=True, text=True).stdout
    names = subprocess.run(["git", "ls-files", "-z"], cwd=tree, check=True,
                           capture_output=True, text=True).stdout.split("\0")
    return status, {name: hashlib.sha256((tree / name).read_bytes()).hexdigest()
                    for name in names if name}


@pytest.fixture(autouse=True)
def outside_make(monkeypatch: pytest.MonkeyPatch) -> None:
    """The clone's make runs as a user's would, not as a sub-make of `make
    test-roots`, which would print the folders it enters and pass its flags."""
    for name in ("MAKEFLAGS", "MFLAGS", "MAKELEVEL", "MAKEOVERRIDES"):
        monkeypatch.delenv(name, raising=False)


@pytest.fixture
def clone(tmp_path: Path) -> Path:
    """A clone of this checkout, with its tracked files as they are now, under
    a path with a space."""
    tree = tmp_path / "work tree" / "tolvi"
    subprocess.run(["git", "clone", "-q", str(CHECKOUT), str(tree)], check=True)
    names = subprocess.run(["git", "ls-files", "-z"], cwd=CHECKOUT, check=True,
                           capture_output=True, text=True).stdout.split("\0")
    for name in filter(None, names):
        if (CHECKOUT / name).is_file():
            (tree / name).write_bytes((CHECKOUT / name).read_bytes())
            (tree / name).chmod((CHECKOUT / name).stat().st_mode)
    subprocess.run(["git", "add", "-A"], cwd=tree, check=True)
    subprocess.run(["git", "-c", "user.name=t", "-c", "user.email=t@t", "commit", "-qm",
                    "as checked out", "--allow-empty"], cwd=tree, check=True)
    return tree


def session_processes(session: int) -> list[str]:
    """The command lines of the live processes of `session`."""
    found = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            stat = (entry / "stat").read_text()
            command = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode()
        except OSError:
            continue
        fields = stat[stat.rindex(")") + 2:].split()
        if fields[0] != "Z" and int(fields[3]) == session:
            found.append(command)
    return found


def wait_for(condition, what: str, run: subprocess.Popen | None = None,
             seconds: float = 900) -> None:
    deadline = time.monotonic() + seconds
    while not condition():
        if run is not None and run.poll() is not None:
            pytest.fail(f"the run ended ({run.returncode}) before {what}:\n{LOGS[run].read_text()}")
        if time.monotonic() > deadline:
            pytest.fail(f"waited {seconds} s for {what}")
        time.sleep(0.2)


# Where each run started by start_leg writes what it prints.
LOGS: dict[subprocess.Popen, Path] = {}


def start_leg(tree: Path) -> subprocess.Popen:
    """`make test-dist-amd64`, its output in a file (a pipe left unread would
    stop it), with the wheels it looks for in dist/, which `make clean` removes."""
    (tree / "dist").mkdir(exist_ok=True)
    for name in PLACEHOLDER_WHEELS:
        (tree / "dist" / name).touch()
    log = tree.parent / "leg.log"
    with open(log, "w") as out:
        run = subprocess.Popen(["make", "test-dist-amd64"], cwd=tree, start_new_session=True,
                               stdout=out, stderr=subprocess.STDOUT)
    LOGS[run] = log
    return run


def kill_and_check(run: subprocess.Popen, tree: Path, before) -> str:
    """SIGKILL to the whole run, then: nothing mounted, `make clean` passes, and
    the tracked files as they were. Returns what the run printed."""
    os.killpg(run.pid, signal.SIGKILL)
    run.wait()
    printed = LOGS[run].read_text()
    wait_for(lambda: not session_processes(run.pid), "the killed run's processes to end",
             seconds=60)
    assert mounts_at_or_below(tree) == []
    clean = subprocess.run(["make", "clean"], cwd=tree, capture_output=True, text=True)
    assert clean.returncode == 0, clean.stdout + clean.stderr
    assert not (tree / "build").exists()
    assert tracked_state(tree) == before
    return printed


def test_killed_runs_leave_nothing_mounted_and_the_tree_whole(clone: Path) -> None:
    before = tracked_state(clone)
    partial = clone / "build" / "roots" / "amd64.partial"

    # While mmdebstrap fills the root.
    run = start_leg(clone)
    wait_for(lambda: (partial / "usr" / "bin").is_dir(), "the root's build to begin", run)
    time.sleep(3)
    assert mounts_at_or_below(clone) == []
    printed = kill_and_check(run, clone, before)
    assert "--- the root build/roots/amd64 (Debian unstable)" in printed

    # Inside the root, while pip installs the test requirements there; a second
    # run of the same leg meanwhile stops at once, and takes nothing from the first.
    run = start_leg(clone)
    wait_for(lambda: any("bwrap" in c and "pip install" in c for c in session_processes(run.pid)),
             "the leg's pip inside the root", run)
    second = subprocess.run(["make", "test-dist-amd64"], cwd=clone, capture_output=True,
                            text=True, timeout=60)
    assert second.returncode != 0
    assert "another run of test-dist-amd64 is going on in this work tree" in second.stderr
    time.sleep(2)
    assert run.poll() is None
    assert mounts_at_or_below(clone) == []
    refused = subprocess.run(["make", "clean"], cwd=clone, capture_output=True, text=True)
    assert refused.returncode != 0
    assert "a run still holds build/locks/root-amd64.lock: wait for it" in refused.stderr
    kill_and_check(run, clone, before)


def test_a_killed_interpreter_build_is_never_trusted(clone: Path, tmp_path: Path) -> None:
    # Killed while the free-threaded CPython compiles inside its root: nothing
    # mounted, and the cache outside the work tree holds only the build's
    # .partial folder, which no run takes for a build.
    before = tracked_state(clone)
    cache = tmp_path / "cache"
    log = clone.parent / "freethreaded.log"
    with open(log, "w") as out:
        run = subprocess.Popen(["make", "freethreaded"], cwd=clone, start_new_session=True,
                               stdout=out, stderr=subprocess.STDOUT,
                               env={**os.environ, "TOLVI_CACHE": str(cache)})
    LOGS[run] = log
    wait_for(lambda: any(c.startswith("gcc ") for c in session_processes(run.pid)),
             "the interpreter's compiler inside the root", run)
    assert mounts_at_or_below(clone) == [] and mounts_at_or_below(cache) == []
    kill_and_check(run, clone, before)
    assert [p.name.endswith(".partial") for p in cache.glob("python3.13t-*") if p.is_dir()] == [True]


ROOTS = 'cd "$1" && . tools/debian_root.sh && '


def roots_shell(tree: Path, script: str, *, own_mounts: bool = False):
    command = ["bash", "-c", ROOTS + script, "bash", str(tree)]
    if own_mounts:
        command = ["unshare", "--mount", "--propagation", "private", *command]
    return subprocess.run(command, capture_output=True, text=True, timeout=600)


@pytest.mark.parametrize("leftover", ["a killed build's partial", "no stamp", "another recipe"])
def test_a_root_not_whole_is_built_anew(clone: Path, leftover: str) -> None:
    roots = clone / "build" / "roots"
    junk = roots / ("emulator.partial" if leftover == "a killed build's partial" else "emulator")
    (junk / "usr" / "bin").mkdir(parents=True)
    (junk / "usr" / "bin" / "junk").touch()
    if leftover == "another recipe":
        (roots / "emulator.stamp").write_text(f"{int(time.time())}\n--include=qemu-user-static\n")
    done = roots_shell(clone, "root_use emulator")
    assert done.returncode == 0, done.stdout + done.stderr
    assert not (roots / "emulator.partial").exists()
    assert not (roots / "emulator" / "usr" / "bin" / "junk").exists()
    assert (roots / "emulator" / "usr" / "bin" / "qemu-aarch64").is_file()
    stamp = (roots / "emulator.stamp").read_text().splitlines()
    assert stamp[1:] == roots_shell(clone, "root_recipe emulator").stdout.splitlines()


def test_nothing_is_deleted_through_a_mount(clone: Path) -> None:
    # The work tree bound into a root, as a killed run of old left it, in a
    # mount namespace that dies with this test.
    before = tracked_state(clone)
    place = clone / "build" / "roots" / "amd64" / "project"
    place.mkdir(parents=True)
    done = roots_shell(clone, """
        mount --bind "$1" build/roots/amd64/project
        tools/mounts_below.sh . ; echo "mounts_below: $?"
        root_remove build/roots/amd64 ; echo "root_remove: $?"
        make clean ; echo "make clean: $?"
        ls build/roots/amd64/project/.git >/dev/null && echo "still whole"
    """, own_mounts=True)
    assert done.stdout.splitlines() == [
        f"{place}",
        "mounts_below: 1",
        "root_remove: 1",
        "tools/clean.sh",
        "make clean: 2",
        "still whole",
    ], done.stdout + done.stderr
    assert f"build/roots/amd64 is not removed: mounted at or below it are\n{place}\n" in done.stderr
    assert f"mounted below this work tree, and not removed:\n{place}\n" in done.stderr
    assert mounts_at_or_below(clone) == []
    assert tracked_state(clone) == before
