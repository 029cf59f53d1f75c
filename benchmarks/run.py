"""Speed and memory of tolvi's version classes against peer libraries and floors.

    python benchmarks/run.py            # full run: tables, goals, results/cpXY/ files
    python benchmarks/run.py --quick    # small samples, prints only
    python benchmarks/run.py --abi3 DIR # also tolvi's rows of the module built in DIR

Input is the list of real version strings beside the repository (see libraries.py).  A
class that rejects a string is timed on the strings it accepts; the table says how many.
Missed goals are reported, not fatal; any error is.
"""

import argparse
import datetime
import random
import sys
import time
from pathlib import Path

import libraries
import memory
import report
import targets
import timing
from libraries import TOLVI, TOLVI_SEMVER
from targets import (ABI3, CONSTRUCT, CONSTRUCT_FAILING, CONSTRUCT_FRESH, CONSTRUCT_SEMVER,
                     CONSTRUCT_TYPOS, DATE, EQ, FLOAT_FLOOR, ISO_DATE_FLOOR, LT, MEMORY, PICKLE,
                     PICKLED_SIZE, RECONSTRUCT, REPR, SIZED, SORT, STR, TIMED)

# Every operation's rows, its floor's included, are timed in rounds, each row once a round in
# turn, and each row keeps its best round: the goals compare rows with each other, and a
# change of the machine's load must fall on all of them alike.
INTERLEAVED_ROUNDS = 7
# The short-string construction against date.fromisoformat: the first corpus strings, copied
# fresh, in more rounds of a shorter loop, both of which the ratio of two fast parsers needs.
FRESH_COUNT = 20_000
FRESH_ROUNDS = 15

NOTES = f"""\
- ns/op: time per operation, the best of {INTERLEAVED_ROUNDS} rounds that each time every row
  of the operation once, in turn, each a loop over its whole input; for memory, resident-set
  growth per live object; for pickled size, bytes of the pickle per object.
- × tolvi: that number over tolvi's (`SemVer` for semantic versions, `Version` elsewhere);
  above 1 is slower or larger. × floor: that number over the floor's.
- inputs: the corpus lines a class accepts (a class is timed on those only), the pairs, or
  the objects. Semantic versions: the lines that all three semantic classes accept.
  Strings that fail: the corpus lines that every class rejects, then corpus lines whose
  first '.' is made a ',', kept where every class rejects them. Typos that fail: corpus
  lines with one character inserted at a random place (fixed seed) as a typist would: a
  keyboard neighbour of the character there, that character doubled, a space or a
  punctuation mark; kept where every class rejects them.
- memory: each class in a fresh interpreter builds that many objects, going round the
  lines it accepts (tolvi `SemVer`: the semantic versions), and the growth of its
  resident set is divided among them.
- pickling: the list of a class's objects built from the lines it accepts, pickled with
  `pickle.dumps(objects, pickle.HIGHEST_PROTOCOL)`; the size is that pickle's length
  divided among the objects, the time one `dumps` and the `loads` of its result.
- `semver.Version` objects are built with `semver.Version.parse`.
- `_reconstruct(text)`: tolvi's reconstructor, as unpickling calls it, over the lines tolvi
  accepts, in the loop of construction.
- {CONSTRUCT_FRESH}: `Version(s)` over the first {FRESH_COUNT:,} lines tolvi accepts, each
  copied into a new str, the copies made one after another, against
  `date.fromisoformat(s)` over as many ISO dates made the same way; best of
  {FRESH_ROUNDS} rounds.
- `datetime.date`: as many dates as tolvi has objects, pickled the same way, beside tolvi
  in the pickling rows.
- (abi3): tolvi's rows again, for the module built against the stable ABI, loaded beside the
  installed one and timed in the same rounds as its rows; its memory in a fresh interpreter
  that imports it in place of the installed one.
- Floors: the same loop as the classes with the cheapest form of the work written inline
  (`s.split(".")`, `a == b` and `a < b` on the lines as str, `sorted()` of them; for
  construction also `float(s)` over as many short decimals such as '1.5'); for
  rendering, `str()` of ints 0 to 255 in the loop of `str()` and `repr()`; for pickling,
  the list of the lines tolvi accepts, as str, pickled the same way."""

FULL = dict(step=1, sort_count=200_000, memory_count=1_000_000, failing=20_000)
QUICK = dict(step=50, sort_count=2_000, memory_count=20_000, failing=200)


