# Debian unstable roots, for the interpreters this machine's own Debian does not
# carry (CPython 3.14 and 3.15) and for 64-bit Arm. Sourced by the scripts that
# build and test in them; needs root, debootstrap, and the mirror this machine's
# apt sources name.
#
#   root_build ARCH DIR PACKAGE...   a fresh root of ARCH (amd64, arm64) in DIR
#   root_enter DIR                   /dev, /dev/pts, /proc and the work tree bound in
#   root_run DIR COMMAND...          COMMAND inside, in /project, with a clean environment
#   root_or_here DIR COMMAND...      the same, or COMMAND here when DIR is empty
#   python_tag DIR PYTHON            PYTHON's wheel tag (cp314), asked there
#   emulator_fetch DIR               the unstable suite's aarch64 emulator, as DIR/qemu-aarch64
#   emulation_start QEMU             aarch64 binaries run through the emulator QEMU
#   roots_release                    every mount and root made here undone and removed
#
# A script that builds a root calls roots_trap first: roots_release then runs
# when it ends, by failure or by a signal too, so that nothing stays mounted or
# on disk.

ROOTS_MADE=
ROOTS_EMULATOR=
ROOTS_MOUNTED_BINFMT=
ROOTS_BINFMT=/proc/sys/fs/binfmt_misc

# The Debian mirror of this machine's apt sources (deb822 or one-line format).
debian_mirror() {
    {
        sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' /etc/apt/sources.list.d/*.sources
        sed -n 's/^deb[[:space:]]\{1,\}\(\[[^]]*\][[:space:]]*\)\{0,1\}\([^[:space:]]*\).*/\2/p' \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list
    } 2>/dev/null | grep -v -e security -e '^$' | head -n 1
}

# root_claim DIR: DIR made anew, empty, and removed by roots_release.
root_claim() {
    root_forget "$1"
    rm -rf "$1"
    mkdir -p "$1"
    ROOTS_MADE="$ROOTS_MADE $1"
}

# root_build ARCH DIR PACKAGE...: the unstable suite's minimal system with the
# packages given. A foreign root is unpacked natively, then configured inside
# through the emulator (emulation_start first).
root_build() {
    _arch=$1 _dir=$2
    shift 2
    _mirror=$(debian_mirror)
    [ -n "$_mirror" ] || { echo "no Debian mirror in this machine's apt sources" >&2; return 1; }
    _packages=$(echo "$@" | tr ' ' ,)
    root_claim "$_dir"
    if [ "$_arch" = "$(dpkg --print-architecture)" ]; then
        debootstrap --variant=minbase --arch="$_arch" --include="$_packages" sid "$_dir" "$_mirror" \
            >"$_dir.log" 2>&1 || { tail -n 20 "$_dir.log" >&2; return 1; }
    else
        debootstrap --foreign --variant=minbase --arch="$_arch" --include="$_packages" sid "$_dir" \
            "$_mirror" >"$_dir.log" 2>&1 &&
            chroot "$_dir" /debootstrap/debootstrap --second-stage >>"$_dir.log" 2>&1 ||
            { tail -n 20 "$_dir.log" >&2; return 1; }
    fi
    # The suite's Release file is signed for a week at a time, and the mirror
    # may serve one past its date.
    echo 'Acquire::Check-Valid-Until "false";' >"$_dir/etc/apt/apt.conf.d/99tolvi-valid-until"
    # The package index is reached as from this machine: through its
    # certificate authorities and its name server.
    cp /etc/ssl/certs/ca-certificates.crt "$_dir/etc/ssl/certs/ca-certificates.crt"
    cp /etc/resolv.conf "$_dir/etc/resolv.conf"
}

# root_enter DIR: what the tests need of the running system, and the work tree
# at /project.
root_enter() {
    for _place in dev dev/pts proc; do
        mkdir -p "$1/$_place"
        mount --bind "/$_place" "$1/$_place"
    done
    mkdir -p "$1/project"
    mount --bind "$PWD" "$1/project"
}

