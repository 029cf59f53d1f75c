#!/usr/bin/env bash
# CPython 3.13 on musl libc (tools/release/debian_root.sh, musl_python_use), under which
# the musllinux wheels are tested: built in the root musl from the stable
# suite's sources of CPython 3.13, zlib and libffi when the cache has no build
# of them, reused otherwise.
#
#   tools/release/build_musl_python.sh
#
# Needs root, mmdebstrap and bwrap (make root-tools), and the network for
# Debian's sources.
set -eu
cd "$(dirname "$0")/../.."
. tools/release/debian_root.sh
contained "$0" "$@"
musl_python_use
