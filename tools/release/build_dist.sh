#!/usr/bin/env bash
# Builds what we publish into DIST: the sdist, and from that sdist the wheels
# (tools/release/build_wheel.sh) of Linux with glibc (manylinux2014), of Linux with
# musl (musllinux_1_2) and of Windows:
#
#   manylinux x86_64:   cp312, cp313, cp313t, cp314, cp315, and cp312-abi3
#   manylinux aarch64:  cp313, cp314, cp315, and cp312-abi3
#   musllinux x86_64:   cp313 and cp312-abi3
#   win_amd64:          cp312, cp313 and cp314
#
#   tools/release/build_dist.sh DIST PYTHON3.12 PYTHON3.13
#
# The interpreters given build the sdist and the wheels of 3.12, 3.13 and the
# stable ABI. CPython 3.14 and 3.15 come from the Debian unstable root amd64
# (tools/release/debian_root.sh), built when it is missing or stale and kept for the
# runs that follow; their wheels are built inside it, as they are for any other
# interpreter, with the work tree read-only there but for build/wheels and DIST.
# The free-threaded cp313t wheel is built in the root freethreaded, by the
# interpreter tools/release/build_freethreaded.sh builds there from the stable suite's
# source, or keeps from an earlier run. The aarch64 wheels are cross-compiled, against the aarch64 headers of Debian's
# CPython packages; no aarch64 CPython 3.12 is packaged there, so the aarch64
# abi3 wheel is built by 3.13 for the stable ABI of 3.12, which abi3audit checks.
# The musllinux wheels are cross-compiled likewise, by 3.13, against the headers
# of the CPython 3.13 on musl that tools/release/build_musl_python.sh builds (the abi3
# one for the stable ABI of 3.12); the Windows ones against the headers and the
# DLL's import library of the Windows interpreters of tools/release/windows_python.sh,
# by the interpreter of the same version (3.14's in the root amd64).
#
# The sdist is made from the last commit (git archive), not from the files of
# the work tree, and every file's dates are those of that commit
# (SOURCE_DATE_EPOCH), so that the same commit gives the same files, bit for
# bit, wherever and whenever it is built. Outside a git checkout, the files of
# the tree are taken, with the dates SOURCE_DATE_EPOCH names.
#
# Needs root, mmdebstrap and bwrap (make root-tools), Wine and gendef (make
# windows-tools), git, and the network for the pinned tools and the Debian
# roots.
set -eu
cd "$(dirname "$0")/../.."
. tools/release/debian_root.sh
. tools/release/windows_python.sh
contained "$0" "$@"

