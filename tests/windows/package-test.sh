#!/usr/bin/env bash
# What the tests of the Windows downloads share (sourced): a Wine prefix of each test's own, how
# they read what an installer left behind, and the packages of other versions they make.
#   source package-test.sh WORK_DIR VERSION [STAGE PACKAGES_SCRIPT PACKAGES_DEFINES...]
# STAGE is the installation staged for the build's packages, PACKAGES_SCRIPT and its defines
# (cmake/WindowsPackages.cmake) make packages from it.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
runner=$root/scripts/wine-run.sh
work=$1
# shellcheck disable=SC2034 # for the tests that source this file
version=$2
stage=${3:-}
script=${4:-}
defines=("${@:5}")

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The test's prefix, WORK/wine, is a copy of one made once per Wine version in the folder above
# WORK (a fresh prefix takes Wine half a minute): Windows' own files, which nothing here changes,
# as hard links, the rest copied. Its user folders (Documents, Desktop, ...) are folders of its own
# rather than Wine's links to the home folder, and Wine makes no desktop menu entries, so that
# nothing a test installs or writes reaches the user's home.
export TORVAN_WINEPREFIX=$work/wine
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
rm -rf "$work"
mkdir -p "$work"
trap '"$runner" --stop' EXIT
template=$(dirname "$work")/wine-template
TORVAN_WINEPREFIX=$template "$runner" --make-prefix || fail "Wine could not make the template prefix"
mkdir -p "$TORVAN_WINEPREFIX"
tar -C "$template" --exclude=./drive_c/windows/system32 --exclude=./drive_c/windows/syswow64 -cf - . |
    tar -C "$TORVAN_WINEPREFIX" -xf -
cp -al "$template/drive_c/windows/system32" "$template/drive_c/windows/syswow64" \
    "$TORVAN_WINEPREFIX/drive_c/windows/"
while IFS= read -r -d '' link; do
    rm "$link" && mkdir "$link"
done < <(find "$TORVAN_WINEPREFIX/drive_c/users" -type l -print0)
drive=$TORVAN_WINEPREFIX/drive_c
# shellcheck disable=SC2034 # for the tests that source this file
user_folder=$(find "$drive/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n 1)

# The Linux path of a Windows one (C:\...).
linux_path() {
    local path=${1//\\//}
    echo "$drive/${path#C:/}"
}

# A registry value, or nothing when the key or the value is missing: no failure, so that under
# set -e a value assigned from it ends no test unsaid, and the caller says what it expected.
#   registry_value 'HKLM\Software\...' NAME
registry_value() {
    { "$runner" "$drive/windows/system32/reg.exe" query "$1" /v "$2" 2>/dev/null || true; } |
        tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}

# A field of a shortcut as lnkinfo (liblnk-utils) reads it: "Local path", "Working directory",
# "Command line arguments".
shortcut_field() {
    lnkinfo "$1" | sed -n "s/^\t$2\t*: //p"
}

# The packages of the staged programs as another VERSION, with a file of its own (older.txt), in
# WORK/VERSION.
other_version() {
    local dir=$work/$1
    mkdir -p "$dir"
    cp -a "$stage" "$dir/TorvanReader"
    echo "only in $1" >"$dir/TorvanReader/older.txt"
    cmake "${defines[@]}" -DWORK="$dir" -DOUT="$dir" -DVERSION="$1" -DNSIS_COMPRESSOR=zlib -P "$script" >/dev/null
}

# The torvanreader-cli.exe in FOLDER answers --version with the version.
answers_version() {
    local answer
    answer=$("$runner" "$1/torvanreader-cli.exe" --version | tr -d '\r')
    [ "$answer" = "torvanreader-cli $version" ] || fail "torvanreader-cli.exe --version said '$answer'"
}

# The demo in FOLDER, started in WORK with the options given, draws its windows.
draws_windows() {
    local folder=$1
    shift
    (cd "$work" && QT_QPA_PLATFORM=offscreen "$runner" "$folder/torvanreader-demo.exe" "$@" \
        --screenshot shots) || fail "the demo in $folder exited with $?"
    [ -s "$work/shots/main-window.png" ] || fail "the demo in $folder drew no main window"
}

# A Start-menu entry starts PROGRAM (its Windows path) with --in-documents.
starts() {
    local shortcut=$1 program=$2
    [ -f "$shortcut" ] || fail "no Start-menu entry $shortcut"
    [ "$(shortcut_field "$shortcut" 'Local path')" = "$program" ] ||
        fail "$shortcut starts $(shortcut_field "$shortcut" 'Local path')"
    [ "$(shortcut_field "$shortcut" 'Command line arguments')" = --in-documents ] ||
        fail "$shortcut starts it without --in-documents"
}

# An uninstaller runs on from a copy of itself in the temporary folder: it is done when FOLDER is
# gone.
wait_gone() {
    for _ in $(seq 100); do
        [ -e "$1" ] || return 0
        sleep 0.2
    done
    return 1
}