def parse_all(make, strings):
    """The object built from each string, or None where `make` raises."""
    objects = []
    for s in strings:
        try:
            objects.append(make(s))
        except Exception:
            objects.append(None)
    return objects


def accepted(strings, objects):
    return [s for s, o in zip(strings, objects) if o is not None]


def failing_strings(strings, makers, count):
    """Strings that every class rejects: those of the corpus, then corpus lines whose first
    '.' is made a ',' (the corpus alone has too few for a steady timing)."""
    stride = max(1, len(strings) // count)
    candidates = strings + [s.replace(".", ",", 1) for s in strings[::stride] if "." in s]
    for make in makers:
        candidates = [s for s, o in zip(candidates, parse_all(make, candidates)) if o is None]
    return candidates[:count]


# Keys as they sit beside each other on a US keyboard, for the typos' slipped fingers.
KEYBOARD_ROWS = ("`1234567890-=", "qwertyuiop[]", "asdfghjkl;'", "zxcvbnm,./")
STRAY_PUNCTUATION = ",;:/_'+"


def keyboard_neighbours(c):
    for row in KEYBOARD_ROWS:
        at = row.find(c.lower())
        if at >= 0:
            return row[max(0, at - 1):at] + row[at + 1:at + 2]
    return ""


def with_typo(s, rng):
    """`s` with one character inserted where a typist might slip."""
    at = rng.randrange(len(s) + 1)
    beside = s[min(at, len(s) - 1)]
    kind = rng.randrange(4)
    if kind == 0:
        typed = rng.choice(keyboard_neighbours(beside) or STRAY_PUNCTUATION)
    elif kind == 1:
        typed = beside
    elif kind == 2:
        typed = " "
    else:
        typed = rng.choice(STRAY_PUNCTUATION)
    return s[:at] + typed + s[at:]


def typo_strings(strings, makers, count):
    """Corpus lines with one typo each that every class rejects. Most typos still make a
    valid dot-separated list, so several lines are tried for each one kept."""
    rng = random.Random(13)
    stride = max(1, len(strings) // (4 * count))
    candidates = [with_typo(s, rng) for s in strings[::stride] if s]
    for make in makers:
        candidates = [s for s, o in zip(candidates, parse_all(make, candidates)) if o is None]
    return candidates[:count]


def measure(corpus, quick, abi3_dir=None):
    """The rows of every class and floor; with `abi3_dir`, beside each of tolvi `Version`'s
    and `SemVer`'s rows the same for the module built against the stable ABI in that folder."""
    settings = QUICK if quick else FULL
    strings = libraries.read_mixed(corpus, settings["step"])
    installed = libraries.classes()
    makers = dict(installed)
    twins = {}
    abi3 = None
    if abi3_dir is not None:
        abi3 = libraries.load_abi3(abi3_dir)
        twins = {name: f"{name} {ABI3}" for name in (TOLVI, TOLVI_SEMVER)}
        makers |= {twins[name]: make for name, make in libraries.tolvi_classes(abi3).items()
                   if name in twins}
    rows = []

    def with_twins(names):
        """`names`, each followed by its abi3 twin if it has one."""
        return [n for name in names for n in (name, twins.get(name)) if n]

    def timed(entries, rounds=INTERLEAVED_ROUNDS):
        """Times `entries`, each (op, name, floor, inputs, ops, loop, *args), in interleaved
        rounds."""
        loops = {(op, name): (ops, timing.own_copy(loop), *args)
                 for op, name, _, _, ops, loop, *args in entries}
        values = timing.ns_per_op_interleaved(loops, rounds)
        for op, name, floor, inputs, *_ in entries:
            rows.append(report.Row(op, name, floor, inputs, values[op, name]))

    def pickling(name, loop):
        """`loop` as it must run on the objects of `name`: the abi3 module's pickle only while
        it is sys.modules["tolvi"]."""
        if name not in twins.values():
            return loop

        def as_abi3(*args):
            with libraries.imported_as_tolvi(abi3):
                return loop(*args)
        return as_abi3

    def sized(op, name, floor, inputs, value):
        rows.append(report.Row(op, name, floor, inputs, value))

    def of_total(n):
        return f"{n:,} of {len(strings):,}"

    general = with_twins(libraries.GENERAL)
    progress(f"parsing {len(strings):,} strings with each class")
    objects = {name: parse_all(makers[name], strings) for name in general}
    good = {name: accepted(strings, objects[name]) for name in general}
    live = {name: [o for o in objects[name] if o is not None] for name in general}

    progress(f"{CONSTRUCT}, {RECONSTRUCT}")
    import tolvi

    tolvi_good = good[TOLVI]
    decimals = [f"{i % 20}.{i % 10}" for i in range(len(tolvi_good))]
    reconstructors = {TOLVI: tolvi._reconstruct}
    if abi3 is not None:
        reconstructors[twins[TOLVI]] = abi3._reconstruct
    timed([(CONSTRUCT, name, False, of_total(len(good[name])), len(good[name]),
            timing.construct, makers[name], good[name]) for name in general] + [
        (CONSTRUCT, "s.split('.')", True, of_total(len(tolvi_good)), len(tolvi_good),
         timing.split_floor, tolvi_good),
        (CONSTRUCT, FLOAT_FLOOR, True, f"{len(decimals):,}", len(decimals),
         timing.float_floor, decimals)] + [
        (RECONSTRUCT, name, False, of_total(len(tolvi_good)), len(tolvi_good),
         timing.construct, reconstruct, tolvi_good)
        for name, reconstruct in reconstructors.items()])

    progress(CONSTRUCT_FRESH)
    fresh = timing.fresh_copies(tolvi_good[:FRESH_COUNT])
    dates = timing.iso_dates(len(fresh))
    timed([(CONSTRUCT_FRESH, name, False, f"{len(fresh):,}", len(fresh), timing.construct,
            makers[name], fresh) for name in with_twins([TOLVI])] + [
        (CONSTRUCT_FRESH, ISO_DATE_FLOOR, True, f"{len(dates):,}", len(dates),
         timing.iso_date_floor, dates)], rounds=FRESH_ROUNDS)

    progress(CONSTRUCT_SEMVER)
    semantic = strings
    for name in libraries.SEMANTIC:
        semantic = accepted(semantic, parse_all(makers[name], semantic))
    timed([(CONSTRUCT_SEMVER, name, False, of_total(len(semantic)), len(semantic),
            timing.construct, makers[name], semantic)
           for name in with_twins(libraries.SEMANTIC)] + [
        (CONSTRUCT_SEMVER, "s.split('.')", True, of_total(len(semantic)), len(semantic),
         timing.split_floor, semantic)])

    for op, select in ((CONSTRUCT_FAILING, failing_strings), (CONSTRUCT_TYPOS, typo_strings)):
        progress(op)
        failing = select(strings, installed.values(), settings["failing"])
        inputs = f"{len(failing):,}"
        timed([(op, name, False, inputs, len(failing), timing.construct_failing, makers[name],
                failing) for name in with_twins(installed)] + [
            (op, "s.split('.')", True, inputs, len(failing), timing.split_floor_failing,
             failing)])

    progress("str(), repr()")
    small_ints = [i % 256 for i in range(len(live[TOLVI]))]
    for op, to_text in ((STR, str), (REPR, repr)):
        timed([(op, name, False, f"{len(live[name]):,}", len(live[name]), timing.render,
                to_text, live[name]) for name in general] + [
            (op, "str() of a small int", True, f"{len(small_ints):,}", len(small_ints),
             timing.render, str, small_ints)])

    progress("==, <")
    for op, loop in ((EQ, timing.equal), (LT, timing.less)):
        pairs = {name: list(zip(live[name], live[name][1:])) for name in general}
        floor_pairs = list(zip(good[TOLVI], good[TOLVI][1:]))
        timed([(op, name, False, f"{len(pairs[name]):,}", len(pairs[name]), loop, pairs[name])
               for name in general] + [
            (op, "the same on str", True, f"{len(floor_pairs):,}", len(floor_pairs), loop,
             floor_pairs)])

    progress(SORT)
    count = settings["sort_count"]
    order = list(range(len(strings)))
    random.Random(0).shuffle(order)
    chosen = {name: [objects[name][i] for i in order if objects[name][i] is not None][:count]
              for name in general}
    chosen_strings = [strings[i] for i in order if objects[TOLVI][i] is not None][:count]
    timed([(SORT, name, False, f"{len(items):,}", len(items), sorted, items)
           for name, items in chosen.items()] + [
        (SORT, "the same strings as str", True, f"{len(chosen_strings):,}", len(chosen_strings),
         sorted, chosen_strings)])

    progress(PICKLE)
    dates = [datetime.date(1970 + i % 60, 1 + i % 12, 1 + i % 28)
             for i in range(len(live[TOLVI]))]
    pickled = {name: live[name] for name in with_twins(libraries.PICKLED)} | {DATE: dates}
    timed([(PICKLE, name, False, f"{len(items):,}", len(items),
            pickling(name, timing.pickle_round_trip), items)
           for name, items in pickled.items()] + [
        (PICKLE, "the same strings as str", True, f"{len(tolvi_good):,}", len(tolvi_good),
         timing.pickle_round_trip, tolvi_good)])

    progress(MEMORY)
    count = settings["memory_count"]
    for name, lines in [(name, good[name]) for name in libraries.GENERAL] + [
            (TOLVI_SEMVER, semantic)]:
        sized(MEMORY, name, False, f"{count:,}", memory.bytes_per_object(name, lines, count))
        if name in twins:
            sized(MEMORY, twins[name], False, f"{count:,}",
                  memory.bytes_per_object(name, lines, count, abi3_dir))
    sized(MEMORY, memory.FLOOR, True, f"{count:,}",
          memory.bytes_per_object(memory.FLOOR, tolvi_good, count))

    progress(PICKLED_SIZE)
    for name in with_twins(libraries.PICKLED):
        sized(PICKLED_SIZE, name, False, f"{len(live[name]):,}",
              pickling(name, timing.pickled_size)(live[name]))
    sized(PICKLED_SIZE, "the same strings as str", True, f"{len(tolvi_good):,}",
          timing.pickled_size(tolvi_good))

    described = {"mode": "quick" if quick else "full",
                 "timing": f"best of {INTERLEAVED_ROUNDS} rounds, each a loop over the whole"
                           f" input of every row of an operation, floor included, in turn",
                 "libraries": ", ".join(f"{k} {v}" for k, v in libraries.versions().items())}
    return rows, described


def progress(text):
    print(f"[{time.strftime('%H:%M:%S')}] {text}", file=sys.stderr, flush=True)


def reference(op):
    if op == CONSTRUCT_SEMVER:
        return TOLVI_SEMVER
    return TOLVI


def main():
    here = Path(__file__).resolve().parent
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--quick", action="store_true", help="small samples, prints only")
    parser.add_argument("--corpus", default=libraries.CORPUS, help="version lists directory")
    parser.add_argument("--out", default=here / "results" / "cp{}{}".format(*sys.version_info),
                        help="results directory (default: results/cpXY of this interpreter)")
    parser.add_argument("--built", default="the development build (make install)",
                        help="where the measured module comes from, for the results header")
    parser.add_argument("--abi3", metavar="DIR",
                        help="folder of the module built for abi3 (tolvi.abi3.so)")
    args = parser.parse_args()

    rows, described = measure(args.corpus, args.quick, args.abi3)
    table = report.table(rows, reference)
    description = report.machine(described | {"tolvi module": args.built})

    def value(op, name):
        return next(r.value for r in rows if r.op == op and r.name == name)

    def floor(op):
        return next(r.value for r in rows if r.op == op and r.floor)

    abi3 = [(r.op, r.name.removesuffix(f" {ABI3}")) for r in rows if r.name.endswith(ABI3)]
    checked = targets.check(value, floor, abi3)
    if args.quick:
        # Samples this small move the ratios by more than the goals' margins.
        print(description, table, "Goals, not judged on a quick run's small samples"
              " (`make bench` judges them):", "\n".join(f"- {text}" for _, text in checked),
              sep="\n\n")
        return
    goals = [f"{'PASS' if ok else 'FAIL'} {text}" for ok, text in checked]
    print(description, table, "\n".join(goals), sep="\n\n")

    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    (out / "machine.txt").write_text(description + "\n", encoding="utf-8")
    (out / "results.md").write_text(
        "# Benchmark results\n\n" + description + "\n\n"
        + NOTES + "\n\n"
        + table + "\n\n## Goals\n\n" + "\n".join(f"- {g}" for g in goals) + "\n\n"
        "![chart](results.png)\n", encoding="utf-8")
    report.chart(rows, TIMED + SIZED, out / "results.png", SIZED)
    print(f"\nwrote results.md, results.png and machine.txt to {out}")


if __name__ == "__main__":
    main()
