"""The scripts that build and enter the Debian roots, attacked: killed at two
moments of a run, a second run started beside the first, a failing run, a
half-built root, a work tree bound into a root where an ordinary `rm -rf`
would reach it, and the emulator registered while the machine holds its own
binfmt_misc. Each runs in a clone of this checkout under a path with a space,
with a cache, a home and a dist folder whose paths hold one too, and the runs
that are killed run in a mount namespace whose mounts are shared, as a systemd
machine's are. Needs root, mmdebstrap, bwrap and the Debian mirror of this
machine's apt sources."""

import errno
import hashlib
import os
import re
import signal
import struct
import subprocess
import tarfile
import time
from pathlib import Path

import pytest

CHECKOUT = Path(__file__).resolve().parents[3]

# Wheels by name only: the leg is killed before it installs one.
PLACEHOLDER_WHEELS = [
    f"tolvi-0.1.0-{tag}-manylinux_2_17_x86_64.manylinux2014_x86_64.whl"
    for tag in ("cp314-cp314", "cp315-cp315", "cp312-abi3")
]


def mounts_at_or_below(directory: Path, process: int | str = "self") -> list[str]:
    """The mount points at or below `directory` in the namespace of `process`,
    read from its mount table with the octal escapes decoded."""
    root = str(directory.resolve())
    places = []
    for line in Path(f"/proc/{process}/mountinfo").read_text().splitlines():
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


@pytest.fixture(scope="module")
def cache(tmp_path_factory: pytest.TempPathFactory) -> Path:
    """The cache of roots and interpreters the tests here share, empty at first."""
    return tmp_path_factory.mktemp("tests") / "cache here"


@pytest.fixture
def clone(tmp_path: Path, cache: Path, monkeypatch: pytest.MonkeyPatch) -> Path:
    """A clone of this checkout, with its tracked files as they are now, under
    a path with a space; the cache and the home, fresh ones, have a space in
    their paths too."""
    (tmp_path / "home here").mkdir()
    monkeypatch.setenv("HOME", str(tmp_path / "home here"))
    monkeypatch.setenv("TOLVI_CACHE", str(cache))
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


@pytest.fixture
def systemd_host():
    """A mount namespace whose mounts are all shared, as a systemd machine's
    are: a process holds it while the test lasts, and the runs started in it
    (`in_host`) are killed without it."""
    holder = subprocess.Popen(["unshare", "--mount", "--propagation", "shared", "sleep", "infinity"])
    wait_for(lambda: Path(f"/proc/{holder.pid}/ns/mnt").readlink()
             != Path("/proc/self/ns/mnt").readlink(), "the shared namespace", seconds=10)
    yield holder.pid
    holder.kill()
    holder.wait()


def in_host(host: int, command: list[str], cwd: Path = Path("/")) -> list[str]:
    return ["nsenter", f"--target={host}", "--mount", f"--wd={cwd}", *command]


def mounts_left(host: int, *folders: Path) -> list[str]:
    """What is mounted at or below `folders` in this namespace, and in the
    shared one."""
    return [place for folder in folders
            for place in mounts_at_or_below(folder) + mounts_at_or_below(folder, host)]


# The release files' folder of the legs, under a path with a space.
DIST = "release files"


def start(tree: Path, host: int, *target: str, name: str = "leg") -> subprocess.Popen:
    """`make TARGET` in the shared namespace, in a session of its own, its
    output in a file (a pipe left unread would stop it)."""
    log = tree.parent / f"{name}.log"
    with open(log, "w") as out:
        run = subprocess.Popen(in_host(host, ["make", *target, f"RELEASE_DIST={DIST}"], tree),
                               start_new_session=True, stdout=out, stderr=subprocess.STDOUT)
    LOGS[run] = log
    return run


def placeholders(tree: Path) -> None:
    """The wheels the leg looks for, in the dist folder, which `make clean` leaves."""
    (tree / DIST).mkdir(exist_ok=True)
    for name in PLACEHOLDER_WHEELS:
        (tree / DIST / name).touch()


