# Debian unstable roots, for the interpreters this machine's own Debian does not
# carry (CPython 3.14 and 3.15, and CPython on musl libc) and for 64-bit Arm.
# Sourced by the bash scripts that build, test and benchmark in them; needs
# root, mmdebstrap, bwrap (Debian's bubblewrap) and the mirror this machine's
# apt sources name.
#
# Nothing here mounts anything the machine can see, even where its mounts are
# shared (systemd's). A script that uses a root runs, as root, as the first
# process of a pid and a mount namespace of its own (contained): its mounts are
# private to it, and whatever it starts dies with it, however it ends (SIGKILL
# included). mmdebstrap builds a root in a private mount namespace of its own,
# and bwrap runs every command inside a root in a new one, with a /dev and a
# /proc of its own, the root and the work tree bound read-only, and only the
# folders a step writes bound writable. The kernel tears such a namespace down
# with its last process, so no mount outlives it and no `rm -rf` of a root can
# reach through one into the work tree or the machine's /dev.
#
#   contained [--emulation] SCRIPT ARGS...
#                                    SCRIPT run again in namespaces of its own
#   job_lock JOB                     one run of JOB at a time in this work tree
#   dist_lock DIST -s|-x             DIST read (shared) or written (alone)
#   beside LOG COMMAND...            COMMAND in the background, stopped with the
#                                    run; its pid in BESIDE
#   release_dates                    SOURCE_DATE_EPOCH, from the last commit
#   root_use NAME                    the root NAME ready, kept while whole and
#                                    fresh, else built anew
#   root_run NAME COMMAND...         COMMAND inside, in the work tree, with a clean
#                                    environment; the folders of the arrays
#                                    ROOT_READABLE and ROOT_WRITABLE bound in,
#                                    read-only and writable, and those of
#                                    ROOT_BINDS (FROM=TO) writable at TO
#   root_or_here NAME COMMAND...     the same, or COMMAND here when NAME is empty
#   root_dir NAME                    the folder of the root NAME, once in use
#   python_tag NAME PYTHON           PYTHON's ABI tag (cp314, cp313t), asked there
#   emulation_start                  aarch64 binaries run through the unstable
#                                    suite's emulator, until the run ends
#   remove_unmounted DIR...          DIR deleted, unless anything is mounted at
#                                    or below it
#   freethreaded_use                 the free-threaded CPython 3.13 built from the
#                                    root freethreaded's source, or reused from
#                                    the cache; in ROOT_BINDS at FREETHREADED
#   musl_python_use                  CPython 3.13 on musl libc built from the
#                                    root musl's sources, or reused from the
#                                    cache; in ROOT_BINDS at MUSL_PYTHON, here
#                                    at MUSL_PYTHON_HERE
#
# The roots, each in the cache outside the work tree (TOLVI_CACHE, else
# ~/.cache/tolvi), in roots/NAME-KEY, KEY named for its recipe, so that every
# clone and CI run on the machine shares them:
#   amd64     CPython 3.14 and 3.15 with their headers, g++, and the downloaded
#             aarch64 headers of CPython 3.13 to 3.15 (in /opt/tolvi-downloads):
#             the wheels of 3.14 and 3.15, their tests and their benchmarks
#   arm64     CPython 3.13 to 3.15 of 64-bit Arm, run under emulation
#   emulator  the unstable suite's qemu-user, unpacked only
#   freethreaded
#             the compiler and libraries CPython's build needs, and the stable
#             suite's CPython 3.13 source (in /opt/tolvi-downloads), from which
#             tools/release/build_freethreaded.sh builds the free-threaded interpreter
#   musl      musl-gcc, and the stable suite's sources of CPython 3.13, zlib and
#             libffi (in /opt/tolvi-downloads), from which tools/release/build_musl_python.sh
#             builds CPython 3.13 on musl libc, for the musllinux wheels
#
# A root is whole when its build ended: mmdebstrap fills NAME-KEY.partial, which
# is renamed to NAME-KEY, and only then is NAME-KEY.stamp written, with the time,
# the sha256 of the root's package list and the recipe. Whatever a killed build
# left is never trusted: the next run removes it and builds again. A root is kept
# while its packages are as stamped and it is less than a day old; older ones of
# other recipes are removed when no run uses them. Its /root is NAME-KEY.home,
# which keeps pip's and Zig's caches.
#
# An ordinary user may build and use the roots amd64 and emulator (mmdebstrap
# and bwrap make a user namespace for it, with the user's subordinate ids from
# /etc/subuid and /etc/subgid); the emulation of arm64 registers the emulator
# with the kernel, which needs root. Such a run is not contained: what it
# starts in the background stops when it ends (beside), and inside a root
# bwrap kills what runs there when its caller dies.
#
# Each root has a lock: a run that uses it holds it shared, one that builds or
# removes it holds it alone, so that a second run never takes a root from
# under the first.

