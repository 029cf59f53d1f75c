#!/usr/bin/env bash
# The Debian roots of tools/release/debian_root.sh, each built when it is missing, half
# built or stale, and kept otherwise: amd64, and with arm64 the emulator that
# builds it. The scripts that use a root build it themselves; this builds them
# ahead, beside other work (CI starts it first).
#
#   tools/release/build_roots.sh [NAME...]     amd64 and arm64 when none is named
#
# Needs root, mmdebstrap and bwrap (make root-tools), qemu-user for the arm64
# root, and the network.
set -eu
cd "$(dirname "$0")/../.."
. tools/release/debian_root.sh
[ $# -gt 0 ] || set -- amd64 arm64
case " $* " in
*" arm64 "*) contained --emulation "$0" "$@" ;;
*) contained "$0" "$@" ;;
esac
for name in "$@"; do
    [ "$name" != arm64 ] || emulation_start
    root_use "$name"
done
