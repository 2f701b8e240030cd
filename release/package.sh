#!/usr/bin/env bash
# Lays out the release of a build in OUT_DIR: the setup program (makensis, release/Tolvane.nsi),
# a zip of the DLL with a read-me for users, the DLL's debug file and SHA256SUMS for the three.
# Usage: package.sh BUILD_DIR OUT_DIR
# With a certificate (TOLVANE_SIGN_PKCS12 and TOLVANE_SIGN_PASSWORD_FILE or TOLVANE_SIGN_PASSWORD;
# see release/sign.sh) the DLL, the uninstaller and the setup program are signed before the zip
# and the checksums are made. Without one the release is unsigned, and the same commit gives the
# same files, byte for byte. scripts/release runs this after its checks; the tests run it too.
set -euo pipefail
build=$(cd "$1" && pwd) out=$2
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
fail() { echo "release FAILED: $*" >&2; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "$build/CMakeCache.txt holds no project version"
dll=$build/bin/Tolvane.dll
debug=$build/bin/Tolvane.dll.debug
[ -f "$debug" ] || fail "$debug is missing: the build leaves the DLL stripped and its debug information there"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The DLL names its debug file and that file's CRC-32; a stale debug file would not match.
# (objcopy writes a copy of the DLL as it reads the section; the build's DLL stays untouched.)
link=$scratch/debuglink
i686-w64-mingw32-objcopy --dump-section .gnu_debuglink="$link" "$dll" "$scratch/copy.dll" 2>/dev/null || true
[ -s "$link" ] || fail "$dll has no debug link (.gnu_debuglink): the build did not strip it"
[ "$(head -c 17 "$link" | tr -d '\0')" = Tolvane.dll.debug ] || fail "$dll links to another debug file"
[ "$(tail -c 4 "$link" | od -An -tx1)" = "$(gzip -c "$debug" | tail -c 8 | head -c 4 | od -An -tx1)" ] ||
    fail "$debug does not belong to $dll (its CRC-32 differs from the DLL's debug link)"

stage=$scratch/zip
mkdir "$stage"
cp "$dll" "$stage/Tolvane.dll"
sign=()
if [ -n "${TOLVANE_SIGN_PKCS12:-}" ]; then
    if [ -n "${TOLVANE_SIGN_PASSWORD+set}" ]; then
        # A password given in the environment goes to a file only this user reads, and no further.
        printf '%s' "$TOLVANE_SIGN_PASSWORD" > "$scratch/password"
        export TOLVANE_SIGN_PASSWORD_FILE=$scratch/password
        unset TOLVANE_SIGN_PASSWORD
    fi
    export TOLVANE_SIGN_PKCS12
    when="without a timestamp"
    [ -z "${TOLVANE_SIGN_TIMESTAMP:-}" ] || when="timestamped by $TOLVANE_SIGN_TIMESTAMP"
    echo "Signing the DLL, the uninstaller and the setup program with $TOLVANE_SIGN_PKCS12, $when."
    bash "$repo/release/sign.sh" "$stage/Tolvane.dll" "Tolvane $version" || fail "the DLL could not be signed"
    sign=("-DSIGN=$repo/release/sign.sh")
else
    echo "The release is unsigned: no certificate given (scripts/release --certificate FILE, or TOLVANE_SIGN_PKCS12)."
fi

mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/Tolvane-* "$out/SHA256SUMS"
makensis -V1 -DVERSION="$version" -DDLL="$stage/Tolvane.dll" -DOUTFILE="$out/Tolvane-$version-setup.exe" \
    "${sign[@]}" "$repo/release/Tolvane.nsi" || fail "makensis could not make the setup program"
cp "$debug" "$out/Tolvane-$version.dll.debug"

# Fixed names, order, modes and times (the commit's), no Unix extra fields: a reproducible zip.
stamp=${SOURCE_DATE_EPOCH:-$(git -C "$repo" log -1 --format=%ct 2>/dev/null || echo 946684800)}
sed "s/@VERSION@/$version/g; s/\$/\r/" "$repo/release/README.txt" > "$stage/README.txt"
chmod 644 "$stage"/*
TZ=UTC touch -d "@$stamp" "$stage"/*
(cd "$stage" && TZ=UTC zip -q -X -D "$out/Tolvane-$version.zip" Tolvane.dll README.txt)

(cd "$out" && sha256sum "Tolvane-$version-setup.exe" "Tolvane-$version.zip" "Tolvane-$version.dll.debug" > SHA256SUMS)
echo "Release $version in $out:"
(cd "$out" && ls -l --time-style=+ Tolvane-* SHA256SUMS | awk '{ printf "  %-34s %9d bytes\n", $NF, $5 }')
