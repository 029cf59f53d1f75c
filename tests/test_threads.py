"""Threads sharing version objects.

The interpreter switches threads every microsecond here, and the Python code
that conversions run (__index__, __iter__, __eq__ of keyword names) sleeps
for a moment to hand the lock to another thread in the middle of a call. The
objects must stay whole: every field always holds one of the values written,
text forms parse back to equal objects, and no access conflict ("Already
borrowed") ever reaches Python code, since no member runs Python code while
it holds its claim on an object.
"""

import contextlib
import functools
import itertools
import pickle
import subprocess
import sys
import textwrap
import threading
import time
import traceback

import pytest

from reports import ascii_report
from stress_support import scaled
from support import DotSeparated, Other, PanicException, SemVer, Text, Version

THREADS = 8
CONFLICTS = ("Already borrowed", "Already mutably borrowed")


def switch():
    """Lets another thread take the interpreter lock."""
    time.sleep(0)


@contextlib.contextmanager
def fast_switching():
    previous = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    try:
        yield
    finally:
        sys.setswitchinterval(previous)


class Failures:
    """What the worker threads raised: access conflicts kept apart."""

    def __init__(self):
        self.lock = threading.Lock()
        self.conflicts = []
        self.others = []

    def record(self, error):
        text = "".join(traceback.format_exception(error))
        with self.lock:
            if type(error) is RuntimeError and str(error) in CONFLICTS:
                self.conflicts.append(text)
            else:
                self.others.append(text)

    def check(self):
        # Both lists are shown whole when they are not empty.
        assert self.conflicts == []
        assert self.others == []


def run_threads(work, rounds, count=THREADS):
    """Runs work(thread_index, round) on `count` threads started together;
    a thread stops at its first exception."""
    failures = Failures()
    start = threading.Barrier(count)

    def main(index):
        try:
            start.wait()
            for round_ in range(rounds):
                work(index, round_)
        except BaseException as error:  # noqa: BLE001 - reported by check()
            failures.record(error)

    threads = [threading.Thread(target=main, args=(i,), name=f"worker-{i}") for i in range(count)]
    with fast_switching():
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    failures.check()


# ---------------------------------------------------------------- arguments that run Python code


class SlowIndex:
    """An integer that takes its time to convert."""

    def __init__(self, n):
        self.n = n

    def __index__(self):
        switch()
        return self.n


class RefusedIndex:
    def __index__(self):
        switch()
        raise TypeError("refused")


class SlowStrings:
    """A sequence of str whose iteration hands over the lock before and
    after every item."""

    def __init__(self, items):
        self.items = [Text(item) if i % 2 else item for i, item in enumerate(items)]

    def __len__(self):
        switch()
        return len(self.items)

    def __getitem__(self, i):
        return self.items[i]

    def __iter__(self):
        for item in self.items:
            switch()
            yield item
        switch()


class FailsMidway(SlowStrings):
    def __iter__(self):
        switch()
        yield "first"
        switch()
        raise ValueError("mid-way")


class SlowKey(str):
    """A keyword name whose comparison, which the keyword lookup calls, hands
    over the lock."""

    def __eq__(self, other):
        switch()
        return str.__eq__(self, other)

    __hash__ = str.__hash__


# ---------------------------------------------------------------- shared objects and their values

MAJORS = [1, 2, 3]
MINORS = [0, 10]
PATCHES = [5, 4294967295]
RCS = [None, [], ["alpha"], ["rc", "1"], ["beta", "2", "x-y"]]
METAS = [None, ["build"], ["b", "7"]]
PARTS = [[], ["1"], ["2024", "01", "rc1"], ["a-b", "c", "d", "e", "f", "g"]]
VALUES = ["nightly", "nightly_é", "x_1", "z9"]

SEMVER_REPRS = {
    repr(SemVer(major=a, minor=b, patch=c, rc=d, meta=e))
    for a, b, c, d, e in itertools.product(MAJORS, MINORS, PATCHES, RCS, METAS)
}
PARTS_REPRS = {repr(DotSeparated(parts=p)) for p in PARTS}
VALUE_REPRS = {repr(Other(value=v)) for v in VALUES}
LOW, HIGH = SemVer("0.0.0"), SemVer("4.0.0")


def semver_is_whole(s):
    """s (a private copy) holds written values, and its text parses back."""
    assert repr(s) in SEMVER_REPRS
    again = SemVer(str(s))
    assert again == s
    assert repr(again) == repr(s)
    assert (s.major, s.minor, s.patch) == (again.major, again.minor, again.patch)
    assert s.rc in RCS and s.meta in METAS


