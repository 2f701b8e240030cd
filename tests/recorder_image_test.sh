#!/usr/bin/env bash
# One real burn of KIND (audio or data) on the stand-in engine's virtual recorder, driven
# through the built plug-in in the stand-in player, and its image checked with Debian's tools.
# Usage: recorder_image_test.sh audio|data BIN_DIR
set -euo pipefail
kind=$1 bin=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/samples.sh"
source "$root/scripts/disc-checks.sh"

work=$(mktemp -d /tmp/tolvane-image-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
make_samples "$work"
mkdir "$work/out"
write_recorder_scenario "$work/scenario.ini" "$work/out" "$work/go"
export TOLVANE_ENGINE_SCENARIO=$(win_path "$work/scenario.ini") TOLVANE_ENGINE_LOG=$(win_path "$work/engine.log")

case $kind in
    audio) playlist=$work/audio.txt type=0 ;;
    data) playlist=$work/data.txt type=1 ;;
    *) echo "usage: $0 audio|data BIN_DIR" >&2; exit 2 ;;
esac
"$root/scripts/wine-run" "$bin/standin-player.exe" --user-hive "Software\\Outwell\\TolvaneImageTest-$kind" \
    --engine "$(win_path "$bin/engine")" "$(win_path "$bin/Tolvane.dll")" "$(win_path "$playlist")" \
    open-dialog 8000 simulate off choose-type $type click-burn wait-progress 50 create-file "$(win_path "$work/go")" \
    wait-burn close-dialog > "$work/player.txt" 2>&1 || { cat "$work/player.txt"; exit 1; }
grep -q '\[message box "Tolvane"\] Ok\.' "$work/player.txt" || { cat "$work/player.txt"; echo "the burn did not end in Ok." >&2; exit 1; }

if [ "$kind" = audio ]; then
    mapfile -t sources < <(sample_audio_sources "$work")
    check_audio_image "$work/out/disc-1.cue" 0 "${sources[@]}"
else
    check_data_image "$work/out/disc-1.iso" "$work/data"
fi
