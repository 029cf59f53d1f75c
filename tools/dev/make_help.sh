#!/bin/sh
# `make help`: the targets each MAKEFILE describes (a "## " comment after a
# target's prerequisites), a $(NAME) in a description replaced by the value the
# environment gives NAME, then the variables a user sets, with their values.
#
#   NAME=VALUE... tools/dev/make_help.sh MAKEFILE...
#
# Needs awk; make passes the variables' values.
set -eu
echo "Targets:"
awk -F ':[^#]*## ' '/^[a-z][a-z0-9-]*:[^#]*## / {
    text = $2
    while (match(text, /[$][(][A-Z_0-9]+[)]/))
        text = substr(text, 1, RSTART - 1) ENVIRON[substr(text, RSTART + 2, RLENGTH - 3)] \
               substr(text, RSTART + RLENGTH)
    printf "  %-16s %s\n", $1, text
}' "$@"
echo "Variables (make TARGET NAME=VALUE), with their values now:"
printf '  %-13s = %s\n  %13s   %s\n' \
    PYTHON "${PYTHON-}" "" "the CPython 3.12 or newer that makes the environment" \
    VENV "${VENV-}" "" "the virtual environment, one per interpreter" \
    WHEEL_ARGS "${WHEEL_ARGS-}" "" "build options of the wheel (-C cmake.define.NAME=VALUE)" \
    PYTEST_ARGS "${PYTEST_ARGS-}" "" "pytest's selection and options (-k pickle, tests/test_semver.py)" \
    FUZZ_SECONDS "${FUZZ_SECONDS-}" "" "how long each fuzzer runs" \
    RELEASE_DIST "${RELEASE_DIST-}" "" "where make wheels puts what we publish"
