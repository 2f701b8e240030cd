#!/usr/bin/env bash
# The player's process already holds mingw's shared runtime (libgcc_s_dw2-1.dll, as another
# plug-in or codec would bring it) when it loads ours: an exception thrown inside our module must
# still find our handlers. First the mechanism, with a probe plug-in that throws and catches
# inside itself (and, to show the fault is really there, once without base/module_runtime at its
# entry); then a real burn that fails with "File type is unknown!", and the next one, "Ok.".
# Usage: foreign_runtime_test.sh G++ BIN_DIR
set -euo pipefail
gxx=$1 bin=$(realpath "$2")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/samples.sh"

shared=()
for name in libwinpthread-1.dll libgcc_s_dw2-1.dll; do  # the second imports the first
    path=$(realpath -m "$("$gxx" -print-file-name=$name)")
    [ -f "$path" ] || { echo "$name not found (Debian packages mingw-w64-i686-dev, gcc-mingw-w64-i686-posix-runtime)" >&2; exit 1; }
    shared+=(--preload "$(win_path "$path")")
done

work=$(mktemp -d /tmp/tolvane-foreign-runtime.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail=0
player() {  # OUTPUT ARGS...: runs the player with the shared runtime preloaded; echoes its exit status
    local out=$1 status=0
    shift
    "$root/scripts/wine-run" "$bin/standin-player.exe" --fresh-user-hive 'Software\Outwell\TolvaneForeignRuntimeTest' \
        "${shared[@]}" "$@" </dev/null 2>&1 | tr -d '\r' >"$out" || status=$?
    echo $status
}

# probe, the player's exit status (3: abort) and a line it must print
while read -r probe expected line; do
    status=$(player "$work/$probe.txt" "$(win_path "$bin/$probe.dll")" -)
    if [ "$status" != "$expected" ] || ! grep -qx "$line" "$work/$probe.txt"; then
        echo "$probe: exit status $status, expected $expected and \"$line\":"; cat "$work/$probe.txt"; fail=1
    fi
done <<'TABLE'
throw_probe_adopted 0 loaded: 1
throw_probe_unadopted 3 probe: throwing
TABLE

printf '[drive]\nname = Tolvane Virtual Recorder\nletter = R\nspeeds1 = 4,8\n' > "$work/scenario.ini"
export TOLVANE_ENGINE_SCENARIO=$(win_path "$work/scenario.ini")
: > "$work/tone.ogg"
: > "$work/tone.wav"
printf '%s\tUnknown\tArtist\t60\t1\n' "$(win_path "$work/tone.ogg")" > "$work/unknown.txt"
printf '%s\tKnown\tArtist\t60\t1\n' "$(win_path "$work/tone.wav")" > "$work/known.txt"
status=$(player "$work/burns.txt" --engine "$(win_path "$bin/engine")" "$(win_path "$bin/Tolvane.dll")" \
    "$(win_path "$work/unknown.txt")" open-dialog 8000 choose-type 0 burn close-dialog \
    playlist "$(win_path "$work/known.txt")" open-dialog 8000 choose-type 0 burn close-dialog)
boxes=$(grep -o "\[message box.*" "$work/burns.txt" | tr "\n" "|" || true)
if [ "$status" != 0 ] || [ "$boxes" != '[message box "Tolvane"] File type is unknown!|[message box "Tolvane"] Ok.|' ]; then
    echo "the burns with the shared runtime in the player: exit status $status, boxes: $boxes"; cat "$work/burns.txt"; fail=1
fi

[ $fail -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $fail
