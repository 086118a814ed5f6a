#!/usr/bin/env bash
# The Windows installer under Wine, as users and IT run it, in a Wine prefix of its own:
# - for the user alone (/S /CurrentUser): in %LOCALAPPDATA%\Programs\TorvanReader, listed in the
#   user's hive, with entries in the user's Start menu that start the tool and the demo with
#   --in-documents. Every DLL that an installed program or plugin imports is there or Windows' own;
#   the installed torvanreader-cli.exe --version answers with the version; Ctrl-C stops it before
#   it sends anything; the installed demo, started as its entry starts it, works in the user's
#   Documents\TorvanReader and draws its windows from what the installer brought alone. The
#   uninstaller leaves nothing behind.
# - for everyone (/S /AllUsers): in Program Files, listed in the machine's hive, the entries in
#   everyone's Start menu; the same uninstall.
# - an upgrade over an older build (made here with another version and a file of its own) while
#   one of its programs runs: refused with exit code 2, nothing changed; the same while another
#   program holds one of its files (HOLDER, tests/windows/HoldFile.cpp); once free, the old
#   version replaced whole, its own file gone, listed once.
#   check-installer.sh SETUP.EXE HOLDER WORK_DIR VERSION STAGE PACKAGES_SCRIPT PACKAGES_DEFINES...
set -euo pipefail
installer=$(realpath "$1")
holder=$2
shift 2
# shellcheck source=tests/windows/package-test.sh
source "$(dirname "$0")/package-test.sh" "$@"
uninstall='Software\Microsoft\Windows\CurrentVersion\Uninstall\TorvanReader'
start_menu='Microsoft/Windows/Start Menu/Programs/TorvanReader'

# Installed with OPTION: listed under HIVE only, in FOLDER, with its entries in MENU.
installs() {
    local option=$1 hive=$2 other=$3 folder=$4 menu=$5
    "$runner" "$installer" /S "$option" || fail "$option: the installer exited with $?"
    location=$(registry_value "$hive\\$uninstall" InstallLocation)
    [ "$(linux_path "$location")" = "$folder" ] || fail "$option: listed in $hive as '$location'"
    [ -f "$folder/torvanreader.exe" ] || fail "$option: nothing installed in $folder"
    [ -z "$(registry_value "$other\\$uninstall" InstallLocation)" ] || fail "$option: listed in $other"
    [ "$(registry_value "$hive\\$uninstall" DisplayVersion)" = "$version" ] ||
        fail "$option: not listed as version $version"
    for entry in "TorvanReader:torvanreader.exe" "TorvanReader Demo:torvanreader-demo.exe"; do
        local shortcut="$menu/${entry%%:*}.lnk"
        starts "$shortcut" "$location\\${entry#*:}"
        [ "$(shortcut_field "$shortcut" 'Working directory')" = "$location" ] ||
            fail "$option: $shortcut starts in $(shortcut_field "$shortcut" 'Working directory')"
    done
}

uninstalls() {
    local hive=$1 folder=$2 menu=$3
    "$runner" "$folder/Uninstall.exe" /S || fail "the uninstaller exited with $?"
    wait_gone "$folder" || fail "left behind: $(cd "$folder" && find . | tr '\n' ' ')"
    [ ! -e "$menu" ] || fail "the Start-menu folder $menu is left"
    [ -z "$(registry_value "$hive\\$uninstall" InstallLocation)" ] || fail "the entry in $hive is left"
}

# Ctrl-C (SIGINT, which Wine hands the program as Windows' Ctrl-C), pressed once a second until
# the program ends: under load Wine may lose one.
ctrl_c() {
    for _ in $(seq 20); do
        kill -INT "$1" 2>/dev/null || return 0
        sleep 1
    done
}

