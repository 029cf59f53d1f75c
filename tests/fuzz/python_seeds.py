"""Writes the seed inputs of fuzz_api.py: a sample of the corpus lines in
parse mode, neighbouring pairs of them after sorting in pair mode, and a few
inputs for each of the other modes.

python_seeds.py CORPUS_DIR OUT_DIR EVERY
"""

import pathlib
import random
import sys

PARSE, PAIR = b"\x00", b"\x80"
OTHER_MODES = (b"\x01", b"\x02", b"\x03", b"\x04")


def main():
    corpus, out, every = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), int(sys.argv[3])
    out.mkdir(parents=True, exist_ok=True)
    lines = []
    for path in sorted(corpus.glob("*.txt")):
        lines += path.read_bytes().splitlines()[::every]
    seeds = [PARSE + line for line in lines]
    ordered = sorted(set(lines))
    seeds += [PAIR + a + b"\n" + b for a, b in zip(ordered, ordered[1:])]
    seeds += [PARSE + b"1.2.3-rc.1+b5", PAIR + b"v1.2.3\n1.2.3+exp", PARSE + b"1.2..3"]
    generator = random.Random(1)
    for mode in OTHER_MODES:
        seeds += [mode + generator.randbytes(64) for _ in range(32)]
    for i, seed in enumerate(seeds):
        (out / f"seed-{i:05d}").write_bytes(seed)


if __name__ == "__main__":
    main()
