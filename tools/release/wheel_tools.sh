#!/bin/sh
# The virtual environment ENV of PYTHON with the tools pinned in
# requirements-wheels.txt, made once for each content of that file: what builds
# the sdist and the wheels.
# Zig, pinned in requirements-zig.txt, is installed once, not into each
# environment: build/wheels/zig is the one every wheel of this work tree is
# compiled by, here or in a root, with its cache in build/wheels/zig-cache, so
# that a target's libc++ is compiled once, not once for each interpreter (two to
# three minutes each). Both are links into one folder outside the work tree
# (TOLVI_CACHE, else ~/.cache/tolvi), zig-VERSION: Zig's cache keys hold its
# library's place and the files' identities, which a copy made anew for each
# checkout would change, so that a clean checkout then finds the libc++ of
# every target compiled.
#
#   tools/release/wheel_tools.sh PYTHON ENV
#
# Needs PYTHON with venv and pip, and the network (or pip's cache) for the
# pinned tools.
set -eu
[ $# -eq 2 ] || { echo "usage: $0 PYTHON ENV" >&2; exit 2; }
zig=$(dirname "$0")/../../build/wheels/zig
requirements=$(dirname "$0")/../../requirements-wheels.txt
zig_requirements=$(dirname "$0")/../../requirements-zig.txt
# Wheels of one interpreter are built side by side (the musllinux ones beside
# the manylinux ones): the first makes the environment, the others wait for it.
mkdir -p "$(dirname "$2")"
exec 9>"$2.lock"
flock 9
if ! cmp -s "$requirements" "$2/.ready"; then
    "$(dirname "$0")/remove_unmounted.sh" "$2"
    "$1" -m venv "$2"
    "$2/bin/python" -m pip install -q -r "$requirements"
    cp "$requirements" "$2/.ready"
fi
flock -u 9
# Linked once in a work tree, and again when the pin changes; in a root, which
# has its own home, the link is found bound there.
version=$(sed -n 's/^ziglang==//p' "$zig_requirements")
case $(readlink "$zig" || true) in
*/zig-"$version") [ ! -x "$zig/ziglang/zig" ] || exit 0 ;;
esac
home=${TOLVI_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tolvi}/zig-$version
if [ ! -x "$home/ziglang/zig" ]; then
    # Written whole beside it, then renamed; a second run that renamed its own
    # first keeps that one.
    rm -rf --one-file-system "$home.partial-$$"
    mkdir -p "$home.partial-$$/cache"
    "$2/bin/python" -m pip install -q --no-deps --target "$home.partial-$$" -r "$zig_requirements"
    mv -T "$home.partial-$$" "$home" 2>/dev/null || rm -rf --one-file-system "$home.partial-$$"
fi
mkdir -p "$(dirname "$zig")"
# An older work tree holds a copy of Zig there, not a link.
for place in "$zig" "$zig-cache"; do
    if [ -L "$place" ]; then rm -f "$place"; else "$(dirname "$0")/remove_unmounted.sh" "$place"; fi
done
ln -s "$home" "$zig"
ln -s "$home/cache" "$zig-cache"