# tolvi_cache: the folder the interpreters and tools built here are kept in,
# outside the work tree, for later runs and clones.
tolvi_cache() {
    echo "${TOLVI_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tolvi}"
}

# short_key TEXT: 16 hex digits of the sha256 of TEXT and a line end, for the
# names of a root's recipe, a lock's folder or a registration's work tree.
short_key() {
    printf '%s\n' "$1" | sha256sum | cut -c 1-16
}

ROOTS=$(tolvi_cache)/roots
ROOTS_LOCKS=build/locks
ROOTS_DOWNLOADS=/opt/tolvi-downloads
ROOTS_MAX_AGE=86400
ROOTS_BINFMT=/proc/sys/fs/binfmt_misc

# The Debian mirror of this machine's apt sources (deb822 or one-line format).
debian_mirror() {
    {
        sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' /etc/apt/sources.list.d/*.sources
        sed -n 's/^deb[[:space:]]\{1,\}\(\[[^]]*\][[:space:]]*\)\{0,1\}\([^[:space:]]*\).*/\2/p' \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list
    } 2>/dev/null | grep -v -e security -e '^$' | head -n 1
}

# release_dates: SOURCE_DATE_EPOCH exported, the dates of the files we publish:
# those of the last commit, unless the caller names others; outside a git
# checkout the caller must.
release_dates() {
    if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
        SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || {
            echo "this is no git checkout: name the dates of the files with SOURCE_DATE_EPOCH=SECONDS" >&2
            exit 1
        }
    fi
    export SOURCE_DATE_EPOCH
}

# release_sdist PYTHON SOURCE OUT: the sdist, into OUT, made by PYTHON (with
# the build tools) from the last commit, which git archive writes to SOURCE; a
# change of the work tree that it leaves out is named. Outside a git checkout,
# from the work tree as it is.
release_sdist() {
    local source=. changed
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        source=$2
        remove_unmounted "$source"
        mkdir -p "$source"
        git archive HEAD | tar -x -C "$source"
        changed=$(git status --porcelain --untracked-files=all)
        [ -z "$changed" ] ||
            printf '%s\n' "the sdist is made from the last commit, without these changes:" "$changed"
    fi
    "$1" -m build -q --sdist --no-isolation --outdir "$3" "$source"
}

# lock_file NAME: the lock file NAME of this work tree, its folder made.
lock_file() {
    mkdir -p "$ROOTS_LOCKS"
    echo "$ROOTS_LOCKS/$1.lock"
}

# job_lock JOB: this run is the only one of JOB in this work tree, or it stops
# and says so. The lock is held until this run and all it started have ended.
job_lock() {
    local lock fd
    lock=$(lock_file "$1")
    exec {fd}>"$lock"
    flock -n "$fd" || {
        echo "another run of $1 is going on in this work tree (it holds $lock):" \
            "wait for it to end, or stop it" >&2
        exit 1
    }
}

# dist_lock DIST -s|-x: DIST, where the release files are, held shared by a run
# that reads them, or alone by the one that writes them, until this run ends;
# a run that must wait says so.
dist_lock() {
    local lock fd
    lock=$(lock_file "dist-$(short_key "$(realpath -m -- "$1")")")
    exec {fd}>"$lock"
    flock -n "$2" "$fd" || {
        echo "--- waiting for another run that uses $1 (it holds $lock)"
        flock "$2" "$fd"
    }
}

