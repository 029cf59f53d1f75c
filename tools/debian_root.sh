# Debian unstable roots, for the interpreters this machine's own Debian does not
# carry (CPython 3.14 and 3.15, and CPython on musl libc) and for 64-bit Arm.
# Sourced by the bash scripts that build, test and benchmark in them; needs
# root, mmdebstrap, bwrap (Debian's bubblewrap) and the mirror this machine's
# apt sources name.
#
# Nothing here mounts anything the machine can see. mmdebstrap builds a root in
# a mount namespace of its own, and bwrap runs every command inside a root in a
# new one, with a /dev and a /proc of its own, the work tree bound read-only at
# its own path and only the folders a step writes bound writable. The kernel tears
# such a namespace down with its last process, however the run ends (a signal,
# SIGKILL, a power cut), so no mount outlives it and no `rm -rf` of a root can
# reach through one into the work tree or the machine's /dev. No trap undoes
# anything: there is nothing to undo.
#
#   job_lock JOB                     one run of JOB at a time in this work tree
#   release_dates                    SOURCE_DATE_EPOCH, from the last commit
#   root_use NAME                    the root NAME ready, kept while whole and
#                                    fresh, else built anew
#   root_run NAME COMMAND...         COMMAND inside, in the work tree, with a clean
#                                    environment; the folders of ROOT_WRITABLE
#                                    (relative to the work tree) writable, and
#                                    those of ROOT_BINDS (FROM=TO) bound in
#   root_or_here NAME COMMAND...     the same, or COMMAND here when NAME is empty
#   python_tag NAME PYTHON           PYTHON's ABI tag (cp314, cp313t), asked there
#   own_mount_namespace SCRIPT ARGS  SCRIPT run again in a mount namespace of its
#                                    own, for what emulation mounts
#   emulation_start                  aarch64 binaries run through the unstable
#                                    suite's emulator, until the namespace ends
#   freethreaded_use                 the free-threaded CPython 3.13 built from the
#                                    root freethreaded's source, or reused from
#                                    the cache; in ROOT_BINDS at FREETHREADED
#   musl_python_use                  CPython 3.13 on musl libc built from the
#                                    root musl's sources, or reused from the
#                                    cache; in ROOT_BINDS at MUSL_PYTHON, here
#                                    at MUSL_PYTHON_HERE
#
# The roots, each in build/roots/NAME:
#   amd64     CPython 3.14 and 3.15 with their headers, g++, and the downloaded
#             aarch64 headers of CPython 3.13 to 3.15 (in /opt/tolvi-downloads):
#             the wheels of 3.14 and 3.15, their tests and their benchmarks
#   arm64     CPython 3.13 to 3.15 of 64-bit Arm, run under emulation
#   emulator  the unstable suite's qemu-user, unpacked only
#   freethreaded
#             the compiler and libraries CPython's build needs, and the stable
#             suite's CPython 3.13 source (in /opt/tolvi-downloads), from which
#             tools/build_freethreaded.sh builds the free-threaded interpreter
#   musl      musl-gcc, and the stable suite's sources of CPython 3.13, zlib and
#             libffi (in /opt/tolvi-downloads), from which tools/build_musl_python.sh
#             builds CPython 3.13 on musl libc, for the musllinux wheels
#
# A root is whole when its build ended: mmdebstrap fills NAME.partial, which is
# renamed to NAME, and only then is NAME.stamp written, with the time and the
# recipe. Whatever a killed build left is never trusted: the next run removes it
# and builds again. A root is kept while its recipe is unchanged and it is less
# than a day old. Its /root is NAME.home, which keeps pip's and Zig's caches.
#
# An ordinary user may build and use the roots amd64 and emulator (mmdebstrap
# and bwrap make a user namespace for it, with the user's subordinate ids from
# /etc/subuid and /etc/subgid); the emulation of arm64 registers the emulator
# with the kernel, which needs root.
#
# Each root has a lock: a run that uses it holds it shared, one that builds or
# removes it holds it alone, so that a second run never takes a root from
# under the first.

