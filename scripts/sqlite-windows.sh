#!/usr/bin/env bash
# SQLite for Windows x64, cross-built once from Debian's own sqlite3 source (the version of the
# libsqlite3-dev that the Linux build links) with Debian's MinGW-w64, into a cache outside the
# tree, and printed on stdout as the prefix to build against:
#   sqlite=$(scripts/sqlite-windows.sh)
# The prefix holds include/sqlite3.h and lib/libsqlite3.a, a static library linked into the
# programs, so nothing ships beside them. The cache is named for a hash of this recipe (this
# script, the source and compiler versions). SQLite's one-file amalgamation is made from the source
# on the host, with tclsh as SQLite's own build makes it, then compiled for Windows: a few minutes.
# apt-get source needs Debian's source index, which scripts/qt-windows.sh adds where it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

version_of() { dpkg-query -W -f='${Version}' "$1"; }
sqlite_version=$(version_of libsqlite3-dev)
recipe=$(cat "$0"; echo "$sqlite_version $(version_of gcc-mingw-w64-x86-64-posix)")
hash=$(sha256sum <<<"$recipe" | cut -c1-12)
cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/torvanreader
prefix=$cache_root/sqlite3-win64-$hash
work=$prefix.work

mkdir -p "$cache_root"
# One build at a time: a second caller waits for the first and then finds the cache.
exec 9>"$cache_root/.sqlite3-win64.lock"
flock 9

if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

echo "SQLite for Windows: building $sqlite_version into $prefix; log in $work/build.log" >&2
rm -rf "$prefix" "$work"
mkdir -p "$work/build"
log=$work/build.log
build() {
    (cd "$work" && apt-get source -qq "sqlite3=$sqlite_version") || return
    local source_dir
    source_dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'sqlite3-*')
    cd "$work/build" &&
        "$source_dir/configure" --disable-tcl &&
        make sqlite3.c sqlite3.h &&
        # Loading extensions is a door the tool does not need.
        x86_64-w64-mingw32-gcc-posix -O2 -DSQLITE_OMIT_LOAD_EXTENSION -c sqlite3.c -o sqlite3.o &&
        x86_64-w64-mingw32-ar rcs libsqlite3.a sqlite3.o &&
        install -D -m 644 sqlite3.h "$prefix/include/sqlite3.h" &&
        install -D -m 644 libsqlite3.a "$prefix/lib/libsqlite3.a"
}
build >"$log" 2>&1 || {
    tail -n 40 "$log" >&2
    echo "SQLite for Windows: the build failed; the whole log is $log" >&2
    exit 1
}
touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"
