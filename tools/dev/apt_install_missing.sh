#!/bin/sh
# Installs the Debian packages of whatever is missing, on a Debian root shell;
# anywhere else names what is missing, with its package, and fails.
#
#   tools/dev/apt_install_missing.sh WHAT=PACKAGE ...
#
# WHAT is a command, looked up on PATH, or a file, given by its absolute path;
# PACKAGE is the Debian package that provides it. Nothing is run when nothing is
# missing; otherwise the package lists are updated once and all the missing
# packages are installed together.
#
# Needs apt-get and root, but only when something is missing.
set -eu

present() {
    case $1 in
        /*) [ -e "$1" ] ;;
        *) command -v "$1" >/dev/null 2>&1 ;;
    esac
}

packages=
for pair in "$@"; do
    what=${pair%=*}
    package=${pair##*=}
    if [ "$what" = "$pair" ] || [ -z "$what" ] || [ -z "$package" ]; then
        echo "usage: $0 WHAT=PACKAGE ... (not '$pair')" >&2
        exit 2
    fi
    present "$what" || packages="$packages $package"
done
[ -n "$packages" ] || exit 0

if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq $packages >/dev/null
fi

status=0
for pair in "$@"; do
    if ! present "${pair%=*}"; then
        echo "missing: ${pair%=*} (Debian package ${pair##*=})" >&2
        status=1
    fi
done
exit $status
