#!/usr/bin/env bash
# Tests what users install, from what tools/release/build_dist.sh left in DIST, where it
# runs: each wheel in a fresh virtual environment with the test requirements,
# and the Python suite run against it. One leg at a time, so that CI can run
# the slow emulated one beside the others:
#
#   tools/release/test_dist.sh DIST host PYTHON3.12 PYTHON3.13
#       each interpreter's own wheel and the abi3 wheel under each, and the
#       sdist built from source by pip under 3.12, side by side
#   tools/release/test_dist.sh DIST amd64
#       in the Debian unstable root amd64, the one the wheels of 3.14 and 3.15
#       were built in: CPython 3.14 and 3.15, each with its own wheel and the
#       abi3 wheel, and under 3.15 the sdist built from source by pip with the
#       root's GCC, side by side
#   tools/release/test_dist.sh DIST arm64
#       in a Debian unstable arm64 root, under user-mode emulation: CPython 3.13
#       to 3.15, each with its own aarch64 wheel, and 3.13 with the aarch64
#       abi3 wheel, one after the other; the stress and property tests run a twentieth of
#       their rounds and a fifth or a tenth of their examples there
#   tools/release/test_dist.sh DIST freethreaded
#       in the Debian unstable root freethreaded, under the free-threaded
#       CPython 3.13 built there (tools/release/build_freethreaded.sh): the cp313t wheel,
#       with the interpreter's lock off, and the abi3 module refused
#   tools/release/test_dist.sh DIST musl PYTHON3.13
#       in the Debian unstable root musl, under the CPython 3.13 on musl libc
#       built there (tools/release/build_musl_python.sh): the musllinux wheels of 3.13
#       and of the stable ABI, side by side; PYTHON fetches the test tools
#   tools/release/test_dist.sh DIST windows PYTHON3.12
#       under Wine, on this machine, CPython 3.12 to 3.14 for Windows
#       (tools/release/windows_python.sh), each with its win_amd64 wheel, side by side;
#       the tests that need what Windows lacks, or Wine, skip and say why
#
# The roots are those of tools/release/debian_root.sh, built when missing or stale; the
# work tree is read-only inside them, but for this leg's folder in
# build/dist-test/. The emulated leg runs in a mount namespace of its own, which
# takes the emulator's registration with it when it ends. The sdist is
# installed as a user would, with pip's own build isolation and the system's
# compiler; its build log must show the compiler's warnings left as warnings,
# and their count is printed.
set -eu
cd "$(dirname "$0")/../.."
. tools/release/debian_root.sh
. tools/release/windows_python.sh

