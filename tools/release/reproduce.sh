#!/usr/bin/env bash
# Builds again, from this commit, one file of each kind we publish (the sdist;
# the x86_64 wheel of CPython 3.12, the aarch64 one of 3.13, the x86_64 abi3
# one, the free-threaded cp313t one, the win_amd64 one of 3.12 and the
# musllinux one of 3.13) and compares each with that of DIST byte for byte:
# the files we publish must not depend on when or where they were built. The
# wheels are built against the headers `make wheels` left in build/wheels.
#
#   tools/release/reproduce.sh DIST PYTHON3.12 PYTHON3.13
#
# Needs what build_dist.sh needs, and the files of DIST it compares with.
set -eu
cd "$(dirname "$0")/../.."
. tools/release/debian_root.sh
contained "$0" "$@"

[ $# -eq 3 ] || { echo "usage: $0 DIST PYTHON3.12 PYTHON3.13" >&2; exit 2; }
dist=$1 python312=$2 python313=$3
out=build/reproduce
job_lock wheels
dist_lock "$dist" -s
release_dates
remove_unmounted "$out"
mkdir -p "$out"

env=build/wheels/env-cp312
tools/release/wheel_tools.sh "$python312" "$env"
release_sdist "$env/bin/python" "$out/source" "$out"
sdist=$(ls "$out"/tolvi-*.tar.gz)
# build [root NAME] PYTHON PLATFORM KIND: one wheel into $out, its log kept.
build() {
    local where=()
    [ "$1" != root ] || { where=(root_run "$2"); shift 2; }
    echo "--- $*"
    "${where[@]}" tools/release/build_wheel.sh "$out" "$sdist" "$@" >>"$out/build.log" 2>&1 ||
        { tail -n 30 "$out/build.log" >&2; exit 1; }
}
build "$python312" x86_64 cp
build "$python313" aarch64 cp
build "$python312" x86_64 abi3
build "$python312" win-amd64 cp
build "$python313" musl-x86_64 cp
freethreaded_use >>"$out/build.log"
zig_home=$(realpath build/wheels/zig)
ROOT_BINDS+=("$zig_home=$zig_home") ROOT_WRITABLE=(build/wheels "$out")
build root freethreaded "$FREETHREADED/bin/python3.13t" x86_64 cp

status=0
for again in "$out"/tolvi-*; do
    published=$dist/$(basename "$again")
    if [ ! -e "$published" ]; then
        echo "no $published to compare with: make wheels first" >&2
        status=1
    elif cmp -s "$again" "$published"; then
        echo "same bytes: $(sha256sum "$again" | cut -d' ' -f1)  $(basename "$again")"
    else
        echo "differs from $published: $again" >&2
        status=1
    fi
done
exit $status
