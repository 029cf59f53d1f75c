#!/bin/sh
# Builds what we publish into DIST: the sdist, and from that sdist the
# manylinux2014 wheels (tools/build_wheel.sh) of x86_64 and aarch64 Linux:
#
#   x86_64:  cp312, cp313, cp314, cp315, and cp312-abi3
#   aarch64: cp313, cp314, cp315, and cp312-abi3
#
#   tools/build_dist.sh DIST PYTHON3.12 PYTHON3.13
#
# The interpreters given build the sdist and the wheels of 3.12, 3.13 and the
# stable ABI. CPython 3.14 and 3.15 come from a Debian unstable root that this
# script builds in build/roots/ and removes when it ends, failure included;
# their wheels are built inside it, as it builds them for any other interpreter.
# The aarch64 wheels are cross-compiled, against the aarch64 headers of Debian's
# CPython packages; no aarch64 CPython 3.12 is packaged there, so the aarch64
# abi3 wheel is built by 3.13 for the stable ABI of 3.12, which abi3audit checks.
set -eu
cd "$(dirname "$0")/.."
. tools/debian_root.sh

[ $# -eq 3 ] || { echo "usage: $0 DIST PYTHON3.12 PYTHON3.13" >&2; exit 2; }
dist=$1 python312=$2 python313=$3
for pair in "$python312=3.12" "$python313=3.13"; do
    "${pair%=*}" -c "import sys; sys.exit('%d.%d' % sys.version_info[:2] != '${pair#*=}')" ||
        { echo "${pair%=*} is not CPython ${pair#*=}" >&2; exit 2; }
done
work=build/wheels
root=build/roots/wheels-amd64
started=$(date +%s)
mkdir -p "$dist" "$work"
rm -rf "$dist"/tolvi-* "$work/raw"
roots_trap

echo "--- the root of CPython 3.14 and 3.15 (Debian unstable, amd64)"
root_build amd64 "$root" python3.14 python3.14-venv python3.14-dev \
    python3.15 python3.15-venv python3.15-dev ca-certificates
root_enter "$root"

echo "--- the headers of CPython 3.14 and 3.15, and the aarch64 ones of 3.13 to 3.15"
root_run "$root" sh -c 'dpkg --add-architecture arm64 && apt-get update -qq &&
    cd /tmp && apt-get download -qq libpython3.13-dev:arm64 libpython3.14-dev:arm64 \
    libpython3.15-dev:arm64'
rm -rf "$work"/headers-* "$work/debs"
mkdir -p "$work/debs"
for deb in "$root"/tmp/libpython3.1*-dev_*_arm64.deb; do
    dpkg-deb -x "$deb" "$work/debs"
done
# Debian's pyconfig.h chooses the architecture's own by the compiler's macros,
# from a folder of the system's include path, which Zig's compiler does not
# search: the architecture's own takes its place.
headers() { # headers FROM ARCH VERSION
    mkdir -p "$work/headers-$2"
    cp -r "$1/usr/include/python$3" "$work/headers-$2/"
    cp "$1/usr/include/$2-linux-gnu/python$3/pyconfig.h" "$work/headers-$2/python$3/pyconfig.h"
}
for version in 3.13 3.14 3.15; do
    headers "$work/debs" aarch64 "$version"
done
for version in 3.14 3.15; do
    headers "$root" x86_64 "$version"
done
rm -rf "$work/debs"

echo "--- the sdist"
env=$work/env-cp312
tools/wheel_tools.sh "$python312" "$env"
"$env/bin/python" -m build -q --sdist --no-isolation --outdir "$dist" .
sdist=$(ls "$dist"/tolvi-*.tar.gz)

tools/build_wheel.sh "$dist" "$sdist" "$python312" x86_64 cp
tools/build_wheel.sh "$dist" "$sdist" "$python313" x86_64 cp
tools/build_wheel.sh "$dist" "$sdist" "$python312" x86_64 abi3
tools/build_wheel.sh "$dist" "$sdist" "$python313" aarch64 cp
tools/build_wheel.sh "$dist" "$sdist" "$python313" aarch64 abi3
for python in python3.14 python3.15; do
    for arch in x86_64 aarch64; do
        root_run "$root" tools/build_wheel.sh "$dist" "$sdist" "/usr/bin/$python" "$arch" cp
    done
done
ls -l "$dist"
echo "--- built in $(($(date +%s) - started)) s"
