#!/bin/sh
# Prints every mount point at or below each DIR, as this process's mount
# namespace sees it, one a line, and exits 1 when there is any; 0 when none.
#
#   tools/release/mounts_below.sh DIR...
#
# The mount table writes a space, tab, newline and backslash of a path as \040,
# \011, \012 and \134: they are decoded before a path is compared, so that a
# work tree whose path holds a space is recognised as itself.
#
# Needs awk and /proc.
set -eu
[ $# -ge 1 ] || { echo "usage: $0 DIR..." >&2; exit 2; }
found=0
for dir in "$@"; do
    target=$(realpath -m -- "$dir")
    DIR=$target awk '
        function decoded(path,    out, code) {
            out = ""
            while (match(path, /\\[0-7][0-7][0-7]/)) {
                code = substr(path, RSTART + 1, 1) * 64 + substr(path, RSTART + 2, 1) * 8 \
                       + substr(path, RSTART + 3, 1)
                out = out substr(path, 1, RSTART - 1) sprintf("%c", code)
                path = substr(path, RSTART + RLENGTH)
            }
            return out path
        }
        BEGIN { root = ENVIRON["DIR"]; found = 0 }
        {
            place = decoded($5)
            if (place == root || index(place, root "/") == 1 || root == "/") {
                print place
                found = 1
            }
        }
        END { exit found }' /proc/self/mountinfo || found=1
done
exit $found
