#!/usr/bin/env bash
# Signing, with a throw-away certificate made here: the packages made with TORVAN_SIGN_PKCS12 and
# TORVAN_SIGN_PASSWORD_FILE set carry signatures that osslsigncode verifies against it, on each
# program, the installer, the MSI package and the uninstaller that the installer writes (installed
# under Wine, in a prefix of its own). A wrong password fails the packaging, and so does one of
# the two settings alone; without them the packaging says that it did not sign.
#   check-signing.sh WORK_DIR VERSION STAGE PACKAGES_SCRIPT PACKAGES_DEFINES...
set -euo pipefail
# shellcheck source=tests/windows/package-test.sh
source "$(dirname "$0")/package-test.sh" "$@"
unset TORVAN_SIGN_PKCS12 TORVAN_SIGN_PASSWORD_FILE TORVAN_SIGN_TIMESTAMP_URL

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/certificate.pem" -days 2 \
    -subj "/CN=TorvanReader test signing" 2>/dev/null
echo "throw-away" >"$work/password"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/certificate.pem" -out "$work/certificate.p12" \
    -passout "file:$work/password"
echo "wrong" >"$work/wrong-password"

# Packs the staged programs into DIR with the environment given; its output in DIR.txt.
packs() {
    local dir=$work/$1
    shift
    mkdir -p "$dir"
    cp -a "$stage" "$dir/TorvanReader"
    env "$@" cmake "${defines[@]}" -DWORK="$dir" -DOUT="$dir" -DVERSION="$version" -DNSIS_COMPRESSOR=zlib \
        -P "$script" >"$dir.txt" 2>&1
}

verified() {
    osslsigncode verify -CAfile "$work/certificate.pem" -in "$1" >"$work/verify.txt" 2>&1 ||
        fail "$(basename "$1") is not signed: $(grep -i -m 2 -E 'fail|error|no signature' "$work/verify.txt")"
}

packs signed TORVAN_SIGN_PKCS12="$work/certificate.p12" TORVAN_SIGN_PASSWORD_FILE="$work/password" ||
    fail "signed packaging failed: $(cat "$work/signed.txt")"
for program in torvanreader torvanreader-cli torvanreader-demo; do
    verified "$work/signed/TorvanReader/$program.exe"
done
setup=$work/signed/TorvanReader-$version-win64-setup.exe
verified "$setup"
verified "$work/signed/TorvanReader-$version-win64.msi"
"$runner" "$setup" /S /CurrentUser || fail "the signed installer exited with $?"
verified "$user_folder/AppData/Local/Programs/TorvanReader/Uninstall.exe"

packs wrong TORVAN_SIGN_PKCS12="$work/certificate.p12" TORVAN_SIGN_PASSWORD_FILE="$work/wrong-password" &&
    fail "packaging with a wrong password went through"
grep -q "could not be signed" "$work/wrong.txt" || fail "a wrong password was not said: $(cat "$work/wrong.txt")"
packs half TORVAN_SIGN_PKCS12="$work/certificate.p12" && fail "packaging with no password file went through"
grep -q "go together" "$work/half.txt" || fail "a missing password file was not said: $(cat "$work/half.txt")"
packs unsigned || fail "unsigned packaging failed: $(cat "$work/unsigned.txt")"
grep -q "^not signed" "$work/unsigned.txt" || fail "an unsigned build did not say so"
echo "signing: every program, the installer, the MSI package and the uninstaller signed and verified;" \
    "a wrong password and a missing one refused, an unsigned build said"
