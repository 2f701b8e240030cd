#!/usr/bin/env bash
# The dialogs' pictures at four display scales (100, 125, 150 and 200 %), each in a Wine prefix
# of its own: Wine reads the scale once, when a prefix's session starts.
# Usage: display_scale_test.sh SOURCE_DIR BIN_DIR
set -uo pipefail
scripts=$1/scripts bin=$2
failed=
for dpi in 96 120 144 192; do
    echo "== $dpi dots per inch"
    TOLVANE_DPI=$dpi "$scripts/with-display" "$scripts/wine-run" "$bin/ui_tests.exe" --gtest_filter='DisplayScale.*' ||
        failed+=" $dpi"
done
[ -z "$failed" ] || { echo "failed at:$failed dots per inch"; exit 1; }
