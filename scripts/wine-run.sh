#!/usr/bin/env bash
# Runs a Windows program of this project under Wine; ctest runs the Windows build's tests with it.
#   scripts/wine-run.sh build/windows/torvanreader-cli.exe --demo list
#   scripts/wine-run.sh --stop          ends the Wine server that the runs share
#   scripts/wine-run.sh --make-prefix [PROGRAM ARGUMENTS...]
#                                       makes the prefix, then runs the Wine program in it once
# A program of a build tree finds the Qt and MinGW DLLs the tree was built with (the tree's
# dll-dirs.txt, on WINEPATH); a program installed into the Wine prefix finds them beside it, as on a
# PC. Wine's state lives in a prefix of the project's own (build/windows/wine, or
# TORVAN_WINEPREFIX), made on first use. Wine's services are started first, with their output to
# /dev/null, under a server that outlives each program: the services inherit the first program's
# output, so a caller reading it through a pipe (ctest) would otherwise never see it close.
# --make-prefix makes the prefix anew where it was made by another Wine or with another program
# (a setting of the caller's, such as a registry value), and returns once Wine has written all of
# it: a caller may then copy it, or hand it to a guest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

export WINEPREFIX=${TORVAN_WINEPREFIX:-$root/build/windows/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# Wine keeps QT_* variables on the Linux side; WINEQT_* reach the program without the WINE.
if [ -n "${QT_QPA_PLATFORM:-}" ]; then
    export WINEQT_QPA_PLATFORM=$QT_QPA_PLATFORM
fi
# Seeing no console window, Qt hands a program's messages, QtTest's report among them, to the
# debugger alone: they go to the standard streams, as on Linux.
export WINEQT_ASSUME_STDERR_HAS_CONSOLE=1
# Qt's offscreen platform on Windows looks for fonts only in Qt's own lib/fonts, which Qt no longer
# ships: without any, no text has a width. It gets DejaVu, as the Linux build's offscreen windows.
dejavu=/usr/share/fonts/truetype/dejavu
if [ "${QT_QPA_PLATFORM:-}" = offscreen ] && [ -z "${QT_QPA_FONTDIR:-}" ] && [ -d "$dejavu" ]; then
    export WINEQT_QPA_FONTDIR="Z:${dejavu//\//\\}"
fi

# wineboot, offering no .NET or browser engine to install: nothing here needs them. Like every
# Wine process started while the prefix's lock (fd 9) is held, it does not keep the lock.
boot() {
    WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}" \
        "$wine" wineboot "$@" </dev/null >/dev/null 2>&1 9>&-
}

# Makes the prefix, unless this Wine made it with the same program (PROGRAM ARGUMENTS...), which
# then runs in it once. The caller holds the prefix's lock.
make_prefix() {
    local made
    made="$("$wine" --version)${*:+ then $*}"
    [ "$(cat "$WINEPREFIX/.made" 2>/dev/null)" != "$made" ] || return 0
    # Only Wine's own files go: a caller's beside them (a font configuration) stay.
    "$wineserver" -k 9>&- 2>/dev/null || true
    rm -rf "${WINEPREFIX:?}"/{drive_c,dosdevices,system.reg,user.reg,userdef.reg,.update-timestamp,.made}
    # Wine writes the registry to disk as its server ends, which is waited for.
    if boot -i && { [ $# -eq 0 ] || "$wine" "$@" </dev/null >/dev/null 2>&1 9>&-; } &&
        "$wineserver" -w 9>&-; then
        echo "$made" >"$WINEPREFIX/.made"
        return 0
    fi
    echo "$0: Wine could not make the prefix $WINEPREFIX${*:+ with $*}" >&2
    return 1
}

if [ "${1:-}" = --stop ]; then
    "$wineserver" -k 2>/dev/null || true
    exit 0
fi
if [ "${1:-}" = --make-prefix ]; then
    shift
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        make_prefix "$@"
    ) 9>"$WINEPREFIX/.start.lock"
    exit
fi
if [ $# -eq 0 ]; then
    echo "usage: $0 PROGRAM.exe [ARGUMENTS...] | --stop | --make-prefix [PROGRAM ARGUMENTS...]" >&2
    exit 2
fi
program=$(realpath "$1")
shift

case $program in
"$(realpath -m "$WINEPREFIX")"/*) ;;
*)
    dir=$(dirname "$program")
    while [ "$dir" != / ] && [ ! -f "$dir/dll-dirs.txt" ]; do dir=$(dirname "$dir"); done
    if [ -f "$dir/dll-dirs.txt" ]; then
        paths=()
        while read -r linux_dir; do paths+=("Z:${linux_dir//\//\\}"); done <"$dir/dll-dirs.txt"
        WINEPATH=$(
            IFS=';'
            echo "${paths[*]}"
        )
        export WINEPATH
    fi
    ;;
esac

mkdir -p "$WINEPREFIX"
(
    flock 9
    # A prefix made by --make-prefix is used as it is, by whichever Wine.
    [ -f "$WINEPREFIX/.made" ] || make_prefix
    # 2: a server for this prefix runs already, with its services. Neither keeps the lock.
    if "$wineserver" -p </dev/null >/dev/null 2>&1 9>&-; then
        boot
        # The Plug and Play service, which tells programs of units plugged in and pulled out, gives
        # up its own start when the machine is slow (an emulated guest): started again, it runs.
        "$wine" net start PlugPlay </dev/null >/dev/null 2>&1 9>&- || true
    fi
) 9>"$WINEPREFIX/.start.lock"
exec "$wine" "$program" "$@"