def kill_and_check(run: subprocess.Popen, tree: Path, before, host: int) -> str:
    """SIGKILL to the whole run, then: nothing mounted in the work tree or the
    cache, here or in the shared namespace, `make clean` passes, and the
    tracked files as they were. Returns what the run printed."""
    os.killpg(run.pid, signal.SIGKILL)
    run.wait()
    printed = LOGS[run].read_text()
    wait_for(lambda: not session_processes(run.pid), "the killed run's processes to end",
             seconds=60)
    assert mounts_left(host, tree, Path(os.environ["TOLVI_CACHE"])) == []
    clean = subprocess.run(["make", "clean"], cwd=tree, capture_output=True, text=True)
    assert clean.returncode == 0, clean.stdout + clean.stderr
    assert not (tree / "build").exists()
    assert tracked_state(tree) == before
    return printed


def test_killed_runs_leave_nothing_mounted_and_the_tree_whole(clone: Path, systemd_host: int) -> None:
    placeholders(clone)
    before = tracked_state(clone)
    cache = Path(os.environ["TOLVI_CACHE"])

    # While mmdebstrap fills the root.
    run = start(clone, systemd_host, "test-dist-amd64")
    wait_for(lambda: any((partial / "usr" / "bin").is_dir()
                         for partial in cache.glob("roots/amd64-*.partial")),
             "the root's build to begin", run)
    time.sleep(3)
    assert mounts_left(systemd_host, clone, cache) == []
    printed = kill_and_check(run, clone, before, systemd_host)
    assert f"--- the root amd64 in {cache}/roots/amd64-" in printed

    # Inside the root, while pip installs the test requirements there; a second
    # run of the same leg meanwhile stops at once, and takes nothing from the first.
    run = start(clone, systemd_host, "test-dist-amd64")
    wait_for(lambda: any("bwrap" in c and "pip install" in c for c in session_processes(run.pid)),
             "the leg's pip inside the root", run)
    second = subprocess.run(["make", "test-dist-amd64", f"RELEASE_DIST={DIST}"], cwd=clone,
                            capture_output=True, text=True, timeout=60)
    assert second.returncode != 0
    assert "another run of test-dist-amd64 is going on in this work tree" in second.stderr
    time.sleep(2)
    assert run.poll() is None
    assert mounts_left(systemd_host, clone, cache) == []
    refused = subprocess.run(["make", "clean"], cwd=clone, capture_output=True, text=True)
    assert refused.returncode != 0
    assert "a run still holds build/locks/" in refused.stderr
    kill_and_check(run, clone, before, systemd_host)


def test_a_killed_interpreter_build_is_never_trusted(clone: Path, systemd_host: int) -> None:
    # Killed while the free-threaded CPython compiles inside its root: nothing
    # mounted, and the cache outside the work tree holds only the build's
    # .partial folder, which no run takes for a build.
    before = tracked_state(clone)
    cache = Path(os.environ["TOLVI_CACHE"])
    run = start(clone, systemd_host, "freethreaded", name="freethreaded")
    wait_for(lambda: any(c.startswith("gcc ") for c in session_processes(run.pid)),
             "the interpreter's compiler inside the root", run)
    assert mounts_left(systemd_host, clone, cache) == []
    kill_and_check(run, clone, before, systemd_host)
    assert [p.name.endswith(".partial") for p in cache.glob("python3.13t-*") if p.is_dir()] == [True]


def test_a_failing_run_leaves_no_process_and_no_lock(clone: Path, tmp_path: Path) -> None:
    # An interpreter that fails once the wheels of the roots, the free-threaded
    # interpreter and the musl one are under way beside it: when make returns,
    # nothing of the run is left, and `make clean` finds no lock held. The roots and
    # interpreters are this machine's, as a contributor's second clone finds them.
    real = subprocess.run(["make", "-s", "-f", "-", "python313"], cwd=CHECKOUT, capture_output=True,
                          input="include Makefile\npython313:\n\t@echo $(RELEASE_PYTHON313)\n",
                          text=True, check=True).stdout.strip()
    failing = tmp_path / "python3.13"
    failing.write_text(f'#!/bin/sh\n[ "$1" = -c ] && exec "{real}" "$@"\nexit 3\n')
    failing.chmod(0o755)
    (clone / "untracked.txt").write_text("not in the last commit\n")
    env = {name: value for name, value in os.environ.items() if name != "TOLVI_CACHE"}
    env["HOME"] = str(Path("~root").expanduser())
    log = tmp_path / "wheels.log"
    with open(log, "w") as out:
        run = subprocess.Popen(["make", "wheels", f"RELEASE_PYTHON313={failing}", f"RELEASE_DIST={DIST}"],
                               cwd=clone, env=env, start_new_session=True, stdout=out,
                               stderr=subprocess.STDOUT)
    assert run.wait(timeout=1800) != 0
    printed = log.read_text()
    assert "--- cp313-cp313 x86_64 wheel, with CPython 3.13" in printed, printed
    assert "--- the root amd64 in" not in printed
    assert "the sdist is made from the last commit, without these changes:\n?? untracked.txt\n" in printed
    with tarfile.open(next((clone / DIST).glob("tolvi-*.tar.gz"))) as sdist:
        assert [name for name in sdist.getnames() if "untracked" in name] == []
    assert session_processes(run.pid) == []
    clean = subprocess.run(["make", "clean"], cwd=clone, capture_output=True, text=True, timeout=180)
    assert clean.returncode == 0, clean.stdout + clean.stderr