[ $# -ge 2 ] || { echo "usage: $0 DIST host|amd64|arm64|freethreaded|musl|windows [PYTHON...]" >&2; exit 2; }
if [ "$2" = arm64 ]; then contained --emulation "$0" "$@"; else contained "$0" "$@"; fi
dist=$1 leg=$2
shift 2
work=build/dist-test/$leg
started=$(date +%s)
job_lock "test-dist-$leg"
dist_lock "$dist" -s
# Inside a root, the release files are read where they are.
ROOT_READABLE=("$dist")

# In a root (the name in $inside), every command runs inside it, in the work
# tree.
inside=
run() { root_or_here "$inside" "$@"; }

# fresh_env NAME PYTHON: a new virtual environment with the test requirements:
# a copy of one made once for PYTHON, into which nothing else is installed. The
# copy serves as the original would: every command here runs its bin/python,
# which finds its environment by its own place. Under emulation pip compiles
# nothing ahead: the suite imports a small part of what it installs.
# With a wheelhouse (a folder of wheels fetched beforehand, pip's among them),
# pip and the requirements come from it alone: an interpreter without ssl
# installs them so.
base_env() { # base_env PYTHON: that one environment, made when missing
    base=$work/requirements-$(basename "$1")
    if [ ! -e "$base/.ready" ]; then
        remove_unmounted "$base"
        if [ -n "${wheelhouse:-}" ]; then
            run "$1" -m venv --without-pip "$base"
            run "$base/bin/python" "$(echo "$wheelhouse"/pip-*.whl)/pip" install -q --no-index \
                --find-links "$wheelhouse" pip -r "${requirements:-requirements-test.txt}"
        else
            run "$1" -m venv "$base"
            run "$base/bin/python" -m pip install -q ${compile:-} -r "${requirements:-requirements-test.txt}"
        fi
        touch "$base/.ready"
    fi
}
# base_envs PYTHON...: those environments made side by side, one for each
# interpreter.
base_envs() {
    local python pids=() failed=0
    for python in "$@"; do
        beside "$work/base-$(basename "$python").log" base_env "$python"
        pids+=("$BESIDE")
    done
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
    [ $failed = 0 ] || { cat "$work"/base-*.log >&2; echo "a test environment failed" >&2; exit 1; }
}
fresh_env() {
    base_env "$2"
    remove_unmounted "$work/$1"
    cp -a "$base" "$work/$1"
}

# suite NAME WHAT: the Python suite as `make test-python` runs it, against the
# module installed in that environment and nothing of the work tree (-P).
suite() {
    echo "--- the Python suite against $2"
    begun=$(date +%s)
    run env $suite_env "$work/$1/bin/python" $suite_flags -P -m pytest -q -p no:cacheprovider tests
    echo "--- $2: $(($(date +%s) - begun)) s"
}
# Hypothesis keeps its examples in the leg's folder: inside a root the work tree
# is read-only.
hypothesis_env=HYPOTHESIS_STORAGE_DIRECTORY=$work/hypothesis
suite_env="PYTHONMALLOC=debug $hypothesis_env"
suite_flags="-X dev"

# wheel_suite PYTHON WHEEL: WHEEL installed into a fresh environment of PYTHON,
# and the suite run against it.
wheel_suite() {
    tag=$(python_tag "$inside" "$1")
    name=$(basename "$2" | cut -d- -f3-4)-on-$tag
    fresh_env "$name" "$1"
    run "$work/$name/bin/python" -m pip install -q --no-deps "$2"
    # The module the suite imports is the one this wheel holds.
    module=$(run "$work/$name/bin/python" -P -c 'import tolvi; print(tolvi.__file__)')
    case $2:$module in
    *-abi3-*:*.abi3.so | *-"${tag%t}"-"$tag"-*:*.cpython-*.so) ;;
    *)
        echo "$(basename "$2") installed $module" >&2
        exit 1
        ;;
    esac
    suite "$name" "$(basename "$2") under $tag"
}

# sdist_suite PYTHON: the sdist built from source by plain pip and the
# interpreter's system compiler, then the suite.
sdist_suite() {
    tag=$(python_tag "$inside" "$1")
    name=sdist-on-$tag
    fresh_env "$name" "$1"
    sdist=$(ls "$dist"/tolvi-*.tar.gz)
    log=$work/$name-build.log
    # Verbose, so that the log holds every compile command.
    run env SKBUILD_BUILD_VERBOSE=true "$work/$name/bin/python" -m pip install -v --no-deps \
        "$sdist" >"$log" 2>&1 || {
        tail -n 50 "$log" >&2
        exit 1
    }
    if ! grep -q -- ' -Wall ' "$log" || grep -q -- '-Werror' "$log"; then
        echo "the build from source turned warnings into errors, or its log shows no compile" \
            "command (see $log)" >&2
        exit 1
    fi
    echo "--- the build from source under $tag: $(grep -c 'warning:' "$log" || true) compiler warnings"
    grep 'warning:' "$log" || true
    suite "$name" "$(basename "$sdist"), built from source under $tag"
}

# own_and_abi3 PYTHON ARCH: PYTHON's own wheel for ARCH, then the abi3 wheel.
own_and_abi3() {
    local wheel tag
    tag=$(python_tag "$inside" "$1")
    wheel=$(wheel_of "$tag-$tag" "$2")
    wheel_suite "$1" "$wheel"
    wheel=$(wheel_of cp312-abi3 "$2")
    wheel_suite "$1" "$wheel"
}

