#!/usr/bin/env bash
# Qt 6 for Windows x64, cross-built once from Debian's own qt6-base source with Debian's MinGW-w64,
# into a cache outside the tree, and printed on stdout as the prefix to build against:
#   qt=$(scripts/qt-windows.sh)
# The cache is named for a hash of this recipe (this script, the toolchain file, the source and
# compiler versions), so a changed recipe builds anew and an unchanged one is reused. Only what the
# programs use is built: Core, Gui, Widgets, Test and the windows and offscreen platform plugins.
# The host's Qt tools (moc, rcc, uic) of the same version do the host's part. About 25 minutes on
# two cores; the build's log stays beside the cache until the build succeeds.
set -euo pipefail
cd "$(dirname "$0")/.."

toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
host_cmake_dir=/usr/lib/x86_64-linux-gnu/cmake
jobs=${TORVAN_JOBS:-2}

version_of() { dpkg-query -W -f='${Version}' "$1"; }
# The Windows build must be the host tools' own version: Qt refuses host tools of another.
qt_version=$(version_of qt6-base-dev)
recipe=$(cat "$0" "$toolchain"; echo "$qt_version $(version_of g++-mingw-w64-x86-64-posix)")
hash=$(sha256sum <<<"$recipe" | cut -c1-12)
cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/torvanreader
prefix=$cache_root/qt6-win64-$hash
work=$prefix.work

mkdir -p "$cache_root"
# One build at a time: a second caller waits for the first and then finds the cache.
exec 9>"$cache_root/.qt6-win64.lock"
flock 9

if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# apt-get source needs the archive's source index: add deb-src beside each deb entry of the
# machine's own Debian sources, in a file of our own, unless some source index is already there.
ensure_source_index() {
    # shellcheck disable=SC2016 # apt's own field syntax, not the shell's
    apt-get indextargets --format '$(IDENTIFIER)' | grep -qx Sources && return
    local list=/etc/apt/sources.list.d/torvanreader-src
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed -n '/^Types:/s/.*/Types: deb-src/;p' /etc/apt/sources.list.d/debian.sources |
            as_root tee "$list.sources" >/dev/null
    else
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | as_root tee "$list.list" >/dev/null
    fi
    as_root apt-get update -qq
}

fetch_source() {
    ensure_source_index
    mkdir -p "$work"
    (cd "$work" && apt-get source -qq "qt6-base=$qt_version" >/dev/null)
    find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1
}

echo "Qt for Windows: building $qt_version into $prefix (about 25 minutes); log in $work/build.log" >&2
rm -rf "$prefix" "$work"
source_dir=$(fetch_source)
log=$work/build.log
mkdir -p "$work/build"
(
    cd "$work/build"
    # Debian's repack has no wintab headers, hence no tablet events.
    "$source_dir/configure" -prefix "$prefix" -xplatform win32-g++ -qt-host-path /usr \
        -release -shared -nomake examples -nomake tests \
        -no-opengl -no-dbus -no-feature-network -no-feature-sql -no-feature-printsupport \
        -no-feature-concurrent -no-feature-xml -no-feature-tabletevent \
        -- -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir"
    cmake --build . --parallel "$jobs"
    cmake --install .
) >"$log" 2>&1 || {
    tail -n 60 "$log" >&2
    echo "Qt for Windows: the build failed; the whole log is $log" >&2
    exit 1
}
touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"
