#!/usr/bin/env bash
# The Windows installer under Wine, as a user runs it, in a Wine prefix of its own made afresh:
# installed silently (/S); every DLL that an installed program or plugin imports is installed or
# Windows' own; the installed torvanreader-cli.exe --version answers with the project's version and
# the installed demo draws its windows (offscreen) from what the installer brought alone; Ctrl-C
# stops the installed command line before it sends anything; the Start-menu entries and the
# uninstall entry are there. Then the uninstaller (/S) leaves nothing behind: the folder, the
# Start-menu entries and the uninstall entry are gone.
#   check-installer.sh SETUP.EXE VERSION WORK_DIR
set -euo pipefail
installer=$(realpath "$1")
version=$2
work=$3
runner=$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run.sh

export TORVAN_WINEPREFIX=$work/wine
rm -rf "$work"
mkdir -p "$work"
trap '"$runner" --stop' EXIT
drive=$TORVAN_WINEPREFIX/drive_c
folder="$drive/Program Files/TorvanReader"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/TorvanReader"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TorvanReader'

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
registry_has_key() { "$runner" "$drive/windows/system32/reg.exe" query "$key" >/dev/null 2>&1; }

"$runner" "$installer" /S || fail "the installer exited with $?"
[ -f "$folder/torvanreader.exe" ] || fail "nothing installed in $folder"

# Each import of each installed program and DLL, against the DLLs in the programs' folder (where
# Windows looks first, for the plugins' imports too) and Windows' own.
known=$(find "$folder" "$drive/windows/system32" -maxdepth 1 -type f -printf '%f\n')
while IFS= read -r -d '' module; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$module" | sed -n 's/^\s*DLL Name: //p'); do
        # API sets (api-ms-win-..., ext-ms-...) are names that Windows' loader resolves itself.
        [[ ${dll,,} =~ ^(api|ext)-ms- ]] || grep -qixF "$dll" <<<"$known" ||
            fail "${module#"$folder"/} needs $dll, which the installer did not install"
    done
done < <(find "$folder" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)

answer=$("$runner" "$folder/torvanreader-cli.exe" --version | tr -d '\r')
[ "$answer" = "torvanreader-cli $version" ] || fail "torvanreader-cli.exe --version said '$answer'"
# Ctrl-C (SIGINT, which Wine hands the program as Windows' Ctrl-C) while flash waits for its unit,
# before anything is sent: the console handler stops it, exit 4.
(cd "$folder" && exec "$runner" torvanreader-cli.exe --demo --wait 60 --serial NONE flash --to local \
    samples/demo-local-tx-3072.2.hex 2>"$work/ctrl-c.txt") &
waiting=$!
# Started and waiting (a Ctrl-C before its handler is set would end it at once), then pressed
# once a second until it ends: under load Wine may lose one.
sleep 5
for _ in $(seq 20); do
    kill -INT "$waiting" 2>/dev/null || break
    sleep 1
done
code=0
wait "$waiting" || code=$?
if [ "$code" -ne 4 ] || ! grep -q "stopped while waiting" "$work/ctrl-c.txt"; then
    fail "Ctrl-C while waiting gave exit $code: $(cat "$work/ctrl-c.txt")"
fi
(cd "$work" && QT_QPA_PLATFORM=offscreen "$runner" "$folder/torvanreader-demo.exe" --screenshot shots) ||
    fail "the installed torvanreader-demo.exe exited with $?"
[ -s "$work/shots/main-window.png" ] || fail "the installed demo drew no main window"

for entry in "TorvanReader.lnk" "TorvanReader Demo.lnk"; do
    [ -f "$menu/$entry" ] || fail "no Start-menu entry $entry"
done
registry_has_key || fail "no uninstall entry $key"

"$runner" "$folder/Uninstall.exe" /S || fail "the uninstaller exited with $?"
# The uninstaller runs on from a copy of itself in the temporary folder: it is done when the
# folder is gone.
for _ in $(seq 100); do
    [ -e "$folder" ] || break
    sleep 0.2
done
[ ! -e "$folder" ] || fail "left behind: $(cd "$folder" && find . | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "the Start-menu folder $menu is left"
! registry_has_key || fail "the uninstall entry $key is left"
echo "installer: installed, ran torvanreader-cli $version and the demo, uninstalled without a trace"