ROOTS=build/roots
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
# those of the last commit, unless the caller names others.
release_dates() {
    : "${SOURCE_DATE_EPOCH:=$(git log -1 --format=%ct)}"
    export SOURCE_DATE_EPOCH
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
        # longer carries (tools/build_freethreaded.sh builds it).
        stable_source_hook python3.13
        ;;
    musl)
        echo --variant=minbase
        # musl-gcc sees musl's headers alone, not those of the root's -dev
        # packages, so zlib and libffi are built from source beside CPython
        # (tools/build_musl_python.sh builds the three). Their upstream
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

# root_whole NAME RECIPE: NAME was built to RECIPE, to the end, less than
# ROOTS_MAX_AGE seconds ago.
root_whole() {
    local stamp=$ROOTS/$1.stamp
    [ -f "$stamp" ] && [ -d "$ROOTS/$1" ] || return 1
    [ "$(tail -n +2 "$stamp")" = "$2" ] || return 1
    [ $(($(date +%s) - $(head -n 1 "$stamp"))) -lt "$ROOTS_MAX_AGE" ]
}

# root_remove DIR: DIR deleted, unless anything is mounted at or below it.
root_remove() {
    local mounted
    [ -e "$1" ] || return 0
    if ! mounted=$(tools/mounts_below.sh "$1"); then
        echo "$1 is not removed: mounted at or below it are" >&2
        echo "$mounted" >&2
        return 1
    fi
    as_roots_owner rm -rf --one-file-system "$1"
}

# as_roots_owner COMMAND...: COMMAND as the owner of the roots' files: root, or
# for an ordinary user the root of a user namespace mapped onto the user's
# subordinate ids, as mmdebstrap made them.
as_roots_owner() {
    if [ "$(id -u)" = 0 ]; then "$@"; else unshare --map-auto --map-root-user "$@"; fi
}

# root_use NAME: the root NAME whole and fresh, built when it is not; held
# shared, for as long as this run lasts.
ROOTS_HELD=
root_use() {
    local recipe fd
    # A second lock of the same file would wait for this run's own first one.
    case " $ROOTS_HELD " in *" $1 "*) return 0 ;; esac
    recipe=$(root_recipe "$1") || return 1
    exec {fd}>"$(lock_file "root-$1")"
    flock -s "$fd"
    if root_whole "$1" "$recipe"; then
        ROOTS_HELD="$ROOTS_HELD $1"
        return 0
    fi
    # Built anew, by this run alone: those that use it now end first.
    flock -n -x "$fd" || {
        echo "--- waiting for the other runs that use $ROOTS/$1 to end"
        flock -x "$fd"
    }
    if ! root_whole "$1" "$recipe"; then
        root_build "$1" "$recipe" || return 1
    fi
    flock -s "$fd"
    ROOTS_HELD="$ROOTS_HELD $1"
}

# root_build NAME RECIPE: the unstable suite built to RECIPE, into NAME.partial
# and then renamed to NAME.
root_build() {
    local dir=$ROOTS/$1 mirror begun arguments
    mirror=$(debian_mirror)
    [ -n "$mirror" ] || { echo "no Debian mirror in this machine's apt sources" >&2; return 1; }
    rm -f "$dir.stamp"
    root_remove "$dir.partial" && root_remove "$dir" || return 1
    mkdir -p "$ROOTS" "$dir.home"
    echo "--- the root $dir (Debian unstable)"
    begun=$(date +%s)
    mapfile -t arguments <<<"$2"
    # mmdebstrap mounts what the packages' scripts need in a mount namespace of
    # its own, as root without a user namespace.
    mmdebstrap --mode=unshare "${arguments[@]}" sid "$dir.partial" "$mirror" >"$dir.log" 2>&1 ||
        { tail -n 20 "$dir.log" >&2; return 1; }
    mv "$dir.partial" "$dir"
    { date +%s; echo "$2"; } >"$dir.stamp.new"
    mv "$dir.stamp.new" "$dir.stamp"
    echo "--- the root $dir built in $(($(date +%s) - begun)) s"
}