ROOTS = 'cd "$1" && . tools/release/debian_root.sh && '

# A program of 64-bit Arm that exits with status 7: the ELF header, one
# loadable segment, and mov x0, #7; mov x8, #93 (exit); svc #0.
ARM_CODE = struct.pack("<3I", 0xD28000E0, 0xD2800BA8, 0xD4000001)
ARM_PROGRAM = (b"\x7fELF\x02\x01\x01" + bytes(9)
               + struct.pack("<HHIQQQIHHHHHH", 2, 0xB7, 1, 0x400078, 64, 0, 0, 64, 56, 1, 0, 0, 0)
               + struct.pack("<IIQQQQQQ", 1, 5, 0, 0x400000, 0x400000, 132, 132, 0x1000) + ARM_CODE)

EMULATED = """#!/usr/bin/env bash
set -eu
cd "$1"
. tools/release/debian_root.sh
contained --emulation "$0" "$@"
emulation_start
status=0
"$2" || status=$?
echo "emulated: $status"
[ -z "${3:-}" ] || sleep 600
"""


@pytest.mark.parametrize("instance", ["the run's own", "the run's own, the run killed",
                                      "the machine's, as on Linux before 6.7"])
def test_the_emulator_is_gone_when_the_run_ends(clone: Path, systemd_host: int, tmp_path: Path,
                                                instance: str) -> None:
    # The machine's binfmt_misc stays mounted in the shared namespace while a
    # run registers the emulator, runs an Arm program and ends, or is killed;
    # then no entry of the run is left there, and the program is foreign to the
    # machine again.
    program = tmp_path / "arm program"
    program.write_bytes(ARM_PROGRAM)
    program.chmod(0o755)
    script = tmp_path / "emulated.sh"
    script.write_text(EMULATED)
    script.chmod(0o755)
    binfmt = "/proc/sys/fs/binfmt_misc"
    subprocess.run(in_host(systemd_host, ["mount", "-t", "binfmt_misc", "binfmt_misc", binfmt]),
                   check=True)
    env = {**os.environ, "TOLVI_BINFMT": "machine" if "machine" in instance else ""}
    command = in_host(systemd_host, [str(script), str(clone), str(program)] + ["wait"] * ("killed" in instance))
    if "killed" in instance:
        log = tmp_path / "emulated.log"
        with open(log, "w") as out:
            run = subprocess.Popen(command, env=env, start_new_session=True, stdout=out,
                                   stderr=subprocess.STDOUT)
        LOGS[run] = log
        wait_for(lambda: "emulated: 7" in log.read_text(), "the emulated program", run)
        os.killpg(run.pid, signal.SIGKILL)
        run.wait()
        wait_for(lambda: not session_processes(run.pid), "the killed run's processes to end", seconds=60)
    else:
        done = subprocess.run(command, env=env, capture_output=True, text=True, timeout=600)
        assert done.stdout.splitlines()[-1:] == ["emulated: 7"], done.stdout + done.stderr
    entries = subprocess.run(in_host(systemd_host, ["ls", binfmt]), capture_output=True, text=True,
                             check=True).stdout.split()
    assert [entry for entry in entries if entry.startswith("tolvi-aarch64-")] == []
    with pytest.raises(OSError) as refused:
        subprocess.run([program])
    assert refused.value.errno == errno.ENOEXEC