def dotted_is_whole(d):
    assert repr(d) in PARTS_REPRS
    assert d.parts in PARTS
    assert DotSeparated(str(d)) == d


def other_is_whole(o):
    assert repr(o) in VALUE_REPRS
    assert o.value in VALUES
    assert Other(str(o)) == o


# ---------------------------------------------------------------- the shared-object stress


class Chatty(str):
    """A str subclass whose comparisons run Python code that reads the other
    operand; the version classes leave such comparisons to it."""

    def __eq__(self, other):
        switch()
        return isinstance(other, SemVer) and repr(other) in SEMVER_REPRS

    def __gt__(self, other):
        switch()
        return repr(SemVer(other)) in SEMVER_REPRS

    __hash__ = str.__hash__


def test_shared_objects_stay_whole():
    s = SemVer("1.0.5")
    d = DotSeparated("1")
    o = Other("nightly")
    shared_semvers = [SemVer(f"{m}.0.5") for m in MAJORS]
    chatty = Chatty("1.0.5")

    def write(index, round_):
        k = index + round_
        s.major = SlowIndex(MAJORS[k % len(MAJORS)])
        s.minor = MINORS[k % len(MINORS)]
        s.patch = SlowIndex(PATCHES[k % len(PATCHES)])
        rc = RCS[k % len(RCS)]
        s.rc = rc if rc is None else SlowStrings(rc)
        meta = METAS[(k // 2) % len(METAS)]
        s.meta = meta if meta is None else tuple(meta)
        d.parts = SlowStrings(PARTS[k % len(PARTS)])
        o.value = Text(VALUES[k % len(VALUES)])
        target = shared_semvers[k % len(shared_semvers)]
        target.major = SlowIndex(MAJORS[(k + 1) % len(MAJORS)])
        target.rc = SlowStrings(RCS[(k + 2) % len(RCS)] or [])

    def write_and_fail(index, round_):
        for obj, name, value, expected in [
            (s, "major", RefusedIndex(), (TypeError, "argument 'new_major': refused")),
            (s, "rc", FailsMidway([]), (ValueError, "mid-way")),
            (d, "parts", FailsMidway([]), (ValueError, "mid-way")),
            (s, "meta", "b.7", (TypeError, "argument 'new_meta': Can't extract `str` to `Vec`")),
        ]:
            with pytest.raises(Exception) as caught:
                setattr(obj, name, value)
            assert (type(caught.value), str(caught.value)) == expected

    def read(index, round_):
        assert s.major in MAJORS and s.minor in MINORS and s.patch in PATCHES
        assert s.rc in RCS and s.meta in METAS
        assert repr(s) in SEMVER_REPRS
        assert repr(SemVer(str(s))) in SEMVER_REPRS
        semver_is_whole(SemVer(s))
        version = Version(s)
        assert repr(version).removeprefix("Version::") in SEMVER_REPRS
        assert Version(str(version)) == version
        assert d.parts in PARTS and repr(d) in PARTS_REPRS
        assert repr(DotSeparated(str(d))) in PARTS_REPRS
        dotted_is_whole(DotSeparated(d))
        assert repr(Version(d)).removeprefix("Version::") in PARTS_REPRS
        assert o.value in VALUES and repr(o) in VALUE_REPRS
        other_is_whole(Other(o))
        assert repr(Other(Version(o))) in VALUE_REPRS
        semver_is_whole(pickle.loads(pickle.dumps(s)))
        dotted_is_whole(pickle.loads(pickle.dumps(d)))
        assert repr(pickle.loads(pickle.dumps(Version(o)))).removeprefix("Version::") in VALUE_REPRS

    def compare(index, round_):
        assert LOW < s < HIGH and HIGH > s > LOW
        assert s == s and s <= s and s >= s and not s != s and not s < s
        assert d == d and d <= d and o >= o and not o != o
        assert (s == chatty) is True and (s != chatty) is True
        assert (s < chatty) is True
        # Both operands may be changing: the answer is still a plain bool.
        for other in shared_semvers:
            assert type(s < other) is bool and type(other >= s) is bool
            assert type(s == other) is bool
        # The keyword names compare through Python code as well.
        built = SemVer(**{SlowKey("major"): 1, SlowKey("minor"): 2, SlowKey("patch"): 3})
        assert repr(built) == "SemVer { major: 1, minor: 2, patch: 3, rc: None, meta: None }"

    def sort(index, round_):
        by_slow_comparison = functools.cmp_to_key(lambda a, b: (switch(), (a > b) - (a < b))[1])
        ordered = sorted(shared_semvers, key=by_slow_comparison)
        assert sorted(map(id, ordered)) == sorted(map(id, shared_semvers))
        for item in sorted(shared_semvers):
            semver_is_whole(SemVer(item))

    actions = [write, read, compare, write_and_fail, read, sort, compare]

    def work(index, round_):
        actions[(index + round_) % len(actions)](index, round_)

    run_threads(work, scaled(4000))

    semver_is_whole(s)
    dotted_is_whole(d)
    other_is_whole(o)
    for item in shared_semvers:
        semver_is_whole(item)


def test_private_objects_of_each_thread():
    def work(index, round_):
        s = SemVer(f"{index}.{round_}.0-rc.1")
        s.patch = SlowIndex(round_)
        s.rc = SlowStrings(["x", str(index)])
        d = DotSeparated(f"{round_}.{index}")
        d.parts = [*d.parts, "z"]
        o = Other(f"n_{index}")
        o.value = f"{o.value}_{round_}"
        assert str(s) == f"{index}.{round_}.{round_}-x.{index}"
        assert repr(d) == f'DotSeparated {{ parts: ["{round_}", "{index}", "z"] }}'
        assert str(o) == f"n_{index}_{round_}"
        for value in (s, d, o, Version(str(s)), Version(str(d)), Version(str(o))):
            again = pickle.loads(pickle.dumps(value))
            assert type(again) is type(value) and repr(again) == repr(value) and again == value
        assert Version(str(s)) < Version(f"{index}.{round_}.{round_}") < Version(f"{index + 1}.0.0")
        assert sorted([Version(str(d)), Version(f"{round_}.{index}")]) == [
            Version(f"{round_}.{index}"), Version(str(d))]

    run_threads(work, scaled(1000))


# ---------------------------------------------------------------- immutable versions


def test_sorting_shared_versions():
    texts = [
        "1.0.0", "1.0.0-rc.1", "1.0.0-rc.1+b", "1.0.0-", "1.0.0-alpha.10", "1.0.0-alpha.9",
        "2.0", "1.10", "1.9", "2024.01.rc1", "", "nightly", "nightly_1", "Z_9", "é_1",
        "4294967295.0.0", "0.0.0", "1.2.3.4",
    ]
    versions = [Version(t) for t in texts * 3]
    expected = [id(v) for v in sorted(versions)]
    descending = [id(v) for v in sorted(versions, reverse=True)]
    by_slow_comparison = functools.cmp_to_key(lambda a, b: (switch(), (a > b) - (a < b))[1])

    def work(index, round_):
        assert [id(v) for v in sorted(versions)] == expected
        assert [id(v) for v in sorted(versions, key=by_slow_comparison)] == expected
        assert [id(v) for v in sorted(versions, reverse=True)] == descending
        mine = list(versions)
        mine.sort(key=lambda v: (switch(), v)[1])
        assert [id(v) for v in mine] == expected

    run_threads(work, scaled(100))


def test_first_comparisons_of_shared_versions():
    # Each round's versions are compared first by all threads at once, which
    # fill each one's ordering key together: a race ThreadSanitizer would see.
    texts = ["1.0.0-rc.1", "1.0.0", "2.0", "1.10", "1.9", "nightly", "", "1.2.3.4", "Z_9"]
    expected = [str(v) for v in sorted(Version(t) for t in texts)]
    rounds = scaled(100)
    fresh = [[Version(t) for t in texts] for _ in range(rounds)]

    def work(index, round_):
        assert [str(v) for v in sorted(fresh[round_])] == expected

    run_threads(work, rounds)


def test_constructing_from_shared_strings():
    # Each thread parses the same str objects; their UTF-8 form does not exist
    # yet when the threads start (non-ASCII text), so the first parse in any
    # thread creates it. The expected forms come from equal, separate objects.
    def fresh(text):
        return "".join(list(text))

    cases = [
        (Version, "1.2.3-rc.1+b5"),
        (Version, "2024.01.rc"),
        (Version, "nightly_é"),
        (Version, "é_1"),
        (SemVer, "1.2.3-beta"),
        (DotSeparated, "1.2.3.4"),
        (Other, "x_ü"),
        (Other, "名前"),
    ]
    expected = [repr(cls(fresh(text))) for cls, text in cases]
    shared = [(cls, fresh(text)) for cls, text in cases]
    shared += [(cls, Text(fresh(text))) for cls, text in cases]
    expected += expected

    def work(index, round_):
        for k in range(len(shared)):
            i = (index + k) % len(shared)
            cls, text = shared[i]
            assert repr(cls(text)) == expected[i]
            if i % 3 == 0:
                switch()

    run_threads(work, scaled(400))


# ---------------------------------------------------------------- standard output

LONG_TEXT = ".".join(str(i) for i in range(2000))  # longer than the pipe's atomic size


def run_child(code):
    """The child's run; what it writes through Python's own standard error is
    UTF-8 (-X utf8) with its lines ended by \\n, as on Windows it would not be."""
    result = subprocess.run(
        [sys.executable, "-X", "utf8", "-c", textwrap.dedent(code)],
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
        timeout=300,
    )
    result.stderr = result.stderr.replace(b"\r\n", b"\n")
    return result


def test_lines_of_racing_threads_stay_whole():
    texts = ["1.2.3-rc.1+b5", "2024.01.rc1", "nightly_é", LONG_TEXT, "0.0.0-"]
    threads, lines = 6, scaled(2000)
    result = run_child(
        f"""
        import sys, threading
        from tolvi import package, test_function
        V = package.version
        texts = {texts!r}
        versions = [V.Version(t) for t in texts]
        start = threading.Barrier({threads})
        errors = []

        def work(index):
            try:
                start.wait()
                for k in range({lines}):
                    test_function(versions[(index + k) % len(versions)])
                    # Work between lines, for the threads to switch in.
                    V.SemVer(texts[0]).rc = V.DotSeparated(texts[3]).parts
            except BaseException as error:
                errors.append(repr(error))

        sys.setswitchinterval(1e-6)
        workers = [threading.Thread(target=work, args=(i,)) for i in range({threads})]
        for worker in workers:
            worker.start()
        for worker in workers:
            worker.join()
        sys.stderr.write(f"errors: {{errors!r}}\\n")
        """
    )
    assert result.returncode == 0, result.stderr.decode(errors="replace")
    assert result.stderr == b"errors: []\n"
    written = result.stdout.split(b"\n")
    assert written.pop() == b""  # the output ends with a whole line
    expected = {}
    for index in range(threads):
        for k in range(lines):
            line = f"Got version: {texts[(index + k) % len(texts)]}".encode()
            expected[line] = expected.get(line, 0) + 1
    assert len(written) == threads * lines
    counted = {}
    for line in written:
        counted[line] = counted.get(line, 0) + 1
    assert counted == expected


def test_racing_first_uses_agree():
    # The internal-failure exception class and the report colour are both
    # made on first use; threads that race for it all get the same one.
    result = run_child(
        """
        import sys, threading
        from tolvi import package
        V = package.version
        start = threading.Barrier(8)
        seen = []

        def first_use():
            start.wait()
            try:
                V.SemVer("1", "2")
            except BaseException as error:
                panic = type(error)
            try:
                V.Version("1..2")
            except RuntimeError as error:
                report = str(error)
            seen.append((id(panic), panic.__module__, panic.__qualname__, panic.__bases__, report))

        sys.setswitchinterval(1e-6)
        workers = [threading.Thread(target=first_use) for _ in range(8)]
        for worker in workers:
            worker.start()
        for worker in workers:
            worker.join()
        assert len(seen) == 8 and len(set(seen)) == 1, seen
        sys.stderr.write(repr(seen[0][1:]))
        """
    )
    assert result.returncode == 0, result.stderr.decode(errors="replace")
    report = ascii_report(
        "Version", "1..2", 2, 3, "found '.' expected integer, or alphanumeric or '-'"
    )
    assert result.stderr.decode() == repr(
        (PanicException.__module__, PanicException.__qualname__, (BaseException,), report)
    )


def test_racing_init_tracing_installs_once():
    result = run_child(
        """
        import sys, threading
        import tolvi
        start = threading.Barrier(8)
        outcomes = []

        def install():
            start.wait()
            try:
                outcomes.append(repr(tolvi.init_tracing()))
            except RuntimeError as error:
                outcomes.append(str(error))

        sys.setswitchinterval(1e-6)
        workers = [threading.Thread(target=install) for _ in range(8)]
        for worker in workers:
            worker.start()
        for worker in workers:
            worker.join()
        sys.stderr.write("\\n".join(sorted(outcomes)) + "\\n")
        tolvi.test_function(tolvi.package.version.Version("1.0"))
        """
    )
    assert result.returncode == 0, result.stderr.decode(errors="replace")
    refused = "a global default trace dispatcher has already been set\n"
    assert result.stderr.decode() == "None\n" + refused * 7
    assert result.stdout == b"Got version: 1.0\n"