# contained [--emulation] SCRIPT ARGS...: as root, SCRIPT is run again as the
# first process of a pid namespace and of a private mount namespace of its own
# (with a /proc of that pid namespace, which bwrap reads):
# whatever it starts dies with it however it ends (when the first process of a
# pid namespace ends, the kernel kills the others; unshare kills it when killed
# itself), and no mount it makes reaches the machine. For --emulation, where
# Linux gives each user namespace a binfmt_misc of its own (6.7 and later), in
# a user namespace too, which maps every id onto itself: the emulator's entry
# is then this run's alone, and goes with it. An ordinary user's run goes on as
# it is, but emulation needs root.
contained() {
    local emulation= flags tries=0
    [ "$1" != --emulation ] || { emulation=1; shift; }
    if [ -n "${TOLVI_CONTAINED:-}" ]; then
        # The first process of a pid namespace takes only the signals it
        # handles: an interrupt or a stop ends the run, as it would elsewhere.
        trap 'exit 130' INT
        trap 'exit 143' TERM
        # The ids are mapped from outside once the namespace exists.
        while [ -n "${TOLVI_USER_NAMESPACE:-}" ] && ! grep -q . /proc/self/uid_map; do
            tries=$((tries + 1))
            [ $tries -lt 400 ] || { echo "the run's user namespace got no ids" >&2; exit 1; }
            sleep 0.05
        done
        return 0
    fi
    if [ "$(id -u)" != 0 ]; then
        [ -z "$emulation" ] || {
            echo "emulating arm64 needs root (it registers the emulator with the kernel);" \
                "\`make test-dist-amd64\` works as any user" >&2
            exit 1
        }
        return 0
    fi
    export TOLVI_CONTAINED=1
    flags=(--mount --propagation private --pid --fork --kill-child --mount-proc)
    if [ -n "$emulation" ] && binfmt_per_user_namespace; then
        export TOLVI_USER_NAMESPACE=1
        identity_maps $$ &
        exec unshare --user "${flags[@]}" "$@"
    fi
    exec unshare "${flags[@]}" "$@"
}