def roots_shell(tree: Path, script: str, *, own_mounts: bool = False):
    command = ["bash", "-c", ROOTS + script, "bash", str(tree)]
    if own_mounts:
        command = ["unshare", "--mount", "--propagation", "private", *command]
    return subprocess.run(command, capture_output=True, text=True, timeout=600)


NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]


@pytest.mark.parametrize(("script", "message"), [
    ("make wheels RELEASE_PYTHON312=",
     "no CPython 3.12 found (pyenv's, or python3.12 on the PATH): name one with"
     " RELEASE_PYTHON312=/path/to/python3.12\n"),
    ("GIT_DIR=/nowhere; export GIT_DIR; release_dates",
     "this is no git checkout: name the dates of the files with SOURCE_DATE_EPOCH=SECONDS\n"),
    ('dist_lock "$1/d" -x; timeout 2 bash -c \'. tools/release/debian_root.sh; dist_lock "$0/d" -s >&2\' "$1"',
     "--- waiting for another run that uses {tree}/d (it holds build/locks/dist-"),
    (f'{" ".join(NOBODY)} bash -c "$(declare -f contained); contained --emulation true"',
     "emulating arm64 needs root (it registers the emulator with the kernel);"
     " `make test-dist-amd64` works as any user\n"),
])
def test_what_a_refused_or_waiting_run_says(clone: Path, script: str, message: str) -> None:
    done = roots_shell(clone, script)
    assert message.format(tree=clone) in done.stderr, done.stdout + done.stderr


@pytest.mark.parametrize("leftover", ["a killed build's partial", "no stamp", "another recipe",
                                      "packages changed"])
def test_a_root_not_whole_is_built_anew(clone: Path, leftover: str) -> None:
    built = Path(roots_shell(clone, "root_use emulator && root_dir emulator").stdout.splitlines()[-1])
    assert built.is_dir()
    if leftover == "a killed build's partial":
        junk = built.with_name(built.name + ".partial")
        (built.with_name(built.name + ".stamp")).unlink()
    else:
        junk = built
    (junk / "usr" / "bin").mkdir(parents=True, exist_ok=True)
    (junk / "usr" / "bin" / "junk").touch()
    stamp = built.with_name(built.name + ".stamp")
    if leftover == "no stamp":
        stamp.unlink()
    if leftover == "another recipe":
        lines = stamp.read_text().splitlines()
        stamp.write_text("\n".join(lines[:2] + ["--include=qemu-user-static"]) + "\n")
    if leftover == "packages changed":
        (built / "var" / "lib" / "dpkg").mkdir(parents=True, exist_ok=True)
        with open(built / "var" / "lib" / "dpkg" / "status", "a") as status:
            status.write("Package: junk\n")
    done = roots_shell(clone, "root_use emulator")
    assert done.returncode == 0, done.stdout + done.stderr
    assert "--- the root emulator built in" in done.stdout
    assert not built.with_name(built.name + ".partial").exists()
    assert not (built / "usr" / "bin" / "junk").exists()
    assert (built / "usr" / "bin" / "qemu-aarch64").is_file()
    assert stamp.read_text().splitlines()[2:] == roots_shell(clone, "root_recipe emulator").stdout.splitlines()


def test_nothing_is_deleted_through_a_mount(clone: Path) -> None:
    # The work tree bound into a folder a leg deletes, as a killed run of old
    # left it, in a mount namespace that dies with this test.
    before = tracked_state(clone)
    place = clone / "build" / "dist-test" / "amd64" / "project"
    place.mkdir(parents=True)
    done = roots_shell(clone, """
        mount --bind "$1" build/dist-test/amd64/project
        tools/release/mounts_below.sh . ; echo "mounts_below: $?"
        remove_unmounted build/dist-test/amd64 ; echo "remove_unmounted: $?"
        make clean ; echo "make clean: $?"
        ls build/dist-test/amd64/project/.git >/dev/null && echo "still whole"
    """, own_mounts=True)
    assert done.stdout.splitlines() == [
        f"{place}",
        "mounts_below: 1",
        "remove_unmounted: 1",
        "tools/dev/clean.sh",
        "make clean: 2",
        "still whole",
    ], done.stdout + done.stderr
    assert f"build/dist-test/amd64 is not removed: mounted at or below it are\n{place}\n" in done.stderr
    assert f"mounted below this work tree, and not removed:\n{place}\n" in done.stderr
    assert mounts_at_or_below(clone) == []
    assert tracked_state(clone) == before
