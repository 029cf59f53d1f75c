#!/usr/bin/env bash
# The benchmarks of the release wheels in DIST, under each CPython that has a
# wheel of its own: 3.12 and 3.13 of this machine, 3.14 and 3.15 in the Debian
# unstable root amd64 of tools/release/debian_root.sh, where the work tree is read-only
# but for build/bench-dist and benchmarks/results. For each, the interpreter's
# own x86_64 wheel is installed into a fresh environment with the peer
# libraries, and the module of the abi3 wheel is measured beside it; then the
# free-threaded cp313t wheel, in the root freethreaded, for what threads gain
# (benchmarks/scaling.py). A full run writes benchmarks/results/wheels-cpXY/.
#
#   tools/release/bench_dist.sh DIST PYTHON3.12 PYTHON3.13 [--quick]
#
# Needs root, mmdebstrap and bwrap (make root-tools), the release wheels (make
# wheels) and the network for the peer libraries.
set -eu
cd "$(dirname "$0")/../.."
. tools/release/debian_root.sh
contained "$0" "$@"

[ $# -ge 3 ] || { echo "usage: $0 DIST PYTHON3.12 PYTHON3.13 [--quick]" >&2; exit 2; }
dist=$1 python312=$2 python313=$3
shift 3
for tag in cp312-cp312 cp313-cp313 cp313-cp313t cp314-cp314 cp315-cp315 cp312-abi3; do
    ls "$dist"/tolvi-*-"$tag"-*_x86_64.whl >/dev/null ||
        { echo "no release wheels in $dist: make wheels first" >&2; exit 1; }
done
work=build/bench-dist
job_lock bench-dist
dist_lock "$dist" -s
abi3_wheel=$(ls "$dist"/tolvi-*-cp312-abi3-manylinux*_x86_64.whl)

remove_unmounted "$work"
mkdir -p "$work/abi3"
# The abi3 module alone, which the benchmark loads beside the installed one.
"$python312" -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); \
z.extractall(sys.argv[2], [n for n in z.namelist() if n.endswith(".so")])' \
    "$abi3_wheel" "$work/abi3"

# In a root, every command runs inside it, in the work tree.
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
    run "$work/$tag/bin/python" benchmarks/scaling.py "$@" --out "benchmarks/results/wheels-$tag"
}

bench "$python312" "$@"
bench "$python313" "$@"

root_use amd64
inside=amd64 ROOT_WRITABLE=("$work" benchmarks/results)
bench /usr/bin/python3.14 "$@"
bench /usr/bin/python3.15 "$@"

# Under the free-threaded interpreter, what threads gain without the lock.
freethreaded_use
inside=freethreaded ROOT_WRITABLE=("$work" benchmarks/results)
wheel=$(ls "$dist"/tolvi-*-cp313-cp313t-manylinux*_x86_64.whl)
echo "--- the threads benchmark of $(basename "$wheel")"
run "$FREETHREADED/bin/python3.13t" -m venv "$work/cp313t"
run "$work/cp313t/bin/python" -m pip install -q "$wheel"
run "$work/cp313t/bin/python" benchmarks/scaling.py "$@" --out benchmarks/results/wheels-cp313t
