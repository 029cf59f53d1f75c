#!/usr/bin/env bash
# The module built with ThreadSanitizer (TOLVI_TSAN), under the free-threaded
# CPython 3.13 built with it too (tools/release/debian_root.sh, freethreaded_use tsan),
# in the root freethreaded, with the interpreter's lock off: the thread tests,
# their stress rounds included (quick), or the whole Python suite. A race
# report stops the run and fails it. The suppressions are those CPython ships
# for its free-threaded build, and none of ours.
#
#   tools/release/test_tsan.sh quick|all
#
# Needs root, mmdebstrap and bwrap (make root-tools); the sanitized interpreter
# is built on first use.
set -eu
cd "$(dirname "$0")/../.."
. tools/release/debian_root.sh
contained "$0" "$@"

[ $# = 1 ] && { [ "$1" = quick ] || [ "$1" = all ]; } || { echo "usage: $0 quick|all" >&2; exit 2; }
work=build/tsan
started=$(date +%s)
job_lock tsan
freethreaded_use tsan
remove_unmounted "$work"
mkdir -p "$work"
ROOT_WRITABLE=("$work")
root_run freethreaded "$FREETHREADED_TSAN/bin/python3.13t" -m venv "$work/env"
# The thread tests need pytest alone, which the sanitized interpreter installs
# in seconds; the whole suite its other tools too, in minutes.
if [ "$1" = quick ]; then
    root_run freethreaded "$work/env/bin/python" -m pip install -q \
        "$(grep '^pytest==' requirements-test-freethreaded.txt)"
else
    root_run freethreaded "$work/env/bin/python" -m pip install -q -r requirements-test-freethreaded.txt
fi
echo "--- the module with ThreadSanitizer"
root_run freethreaded "$work/env/bin/python" -m pip install -q --no-deps -C build-dir="$work/cmake" \
    -C cmake.define.TOLVI_TSAN=ON -C cmake.build-type=RelWithDebInfo .
tests=tests/test_threads.py
[ "$1" = quick ] || tests=tests
echo "--- $tests under ThreadSanitizer, the interpreter's lock off"
# The report goes to a file of its own (a path without spaces, as the options
# are split on them): pytest holds the standard error of a
# test, and the halted process would take it along.
root_run freethreaded env PYTHON_GIL=0 HYPOTHESIS_STORAGE_DIRECTORY="$work/hypothesis" \
    TSAN_OPTIONS="suppressions=$TSAN_SUPPRESSIONS halt_on_error=1 log_path=$work/report" \
    "$work/env/bin/python" -P -m pytest -q -p no:cacheprovider "$tests" || {
    cat "$work"/report.* >&2 2>/dev/null || true
    exit 1
}
echo "--- under ThreadSanitizer: $(($(date +%s) - started)) s"
