"""Memory per live object, measured as resident-set growth in a fresh interpreter.

Native allocations are invisible to tracemalloc, so the child process reads its resident
set size from /proc/self/statm before and after building the objects.  The list that
holds them is allocated before the first reading, and the input strings are read from a
file, so only the objects themselves are counted.

Run as a script: memory.py NAME STRINGS_FILE COUNT, prints bytes per object.  A folder
first on PYTHONPATH that holds a tolvi module (the abi3 build) is imported in place of the
installed one.
"""

import os
import subprocess
import sys
import tempfile
from pathlib import Path

FLOOR = "s.split('.')"


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def measure(name, path, count):
    import libraries

    make = libraries.split_dots if name == FLOOR else libraries.classes()[name]
    with open(path, encoding="utf-8") as f:
        strings = f.read().split("\n")
    for s in strings[:100]:  # first-use set-up of the class is not per object
        make(s)
    held = [None] * count
    period = len(strings)
    before = resident_bytes()
    for i in range(count):
        held[i] = make(strings[i % period])
    return (resident_bytes() - before) / count


def bytes_per_object(name, strings, count, tolvi_dir=None):
    """Run `measure` for one class in a fresh interpreter; `strings` must all parse. With
    `tolvi_dir`, the child imports the tolvi module in that folder."""
    environment = dict(os.environ)
    if tolvi_dir is not None:
        # PYTHONPATH comes before site-packages, where the installed module is.
        search = [str(Path(tolvi_dir).resolve()), environment.get("PYTHONPATH")]
        environment["PYTHONPATH"] = os.pathsep.join(filter(None, search))
    with tempfile.NamedTemporaryFile("w", encoding="utf-8", suffix=".txt") as f:
        f.write("\n".join(strings))
        f.flush()
        child = subprocess.run([sys.executable, __file__, name, f.name, str(count)],
                               capture_output=True, text=True, env=environment)
    if child.returncode:
        raise RuntimeError(f"memory measurement of {name} failed:\n{child.stderr}")
    return float(child.stdout)


if __name__ == "__main__":
    print(measure(sys.argv[1], sys.argv[2], int(sys.argv[3])))