# root_run NAME COMMAND...: COMMAND in the work tree inside the root, as the
# caller (root, or an ordinary user, to whom the root's files then belong to
# nobody), with none of this machine's environment (its pip settings name
# folders the root lacks) but SOURCE_DATE_EPOCH. The work tree is read-only
# there, but for the folders named in ROOT_WRITABLE, and it has the path it has
# here, so that a path means the same inside and out (Zig's cache, shared by
# the wheels built here and there, keys on its paths); the machine's name
# server and certificate authorities are the root's.
root_run() {
    local dir=$ROOTS/$1 writable
    shift
    local options=(--bind "$dir" / --bind "$dir.home" /root --dev /dev --proc /proc --tmpfs /tmp --unshare-pid
        --die-with-parent --ro-bind-try /etc/resolv.conf /etc/resolv.conf
        --ro-bind-try /etc/ssl/certs/ca-certificates.crt /etc/ssl/certs/ca-certificates.crt
        --ro-bind "$PWD" "$PWD")
    for writable in ${ROOT_WRITABLE:-}; do
        case $writable in
        /* | *..*)
            echo "$writable: a folder a root writes is named inside the work tree" >&2
            return 1
            ;;
        esac
        mkdir -p "$writable"
        options+=(--bind "$PWD/$writable" "$PWD/$writable")
    done
    # Folders outside the work tree, each FROM=TO (the cached builds of the
    # free-threaded interpreter and of the one on musl libc, at their prefixes;
    # Zig, at its own place).
    for bind in ${ROOT_BINDS:-}; do
        options+=(--bind "${bind%%=*}" "${bind#*=}")
    done
    # The place the work tree is bound at, made by the owner of the root's files.
    [ -d "$dir$PWD" ] || as_roots_owner mkdir -p "$dir$PWD"
    options+=(--chdir "$PWD" --clearenv --setenv PATH /usr/local/bin:/usr/bin:/bin
        --setenv HOME /root --setenv LANG C.UTF-8)
    [ -z "${SOURCE_DATE_EPOCH:-}" ] || options+=(--setenv SOURCE_DATE_EPOCH "$SOURCE_DATE_EPOCH")
    bwrap "${options[@]}" "$@"
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

# own_mount_namespace SCRIPT ARGS...: SCRIPT is run again in a mount namespace
# of its own, which dies with it; the caller goes on when it already is.
own_mount_namespace() {
    [ -z "${TOLVI_OWN_MOUNTS:-}" ] || return 0
    TOLVI_OWN_MOUNTS=1 exec unshare --mount --propagation private "$@"
}

# emulation_start: binaries of aarch64 run through the unstable suite's
# emulator (the root emulator), also inside a root: the kernel opens the
# emulator now (flag F), so a root needs no copy. binfmt_misc is mounted in
# this run's own mount namespace (own_mount_namespace): where the machine has
# no mount of its own, the entry goes with the namespace's end; where it has,
# the entry stays until a run replaces it or it is removed by hand (`echo -1
# >/proc/sys/fs/binfmt_misc/tolvi-aarch64`).
emulation_start() {
    local qemu entry=$ROOTS_BINFMT/tolvi-aarch64 magic mask
    [ -n "${TOLVI_OWN_MOUNTS:-}" ] ||
        { echo "emulation_start: not in a mount namespace of its own" >&2; return 1; }
    root_use emulator || return 1
    qemu=$(realpath "$ROOTS/emulator/usr/bin/qemu-aarch64")
    mount -t binfmt_misc binfmt_misc "$ROOTS_BINFMT"
    # One left by another run or another work tree is replaced; one that
    # already names this emulator serves as it is.
    if [ -e "$entry" ]; then
        grep -qx enabled "$entry" && grep -qxF "interpreter $qemu" "$entry" && return 0
        echo -1 >"$entry"
    fi
    magic='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00'
    mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    printf ':tolvi-aarch64:M::%s:%s:%s:F\n' "$magic" "$mask" "$qemu" >"$ROOTS_BINFMT/register"
}

# tolvi_cache: the folder the interpreters and tools built here are kept in,
# outside the work tree, for later runs and clones.
tolvi_cache() {
    echo "${TOLVI_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tolvi}"
}

# root_source NAME GLOB: the one source tarball GLOB that the root NAME
# downloaded, or a failure that says so.
root_source() {
    set -- "$1" "$2" "$ROOTS/$1$ROOTS_DOWNLOADS"/$2
    [ $# = 3 ] && [ -f "$3" ] || { echo "no single $2 in the root $1" >&2; return 1; }
    echo "$3"
}

# The free-threaded interpreter: CPython 3.13 built with --disable-gil, in the
# root freethreaded, from the stable suite's source, into FREETHREADED, its
# prefix inside a root. The build is kept outside the work tree (TOLVI_CACHE,
# else ~/.cache/tolvi), in a folder named for the source's sha256, so that a
# clean checkout on the same machine reuses it; a build is written to a
# .partial folder and renamed when whole, so a killed one is never trusted.
FREETHREADED=/opt/python3.13t
freethreaded_use() {
    local cache source sha prefix fd begun
    root_use freethreaded || return 1
    cache=$(tolvi_cache)
    source=$(root_source freethreaded 'python3.13_*.orig.tar.xz') || return 1
    sha=$(sha256sum "$source" | cut -c 1-64)
    prefix=$cache/python3.13t-$sha
    mkdir -p "$cache"
    begun=$(date +%s)
    exec {fd}>"$cache/python3.13t.lock"
    flock -x "$fd"
    if [ ! -x "$prefix/bin/python3.13t" ]; then
        echo "--- the free-threaded CPython 3.13 from $(basename "$source") (sha256 $sha)"
        root_remove "$prefix.partial" || return 1
        mkdir -p "$prefix.partial"
        ROOT_BINDS="$prefix.partial=$FREETHREADED" root_run freethreaded sh -c "set -e
            cd /tmp && tar -xf '${source#"$ROOTS/freethreaded"}' && cd Python-3.13.*
            ./configure --disable-gil --prefix=$FREETHREADED
            make -j$(nproc)
            make install" >"$prefix.log" 2>&1 || {
            tail -n 30 "$prefix.log" >&2
            return 1
        }
        mv "$prefix.partial" "$prefix"
        echo "--- the free-threaded CPython 3.13 built in $(($(date +%s) - begun)) s (cold)"
    else
        echo "--- the free-threaded CPython 3.13 of $prefix reused in $(($(date +%s) - begun)) s (warm)"
    fi
    flock -u "$fd"
    ROOT_BINDS="${ROOT_BINDS:-} $prefix=$FREETHREADED"
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
    local cache python zlib ffi build sha prefix fd begun
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
        root_remove "$prefix.partial" || return 1
        mkdir -p "$prefix.partial"
        ROOT_BINDS="$prefix.partial=$MUSL_PYTHON" root_run musl sh -c "$build" sh \
            "${python#"$ROOTS/musl"}" "${zlib#"$ROOTS/musl"}" "$MUSL_PYTHON" "$(nproc)" \
            "${ffi#"$ROOTS/musl"}" >"$prefix.log" 2>&1 || {
            tail -n 30 "$prefix.log" >&2
            return 1
        }
        ROOT_BINDS="$prefix.partial=$MUSL_PYTHON" root_run musl "$MUSL_PYTHON/bin/python3.13" -c '
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
    ROOT_BINDS="${ROOT_BINDS:-} $prefix=$MUSL_PYTHON"
    MUSL_PYTHON_HERE=$prefix
}
