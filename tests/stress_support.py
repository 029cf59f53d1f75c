"""Settings shared by the long-running memory and thread stress tests, and the
allocation-failure sweep, which a child process that has not imported the module
runs too."""

import gc
import os

# Set when the extension and interpreter run under AddressSanitizer: every
# call is many times slower there, and the allocator's quarantine keeps freed
# memory resident, so memory figures mean nothing.
SANITIZED = os.environ.get("TOLVI_SANITIZED") == "1"

# Set by the test legs that run an aarch64 wheel under user-mode emulation, where
# every call is ten to twenty times slower. The native legs run the same C++ at
# full strength; the emulated ones check that the aarch64 build behaves the same.
EMULATED = os.environ.get("TOLVI_EMULATED") == "1"


def scaled(count, divisor=20):
    """`count` repetitions (or examples), or a `divisor`-th of them under the
    sanitizer or emulation."""
    return max(1, count // divisor) if SANITIZED or EMULATED else count


# Each operation runs with each allocation failing once, and with all from it on
# failing, until it runs whole at SETTLED points in a row (at every STEP-th point
# only under the sanitizer or emulation).
SETTLED, MOST_POINTS, STEP = 3, 2000, 7 if SANITIZED or EMULATED else 1


def sweep(run):
    """The points (start, stop, problem) at which run(start, stop) found a
    problem, and the number of points run."""
    wrong = []
    start = settled = 0
    gc.disable()  # a collection under failure reports its own MemoryError as unraisable
    try:
        while settled < SETTLED and start < MOST_POINTS:
            for stop in (start + 1, 0):
                whole, problem = run(start, stop)
                if problem is not None:
                    wrong.append((start, stop, problem))
            settled = settled + 1 if whole else 0
            start += STEP
    finally:
        gc.enable()
    return wrong, start
