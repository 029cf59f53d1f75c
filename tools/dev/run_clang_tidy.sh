#!/bin/sh
# Runs clang-tidy with the repository's .clang-tidy over every C++ source file in
# src/ and tests/cpp/, a few files at a time, and fails if any file has a finding.
#
#   tools/dev/run_clang_tidy.sh [BUILD_DIR]
#
# BUILD_DIR (default build/tidy) must hold the compile_commands.json of a CMake
# configuration with the extension and the C++ tests on. JOBS (default 2) sets the
# number of parallel clang-tidy processes, CLANG_TIDY the binary.
#
# Needs clang-tidy (make lint-tools) and git.
set -eu

cd "$(dirname "$0")/../.."
build_dir=${1:-build/tidy}
jobs=${JOBS:-2}
clang_tidy=${CLANG_TIDY:-clang-tidy}

if ! [ -f "$build_dir/compile_commands.json" ]; then
    echo "no $build_dir/compile_commands.json: configure with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON" >&2
    exit 2
fi

logs=$(mktemp -d)
trap 'rm -rf --one-file-system "$logs"' EXIT

# One log per file, so parallel runs never interleave their reports. The compile
# database comes from g++; the extra argument keeps clang quiet about warning
# options only g++ knows.
git ls-files 'src/*.cpp' 'tests/cpp/*.cpp' |
    LOGS=$logs BUILD_DIR=$build_dir CLANG_TIDY=$clang_tidy xargs -P "$jobs" -n 1 sh -c '
        log="$LOGS/$(printf %s "$1" | tr / _).log"
        if "$CLANG_TIDY" --quiet -p "$BUILD_DIR" --extra-arg=-Wno-unknown-warning-option \
            "$1" >"$log" 2>&1; then
            rm -f "$log"
        fi
    ' sh

failed=$(find "$logs" -name '*.log' | wc -l)
if [ "$failed" -ne 0 ]; then
    # The "N warnings generated" chatter of each run is left out; findings stay.
    find "$logs" -name '*.log' | sort | xargs cat | grep -v ' warnings\? generated\.$' >&2 || true
    echo "clang-tidy: findings in $failed file(s)" >&2
    exit 1
fi
echo "clang-tidy: $(git ls-files 'src/*.cpp' 'tests/cpp/*.cpp' | wc -l) files clean"