# root_run DIR COMMAND...: COMMAND in the root's /project, as root, with none of
# this machine's environment (its pip settings name folders the root lacks).
root_run() {
    _dir=$1
    shift
    chroot "$_dir" /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin HOME=/root LANG=C.UTF-8 \
        /bin/sh -c 'cd /project && exec "$@"' sh "$@"
}

# root_or_here DIR COMMAND...: COMMAND inside the root DIR, or here when DIR is
# empty, for the scripts that run the same steps in both places.
root_or_here() {
    _dir=$1
    shift
    if [ -n "$_dir" ]; then root_run "$_dir" "$@"; else "$@"; fi
}

# python_tag DIR PYTHON: the tag of PYTHON's own wheels (cp314), as root_or_here
# runs it.
python_tag() {
    root_or_here "$1" "$2" -c 'import sys; print("cp%d%d" % sys.version_info[:2])'
}

# emulator_fetch DIR: the user-mode emulator of the unstable suite, whose
# translation runs Python about ten times faster than the one of this machine's
# Debian release. Its package is only downloaded and unpacked, not installed.
emulator_fetch() {
    _dir=$1
    root_claim "$_dir"
    debootstrap --foreign --variant=minbase --include=qemu-user sid "$_dir/download" \
        "$(debian_mirror)" >"$_dir.log" 2>&1 || { tail -n 20 "$_dir.log" >&2; return 1; }
    dpkg-deb -x "$_dir"/download/var/cache/apt/archives/qemu-user_*.deb "$_dir/package"
    cp "$_dir/package/usr/bin/qemu-aarch64" "$_dir/qemu-aarch64"
    rm -rf "$_dir/download" "$_dir/package"
}

# emulation_start QEMU: binaries of QEMU's architecture run through it, also
# inside a root: the kernel opens the emulator now (flag F), so the root needs
# no copy. Only aarch64 is needed here.
emulation_start() {
    if [ ! -e "$ROOTS_BINFMT/register" ]; then
        mount -t binfmt_misc binfmt_misc "$ROOTS_BINFMT"
        ROOTS_MOUNTED_BINFMT=yes
    fi
    [ ! -e "$ROOTS_BINFMT/tolvi-aarch64" ] || echo -1 >"$ROOTS_BINFMT/tolvi-aarch64"
    _magic='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00'
    _mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    printf ':tolvi-aarch64:M::%s:%s:%s:F\n' "$_magic" "$_mask" "$(realpath "$1")" \
        >"$ROOTS_BINFMT/register"
    ROOTS_EMULATOR=yes
}

# root_forget DIR: DIR's mounts undone, deepest first.
root_forget() {
    _target=$(realpath -m "$1")
    awk -v root="$_target" '$2 == root || index($2, root "/") == 1 { print $2 }' /proc/mounts |
        sort -r | while read -r _place; do
        umount "$_place" 2>/dev/null || umount -l "$_place"
    done
}

roots_trap() {
    trap roots_release EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM HUP
}

roots_release() {
    if [ -n "$ROOTS_EMULATOR" ] && [ -e "$ROOTS_BINFMT/tolvi-aarch64" ]; then
        echo -1 >"$ROOTS_BINFMT/tolvi-aarch64"
    fi
    ROOTS_EMULATOR=
    for _dir in $ROOTS_MADE; do
        root_forget "$_dir"
        # Never remove through a mount that outlived its unmounting: one of
        # them is the work tree.
        if grep -q " $(realpath -m "$_dir")/" /proc/mounts; then
            echo "$_dir: still mounted, left in place" >&2
        else
            rm -rf "$_dir" "$_dir.log"
        fi
    done
    ROOTS_MADE=
    if [ -n "$ROOTS_MOUNTED_BINFMT" ]; then
        umount "$ROOTS_BINFMT"
        ROOTS_MOUNTED_BINFMT=
    fi
}