# What an installed program does, from the installed files alone.
runs_from() {
    local folder=$1
    # Each import of each installed program and DLL, against the DLLs in the programs' folder
    # (where Windows looks first, for the plugins' imports too) and Windows' own.
    known=$(find "$folder" "$drive/windows/system32" -maxdepth 1 -type f -printf '%f\n')
    while IFS= read -r -d '' module; do
        for dll in $(x86_64-w64-mingw32-objdump -p "$module" | sed -n 's/^\s*DLL Name: //p'); do
            # API sets (api-ms-win-..., ext-ms-...) are names that Windows' loader resolves itself.
            [[ ${dll,,} =~ ^(api|ext)-ms- ]] || grep -qixF "$dll" <<<"$known" ||
                fail "${module#"$folder"/} needs $dll, which is not installed"
        done
    done < <(find "$folder" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)

    answers_version "$folder"
    # Ctrl-C while flash waits for its unit, before anything is sent: the console handler stops
    # it, exit 4.
    (cd "$folder" && exec "$runner" torvanreader-cli.exe --demo --wait 60 --serial NONE flash \
        --to local samples/demo-local-tx-3072.2.hex 2>"$work/ctrl-c.txt") &
    waiting=$!
    # Started and waiting: a Ctrl-C before its handler is set would end it at once.
    sleep 5
    ctrl_c "$waiting"
    code=0
    wait "$waiting" || code=$?
    if [ "$code" -ne 4 ] || ! grep -q "stopped while waiting" "$work/ctrl-c.txt"; then
        fail "Ctrl-C while waiting gave exit $code: $(cat "$work/ctrl-c.txt")"
    fi
    draws_windows "$folder" --in-documents
    [ -d "$user_folder/Documents/TorvanReader" ] || fail "--in-documents made no Documents\\TorvanReader"
}

mine=$user_folder/AppData/Local/Programs/TorvanReader
my_menu=$user_folder/AppData/Roaming/$start_menu
installs /CurrentUser HKCU HKLM "$mine" "$my_menu"
runs_from "$mine"
uninstalls HKCU "$mine" "$my_menu"

everyones="$drive/Program Files/TorvanReader"
everyones_menu=$drive/ProgramData/$start_menu
installs /AllUsers HKLM HKCU "$everyones" "$everyones_menu"
uninstalls HKLM "$everyones" "$everyones_menu"

# The older build: the same programs, another version and a file of its own.
other_version 1.0.0.0
"$runner" "$work/1.0.0.0/TorvanReader-1.0.0.0-win64-setup.exe" /S /AllUsers || fail "the older build did not install"
as_it_was() {
    (cd "$everyones" && find . -type f -exec md5sum {} + | sort)
    registry_value "HKLM\\$uninstall" DisplayVersion
}
before=$(as_it_was)
refused() {
    code=0
    "$runner" "$installer" /S || code=$?
    [ "$code" -eq 2 ] || fail "$1: the installer exited with $code"
    [ "$(as_it_was)" = "$before" ] || fail "$1: the installed version changed"
}
# The installed command line running (list --watch, until Ctrl-C) holds its program and DLLs.
"$runner" "$everyones/torvanreader-cli.exe" --demo list --watch >/dev/null &
watching=$!
sleep 3
refused "with torvanreader-cli.exe running"
ctrl_c "$watching"
wait "$watching" || true
# Another program holds one of its files, sharing it with nobody, until its input ends. A process
# of its own keeps the input open: one of this script's descriptors would be inherited by what the
# installer starts (Wine's desktop process, which outlives it), and the input would never end.
mkfifo "$work/hold"
"$runner" "$holder" 'C:\Program Files\TorvanReader\LICENSE.txt' <"$work/hold" &
holding=$!
sleep infinity >"$work/hold" &
feeding=$!
sleep 2
refused "with LICENSE.txt held by another program"
kill "$feeding"
wait "$holding"
"$runner" "$installer" /S || fail "the upgrade exited with $?"
[ "$(registry_value "HKLM\\$uninstall" DisplayVersion)" = "$version" ] || fail "the upgrade is not listed"
[ ! -e "$everyones/older.txt" ] || fail "the older build's own file is left"
[ ! -e "$everyones/~setup" ] || fail "the new files' folder is left"
[ -f "$everyones/Uninstall.exe" ] || fail "the upgrade has no uninstaller"
uninstalls HKLM "$everyones" "$everyones_menu"
echo "installer: installed for the user and for everyone, ran torvanreader-cli $version and the demo," \
    "refused an upgrade while in use, upgraded, uninstalled without a trace"
