#!/usr/bin/env bash
# The setup program under Wine, as an administrator runs it: a silent install into a fresh
# folder, the stand-in player loading the plug-in from there and opening the burn dialog, an
# install over the DLL while that player holds it, and a silent uninstall. Then a release signed
# with a certificate made here: the DLL, the setup program and the uninstaller an install leaves
# carry valid signatures.
# Usage: installer_test.sh SETUP.exe BIN_DIR
set -euo pipefail
setup=$1 bin=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/samples.sh"
version=$(basename "$setup" | sed -n 's/^Tolvane-\(.*\)-setup\.exe$/\1/p')

work=$(mktemp -d /tmp/tolvane-installer-test.XXXXXX)
folder=$work/plugins             # /D= passed through Wine's command line takes no blank
entry_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvane'
settings_key='HKCU\Software\Outwell\Tolvane'
player_pid=
settings_were_there=
run() { "$root/scripts/wine-run" "$@"; }
# NAME=VALUE per value of KEY, from reg's lines of four-blank-separated name, type and value.
reg_values() { run reg query "$1" 2>/dev/null | tr -d '\r' | awk -F '    ' 'NF >= 4 { print $2 "=" $4 }'; }
cleanup() {
    [ -n "$player_pid" ] && { touch "$work/release"; wait "$player_pid" || true; }
    if [ -n "$settings_were_there" ]; then run reg delete "$settings_key" /v InstallerTest /f >/dev/null 2>&1 || true
    else run reg delete "$settings_key" /f >/dev/null 2>&1 || true; fi
    run reg delete "$entry_key" /f >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "installer test: $*" >&2; exit 1; }
run reg delete "$entry_key" /f >/dev/null 2>&1 || true

echo "== a silent install into a fresh folder"
run "$setup" /S "/D=$(win_path "$folder")" || fail "the silent install ended with status $?"
cmp "$folder/Tolvane.dll" "$bin/Tolvane.dll" || fail "the installed DLL is not the built one"
[ "$(ls "$folder")" = "$(printf 'Tolvane.dll\nUninstall Tolvane.exe')" ] || fail "the folder holds: $(ls "$folder")"
entry=$(reg_values "$entry_key")
echo "$entry"
for expected in "DisplayName=Tolvane $version (QCD player plug-in)" "DisplayVersion=$version" "Publisher=Outwell" \
                "InstallLocation=$(win_path "$folder")" "UninstallString=\"$(win_path "$folder")\\Uninstall Tolvane.exe\"" \
                "QuietUninstallString=\"$(win_path "$folder")\\Uninstall Tolvane.exe\" /S"; do
    grep -qxF "$expected" <<<"$entry" || fail "the uninstall entry lacks $expected"
done

echo "== the player loads the plug-in from there and holds it with the burn dialog open"
printf '%s\tOne\tThe Quays\t3\t1\n' "$(win_path "$work/one.wav")" > "$work/playlist.txt"
run "$bin/standin-player.exe" --fresh-user-hive 'Software\Outwell\TolvaneInstallerTest' \
    --engine "$(win_path "$bin/engine")" "$(win_path "$folder/Tolvane.dll")" "$(win_path "$work/playlist.txt")" \
    open-dialog 8000 create-file "$(win_path "$work/holding")" wait-file "$(win_path "$work/release")" close-dialog \
    > "$work/player.txt" 2>&1 &
player_pid=$!
# The player says it holds the plug-in by the file it makes once its dialog is open.
while [ ! -e "$work/holding" ]; do
    kill -0 "$player_pid" 2>/dev/null || { cat "$work/player.txt"; fail "the player ended before it held the plug-in"; }
    sleep 0.05
done

echo "== a silent install over the held DLL changes nothing and fails"
before=$(stat -c '%n %s %i %y' "$folder"/*)
status=0
run "$setup" /S "/D=$(win_path "$folder")" || status=$?
[ "$status" -ne 0 ] || fail "the install over a held DLL reported success"
[ "$(stat -c '%n %s %i %y' "$folder"/*)" = "$before" ] || fail "the install over a held DLL changed the folder: $(ls -l "$folder")"
echo "  exit status $status, folder unchanged"

touch "$work/release"
status=0
wait "$player_pid" || status=$?
player_pid=
cat "$work/player.txt"
[ "$status" -eq 0 ] || fail "the player ended with status $status"
grep -q '^open-dialog: the burn dialog is open' "$work/player.txt" || fail "the burn dialog did not open"

echo "== a silent uninstall removes the DLL and the entry, and keeps the settings"
run reg query "$settings_key" >/dev/null 2>&1 && settings_were_there=yes
run reg add "$settings_key" /v InstallerTest /d kept /f >/dev/null
run "$folder/Uninstall Tolvane.exe" /S "_?=$(win_path "$folder")" || fail "the silent uninstall ended with status $?"
[ ! -e "$folder/Tolvane.dll" ] || fail "the DLL is still there"
[ -z "$(reg_values "$entry_key")" ] || fail "the uninstall entry is still there"
reg_values "$settings_key" | grep -qx 'InstallerTest=kept' || fail "the settings key lost its value"
echo "  DLL and entry gone, settings kept"

echo "== a signed release: the setup program, and the DLL and uninstaller it installs, verify"
signer=$work/signer
mkdir "$signer"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$signer/key.pem" -out "$signer/cert.pem" -days 2 \
    -subj "/CN=Tolvane test signer" -addext extendedKeyUsage=codeSigning 2>"$work/openssl.txt" &&
    printf 'a pass word' > "$signer/password" &&
    openssl pkcs12 -export -inkey "$signer/key.pem" -in "$signer/cert.pem" -out "$signer/signer.p12" \
        -passout "file:$signer/password" 2>>"$work/openssl.txt" || { cat "$work/openssl.txt"; fail "openssl made no certificate"; }
TOLVANE_SIGN_PKCS12=$signer/signer.p12 TOLVANE_SIGN_PASSWORD='a pass word' \
    bash "$root/release/package.sh" "$bin/.." "$work/out" || fail "the signed release failed"
(cd "$work/out" && sha256sum --quiet -c SHA256SUMS) || fail "the checksums are not those of the signed files"
run "$work/out/Tolvane-$version-setup.exe" /S "/D=$(win_path "$work/signed")" || fail "the signed install ended with status $?"
verify() { osslsigncode verify -CAfile "$signer/cert.pem" -in "$1" > "$work/verify.txt" 2>&1; }
for file in "$work/out/Tolvane-$version-setup.exe" "$work/signed/Tolvane.dll" "$work/signed/Uninstall Tolvane.exe"; do
    verify "$file" || { cat "$work/verify.txt"; fail "osslsigncode does not accept the signature of $file"; }
    echo "  $(basename "$file"): $(grep -m1 'Text description' "$work/verify.txt" | sed 's/^[[:space:]]*//'), verified"
done
! verify "$bin/Tolvane.dll" || fail "osslsigncode accepts the unsigned DLL"
