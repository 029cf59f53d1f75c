#!/bin/sh
# Writes the seed inputs of tests/fuzz/fuzz_parse.cpp: a few built-in ones, one
# file per sampled corpus line (every EVERY-th line of the corpus files taken
# together), and one per pair of neighbouring sampled lines after sorting, joined
# by a line feed (where the harness splits its input in two). Without corpus
# files there are only the built-in seeds.
#
#   tools/dev/fuzz_parse_seeds.sh CORPUS_DIR OUT_DIR EVERY
#
# Needs sort and a POSIX shell.
set -eu

if [ $# -ne 3 ]; then
    echo "usage: $0 CORPUS_DIR OUT_DIR EVERY" >&2
    exit 2
fi
corpus=$1
out=$2
every=$3

rm -rf --one-file-system "$out"
mkdir -p "$out"
printf '1.2.3-rc.1+build.5' >"$out/builtin-1"
printf '2024.01\nnightly_build' >"$out/builtin-2"
printf 'v1.2.3\n1.2.3+exp' >"$out/builtin-3"

if ls "$corpus"/*.txt >/dev/null 2>&1; then
    sample=$(mktemp)
    trap 'rm -f "$sample"' EXIT
    cat "$corpus"/*.txt | awk -v every="$every" 'NR % every == 0' >"$sample"
    awk -v dir="$out" '{ f = sprintf("%s/line-%05d", dir, NR); printf "%s", $0 > f; close(f) }' \
        "$sample"
    LC_ALL=C sort -u "$sample" | awk -v dir="$out" '
        NR > 1 { f = sprintf("%s/pair-%05d", dir, NR); printf "%s\n%s", previous, $0 > f; close(f) }
        { previous = $0 }'
fi
