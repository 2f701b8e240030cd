#!/usr/bin/env bash
# Signs one Windows program or DLL in place with Authenticode (SHA-256), by Debian's osslsigncode.
# Usage: sign.sh FILE DESCRIPTION
# The certificate: TOLVANE_SIGN_PKCS12 (a PKCS#12 file with the key and its chain) and
# TOLVANE_SIGN_PASSWORD_FILE (its password on the first line; an empty file for none). The
# password is read from that file, never passed on a command line. TOLVANE_SIGN_TIMESTAMP, when
# set, is the URL of an RFC 3161 timestamp server; without it the signature carries no timestamp.
# release/package.sh calls this for the DLL, and makensis for the uninstaller and the setup program.
set -euo pipefail
file=$1 description=$2
: "${TOLVANE_SIGN_PKCS12:?names no certificate}" "${TOLVANE_SIGN_PASSWORD_FILE:?names no password file}"

password=(-readpass "$TOLVANE_SIGN_PASSWORD_FILE")
# osslsigncode reads no empty password from a file; an empty one on the command line reveals nothing.
[ -s "$TOLVANE_SIGN_PASSWORD_FILE" ] || password=(-pass "")
timestamp=()
[ -z "${TOLVANE_SIGN_TIMESTAMP:-}" ] || timestamp=(-ts "$TOLVANE_SIGN_TIMESTAMP")

rm -f "$file.signed"
if ! log=$(osslsigncode sign -pkcs12 "$TOLVANE_SIGN_PKCS12" "${password[@]}" -h sha256 -n "$description" \
               "${timestamp[@]}" -in "$file" -out "$file.signed" 2>&1); then
    rm -f "$file.signed"
    echo "$log" >&2
    echo "sign.sh: osslsigncode could not sign $file with $TOLVANE_SIGN_PKCS12" >&2
    exit 1
fi
mv -f "$file.signed" "$file"
