#!/bin/sh
# Checks that the module's sources, as the sdist ships them, compile and link
# for macOS on Apple silicon and on Intel (aarch64-macos, x86_64-macos), with
# the Zig that builds our Linux wheels. No macOS wheel comes of it, and nothing
# here can run a Mach-O file: what is checked is that every source compiles
# with our warnings as errors against the Mac's C library and Zig's libc++, and
# that the linked module needs nothing a Mac lacks.
#
#   tools/release/check_macos.sh SDIST PYTHON_INCLUDE_DIR
#
# PYTHON_INCLUDE_DIR is a CPython's own headers, those of an interpreter built
# by its configure script (the folder that holds Python.h and pyconfig.h; a
# Debian one, whose pyconfig.h only chooses the architecture's own, will not
# do). Their pyconfig.h is Linux's; what of it differs on a Mac is of two kinds.
# The sizes and byte orders that differ between the Mac's two architectures,
# CPython's pymacconfig.h sets again whenever the compiler targets a Mac, as it
# must for a universal build. The rest are the feature-test macros: CPython's
# configure defines _POSIX_C_SOURCE, _XOPEN_SOURCE and _XOPEN_SOURCE_EXTENDED
# on Linux but not on Darwin, where they hide the system's own extensions from
# the C headers and so from libc++. The Mac's pyconfig.h is therefore Linux's
# without those three, written into a copy of the headers in the scratch
# folder: Python.h includes "pyconfig.h" from its own folder first, so an
# include path placed before it could not replace the header.
#
# Zig is called directly rather than through CMake: CMakeLists.txt asks CMake
# for the target's Python, and CMake's Darwin platform for an SDK and Apple's
# tools, none of which this machine has, while a few lines of Zig's calls give
# exactly the flags a Mac's build of a module uses. It is linked with
# -undefined dynamic_lookup, since the interpreter that loads it supplies
# Python's symbols. Each source is compiled by a call of its own, one per core:
# a single call given every source compiles them one after another. Zig's cache
# is build/wheels/zig-cache, the wheels' one: the first build of a target
# compiles Zig's libc++ and runtime for it (minutes), and later ones find them;
# the module's own sources are compiled anew each time.
#
# The module passes when it is a Mach-O file of the target's architecture,
# exports PyInit_tolvi, loads no library but the Mac's system library and
# libc++, and leaves no symbol to be looked up at load time but CPython's own.
# Zig links its libc++ into the module, as it does for our Linux wheels, so
# that the module loads the system library alone; one built on a Mac by Apple's
# compiler loads the system's libc++ too, which is as safe, and so allowed.
set -eu
[ $# -eq 2 ] || { echo "usage: $0 SDIST PYTHON_INCLUDE_DIR" >&2; exit 2; }
sdist=$(realpath "$1") include=$(realpath "$2")
cd "$(dirname "$0")/../.."

zig=$PWD/build/wheels/zig/ziglang/zig
[ -x "$zig" ] || {
    echo "no Zig in build/wheels/zig: tools/release/wheel_tools.sh PYTHON ENV makes it" >&2
    exit 1
}
[ -e "$include/Python.h" ] || { echo "$include holds no Python.h" >&2; exit 1; }
grep -q '^#define SIZEOF_INT ' "$include/pyconfig.h" || {
    echo "$include/pyconfig.h is not the one CPython's configure writes" >&2
    exit 1
}

mkdir -p build/locks
exec 9>build/locks/macos-check.lock
flock -n 9 || {
    echo "another run of $0 is going on in this work tree: wait for it to end" >&2
    exit 1
}

scratch=$PWD/build/macos-check
rm -rf --one-file-system "$scratch"
mkdir -p "$scratch/sdist"
tar -xzf "$sdist" -C "$scratch/sdist"
set -- "$scratch"/sdist/*/
[ $# -eq 1 ] && [ -d "$1/src" ] || { echo "$sdist holds no single project folder" >&2; exit 1; }
tree=$1

# Links are followed, so that writing pyconfig.h below cannot reach the
# interpreter's own.
cp -RL "$include" "$scratch/include"
rm -f "$scratch/include/pyconfig.h"
sed -E '/^#define (_POSIX_C_SOURCE|_XOPEN_SOURCE|_XOPEN_SOURCE_EXTENDED) /d' \
    "$include/pyconfig.h" >"$scratch/include/pyconfig.h"

export ZIG_GLOBAL_CACHE_DIR="$PWD/build/wheels/zig-cache"
cd "$tree"
for arch in aarch64 x86_64; do
    started=$(date +%s)
    echo "--- $arch-macos"
    module=$scratch/$arch/tolvi.so
    objects=$scratch/$arch/objects
    mkdir -p "$objects"
    # An object is named by its source's path, which keeps the names apart.
    find src/core src/binding -name '*.cpp' | LC_ALL=C sort |
        ZIG=$zig TARGET=$arch-macos INCLUDE=$scratch/include OBJECTS=$objects \
        xargs -n 1 -P "$(nproc)" sh -c 'exec "$ZIG" c++ -target "$TARGET" -std=c++20 -O2 \
            -Wall -Wextra -Werror -fvisibility=hidden -I src -I "$INCLUDE" \
            -c -o "$OBJECTS/$(echo "$1" | tr / _).o" "$1"' sh
    "$zig" c++ -target "$arch-macos" -shared -Wl,-undefined,dynamic_lookup \
        -o "$module" "$objects"/*.o
    python3 - "$module" "$arch" <<'EOF'
import struct, sys

module, arch = sys.argv[1:]
data = open(module, "rb").read()
cpu = {"aarch64": 0x0100000C, "x86_64": 0x01000007}[arch]
magic, cputype, _, filetype, ncmds = struct.unpack_from("<5I", data)
if magic != 0xFEEDFACF or cputype != cpu or filetype not in (6, 8):
    sys.exit(f"{module} is no {arch} Mach-O library or bundle")

# Every kind of load command that names a library the loader must find.
loads = {0xC, 0x20, 0x80000018, 0x8000001F, 0x80000023}
dylibs, minos, symtab = [], None, None
at = 32
for _ in range(ncmds):
    cmd, size = struct.unpack_from("<2I", data, at)
    if cmd in loads:
        (name,) = struct.unpack_from("<I", data, at + 8)
        dylibs.append(data[at + name : at + size].split(b"\0")[0].decode())
    elif cmd in (0x32, 0x24):  # LC_BUILD_VERSION, or before macOS 10.14 its forerunner
        (version,) = struct.unpack_from("<I", data, at + (12 if cmd == 0x32 else 8))
        minos = f"{version >> 16}.{version >> 8 & 0xFF}"
    elif cmd == 0x2:  # LC_SYMTAB
        symtab = struct.unpack_from("<4I", data, at + 8)
    at += size
if symtab is None:
    sys.exit(f"{module} has no symbol table")

exported, looked_up = [], []
symoff, nsyms, stroff, _ = symtab
for i in range(nsyms):
    strx, ntype, _, desc, _ = struct.unpack_from("<IBBHQ", data, symoff + 16 * i)
    if ntype & 0xE0 or not ntype & 0x01:  # debugging entries, local symbols
        continue
    name = data[stroff + strx :].split(b"\0")[0].decode()
    if ntype & 0x0E == 0x0E and not ntype & 0x10:  # defined, not private extern
        exported.append(name)
    # Undefined, left to the symbols loaded before the module: the
    # interpreter's, and nothing else's, since a Mac has no other to offer.
    elif ntype & 0x0E == 0 and desc >> 8 in (0, 0xFE, 0xFF):
        looked_up.append(name)

print(f"macOS {minos} or later; loads {', '.join(dylibs)}")
print(f"exports {len(exported)} symbols; looks up {len(looked_up)} at load time")
allowed = {"/usr/lib/libSystem.B.dylib", "/usr/lib/libc++.1.dylib"}
failures = []
if "/usr/lib/libSystem.B.dylib" not in dylibs:
    failures.append("does not load the system library")
failures += [f"loads {d}" for d in dylibs if d not in allowed]
if "_PyInit_tolvi" not in exported:
    failures.append("does not export PyInit_tolvi")
failures += [f"needs {s[1:]} from no library" for s in looked_up
             if not s.startswith(("_Py", "__Py"))]
if failures:
    sys.exit("\n".join(f"{module}: {f}" for f in failures))
EOF
    echo "--- $arch-macos: compiled, linked and checked in $(($(date +%s) - started)) s"
done
