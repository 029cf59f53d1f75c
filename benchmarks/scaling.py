"""Threads against one: two threads, each working through its own list of
100,000 corpus versions, against one thread working through both lists.

The speed-up is the one thread's time over the two threads'. With the
interpreter lock the threads take turns, and it stays near 1.0; on a
free-threaded interpreter, with the lock off, two cores make it near 2.0.
Goals there: 1.9 or better for constructing and sorting, 1.8 for comparing
neighbours and for str, each the best of the rounds on one thread over the
best on two (load only ever slows a round), and the median of 7 runs on this
noisy machine.

The last column divides one thread's CPU time by the busiest of the two
threads' CPU time. The machine's other load does not count there; threads
that slow each other (a shared count, a shared cache line) still do, and
threads that wait for a lock do not.

Each thread makes its own objects, as a thread that works on its own data
does: a free-threaded interpreter counts the references a thread holds to
objects it made apart from every other thread's, and those of any other
thread in a shared count that every change takes in turn. Two rows more show
what is not tolvi's: threads sharing one list of versions, whose shared counts
and list lock they take, and the same work on the interpreter's own floats,
which is what this machine and interpreter give; and a last row of work that
touches no object of another thread nor any memory beyond a few integers,
summing a range, which is what the machine's cores give at the time (a virtual
machine's cores may be shared with other guests). Like run.py, a missed goal
prints a FAIL line and does not fail the command.
"""

import argparse
import gc
import math
import sys
import sysconfig
import threading
import time
from pathlib import Path

import libraries

import tolvi

Version = tolvi.package.version.Version

PER_THREAD = 100_000
ROUNDS = 7
# Each timing on one thread spans about this many seconds (the work is
# repeated to reach it), far above the cost of starting the threads.
SPAN = 0.4


def own_lists(count):
    """Two lists of `count` strings that parse: the Python list's, the npm list's."""
    lists = []
    for name in libraries.MIXED_FILES:
        strings = []
        for line in (Path(libraries.CORPUS) / name).read_text(encoding="utf-8").splitlines():
            try:
                Version(line)
            except RuntimeError:
                continue
            strings.append(line)
            if len(strings) == count:
                break
        lists.append(strings)
    return lists


def float_lists(count):
    """Two lists of `count` decimal strings, unsorted, for the floats' rows."""
    return [[f"{(i * 7919 + salt) % 100_003}.{i % 97}" for i in range(count)]
            for salt in (0, 1)]


def construct_and_sort(kind):
    def work(strings, passes):
        for _ in range(passes):
            sorted(map(kind, strings))
    return work


def compare(items, passes):
    for _ in range(passes):
        sum(a < b for a, b in zip(items, items[1:]))


def text(items, passes):
    for _ in range(passes):
        list(map(str, items))


def compare_and_sort(items, passes):
    for _ in range(passes):
        compare(items, 1)
        sorted(items)


def count_up(count, passes):
    for _ in range(passes):
        sum(range(count))


def own_strings(strings):
    """Copies of `strings` made by the calling thread."""
    return [line.encode().decode() for line in strings]


def own_objects(kind):
    """Objects of `kind` made by the calling thread from `strings`, compared
    once, which gives each Version its ordering key before the timing."""
    def prepare(strings):
        items = list(map(kind, strings))
        compare(items, 1)
        return items
    return prepare


def shared(items):
    return items


def elapsed(prepare, work, inputs, threads, passes):
    """Seconds for work(prepare(one)) on each input, the preparing untimed: all
    in turn on one thread, or each on a thread of its own; and the CPU seconds
    of the busiest thread. The threads read the clock themselves, from the
    first one's start to the last one's end: a clock read by the thread that
    waits for them would start whenever that thread is next scheduled, which
    on a loaded machine is after the work has begun."""
    groups = [inputs] if threads == 1 else [[one] for one in inputs]
    start = threading.Barrier(len(groups))
    spans = []

    def main(group):
        try:
            mine = [prepare(one) for one in group]
        except BaseException:
            start.abort()  # the other threads stop waiting, and fail too
            raise
        start.wait()
        began, busy = time.perf_counter(), time.thread_time()
        for one in mine:
            work(one, passes)
        spans.append((began, time.perf_counter(), time.thread_time() - busy))

    workers = [threading.Thread(target=main, args=(group,)) for group in groups]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    if len(spans) != len(groups):
        raise RuntimeError("a thread of the benchmark failed (its traceback is above)")
    began, ended, busy = zip(*spans)
    return max(ended) - min(began), max(busy)