# binfmt_per_user_namespace: this kernel gives each user namespace a
# binfmt_misc of its own (Linux 6.7 and later), unless TOLVI_BINFMT=machine
# asks for the machine's one, as on an older kernel.
binfmt_per_user_namespace() {
    local release major minor
    [ "${TOLVI_BINFMT:-}" != machine ] || return 1
    release=$(uname -r)
    major=${release%%.*} minor=${release#*.}
    minor=${minor%%[!0-9]*}
    [ "$major" -gt 6 ] || { [ "$major" = 6 ] && [ "${minor:-0}" -ge 7 ]; }
}

# identity_maps PID: once PID is in a user namespace of its own, every user and
# group id is mapped onto itself there (root may map any).
identity_maps() {
    local tries=0
    while [ "$(readlink "/proc/$1/ns/user")" = "$(readlink /proc/self/ns/user)" ]; do
        tries=$((tries + 1))
        [ $tries -lt 400 ] || return 1
        sleep 0.05
    done
    echo "0 0 4294967295" >"/proc/$1/uid_map"
    echo "0 0 4294967295" >"/proc/$1/gid_map"
}

# at_exit COMMAND: COMMAND evaluated when the run ends, the latest first; the
# run keeps its status.
ROOTS_AT_EXIT=()
at_exit() {
    ROOTS_AT_EXIT=("$1" "${ROOTS_AT_EXIT[@]}")
    trap 'run_at_exit $?' EXIT
}
run_at_exit() {
    local command
    for command in "${ROOTS_AT_EXIT[@]}"; do eval "$command" || true; done
    exit "$1"
}

# beside LOG COMMAND...: COMMAND (a function too) started in the background, in a
# process group of its own, its output in LOG and its pid in BESIDE; when the
# run ends, failed or not, whatever of it still runs is stopped, group and all.
beside() {
    local log=$1
    shift
    set -m
    (
        set +m
        "$@"
    ) >"$log" 2>&1 &
    BESIDE=$!
    set +m
    at_exit "kill -- -$BESIDE 2>/dev/null && wait $BESIDE"
}

# remove_unmounted [--roots] DIR...: each DIR deleted, unless anything is
# mounted at or below it (tools/release/remove_unmounted.sh); with --roots as the owner
# of the roots' files.
remove_unmounted() {
    if [ "$1" = --roots ]; then
        shift
        as_roots_owner tools/release/remove_unmounted.sh "$@"
    else
        tools/release/remove_unmounted.sh "$@"
    fi
}

# stable_source_hook [OPTION...] PACKAGE...: the customize hook of mmdebstrap
# that downloads the stable suite's sources of PACKAGE... into ROOTS_DOWNLOADS,
# apt-get source given OPTION....
stable_source_hook() {
    echo "--customize-hook=echo 'deb-src $(debian_mirror) trixie main'" \
        ">\"\$1/etc/apt/sources.list.d/stable-source.list\" &&" \
        "chroot \"\$1\" apt-get update -q && mkdir -p \"\$1$ROOTS_DOWNLOADS\" &&" \
        "chroot \"\$1\" sh -c 'cd $ROOTS_DOWNLOADS && apt-get source -q --download-only $*'"
}

# root_recipe NAME: the arguments of mmdebstrap that build the root NAME, one a
# line.
root_recipe() {
    echo "--aptopt=Acquire::Check-Valid-Until \"false\""
    case $1 in
    amd64)
        echo --variant=minbase
        echo --architectures=amd64,arm64
        echo --include=python3.14,python3.14-venv,python3.14-dev,python3.15,python3.15-venv,python3.15-dev,g++,ca-certificates
        # The aarch64 headers the cross-compiled wheels are built against.
        echo "--customize-hook=mkdir -p \"\$1$ROOTS_DOWNLOADS\" && chroot \"\$1\" sh -c" \
            "'cd $ROOTS_DOWNLOADS && apt-get download -q libpython3.13-dev:arm64" \
            "libpython3.14-dev:arm64 libpython3.15-dev:arm64'"
        ;;
    arm64)
        echo --variant=minbase
        echo --architectures=arm64
        # The emulator is this project's binfmt entry (emulation_start), which
        # mmdebstrap's check does not know by its name.
        echo --skip=check/qemu
        echo --include=python3.13,python3.13-venv,python3.14,python3.14-venv,python3.15,python3.15-venv,ca-certificates
        ;;
    freethreaded)
        echo --variant=minbase
        # What CPython's own build needs for the modules pip and the tests use.
        echo --include=build-essential,libffi-dev,libssl-dev,zlib1g-dev,libbz2-dev,liblzma-dev,libsqlite3-dev,uuid-dev,xz-utils,ca-certificates
        # The stable suite's CPython 3.13 source, which the unstable suite no
        # longer carries (tools/release/build_freethreaded.sh builds it).
        stable_source_hook python3.13
        ;;
    musl)
        echo --variant=minbase
        # musl-gcc sees musl's headers alone, not those of the root's -dev
        # packages, so zlib and libffi are built from source beside CPython
        # (tools/release/build_musl_python.sh builds the three). Their upstream
        # tarballs alone: they are all the build reads, and the mirror may lack
        # the Debian files of a stable update (zlib's). libffi's tarball is its
        # repository's: autoconf, automake and libtool (with libltdl's macros)
        # make its configure script.
        echo --include=build-essential,musl-tools,musl-dev,xz-utils,ca-certificates,autoconf,automake,libtool,libltdl-dev
        stable_source_hook --tar-only python3.13 zlib libffi
        ;;
    emulator)
        echo --variant=extract
        echo --include=qemu-user
        ;;
    *)
        echo "no root named $1" >&2
        return 1
        ;;
    esac
}


# root_dir NAME: the folder of the root NAME that root_use made ready.
declare -A ROOTS_IN_USE
root_dir() {
    [ -n "${ROOTS_IN_USE[$1]:-}" ] || { echo "root_dir $1: root_use $1 first" >&2; return 1; }
    echo "${ROOTS_IN_USE[$1]}"
}

# root_packages DIR: the sha256 of the package list of the root in DIR (none
# for one only unpacked).
root_packages() {
    cat "$1/var/lib/dpkg/status" 2>/dev/null | sha256sum | cut -c 1-64
}

# root_whole DIR RECIPE: DIR was built to RECIPE, to the end, less than
# ROOTS_MAX_AGE seconds ago, and its packages are those it was built with.
root_whole() {
    local stamp=$1.stamp
    [ -f "$stamp" ] && [ -d "$1" ] || return 1
    [ "$(tail -n +3 "$stamp")" = "$2" ] || return 1
    [ $(($(date +%s) - $(head -n 1 "$stamp"))) -lt "$ROOTS_MAX_AGE" ] || return 1
    [ "$(sed -n 2p "$stamp")" = "packages $(root_packages "$1")" ]
}

# as_roots_owner COMMAND...: COMMAND as the owner of the roots' files: root, or
# for an ordinary user the root of a user namespace mapped onto the user's
# subordinate ids, as mmdebstrap made them.
as_roots_owner() {
    if [ "$(id -u)" = 0 ]; then "$@"; else unshare --map-auto --map-root-user "$@"; fi
}