# side_by_side NAME FUNCTION ARG...: FUNCTION run beside the others (a suite
# uses one core, a build from source two), its output in $work/NAME.log; the
# environment of its interpreter is made first (base_envs makes those of all
# the leg's interpreters side by side ahead), since a part copies it.
# all_sides waits for every part, shows its log, and fails when one
# failed.
sides=()
side_by_side() {
    local log=$work/$1.log
    shift
    case $2 in /*) base_env "$2" ;; esac
    beside "$log" "$@"
    sides+=("$BESIDE:$log")
}
all_sides() {
    local side failed=0
    for side in "${sides[@]}"; do
        wait "${side%%:*}" || failed=1
        cat "${side#*:}"
    done
    [ $failed = 0 ] || { echo "a part of the $leg leg failed" >&2; exit 1; }
}

# windows_suite VERSION: the win_amd64 wheel of VERSION installed by the Windows
# interpreter's own pip, which must take its tags, into a fresh folder of a copy
# of the test tools, and the suite run against it under Wine. pip fetches the
# tools for Windows here, where it reads the requirements' markers as Linux's:
# colorama, which pytest needs on Windows alone, is named.
windows_suite() {
    local version=$1 tag=cp${1/./} kit wheel wheelhouse base fresh module
    eval "kit=\$kit_$tag"
    wheel=$(wheel_of "$tag-$tag" win_amd64)
    wheelhouse=$work/wheelhouse-$tag base=$work/requirements-$tag fresh=$work/$tag-on-windows
    begun=$(date +%s)
    echo "--- CPython $version for Windows: the DLL of $(wine_run "$kit/python.exe" -c \
        'import sys; print(sys.version, end="")'), the library of $(cat "$kit/LIBRARY")"
    "$host_python" -m pip download -q --only-binary=:all: --platform win_amd64 \
        --python-version "$version" -d "$wheelhouse" pip colorama -r requirements-test.txt
    pip=$(windows_path "$(echo "$wheelhouse"/pip-*.whl)")/pip
    wine_run "$kit/python.exe" "$pip" install -q --no-index --find-links "$(windows_path "$wheelhouse")" \
        --target "$(windows_path "$base")" -r requirements-test.txt
    cp -a "$base" "$fresh"
    wine_run "$kit/python.exe" "$pip" install -q --no-deps --no-index --target "$(windows_path "$fresh")" \
        "$(windows_path "$wheel")"
    module=$(cd "$fresh" && ls tolvi.*.pyd)
    [ "$module" = "tolvi.$tag-win_amd64.pyd" ] || { echo "$(basename "$wheel") installed $module" >&2; exit 1; }
    echo "--- the Python suite against $(basename "$wheel") under $tag on Windows (Wine)"
    PYTHONPATH=$(windows_path "$fresh") PYTHONMALLOC=debug \
        HYPOTHESIS_STORAGE_DIRECTORY=$(windows_path "$work/hypothesis-$tag") \
        wine_run "$kit/python.exe" -X dev -P -m pytest -q -rs -p no:cacheprovider tests
    echo "--- $(basename "$wheel") under $tag on Windows: $(($(date +%s) - begun)) s"
}

# wheel_of TAG ARCH: the one wheel of TAG (cp313-cp313, cp312-abi3) for ARCH
# (x86_64 or aarch64 of glibc's Linux, or a platform tag, such as win_amd64), or
# a failure that ends the leg.
wheel_of() {
    case $2 in
    x86_64 | aarch64) set -- "$1" "manylinux*_$2" ;;
    esac
    set -- "$dist"/tolvi-*-"$1"-$2.whl
    [ $# = 1 ] && [ -e "$1" ] || { echo "no single wheel $1 in $dist" >&2; exit 1; }
    echo "$1"
}

remove_unmounted "$work"
mkdir -p "$work"
case $leg in
host)
    [ $# -ge 1 ] || { echo "usage: $0 DIST host PYTHON..." >&2; exit 2; }
    base_envs "$@"
    for python in "$@"; do
        side_by_side "$(basename "$python")" own_and_abi3 "$python" x86_64
    done
    side_by_side sdist sdist_suite "$1"
    all_sides
    ;;
amd64)
    root_use amd64
    inside=amd64 ROOT_WRITABLE=("$work")
    base_envs /usr/bin/python3.14 /usr/bin/python3.15
    for version in 3.14 3.15; do
        side_by_side "python$version" own_and_abi3 "/usr/bin/python$version" x86_64
    done
    # Built from source under the newest interpreter, as under the oldest in the
    # host leg: the module's code is the same for every version between.
    side_by_side sdist sdist_suite /usr/bin/python3.15
    all_sides
    ;;
arm64)
    emulation_start
    root_use arm64
    inside=arm64 ROOT_WRITABLE=("$work")
    compile=--no-compile
    # The allocator's debug hooks and development mode are checked natively;
    # emulated, they would only multiply the time, as would the full counts of
    # the stress and property tests, which run a fraction of them here.
    suite_env="$hypothesis_env TOLVI_EMULATED=1" suite_flags=
    for version in 3.13 3.14 3.15; do
        tag=cp$(echo "$version" | tr -d .)
        wheel=$(wheel_of "$tag-$tag" aarch64)
        wheel_suite "/usr/bin/python$version" "$wheel"
        # The abi3 module is the same file under every interpreter, and runs
        # natively under four: emulated, it runs under the oldest here, which
        # takes the road that writes the type's call into the type object.
        if [ "$version" = 3.13 ]; then
            wheel=$(wheel_of cp312-abi3 aarch64)
            wheel_suite "/usr/bin/python$version" "$wheel"
        fi
    done
    ;;
freethreaded)
    freethreaded_use
    inside=freethreaded ROOT_WRITABLE=("$work")
    python=$FREETHREADED/bin/python3.13t
    requirements=requirements-test-freethreaded.txt
    # The interpreter's lock stays off whatever the test tools import; that
    # the module alone leaves it off is a test of the suite.
    suite_env="$suite_env PYTHON_GIL=0"
    wheel_suite "$python" "$(wheel_of cp313-cp313t x86_64)"
    # pip offers the abi3 wheel to no free-threaded interpreter, but the
    # interpreter still loads the module when it finds it.
    echo "--- the abi3 module under the free-threaded interpreter"
    run "$python" -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extract("tolvi.abi3.so", sys.argv[2])' \
        "$(wheel_of cp312-abi3 x86_64)" "$work/abi3"
    refused=$(run "$python" -P -c "import sys; sys.path.insert(0, '$work/abi3')
try:
    import tolvi
except ImportError as error:
    print(error)" 2>&1)
    expected="this tolvi module is built for the stable ABI (abi3), which a free-threaded CPython"
    expected="$expected cannot load; install tolvi's wheel for this interpreter, tagged cp313t"
    [ "$refused" = "$expected" ] || {
        echo "the abi3 module under the free-threaded interpreter: $refused" >&2
        exit 1
    }
    echo "$refused"
    ;;
musl)
    [ $# = 1 ] || { echo "usage: $0 DIST musl PYTHON" >&2; exit 2; }
    musl_python_use
    inside=musl ROOT_WRITABLE=("$work")
    python=$MUSL_PYTHON/bin/python3.13
    # That interpreter has no ssl: the test tools are fetched here, for its
    # platform, by PYTHON's pip.
    wheelhouse=$work/wheelhouse
    "$1" -m pip download -q --only-binary=:all: --platform musllinux_1_2_x86_64 --python-version 3.13 \
        -d "$wheelhouse" pip -r requirements-test.txt
    base_env "$python"
    echo "--- $(run "$python" -c 'import sys; print("CPython", sys.version.split()[0], "on musl", end="")'
    ) $(run "$base/bin/python" -c 'from pip._internal.utils.compatibility_tags import get_supported
print("takes", next(str(t) for t in get_supported() if "musllinux" in str(t)))')"
    side_by_side own wheel_suite "$python" "$(wheel_of cp313-cp313 musllinux_1_2_x86_64)"
    side_by_side abi3 wheel_suite "$python" "$(wheel_of cp312-abi3 musllinux_1_2_x86_64)"
    all_sides
    ;;
windows)
    [ $# = 1 ] || { echo "usage: $0 DIST windows PYTHON" >&2; exit 2; }
    host_python=$1
    for version in 3.12 3.13 3.14; do
        windows_python_use "$version" "$host_python"
        eval "kit_cp${version/./}=\$WINDOWS_PYTHON"
    done
    for version in 3.12 3.13 3.14; do
        side_by_side "windows-$version" windows_suite "$version"
    done
    all_sides
    ;;
*)
    echo "$0: the leg is host, amd64, arm64, freethreaded, musl or windows, not $leg" >&2
    exit 2
    ;;
esac
echo "--- the $leg leg: $(($(date +%s) - started)) s"