def best_pair(prepare, work, inputs, rounds, span):
    """The best of `rounds` timings on one thread and on two, taken in turn so
    that a change in the machine's load falls on both alike, after one untimed
    run of each, with the work repeated to span `span` seconds on one thread;
    with the collector off, as timeit has it: the free-threaded collector stops
    every thread, for pauses that grow with the heap. Each timing is a pair:
    seconds, and the busiest thread's CPU seconds."""
    gc.collect()
    gc.disable()
    try:
        once, _ = elapsed(prepare, work, inputs, 1, 1)
        passes = max(1, math.ceil(span / once))
        elapsed(prepare, work, inputs, 2, passes)
        one = two = (float("inf"), float("inf"))
        for _ in range(rounds):
            one = tuple(map(min, one, elapsed(prepare, work, inputs, 1, passes)))
            two = tuple(map(min, two, elapsed(prepare, work, inputs, 2, passes)))
        return one, two
    finally:
        gc.enable()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--quick", action="store_true", help="small lists, one round, prints only")
    parser.add_argument("--out", type=Path, help="folder for scaling.md (a full run only)",
                        default=Path(__file__).parent / "results" / "cp{}{}{}".format(
                            *sys.version_info[:2],
                            "t" if sysconfig.get_config_var("Py_GIL_DISABLED") else ""))
    args = parser.parse_args()
    lines = []

    def show(line=""):
        print(line, flush=True)
        lines.append(line)

    count, rounds, span = (10_000, 1, 0.02) if args.quick else (PER_THREAD, ROUNDS, SPAN)
    lists = own_lists(count)
    decimals = float_lists(count)
    one_list = own_objects(Version)(lists[0])
    free_threaded = bool(sysconfig.get_config_var("Py_GIL_DISABLED"))
    lock = "on" if getattr(sys, "_is_gil_enabled", lambda: True)() else "off"
    show(f"CPython {sys.version.split()[0]}"
         f"{', free-threaded' if free_threaded else ''}, the interpreter lock {lock}:"
         f" 2 threads of {count:,} items each against 1 thread doing both,"
         f" the best of {rounds} rounds")
    show()
    show("| operation | 1 thread, ms | 2 threads, ms | speed-up | speed-up in CPU time |")
    show("|---|---:|---:|---:|---:|")
    rows = (
        ("construct and sort", own_strings, construct_and_sort(Version), lists, 1.9),
        ("compare neighbours", own_objects(Version), compare, lists, 1.8),
        ("str", own_objects(Version), text, lists, 1.8),
        ("one shared list: compare neighbours, sort a copy", shared, compare_and_sort,
         [one_list, one_list], None),
        ("floats: construct and sort", own_strings, construct_and_sort(float), decimals, None),
        ("floats: compare neighbours", own_objects(float), compare, decimals, None),
        ("floats: str", own_objects(float), text, decimals, None),
        ("nothing shared: sum of a range", shared, count_up, [count, count], None),
    )
    verdicts = []
    for name, prepare, work, inputs, goal in rows:
        (one, one_busy), (two, two_busy) = best_pair(prepare, work, inputs, rounds, span)
        ratio = one / two
        show(f"| {name} | {one * 1e3:.0f} | {two * 1e3:.0f} | {ratio:.2f}x"
             f" | {one_busy / two_busy:.2f}x |")
        if goal is not None:
            verdicts.append(f"{'PASS' if ratio >= goal else 'FAIL'} {name} on 2 threads:"
                            f" {ratio:.2f}x, goal {goal}x or better")
    if free_threaded and lock == "off" and not args.quick:
        show()
        for verdict in verdicts:
            show(verdict)
    if not args.quick:
        args.out.mkdir(parents=True, exist_ok=True)
        (args.out / "scaling.md").write_text("\n".join(lines) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
