#!/bin/sh
# The C++ sources of src/, tests/cpp/ and tests/fuzz/, checked or formatted:
#   check   clang-format in dry-run mode, then clang-tidy with the committed
#           .clang-tidy (run_clang_tidy.py, JOBS files at a time, skipping those
#           found clean before), reading the compile database of a
#           configure-only CMake tree in BUILD made against PYTHON's headers:
#           nothing is built;
#   format  clang-format in place.
#
#   tools/dev/lint.sh check PYTHON BUILD JOBS
#   tools/dev/lint.sh format
#
# Needs clang-format and clang-tidy (make lint-tools), CMake, and GoogleTest's
# headers for the C++ tests (make gtest).
set -eu
cd "$(dirname "$0")/../.."
files=$(git ls-files 'src/*.cpp' 'src/*.hpp' 'tests/cpp/*.cpp' 'tests/cpp/*.hpp' 'tests/fuzz/*.cpp')
case ${1-} in
format)
    # Unquoted: a file a word (no source's path holds a space).
    clang-format -i $files
    ;;
check)
    [ $# -eq 4 ] || { echo "usage: $0 check PYTHON BUILD JOBS" >&2; exit 2; }
    python=$2 build=$3 jobs=$4
    [ -n "$python" ] || { echo "no CPython 3.12 or newer found" >&2; exit 1; }
    clang-format --dry-run -Werror $files
    cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DCMAKE_BUILD_TYPE=Debug \
        -DTOLVI_BUILD_TESTS=ON -DTOLVI_BUILD_EXTENSION=ON -DPython_EXECUTABLE="$python" \
        -DTOLVI_WERROR=ON >/dev/null
    JOBS=$jobs "$python" tools/dev/run_clang_tidy.py "$build"
    ;;
*) echo "usage: $0 check PYTHON BUILD JOBS | format" >&2; exit 2 ;;
esac