# root_use NAME: the root NAME whole and fresh, built when it is not; held
# shared, for as long as this run lasts.
root_use() {
    local recipe dir fd
    # A second lock of the same file would wait for this run's own first one.
    [ -z "${ROOTS_IN_USE[$1]:-}" ] || return 0
    recipe=$(root_recipe "$1") || return 1
    dir=$ROOTS/$1-$(short_key "$recipe")
    mkdir -p "$ROOTS"
    exec {fd}>"$dir.lock"
    flock -n -s "$fd" || {
        echo "--- waiting for another run, which builds $dir"
        flock -s "$fd"
    }
    if ! root_whole "$dir" "$recipe"; then
        # Built anew, by this run alone: those that use it now end first.
        flock -n -x "$fd" || {
            echo "--- waiting for the other runs that use $dir to end"
            flock -x "$fd"
        }
        if ! root_whole "$dir" "$recipe"; then
            root_build "$1" "$dir" "$recipe" || return 1
        fi
        flock -s "$fd"
    fi
    ROOTS_IN_USE[$1]=$dir
    roots_prune "$1" "$dir"
}

# roots_prune NAME DIR: the roots NAME of other recipes than DIR's, stale and
# used by no run, removed.
roots_prune() {
    local other fd
    for other in "$ROOTS/$1"-*.stamp; do
        other=${other%.stamp}
        [ -f "$other.stamp" ] && [ "$other" != "$2" ] || continue
        [ $(($(date +%s) - $(head -n 1 "$other.stamp"))) -ge "$ROOTS_MAX_AGE" ] || continue
        exec {fd}>"$other.lock"
        if flock -n -x "$fd"; then
            rm -f "$other.stamp"
            remove_unmounted --roots "$other" "$other.partial" "$other.home" || true
        fi
        exec {fd}>&-
    done
}

# root_build NAME DIR RECIPE: the unstable suite built to RECIPE, into
# DIR.partial and then renamed to DIR.
root_build() {
    local dir=$2 mirror begun arguments private=()
    mirror=$(debian_mirror)
    [ -n "$mirror" ] || { echo "no Debian mirror in this machine's apt sources" >&2; return 1; }
    rm -f "$dir.stamp"
    remove_unmounted --roots "$dir.partial" "$dir" || return 1
    mkdir -p "$dir.home"
    echo "--- the root $1 in $dir (Debian unstable)"
    begun=$(date +%s)
    mapfile -t arguments <<<"$3"
    # mmdebstrap mounts what the packages' scripts need in a mount namespace of
    # its own, as root without a user namespace; a private one, which nothing
    # it mounts leaves, whatever the machine's propagation.
    [ "$(id -u)" != 0 ] || private=(unshare --mount --propagation private)
    "${private[@]}" mmdebstrap --mode=unshare "${arguments[@]}" sid "$dir.partial" "$mirror" \
        >"$dir.log" 2>&1 || { tail -n 20 "$dir.log" >&2; return 1; }
    mv "$dir.partial" "$dir"
    { date +%s; echo "packages $(root_packages "$dir")"; echo "$3"; } >"$dir.stamp.new"
    mv "$dir.stamp.new" "$dir.stamp"
    echo "--- the root $1 built in $(($(date +%s) - begun)) s"
}

