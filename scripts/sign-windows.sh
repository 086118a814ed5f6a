#!/usr/bin/env bash
# Signs Windows programs, installers and MSI packages in place (Authenticode, SHA-256, with
# osslsigncode) when the environment gives a certificate:
#   TORVAN_SIGN_PKCS12          the certificate and its key, a PKCS#12 file
#   TORVAN_SIGN_PASSWORD_FILE   a file holding its password
#   TORVAN_SIGN_TIMESTAMP_URL   an RFC 3161 time-stamp server (optional): the signature then
#                               outlives the certificate
# Without them it signs nothing and says so; with one of the two, or a certificate that does not
# sign, it fails, so that no build meant to be signed comes out unsigned.
#   scripts/sign-windows.sh FILE...
#   scripts/sign-windows.sh --identity FILE   writes what the signing depends on into FILE, when
#                                             it changed (the build packs again then)
set -euo pipefail
pkcs12=${TORVAN_SIGN_PKCS12:-}
password=${TORVAN_SIGN_PASSWORD_FILE:-}
timestamp=${TORVAN_SIGN_TIMESTAMP_URL:-}

if [ "${1:-}" = --identity ]; then
    identity="certificate: $pkcs12 $(sha256sum <"$pkcs12" 2>/dev/null || true)
time stamps: $timestamp"
    [ "$(cat "$2" 2>/dev/null)" = "$identity" ] || echo "$identity" >"$2"
    exit 0
fi

# The files by name; makensis hands over the uninstaller under a temporary one.
names=("${@##*/}")
names=("${names[@]/#makensis*/the uninstaller}")
if [ -z "$pkcs12" ] && [ -z "$password" ]; then
    echo "not signed (TORVAN_SIGN_PKCS12 and TORVAN_SIGN_PASSWORD_FILE are not set):" "${names[@]}"
    exit 0
fi
if [ -z "$pkcs12" ] || [ -z "$password" ]; then
    echo "sign-windows.sh: TORVAN_SIGN_PKCS12 and TORVAN_SIGN_PASSWORD_FILE go together" >&2
    exit 1
fi
stamp=()
[ -z "$timestamp" ] || stamp=(-ts "$timestamp")
for file in "$@"; do
    rm -f "$file.signed"
    if ! osslsigncode sign -pkcs12 "$pkcs12" -readpass "$password" -h sha256 -n TorvanReader \
        "${stamp[@]}" -in "$file" -out "$file.signed" >/dev/null; then
        rm -f "$file.signed"
        echo "sign-windows.sh: $file could not be signed with $pkcs12" >&2
        exit 1
    fi
    mv "$file.signed" "$file"
done
echo "signed with $pkcs12:" "${names[@]}"
