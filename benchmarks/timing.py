"""Timed loops and the timer, and the size of a pickle beside the pickling loop.

Every measurement walks a whole input list inside one timed call, so the cost of the loop
itself is the same for tolvi, the peers and the floors.  The floors spell their operation
out in the loop body (`s.split(".")`, `a == b` on two str) rather than through a
callable: they are the cheapest form of the work, and a floor should never flatter.
"""

import pickle
import time
import types
from datetime import date, timedelta


def construct(make, strings):
    for s in strings:
        make(s)


def construct_failing(make, strings):
    for s in strings:
        try:
            make(s)
        except Exception:
            pass


def iso_date_floor(strings, parse=date.fromisoformat):
    """The parser is taken as the constructors are, out of the loop."""
    for s in strings:
        parse(s)


def fresh_copies(strings):
    """New str objects equal to `strings`, made one after another as a parser's input is:
    a corpus's own strings lie scattered through memory, and their cache misses would be
    charged to the parse."""
    return [(s + " ")[:-1] for s in strings]


def split_floor(strings):
    for s in strings:
        s.split(".")


def float_floor(strings):
    for s in strings:
        float(s)


def iso_dates(count):
    """`count` ISO dates, one after another in memory, as fresh_copies makes its strings."""
    first = date(2000, 1, 1)
    return [(first + timedelta(days=i)).isoformat() for i in range(count)]


def split_floor_failing(strings):
    for s in strings:
        try:
            s.split(".")
        except Exception:
            pass


def render(to_text, objects):
    """`to_text` is str or repr; the rendering floor is str over small ints."""
    for x in objects:
        to_text(x)


def equal(pairs):
    for a, b in pairs:
        a == b


def less(pairs):
    for a, b in pairs:
        a < b


def pickle_round_trip(objects):
    """The whole list pickled at the highest protocol and read back; pickle walks it."""
    pickle.loads(pickle.dumps(objects, pickle.HIGHEST_PROTOCOL))


def pickled_size(objects):
    """Bytes of the list pickled at the highest protocol, per object (not a time)."""
    return len(pickle.dumps(objects, pickle.HIGHEST_PROTOCOL)) / len(objects)


def own_copy(loop):
    """`loop` with call sites of its own. The interpreter specialises each call site to the
    callable it meets there, so a loop shared by several classes would time each of them
    partly on a site specialised to another; a loop written in C (`sorted`) is returned as
    it is."""
    if not isinstance(loop, types.FunctionType):
        return loop
    return types.FunctionType(loop.__code__.replace(), loop.__globals__, loop.__name__,
                              loop.__defaults__, loop.__closure__)


def ns_per_op_interleaved(loops, rounds):
    """The best of `rounds` runs of each of `loops` (name: (ops, loop, *args)), in nanoseconds
    per operation. Each round runs every loop once, in turn, so that a change in the machine's
    load falls on all of them alike rather than on whichever ran then."""
    best = dict.fromkeys(loops, float("inf"))
    for _ in range(rounds):
        for name, (_, loop, *args) in loops.items():
            start = time.perf_counter()
            loop(*args)
            best[name] = min(best[name], time.perf_counter() - start)
    return {name: best[name] / loops[name][0] * 1e9 for name in loops}