# root_run [--bind FROM=TO]... NAME COMMAND...: COMMAND in the work tree inside
# the root, as the caller (root, or an ordinary user, to whom the root's files
# then belong to nobody), with none of this machine's environment (its pip
# settings name folders the root lacks) but SOURCE_DATE_EPOCH. The root and the
# work tree are read-only there, but for the folders of ROOT_WRITABLE (in the
# work tree or anywhere); those of ROOT_READABLE outside the work tree are bound
# read-only. The work tree has the path it has here, as have those folders, so
# that a path means the same inside and out (Zig's
# cache, shared by the wheels built here and there, keys on its paths); the
# folders of ROOT_BINDS and of each --bind, FROM=TO, are bound writable at TO.
# The machine's name server and certificate authorities are the root's.
root_run() {
    local binds=("${ROOT_BINDS[@]}") dir place bind from to
    while [ "$1" = --bind ]; do
        binds+=("$2")
        shift 2
    done
    dir=$(root_dir "$1") || return 1
    shift
    local options=(--ro-bind "$dir" / --bind "$dir.home" /root --dev /dev --proc /proc --tmpfs /tmp
        --unshare-pid --die-with-parent --ro-bind-try /etc/resolv.conf /etc/resolv.conf
        --ro-bind-try /etc/ssl/certs/ca-certificates.crt /etc/ssl/certs/ca-certificates.crt
        --ro-bind "$PWD" "$PWD")
    # Every place bound into the read-only root is made first, by the owner
    # of its files.
    root_place "$dir" "$PWD"
    for place in "${ROOT_READABLE[@]}"; do
        place=$(realpath "$place")
        root_place "$dir" "$place"
        options+=(--ro-bind "$place" "$place")
    done
    for place in "${ROOT_WRITABLE[@]}"; do
        mkdir -p "$place"
        place=$(realpath "$place")
        root_place "$dir" "$place"
        options+=(--bind "$place" "$place")
    done
    for bind in "${binds[@]}"; do
        from=${bind%%=*} to=${bind#*=}
        root_place "$dir" "$to"
        options+=(--bind "$from" "$to")
    done
    options+=(--chdir "$PWD" --clearenv --setenv PATH /usr/local/bin:/usr/bin:/bin
        --setenv HOME /root --setenv LANG C.UTF-8)
    [ -z "${SOURCE_DATE_EPOCH:-}" ] || options+=(--setenv SOURCE_DATE_EPOCH "$SOURCE_DATE_EPOCH")
    bwrap "${options[@]}" "$@"
}
ROOT_READABLE=()
ROOT_WRITABLE=()
ROOT_BINDS=()

# root_place DIR PATH: the folder PATH made in the root in DIR, when it lacks
# it (one under /root is made by bwrap in the root's home).
root_place() {
    case $2 in /root | /root/* | /tmp | /tmp/*) return 0 ;; esac
    [ -d "$1$2" ] || as_roots_owner mkdir -p "$1$2"
}

# root_or_here NAME COMMAND...: COMMAND inside the root NAME, or here when NAME
# is empty, for the scripts that run the same steps in both places.
root_or_here() {
    local name=$1
    shift
    if [ -n "$name" ]; then root_run "$name" "$@"; else "$@"; fi
}

# python_tag NAME PYTHON: the ABI tag of PYTHON's own wheels (cp314, or cp313t
# for a free-threaded one), as root_or_here runs it.
python_tag() {
    root_or_here "$1" "$2" -c 'import sys, sysconfig
print("cp%d%d" % sys.version_info[:2] + ("t" if sysconfig.get_config_var("Py_GIL_DISABLED") else ""))'
}

# emulation_start: binaries of aarch64 run through the unstable suite's
# emulator (the root emulator), also inside a root: the kernel opens the
# emulator now (flag F), so a root needs no copy. In a run contained
# --emulation, binfmt_misc is mounted in its own namespaces: where the kernel
# gives its user namespace an instance of its own, the entry is this run's
# alone and goes with it; else the instance is the machine's, and the entry,
# named for this work tree, is removed when the run ends (a SIGKILL leaves it,
# until the next run of this tree replaces it: `echo -1 >ENTRY` removes it).
emulation_start() {
    local qemu entry magic mask
    [ -n "${TOLVI_CONTAINED:-}" ] ||
        { echo "emulation_start: not in a run of its own (contained --emulation)" >&2; return 1; }
    root_use emulator || return 1
    qemu=$(realpath "$(root_dir emulator)/usr/bin/qemu-aarch64")
    mount -t binfmt_misc binfmt_misc "$ROOTS_BINFMT"
    entry=tolvi-aarch64-$(short_key "$PWD")
    if [ -z "${TOLVI_USER_NAMESPACE:-}" ]; then
        [ ! -e "$ROOTS_BINFMT/$entry" ] || echo -1 >"$ROOTS_BINFMT/$entry"
        at_exit "[ ! -e '$ROOTS_BINFMT/$entry' ] || echo -1 >'$ROOTS_BINFMT/$entry'"
    fi
    magic='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00'
    mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    printf ':%s:M::%s:%s:%s:F\n' "$entry" "$magic" "$mask" "$qemu" >"$ROOTS_BINFMT/register"
}

# root_source NAME GLOB: the one source tarball GLOB that the root NAME
# downloaded, or a failure that says so.
root_source() {
    set -- "$1" "$2" "$(root_dir "$1")$ROOTS_DOWNLOADS"/$2
    [ $# = 3 ] && [ -f "$3" ] || { echo "no single $2 in the root $1" >&2; return 1; }
    echo "$3"
}

# The free-threaded interpreter: CPython 3.13 built with --disable-gil, in the
# root freethreaded, from the stable suite's source, into FREETHREADED, its
# prefix inside a root; with tsan, built with ThreadSanitizer too, into
# FREETHREADED_TSAN, with the suppressions CPython ships for free-threading
# beside it (TSAN_SUPPRESSIONS). The build is kept outside the work tree
# (TOLVI_CACHE, else ~/.cache/tolvi), in a folder named for the source's
# sha256, so that a clean checkout on the same machine reuses it; a build is
# written to a .partial folder and renamed when whole, so a killed one is never
# trusted. The sanitized interpreter's own build runs it with CPython's
# suppressions and reports only into its log.
FREETHREADED=/opt/python3.13t
FREETHREADED_TSAN=/opt/python3.13t-tsan
TSAN_SUPPRESSIONS=$FREETHREADED_TSAN/suppressions_free_threading.txt
freethreaded_use() {
    local cache source sha prefix fd begun name=python3.13t at=$FREETHREADED
    local configure=--disable-gil what="the free-threaded CPython 3.13" before=true after=true
    if [ "${1:-}" = tsan ]; then
        name=python3.13t-tsan at=$FREETHREADED_TSAN configure="--disable-gil --with-thread-sanitizer"
        what="$what with ThreadSanitizer"
        before="export TSAN_OPTIONS=\"suppressions=\$PWD/Tools/tsan/suppressions_free_threading.txt exitcode=0\""
        after="cp Tools/tsan/suppressions_free_threading.txt $at/"
    fi
    root_use freethreaded || return 1
    cache=$(tolvi_cache)
    source=$(root_source freethreaded 'python3.13_*.orig.tar.xz') || return 1
    sha=$(sha256sum "$source" | cut -c 1-64)
    prefix=$cache/$name-$sha
    mkdir -p "$cache"
    begun=$(date +%s)
    exec {fd}>"$cache/$name.lock"
    flock -x "$fd"
    if [ ! -x "$prefix/bin/python3.13t" ]; then
        echo "--- $what from $(basename "$source") (sha256 $sha)"
        remove_unmounted "$prefix.partial" || return 1
        mkdir -p "$prefix.partial"
        root_run --bind "$prefix.partial=$at" freethreaded sh -c "set -e
            cd /tmp && tar -xf '${source#"$(root_dir freethreaded)"}' && cd Python-3.13.*
            $before
            ./configure $configure --prefix=$at
            make -j$(nproc)
            make install
            $after" >"$prefix.log" 2>&1 || {
            tail -n 30 "$prefix.log" >&2
            return 1
        }
        mv "$prefix.partial" "$prefix"
        echo "--- $what built in $(($(date +%s) - begun)) s (cold)"
    else
        echo "--- $what of $prefix reused in $(($(date +%s) - begun)) s (warm)"
    fi
    flock -u "$fd"
    ROOT_BINDS+=("$prefix=$at")
}

# CPython 3.13 on musl libc, under which the musllinux wheels are tested: built
# in the root musl with musl-gcc, from the stable suite's sources of CPython
# 3.13, zlib and libffi, into MUSL_PYTHON, its prefix inside a root. musl-gcc
# sees musl's headers alone, so zlib, which the zlib module (pip's wheels,
# Hypothesis) cannot do without, and libffi, which ctypes (Dask's workers)
# cannot, are built first, static and position independent, for the modules
# to link into themselves (libffi without its static trampolines, whose code
# wants the kernel's headers, and made in the folder its configure names for
# the host: its top folder's Makefile names the system's compiler's); the
# modules of the other libraries (ssl, sqlite3, bz2, lzma...) are left out: the
# test tools come from wheels downloaded beforehand, which pip installs
# without them. CPython's build skips a module
# whose library it does not find without a word, so the interpreter is asked
# for zlib and ctypes before the build is trusted. musl-gcc hands
# --print-multiarch to the system's compiler, whose glibc triplet configure
# would take for a second one and stop on; the compiler it is given answers
# nothing. Kept as the free-threaded build is, in a folder named for the
# sha256 of the three sources and of the commands that build them.
MUSL_PYTHON=/opt/python3.13-musl
musl_python_use() {
    local cache python zlib ffi build sha prefix fd begun inside
    root_use musl || return 1
    cache=$(tolvi_cache)
    python=$(root_source musl 'python3.13_*.orig.tar.xz') || return 1
    zlib=$(root_source musl 'zlib_*.orig.tar.[gx]z') || return 1
    ffi=$(root_source musl 'libffi_*.orig.tar.[gx]z') || return 1
    # Run as sh -c BUILD sh PYTHON ZLIB PREFIX JOBS FFI, PYTHON, ZLIB and FFI
    # the sources' paths inside the root.
    build='set -e
        mkdir /tmp/zlib-source /tmp/ffi-source /tmp/python-source
        tar -xf "$2" -C /tmp/zlib-source --strip-components=1
        tar -xf "$5" -C /tmp/ffi-source --strip-components=1
        tar -xf "$1" -C /tmp/python-source --strip-components=1
        cd /tmp/zlib-source
        CC=musl-gcc CFLAGS=-fPIC ./configure --static --prefix=/tmp/zlib
        make -j"$4"
        make install
        cd /tmp/ffi-source
        autoreconf -fi
        CC=musl-gcc CFLAGS="-O2 -fPIC" ./configure --disable-shared --enable-static --disable-docs \
            --disable-exec-static-tramp --build=x86_64-pc-linux-musl --host=x86_64-pc-linux-musl \
            --prefix=/tmp/ffi --libdir=/tmp/ffi/lib
        make -C x86_64-pc-linux-musl -j"$4"
        make -C x86_64-pc-linux-musl install
        echo "#!/bin/sh" >/tmp/musl-cc
        echo "case \$* in --print-multiarch) exit 0 ;; esac" >>/tmp/musl-cc
        echo "exec musl-gcc \"\$@\"" >>/tmp/musl-cc
        chmod +x /tmp/musl-cc
        cd /tmp/python-source
        ./configure CC=/tmp/musl-cc PKG_CONFIG=/bin/false CPPFLAGS=-I/tmp/zlib/include \
            LDFLAGS=-L/tmp/zlib/lib LIBFFI_CFLAGS=-I/tmp/ffi/include \
            LIBFFI_LIBS="-L/tmp/ffi/lib -lffi" --without-ensurepip --disable-test-modules --prefix="$3"
        make -j"$4"
        make install'
    sha=$({
        sha256sum "$python" | cut -c 1-64
        sha256sum "$zlib" | cut -c 1-64
        sha256sum "$ffi" | cut -c 1-64
        echo "$build"
    } | sha256sum | cut -c 1-64)
    prefix=$cache/python3.13-musl-$sha
    mkdir -p "$cache"
    begun=$(date +%s)
    exec {fd}>"$cache/python3.13-musl.lock"
    flock -x "$fd"
    if [ ! -x "$prefix/bin/python3.13" ]; then
        echo "--- CPython 3.13 on musl libc from $(basename "$python"), $(basename "$zlib") and $(basename "$ffi") (sha256 $sha)"
        remove_unmounted "$prefix.partial" || return 1
        mkdir -p "$prefix.partial"
        inside=$(root_dir musl)
        root_run --bind "$prefix.partial=$MUSL_PYTHON" musl sh -c "$build" sh \
            "${python#"$inside"}" "${zlib#"$inside"}" "$MUSL_PYTHON" "$(nproc)" \
            "${ffi#"$inside"}" >"$prefix.log" 2>&1 || {
            tail -n 30 "$prefix.log" >&2
            return 1
        }
        root_run --bind "$prefix.partial=$MUSL_PYTHON" musl "$MUSL_PYTHON/bin/python3.13" -c '
import ctypes, sysconfig, zlib
soabi = sysconfig.get_config_var("SOABI")
assert soabi.endswith("-linux-musl"), "not built on musl libc: " + soabi' || {
            echo "CPython 3.13 on musl libc, in $prefix.partial, does not run or has no zlib or ctypes" \
                "(its build log: $prefix.log)" >&2
            return 1
        }
        mv "$prefix.partial" "$prefix"
        echo "--- CPython 3.13 on musl libc built in $(($(date +%s) - begun)) s (cold)"
    else
        echo "--- CPython 3.13 on musl libc of $prefix reused in $(($(date +%s) - begun)) s (warm)"
    fi
    flock -u "$fd"
    ROOT_BINDS+=("$prefix=$MUSL_PYTHON")
    MUSL_PYTHON_HERE=$prefix
}