[ $# -eq 3 ] || { echo "usage: $0 DIST PYTHON3.12 PYTHON3.13" >&2; exit 2; }
dist=$1 python312=$2 python313=$3
for pair in "$python312=3.12" "$python313=3.13"; do
    version=${pair#*=}
    [ -n "${pair%=*}" ] || {
        echo "no CPython $version found (pyenv's, or python$version on the PATH):" \
            "name one with RELEASE_PYTHON${version/./}=/path/to/python$version" >&2
        exit 2
    }
    "${pair%=*}" -c "import sys; sys.exit('%d.%d' % sys.version_info[:2] != '${pair#*=}')" ||
        { echo "${pair%=*} is not CPython ${pair#*=}" >&2; exit 2; }
done
work=build/wheels
started=$(date +%s)
job_lock wheels
release_dates
mkdir -p "$dist" "$work"
dist_lock "$dist" -x
rm -f "$dist"/tolvi-*
remove_unmounted "$work/raw"

root_use amd64
root=$(root_dir amd64)
ROOT_WRITABLE=("$work" "$dist")

echo "--- the headers of CPython 3.14 and 3.15, and the aarch64 ones of 3.13 to 3.15"
remove_unmounted "$work"/headers-* "$work/debs"
mkdir -p "$work/debs"
for deb in "$root$ROOTS_DOWNLOADS"/libpython3.1*-dev_*_arm64.deb; do
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
remove_unmounted "$work/debs"

echo "--- the sdist"
env=$work/env-cp312
tools/release/wheel_tools.sh "$python312" "$env"
# Zig and its cache lie outside the work tree (tools/release/wheel_tools.sh): bound
# into the roots at their own place.
zig_home=$(realpath "$work/zig")
ROOT_BINDS=("$zig_home=$zig_home")
release_sdist "$env/bin/python" "$work/source" "$dist"
sdist=$(ls "$dist"/tolvi-*.tar.gz)

# The wheels of the root and those of this machine are built side by side, the
# root's aarch64 ones first: the first build for a target compiles Zig's libc++,
# on one core, and the other wheels of that target find it in the cache.
root_wheels() {
    for arch in aarch64 x86_64; do
        for python in python3.14 python3.15; do
            root_run amd64 tools/release/build_wheel.sh "$dist" "$sdist" "/usr/bin/$python" "$arch" cp
        done
    done
}
beside "$work/root-wheels.log" root_wheels
in_root=$BESIDE
# The free-threaded interpreter beside them too, built when the cache has none
# (or waited for, when another run holds the cache's lock); its cp313t wheel is
# built last, once Zig's libc++ for x86_64 is in the cache.
beside "$work/freethreaded.log" freethreaded_use
in_freethreaded=$BESIDE
# The interpreter on musl too, built when the cache has none, and its wheels.
musl_wheels() {
    musl_python_use
    remove_unmounted "$work/headers-musl-x86_64"
    mkdir -p "$work/headers-musl-x86_64"
    cp -r "$MUSL_PYTHON_HERE/include/python3.13" "$work/headers-musl-x86_64/"
    tools/release/build_wheel.sh "$dist" "$sdist" "$python313" musl-x86_64 cp
    tools/release/build_wheel.sh "$dist" "$sdist" "$python313" musl-x86_64 abi3
}
beside "$work/musl-wheels.log" musl_wheels
in_musl=$BESIDE
tools/release/build_wheel.sh "$dist" "$sdist" "$python312" x86_64 cp
tools/release/build_wheel.sh "$dist" "$sdist" "$python313" x86_64 cp
tools/release/build_wheel.sh "$dist" "$sdist" "$python312" x86_64 abi3
tools/release/build_wheel.sh "$dist" "$sdist" "$python313" aarch64 cp
tools/release/build_wheel.sh "$dist" "$sdist" "$python313" aarch64 abi3
echo "--- the Windows interpreters' headers and import libraries, and their wheels"
remove_unmounted "$work/headers-win-amd64"
for version in 3.12 3.13 3.14; do
    windows_python_use "$version" "$python312"
    mkdir -p "$work/headers-win-amd64/python$version"
    cp -r "$WINDOWS_PYTHON/include/." "$WINDOWS_PYTHON"/libs/libpython*.dll.a \
        "$WINDOWS_PYTHON"/python3*.dll "$work/headers-win-amd64/python$version/"
done
tools/release/build_wheel.sh "$dist" "$sdist" "$python312" win-amd64 cp
tools/release/build_wheel.sh "$dist" "$sdist" "$python313" win-amd64 cp
# joined PID LOG WHAT: the part started beside the others waited for, its log
# shown, and the run ended when it failed.
joined() {
    local status=0
    echo "--- $3, made beside those above"
    wait "$1" || status=$?
    cat "$2"
    [ $status = 0 ] || { echo "$3 failed ($status)" >&2; exit 1; }
}
joined $in_root "$work/root-wheels.log" "the wheels of CPython 3.14 and 3.15, in the root"
joined $in_musl "$work/musl-wheels.log" "the musllinux wheels"
joined $in_freethreaded "$work/freethreaded.log" "the free-threaded CPython 3.13"
freethreaded_use
root_run freethreaded tools/release/build_wheel.sh "$dist" "$sdist" "$FREETHREADED/bin/python3.13t" x86_64 cp
root_run amd64 tools/release/build_wheel.sh "$dist" "$sdist" /usr/bin/python3.14 win-amd64 cp
ls -l "$dist"
echo "--- built in $(($(date +%s) - started)) s"
