"""Threads against one: two threads, each working through its own list of
100,000 corpus versions, against one thread working through both lists (each
list PASSES times: the times shown are for all the passes).

The speed-up is the one thread's time over the two threads'. With the
interpreter lock the threads take turns, and it stays near 1.0; on a
free-threaded interpreter, with the lock off, two cores make it near 2.0.
Goal: 1.8 or better there for constructing and sorting. Like run.py, a missed
goal prints a FAIL line and does not fail the command.
"""

import argparse
import gc
import sys
import sysconfig
import threading
import time
from pathlib import Path

import libraries

import tolvi

Version = tolvi.package.version.Version

PER_THREAD = 100_000
GOAL = 1.8
ROUNDS = 7


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


# Each thread goes through its list this many times, so that a timing spans
# a few hundred milliseconds, well above this machine's jitter.
PASSES = 4


def construct_and_sort(strings):
    for _ in range(PASSES):
        sorted(map(Version, strings))


def compare(versions):
    for _ in range(PASSES):
        sum(a < b for a, b in zip(versions, versions[1:]))


def text(versions):
    for _ in range(PASSES):
        list(map(str, versions))


def elapsed(work, inputs, threads):
    """Seconds for work(one) on each input: all in turn on one thread, or each
    on a thread of its own. Either way they run on threads started for it, so
    that neither side runs where the inputs were made, whose thread counts
    their references apart from every other's."""
    groups = [inputs] if threads == 1 else [[one] for one in inputs]
    start = threading.Barrier(len(groups) + 1)

    def main(group):
        start.wait()
        for one in group:
            work(one)

    workers = [threading.Thread(target=main, args=(group,)) for group in groups]
    for worker in workers:
        worker.start()
    start.wait()
    began = time.perf_counter()
    for worker in workers:
        worker.join()
    return time.perf_counter() - began


def best_pair(work, inputs, rounds):
    """The best of `rounds` timings on one thread and on two, taken in turn so
    that a change in the machine's load falls on both alike, after one untimed
    run of each; with the collector off, as timeit has it: the free-threaded
    collector stops every thread, for pauses that grow with the heap."""
    gc.collect()
    gc.disable()
    try:
        elapsed(work, inputs, 1)
        elapsed(work, inputs, 2)
        one = two = float("inf")
        for _ in range(rounds):
            one = min(one, elapsed(work, inputs, 1))
            two = min(two, elapsed(work, inputs, 2))
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
        print(line)
        lines.append(line)

    count, rounds = (10_000, 1) if args.quick else (PER_THREAD, ROUNDS)
    lists = own_lists(count)
    versions = [list(map(Version, strings)) for strings in lists]
    free_threaded = bool(sysconfig.get_config_var("Py_GIL_DISABLED"))
    lock = "on" if getattr(sys, "_is_gil_enabled", lambda: True)() else "off"
    show(f"CPython {sys.version.split()[0]}"
          f"{', free-threaded' if free_threaded else ''}, the interpreter lock {lock}:"
          f" 2 threads of {count:,} versions each against 1 thread doing both lists")
    show()
    show("| operation | 1 thread, ms | 2 threads, ms | speed-up |")
    show("|---|---:|---:|---:|")
    figures = {}
    for name, work, inputs in (("construct and sort", construct_and_sort, lists),
                               ("compare neighbours", compare, versions),
                               ("str", text, versions)):
        one, two = best_pair(work, inputs, rounds)
        figures[name] = one / two
        show(f"| {name} | {one * 1e3:.0f} | {two * 1e3:.0f} | {one / two:.2f}x |")
    if free_threaded and lock == "off" and not args.quick:
        ratio = figures["construct and sort"]
        show()
        show(f"{'PASS' if ratio >= GOAL else 'FAIL'} construct and sort on 2 threads:"
             f" {ratio:.2f}x, goal {GOAL}x or better")
    if not args.quick:
        args.out.mkdir(parents=True, exist_ok=True)
        (args.out / "scaling.md").write_text("\n".join(lines) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
