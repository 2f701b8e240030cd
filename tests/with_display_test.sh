#!/usr/bin/env bash
# Two commands under scripts/with-display at once, as a person trying the player by hand runs
# them: the player's output comes as it is written; a second run joins the first's screen and
# ends none of its programs; Ctrl+C ends the player in order (shutdown, unload, status 0).
set -euo pipefail
source_root=$1
bin=$2
source "$source_root/scripts/samples.sh"
work=$(mktemp -d)
player=
# Ctrl+C, so that a failed check leaves no player behind either.
ctrl_c() { [ -z "$player" ] || kill -INT -- "-$player" 2>/dev/null || true; }
# A player that was still starting may not take its Ctrl+C: after a bounded wait for its end,
# its group is killed, so no failed run leaves a player behind.
end_player() {
    ctrl_c
    [ -n "$player" ] && kill -0 "$player" 2>/dev/null || return 0
    timeout 20 tail --pid="$player" -f /dev/null || kill -KILL -- "-$player" 2>/dev/null || true
}
trap 'end_player; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; cat "$work/player.out" 2>/dev/null; exit 1; }

dll=$(win_path "$bin/Tolvane.dll")
# Each run its own settings: the plug-in marks them while it is loaded, and a second player on
# the same ones would ask whether it closed properly.
hive=Software\\Outwell\\TolvaneWithDisplayTest
# The output file exists before tail follows it, whenever the background run gets to open it.
: >"$work/player.out"
# Its own process group, so the Ctrl+C below reaches exactly what a terminal would reach.
setsid "$source_root/scripts/with-display" "$source_root/scripts/wine-run" "$bin/standin-player.exe" \
    --fresh-user-hive "${hive}1" "$dll" - interactive >"$work/player.out" 2>&1 &
player=$!

# Streamed: the line is there while the player still runs (tail follows only as long as it does).
grep -q -m1 '^interactive: the player' < <(tail -n +1 -f --pid="$player" "$work/player.out") ||
    fail "the interactive line did not come while the player ran"

"$source_root/scripts/with-display" "$source_root/scripts/wine-run" "$bin/standin-player.exe" --fresh-user-hive "${hive}2" \
    "$dll" - describe \
    >"$work/second.out" 2>&1 || fail "the second run failed: $(cat "$work/second.out")"
grep -q '^description: ' "$work/second.out" || fail "the second run printed no description"
kill -0 "$player" 2>/dev/null || fail "the second run ended the first"
grep -q 'closed' "$work/player.out" && fail "the player's window closed under the second run"

ctrl_c
status=0
wait "$player" || status=$?
[ "$status" -eq 0 ] || fail "the player ended with status $status after Ctrl+C"
grep -q '^interactive: closed' "$work/player.out" || fail "Ctrl+C did not close the interactive mode"
echo "ok"
