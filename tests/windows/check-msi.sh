#!/usr/bin/env bash
# The MSI package under Wine's msiexec, as IT rolls it out (msiexec /i ... /qn /l*v LOG), in a
# Wine prefix of its own:
# - over an older package (made here, 1.0.0.0 with a file of its own: only the fourth version
#   field differs) it installs in place: listed once, with the new version, the older file gone,
#   its Start-menu entries starting the tool and the demo with --in-documents, and the installed
#   torvanreader-cli.exe answering with the version;
# - an older package (0.9.0.0) is refused, and so is the setup program for everyone beside it;
# - msiexec /x removes it without a trace;
# - beside the setup program's install for everyone, the package is refused.
#   check-msi.sh MSI SETUP.EXE WORK_DIR VERSION STAGE PACKAGES_SCRIPT PACKAGES_DEFINES...
set -euo pipefail
msi=$(realpath "$1")
setup=$(realpath "$2")
shift 2
# shellcheck source=tests/windows/package-test.sh
source "$(dirname "$0")/package-test.sh" "$@"
folder="$drive/Program Files/TorvanReader"
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# An older build's MSI package: the same programs, VERSION, and a file of its own.
older() {
    other_version "$1"
    echo "$work/$1/TorvanReader-$1-win64.msi"
}

# msiexec's exit code: 0 done; Windows' 1603 (a failed install) comes out here as 1603 % 256.
run_msiexec() {
    local code=0
    "$runner" "$drive/windows/system32/msiexec.exe" "$@" /qn /l*v 'C:\msi.log' || code=$?
    echo "$code"
}

# How many entries of TorvanReader the machine's list of installed programs holds.
listed() {
    "$runner" "$drive/windows/system32/reg.exe" query "$uninstall" /s 2>/dev/null | tr -d '\r' |
        grep -cE '^ +DisplayName +REG_SZ +TorvanReader$' || true
}

[ "$(run_msiexec /i "$(older 1.0.0.0)")" = 0 ] || fail "the older package did not install"
[ -f "$folder/older.txt" ] || fail "the older package installed nothing"
[ "$(run_msiexec /i "$msi")" = 0 ] || fail "the package did not install over the older one"
[ -s "$drive/msi.log" ] || fail "msiexec wrote no log"
[ "$(listed)" = 1 ] || fail "$(listed) TorvanReader entries are listed, not one"
[ ! -e "$folder/older.txt" ] || fail "the older package's file is left"
answers_version "$folder"
# Where Windows Installer put the Start menu: Wine puts everyone's entries in the user's.
menu=$(tr -d '\0\r' <"$drive/msi.log" | sed -n 's/^Property(S): ProgramMenuFolder = //p' | head -n 1)
for entry in "TorvanReader:torvanreader.exe" "TorvanReader Demo:torvanreader-demo.exe"; do
    starts "$(linux_path "$menu")TorvanReader/${entry%%:*}.lnk" "C:\\Program Files\\TorvanReader\\${entry#*:}"
done
menu=$(linux_path "$menu")TorvanReader

[ "$(run_msiexec /i "$(older 0.9.0.0)")" != 0 ] || fail "an older package installed over a newer one"
code=0
"$runner" "$setup" /S /AllUsers || code=$?
[ "$code" = 2 ] || fail "the setup program for everyone beside the package exited with $code"
[ "$(listed)" = 1 ] || fail "the refusals changed the list of installed programs"

[ "$(run_msiexec /x "$msi")" = 0 ] || fail "msiexec /x failed"
[ ! -e "$folder" ] || fail "left behind: $(cd "$folder" && find . | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "the Start-menu folder $menu is left"
[ "$(listed)" = 0 ] || fail "an entry among the installed programs is left"
! "$runner" "$drive/windows/system32/reg.exe" query 'HKLM\Software\TorvanReader' >/dev/null 2>&1 ||
    fail "the key HKLM\\Software\\TorvanReader is left"

"$runner" "$setup" /S /AllUsers || fail "the setup program did not install"
[ "$(run_msiexec /i "$msi")" != 0 ] || fail "the package installed beside the setup program's install"
echo "msi: replaced an older package in place, refused an older one and the setup program beside it," \
    "removed without a trace, refused beside the setup program's install"
