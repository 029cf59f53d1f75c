"""Versions on a Dask cluster: two worker processes parse a corpus of version strings,
and the client sorts the versions, drops duplicates and finds the highest version of
each major number.

    python examples/cluster.py                  # every line of data/corpus/*.txt (or $TOLVI_CORPUS)
    python examples/cluster.py --every 100 FILE # every 100th line of FILE

The parse function below is defined in the script, so Dask ships it to the workers by
value, and it reaches the class as `tolvi.package.version.Version`: a global alias
such as `Version = tolvi.package.version.Version` would be shipped by value too, and
on a worker that copy of the class cannot build anything.
"""

import argparse
import logging
import os
from pathlib import Path

from dask.distributed import Client, LocalCluster

import tolvi

CORPUS = Path(os.environ.get("TOLVI_CORPUS")
              or Path(__file__).resolve().parents[1] / "data" / "corpus")


def parse(lines):
    """Runs on a worker: the versions of the lines that parse."""
    versions = []
    for line in lines:
        try:
            versions.append(tolvi.package.version.Version(line))
        except RuntimeError:
            pass  # not a version: the error report says why
    return versions


def distinct(versions):
    """The sorted versions without repeats (a Version is not hashable, so no set)."""
    result = []
    for v in sorted(versions):
        if not result or result[-1] != v:
            result.append(v)
    return result


def highest_per_major(versions):
    """{major: highest version} over the versions that hold a semantic version."""
    highest = {}
    for v in versions:
        try:
            major = tolvi.package.version.SemVer(v).major
        except TypeError:
            continue  # a dotted version or an identifier has no major number
        if major not in highest or v > highest[major]:
            highest[major] = v
    return highest


def read_lines(paths, every):
    lines = []
    for path in paths:
        files = sorted(path.glob("*.txt")) if path.is_dir() else [path]
        for file in files:
            lines += file.read_text(encoding="utf-8").splitlines()[::every]
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("paths", nargs="*", type=Path, default=[CORPUS],
                        help="corpus files, or folders of *.txt files "
                             "(default: data/corpus, or $TOLVI_CORPUS)")
    parser.add_argument("--every", type=int, default=1, metavar="N",
                        help="keep every Nth line of each file (default: every line)")
    parser.add_argument("--partitions", type=int, default=8, metavar="N",
                        help="number of pieces the lines are parsed in (default: %(default)s)")
    args = parser.parse_args()

    lines = read_lines(args.paths, args.every)
    size = max(1, -(-len(lines) // args.partitions))  # rounded up
    chunks = [lines[i:i + size] for i in range(0, len(lines), size)]

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None, silence_logs=logging.ERROR) as cluster, \
            Client(cluster) as client:
        versions = [v for part in client.gather(client.map(parse, chunks)) for v in part]

    unique = distinct(versions)
    highest = highest_per_major(unique)
    print(f"{len(lines)} lines in {len(chunks)} partitions: {len(versions)} versions, "
          f"{len(lines) - len(versions)} lines that do not parse")
    span = f", from {unique[0]} to {unique[-1]}" if unique else ""
    print(f"{len(unique)} distinct versions{span}")
    print(f"the highest version of each of {len(highest)} major numbers:")
    for major, v in sorted(highest.items()):
        print(f"{major:>12}  {v}")


if __name__ == "__main__":
    main()
