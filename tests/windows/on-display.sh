#!/usr/bin/env bash
# Windows suites under Qt's own Windows platform plugin, as Windows users run the programs, on a
# virtual X display (the other suites run offscreen, with no display). Wine gets a prefix of its own
# whose server starts on that display: a server started without one would give the programs, and
# the consoles they open, no screen.
#   on-display.sh PREFIX 'SUITE.EXE [FUNCTION...]'...
# Each quoted argument is a suite and the test functions to run; all must pass.
set -euo pipefail
runner=$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run.sh

if [ -z "${TORVAN_ON_DISPLAY:-}" ]; then
    exec env TORVAN_ON_DISPLAY=1 xvfb-run --auto-servernum --server-args='-screen 0 1600x1200x24' \
        "$0" "$@"
fi
export TORVAN_WINEPREFIX=$1
shift
export QT_QPA_PLATFORM=windows
# Wine names its dialog font "MS Shell Dlg", which Qt's Windows font database does not resolve: Qt
# then takes a font of its own choosing, on a machine with fonts-dejavu-extra a math font whose
# glyph boxes are four lines high, and every line edit centres its text out of sight. Windows names
# a font that exists (Segoe UI), so the prefix is given one too: Wine's own Tahoma (fonts-wine).
font=$(printf '%s' 'f5ffffff000000000000000000000000900100000000000100000000' \
    "$(printf 'Tahoma' | iconv -t UTF-16LE | od -An -tx1 | tr -d ' \n')" | head -c 184)
font=$font$(printf '%0*d' $((184 - ${#font})) 0)
read -ra first <<<"$1"
"$runner" "${first[0]}" -functions >/dev/null # makes the prefix
"$runner" "$TORVAN_WINEPREFIX/drive_c/windows/system32/reg.exe" add \
    'HKCU\Control Panel\Desktop\WindowMetrics' /v MessageFont /t REG_BINARY /d "$font" /f >/dev/null
# The server and its services end before the display does.
trap '"$runner" --stop' EXIT
status=0
for suite in "$@"; do
    read -ra command <<<"$suite"
    "$runner" "${command[@]}" || status=1
done
exit "$status"
