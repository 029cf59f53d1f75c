#!/bin/sh
# What make checks on every run, before the environment is used: PYTHON missing
# or older than 3.12, or the environment VENV made by another interpreter, stop
# the run with what to do.
#
#   tools/dev/python_check.sh PYTHON VENV
#
# Needs nothing but the interpreters it checks.
set -u
python=$1 venv=$2
[ -n "$python" ] || {
    echo "no CPython 3.12 or newer found: name one with PYTHON=/path/to/python3.12" >&2
    exit 1
}
command -v "$python" >/dev/null || { echo "PYTHON=$python: no such interpreter" >&2; exit 1; }
"$python" -c 'import sys; sys.exit(sys.version_info < (3, 12))'
status=$?
[ $status = 0 ] || [ $status = 1 ] || {
    echo "PYTHON=$python: no such interpreter (it exits with status $status;" \
        "a pyenv shim does so for a version not active)" >&2
    exit 1
}
[ $status = 0 ] || { echo "PYTHON=$python is older than 3.12" >&2; exit 1; }
if [ -x "$venv/bin/python" ]; then
    made=$("$venv/bin/python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
    wanted=$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
    [ "$made" = "$wanted" ] || {
        echo "$venv was made by CPython $made, not by the $wanted of PYTHON=$python:" \
            "give it an environment of its own with VENV=.venv-$wanted, or remove $venv" >&2
        exit 1
    }
fi
