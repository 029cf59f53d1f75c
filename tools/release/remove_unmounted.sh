#!/bin/sh
# Deletes each DIR, unless anything is mounted at or below it: `rm
# --one-file-system` stops at another filesystem, but walks through a bind
# mount of the same one, and so into whatever was bound there (a work tree
# bound into a root, say). Every folder where builds or roots ran is deleted
# through this.
#
#   tools/release/remove_unmounted.sh DIR...
#
# Needs mounts_below.sh beside it.
set -eu
for dir in "$@"; do
    [ -e "$dir" ] || [ -L "$dir" ] || continue
    if ! mounted=$("$(dirname "$0")/mounts_below.sh" "$dir"); then
        echo "$dir is not removed: mounted at or below it are" >&2
        echo "$mounted" >&2
        exit 1
    fi
    rm -rf --one-file-system "$dir"
done
