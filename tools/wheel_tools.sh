#!/bin/sh
# The virtual environment ENV of PYTHON with the tools pinned in
# requirements-wheels.txt, made once for each content of that file: what builds
# the sdist and the wheels.
# The first one made also gives its Zig to build/wheels/zig, the one every
# wheel of this work tree is compiled by, here or in a root: Zig's cache keys
# hold the paths of its library, so that a target's libc++ is compiled once,
# not once for each interpreter's environment (two to three minutes each).
# Zig's cache, build/wheels/zig-cache, is a link to one outside the work tree
# (TOLVI_CACHE, else ~/.cache/tolvi), so that a clean checkout at the same
# place finds the libc++ of every target already compiled.
#
#   tools/wheel_tools.sh PYTHON ENV
set -eu
[ $# -eq 2 ] || { echo "usage: $0 PYTHON ENV" >&2; exit 2; }
zig=$(dirname "$0")/../build/wheels/zig
requirements=$(dirname "$0")/../requirements-wheels.txt
if ! cmp -s "$requirements" "$2/.ready"; then
    rm -rf --one-file-system "$2"
    "$1" -m venv "$2"
    "$2/bin/python" -m pip install -q -r "$requirements"
    cp "$requirements" "$2/.ready"
fi
cache=${TOLVI_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tolvi}/zig-cache
if [ ! -e "$zig-cache" ] && [ ! -L "$zig-cache" ]; then
    mkdir -p "$cache" "$(dirname "$zig")"
    ln -s "$cache" "$zig-cache"
fi
[ ! -e "$zig/ziglang/zig" ] || exit 0
rm -rf --one-file-system "$zig.partial"
mkdir -p "$zig.partial"
cp -a "$("$2/bin/python" -c 'import os, ziglang; print(os.path.dirname(ziglang.__file__))')" \
    "$zig.partial/"
mv "$zig.partial" "$zig"
