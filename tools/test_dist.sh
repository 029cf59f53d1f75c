#!/bin/sh
# Tests what users install, from what tools/build_dist.sh left in DIST: each
# interpreter's wheel and the abi3 wheel under each interpreter, then the sdist built from source by pip under the first
# interpreter, each in a fresh virtual environment under build/dist-test/ with
# the test requirements, and the whole Python suite run against it.
#
#   tools/test_dist.sh DIST PYTHON...
#
# The sdist is installed as a user would, with pip's own build isolation and the
# system's compiler; its build log must show the compiler's warnings left as
# warnings.
set -eu
cd "$(dirname "$0")/.."

[ $# -ge 2 ] || { echo "usage: $0 DIST PYTHON..." >&2; exit 2; }
dist=$1
shift
work=build/dist-test
rm -rf "$work"
mkdir -p "$work"

# fresh_env NAME PYTHON: a new virtual environment with the test requirements.
fresh_env() {
    "$2" -m venv "$work/$1"
    "$work/$1/bin/python" -m pip install -q --upgrade pip
    "$work/$1/bin/python" -m pip install -q -r requirements-test.txt
}

# suite NAME WHAT: the Python suite as `make test-python` runs it, against the
# module installed in that environment and nothing of the work tree (-P).
suite() {
    echo "--- the Python suite against $2"
    PYTHONMALLOC=debug "$work/$1/bin/python" -X dev -P -m pytest -q -p no:cacheprovider tests
}

# Each interpreter's own wheel, and the abi3 wheel under every interpreter.
abi3=$(ls "$dist"/tolvi-*-cp312-abi3-manylinux*.whl)
for python in "$@"; do
    tag=$("$python" -c 'import sys; print("cp%d%d" % sys.version_info[:2])')
    for wheel in "$(ls "$dist"/tolvi-*-"$tag"-"$tag"-manylinux*.whl)" "$abi3"; do
        name=$(basename "$wheel" | cut -d- -f3-4)-on-$tag
        fresh_env "$name" "$python"
        "$work/$name/bin/python" -m pip install -q --no-deps "$wheel"
        # The module the suite imports is the one this wheel holds.
        module=$("$work/$name/bin/python" -P -c 'import tolvi; print(tolvi.__file__)')
        case $wheel:$module in
        *-abi3-*:*.abi3.so | *-"$tag"-"$tag"-*:*.cpython-*.so) ;;
        *)
            echo "$(basename "$wheel") installed $module" >&2
            exit 1
            ;;
        esac
        suite "$name" "$(basename "$wheel") under $tag"
    done
done

sdist=$(ls "$dist"/tolvi-*.tar.gz)
fresh_env sdist "$1"
# Verbose, so that the log holds every compile command.
SKBUILD_BUILD_VERBOSE=true "$work/sdist/bin/python" -m pip install -v --no-deps "$sdist" \
    >"$work/sdist-build.log" 2>&1 || {
    tail -n 50 "$work/sdist-build.log" >&2
    exit 1
}
if ! grep -q -- ' -Wall ' "$work/sdist-build.log" || grep -q -- '-Werror' "$work/sdist-build.log"; then
    echo "the build from source turned warnings into errors, or its log shows no compile" \
        "command (see $work/sdist-build.log)" >&2
    exit 1
fi
suite sdist "$(basename "$sdist"), built from source"
