#!/bin/sh
# libFuzzer under the address and undefined-behaviour sanitizers, for SECONDS,
# in the fuzzers' CMake tree BUILD (make fuzz-configure):
#   model   the Python-free parsers, text forms, ordering key and report renderer,
#           through tests/fuzz/fuzz_parse.cpp, seeded from every EVERY-th line of
#           the corpus files in CORPUS and from sorted neighbouring pairs of them;
#   python  the Python API through tests/fuzz/fuzz_api.py, under the interpreter
#           of VENV, where make installed a wheel built by clang with the
#           sanitizers and coverage. The interpreter is not instrumented, so it
#           preloads BUILD's fuzz_preload: clang's address-sanitizer runtime with
#           its libFuzzer.
# New inputs collect in BUILD/corpus (py-corpus), and a crashing input is
# written to BUILD/artifacts/ (py-artifacts/). Further arguments are libFuzzer's.
#
#   tools/dev/fuzz.sh model BUILD SECONDS CORPUS EVERY [OPTION...]
#   tools/dev/fuzz.sh python BUILD SECONDS CORPUS EVERY VENV [OPTION...]
#
# Needs CMake and clang with its fuzzer runtime (make fuzz-tools).
set -eu
[ $# -ge 5 ] || { echo "usage: $0 model|python BUILD SECONDS CORPUS EVERY [VENV] [OPTION...]" >&2; exit 2; }
kind=$1 build=$2 seconds=$3 corpus=$4 every=$5
shift 5
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
case $kind in
model)
    cmake --build "$build" -j2 --target fuzz_parse
    [ -e "$build/seeds/.ready" ] || {
        "$(dirname "$0")/fuzz_parse_seeds.sh" "$corpus" "$build/seeds" "$every"
        touch "$build/seeds/.ready"
    }
    mkdir -p "$build/corpus" "$build/artifacts"
    "$build/fuzz_parse" -max_total_time="$seconds" "$@" -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/" "$build/corpus" "$build/seeds"
    ;;
python)
    venv=$1
    shift
    cmake --build "$build" --target fuzz_preload
    [ -e "$build/py-seeds/.ready" ] || {
        rm -rf --one-file-system "$build/py-seeds"
        "$venv/bin/python" tests/fuzz/python_seeds.py "$corpus" "$build/py-seeds" "$every"
        touch "$build/py-seeds/.ready"
    }
    mkdir -p "$build/py-corpus" "$build/py-artifacts"
    LD_PRELOAD=$(realpath "$build/asan_with_fuzzer.so") PYTHONMALLOC=malloc ASAN_OPTIONS=detect_leaks=0 \
        "$venv/bin/python" tests/fuzz/fuzz_api.py -max_total_time="$seconds" "$@" -print_final_stats=1 \
        -artifact_prefix="$build/py-artifacts/" "$build/py-corpus" "$build/py-seeds"
    ;;
*) echo "$0: model or python, not $kind" >&2; exit 2 ;;
esac
