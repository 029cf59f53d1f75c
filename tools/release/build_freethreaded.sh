#!/usr/bin/env bash
# The free-threaded CPython 3.13 (tools/release/debian_root.sh, freethreaded_use): built
# in the root freethreaded from the stable suite's source when the cache has no
# build of that source, reused otherwise. CI starts it beside the wheels.
#
#   tools/release/build_freethreaded.sh
#
# Needs root, mmdebstrap and bwrap (make root-tools), and the network for
# Debian's source.
set -eu
cd "$(dirname "$0")/../.."
. tools/release/debian_root.sh
contained "$0" "$@"
freethreaded_use
