#!/bin/sh
# The benchmarks of the release wheels in DIST, under each CPython that has a
# wheel of its own: 3.12 and 3.13 of this machine, 3.14 and 3.15 in a Debian
# unstable root that is built in build/roots/ and removed when this ends,
# failure included. For each, the interpreter's own x86_64 wheel is installed
# into a fresh environment with the peer libraries, and the module of the abi3
# wheel is measured beside it. A full run writes benchmarks/results/wheels-cpXY/.
#
#   tools/bench_dist.sh DIST PYTHON3.12 PYTHON3.13 [--quick]
set -eu
cd "$(dirname "$0")/.."
. tools/debian_root.sh

[ $# -ge 3 ] || { echo "usage: $0 DIST PYTHON3.12 PYTHON3.13 [--quick]" >&2; exit 2; }
dist=$1 python312=$2 python313=$3
shift 3
work=build/bench-dist
abi3_wheel=$(ls "$dist"/tolvi-*-cp312-abi3-manylinux*_x86_64.whl)

rm -rf "$work"
mkdir -p "$work/abi3"
# The abi3 module alone, which the benchmark loads beside the installed one.
"$python312" -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); \
z.extractall(sys.argv[2], [n for n in z.namelist() if n.endswith(".so")])' \
    "$abi3_wheel" "$work/abi3"

# In a root, every command runs inside it, in the work tree's /project.
inside=
run() { root_or_here "$inside" "$@"; }

# bench PYTHON ARGS...: the interpreter's own wheel, benchmarked beside the abi3 one.
bench() {
    python=$1
    shift
    tag=$(python_tag "$inside" "$python")
    wheel=$(ls "$dist"/tolvi-*-"$tag"-"$tag"-manylinux*_x86_64.whl)
    echo "--- the benchmarks of $(basename "$wheel")"
    run "$python" -m venv "$work/$tag"
    run "$work/$tag/bin/python" -m pip install -q -r requirements-bench.txt "$wheel"
    run "$work/$tag/bin/python" benchmarks/run.py "$@" --abi3 "$work/abi3" \
        --out "benchmarks/results/wheels-$tag" \
        --built "the wheel $(basename "$wheel"); (abi3): $(basename "$abi3_wheel")"
}

bench "$python312" "$@"
bench "$python313" "$@"

roots_trap
inside=build/roots/bench-amd64
root_build amd64 "$inside" python3.14 python3.14-venv python3.15 python3.15-venv ca-certificates
root_enter "$inside"
bench /usr/bin/python3.14 "$@"
bench /usr/bin/python3.15 "$@"
