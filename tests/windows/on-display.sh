#!/usr/bin/env bash
# Windows suites under Qt's own Windows platform plugin, as Windows users run the programs, on a
# virtual X display (the other suites run offscreen, with no display). Wine gets a prefix of its own
# whose server starts on that display: a server started without one would give the programs, and
# the consoles they open, no screen.
#   on-display.sh PREFIX BARE_LINE_EDIT.EXE 'SUITE.EXE [FUNCTION...]'...
# Each quoted argument is a suite and the test functions to run; all must pass. Before them a bare
# line edit (BareLineEdit.cpp) shows the dialog font Wine names, and the one given here.
set -euo pipefail
runner=$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run.sh

if [ -z "${TORVAN_ON_DISPLAY:-}" ]; then
    exec env TORVAN_ON_DISPLAY=1 xvfb-run --auto-servernum --server-args='-screen 0 1600x1200x24' \
        "$0" "$@"
fi
export TORVAN_WINEPREFIX=$1
probe=$2
shift 2
export QT_QPA_PLATFORM=windows
# Wine names its dialog font "MS Shell Dlg", which Qt's Windows font database does not resolve (nor
# Wine's own Tahoma): Qt then takes a family of its own choosing, which depends on the fonts there
# are. Given DejaVu's alone, it takes the math font of fonts-dejavu-extra, whose glyph boxes are
# four lines high, and every line edit centres its text out of sight. Windows names a font that
# exists (Segoe UI), so the prefix is given one too: DejaVu Sans. Wine sees the fonts fontconfig
# lists: DejaVu's alone, so that what Qt takes does not depend on the machine's other fonts. A
# prefix made before keeps the fonts it saw then: it is made again.
export FONTCONFIG_FILE=$TORVAN_WINEPREFIX/fonts.conf
[ -f "$FONTCONFIG_FILE" ] || rm -rf "$TORVAN_WINEPREFIX"
mkdir -p "$TORVAN_WINEPREFIX"
cat >"$FONTCONFIG_FILE" <<EOF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts/truetype/dejavu</dir>
  <cachedir>$TORVAN_WINEPREFIX/fontconfig</cachedir>
</fontconfig>
EOF
dialog_font() {
    local font
    font=$(printf '%s' 'f5ffffff000000000000000000000000900100000000000100000000' \
        "$(printf '%s' "$1" | iconv -t UTF-16LE | od -An -tx1 | tr -d ' \n')" | head -c 184)
    font=$font$(printf '%0*d' $((184 - ${#font})) 0)
    "$runner" "$TORVAN_WINEPREFIX/drive_c/windows/system32/reg.exe" add \
        'HKCU\Control Panel\Desktop\WindowMetrics' /v MessageFont /t REG_BINARY /d "$font" /f >/dev/null
}
"$runner" --make-prefix
# The server and its services end before the display does.
trap '"$runner" --stop' EXIT
status=0
dialog_font 'MS Shell Dlg'
"$runner" "$probe" empty || status=1
dialog_font 'DejaVu Sans'
"$runner" "$probe" drawn || status=1
for suite in "$@"; do
    read -ra command <<<"$suite"
    "$runner" "${command[@]}" || status=1
done
exit "$status"
