#!/usr/bin/env bash
# Builds the sdist and the x86_64 wheel of CPython 3.12 again, from this
# commit, and compares them with those of DIST byte for byte: the files we
# publish must not depend on when or where they were built.
#
#   tools/reproduce.sh DIST PYTHON3.12
set -eu
cd "$(dirname "$0")/.."
. tools/debian_root.sh

[ $# -eq 2 ] || { echo "usage: $0 DIST PYTHON3.12" >&2; exit 2; }
dist=$1 python312=$2
out=build/reproduce
job_lock wheels
release_dates
rm -rf --one-file-system "$out"
mkdir -p "$out"

env=build/wheels/env-cp312
tools/wheel_tools.sh "$python312" "$env"
"$env/bin/python" -m build -q --sdist --no-isolation --outdir "$out" .
sdist=$(ls "$out"/tolvi-*.tar.gz)
tools/build_wheel.sh "$out" "$sdist" "$python312" x86_64 cp >"$out/build.log" 2>&1 ||
    { tail -n 30 "$out/build.log" >&2; exit 1; }

status=0
for again in "$sdist" "$out"/tolvi-*-cp312-cp312-*_x86_64.whl; do
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
