#!/bin/sh
# The virtual environment ENV of PYTHON with the tools pinned in
# requirements-wheels.txt, made once: what builds the sdist and the wheels.
#
#   tools/wheel_tools.sh PYTHON ENV
set -eu
[ $# -eq 2 ] || { echo "usage: $0 PYTHON ENV" >&2; exit 2; }
[ ! -e "$2/.ready" ] || exit 0
rm -rf --one-file-system "$2"
"$1" -m venv "$2"
"$2/bin/python" -m pip install -q -r "$(dirname "$0")/../requirements-wheels.txt"
touch "$2/.ready"
