#!/usr/bin/env bash
# One real burn of KIND (audio or data) on the stand-in engine's virtual recorder, driven
# through the built plug-in in the stand-in player, and its image checked with Debian's tools.
# With CODE_PAGE (932) the player runs in a locale of that code page and burns a music folder
# whose names hold characters with a backslash's or a letter's byte as their second byte.
# Usage: recorder_image_test.sh audio|data BIN_DIR [CODE_PAGE]
set -euo pipefail
kind=$1 bin=$2 code_page=${3:-}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/samples.sh"
source "$root/scripts/disc-checks.sh"
usage() { echo "usage: $0 audio|data BIN_DIR [932]" >&2; exit 2; }
case $kind in
    audio) type=0 ;;
    data) type=1 ;;
    *) usage ;;
esac

work=$(mktemp -d /tmp/tolvane-image-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
# The locale a code page is had in, and what the player is asked to have.
case $code_page in
    "") locale=() code_page_option=() ;;
    932) locale=(LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8) code_page_option=(--code-page 932) ;;
    *) usage ;;
esac
if [ -z "$code_page" ]; then
    make_samples "$work"
    sources=("$work"/data/*)
    [ "$kind" = data ] || mapfile -t sources < <(sample_audio_sources "$work")
    playlist=$work/$kind.txt
else
    make_cp932_samples "$work"
    mapfile -t sources < <(cp932_sample_paths | sed "s|^|$work/music/|")
    playlist=$work/music
fi
mkdir "$work/out"
write_recorder_scenario "$work/scenario.ini" "$work/out" "$work/go"
export TOLVANE_ENGINE_SCENARIO=$(win_path "$work/scenario.ini") TOLVANE_ENGINE_LOG=$(win_path "$work/engine.log")
status=0
env "${locale[@]}" "$root/scripts/wine-run" "$bin/standin-player.exe" "${code_page_option[@]}" \
    --user-hive "Software\\Outwell\\TolvaneImageTest-$kind$code_page" \
    --engine "$(win_path "$bin/engine")" "$(win_path "$bin/Tolvane.dll")" "$(win_path "$playlist")" \
    open-dialog 8000 simulate off choose-type $type click-burn wait-progress 50 create-file "$(win_path "$work/go")" \
    wait-burn close-dialog > "$work/player.txt" 2>&1 || status=$?
# The player writes in the process's code page.
if [ -n "$code_page" ]; then
    iconv -c -f "CP$code_page" -t UTF-8 "$work/player.txt" > "$work/player.utf8" && mv "$work/player.utf8" "$work/player.txt"
fi
if grep -q '^standin-player: the process has code page' "$work/player.txt"; then
    echo "this burn needs code page $code_page: $(cat "$work/player.txt")" >&2
    echo "(is the locale ${locale[0]#LANG=} generated? locale -a lists those there are; scripts/bootstrap makes them)" >&2
    exit 1
fi
if [ "$status" -ne 0 ] || ! grep -q '\[message box "Tolvane"\] Ok\.' "$work/player.txt"; then
    cat "$work/player.txt"
    echo "the burn did not end in Ok.; the engine was given:" >&2
    readable_engine_log "$work/engine.log" "${code_page:-1252}" | grep -E '^(rec (isoitem|audiotrack)|step record)' >&2 || true
    exit 1
fi

if [ "$kind" = audio ]; then
    check_audio_image "$work/out/disc-1.cue" 0 "${sources[@]}"
else
    check_data_image "$work/out/disc-1.iso" "${sources[@]}"
fi
