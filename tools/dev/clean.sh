#!/usr/bin/env bash
# Removes the build folders, the virtual environments and dist/, but refuses,
# saying what to do, while anything is mounted at or below the work tree or a
# run of tools/release/debian_root.sh still holds one of the tree's locks: deleting
# through a mount reaches whatever is mounted there, and deleting under a live
# run breaks that run. The locks are held while the folders go. The roots and
# the interpreters built for the release are kept outside the work tree
# (TOLVI_CACHE, else ~/.cache/tolvi), for other clones too: removed by hand.
#
#   tools/dev/clean.sh
#
# Needs nothing but the roots' library (tools/release/debian_root.sh) for its
# locks.
set -eu
cd "$(dirname "$0")/../.."
. tools/release/debian_root.sh

if ! mounted=$(tools/release/mounts_below.sh .); then
    echo "mounted below this work tree, and not removed:" >&2
    echo "$mounted" >&2
    echo "unmount them first (umount -R PATH), then run this again" >&2
    exit 1
fi
for lock in "$ROOTS_LOCKS"/*.lock; do
    [ -e "$lock" ] || continue
    exec {fd}<"$lock"
    flock -n -x "$fd" || {
        echo "a run still holds $lock: wait for it to end, or stop it, then run this again" >&2
        exit 1
    }
done
# Roots an older checkout built in the work tree belong to their owner, an
# ordinary user's subordinate ids included.
remove_unmounted --roots build/roots
remove_unmounted build .venv* dist
