#!/usr/bin/env bash
# The layout check passes on the tree as it is, and fails on each planted include that runs
# back up the folder order (and only on the planted line).
set -euo pipefail
source_root="$1"
check="$source_root/scripts/check-layout"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$check" "$source_root" >/dev/null || { echo "FAIL: the tree itself breaks the folder order"; "$check" "$source_root"; exit 1; }

# file to plant in | include planted | 0 when the check must pass
cases=(
    "settings/settings.cpp|plugin/lifecycle.h|1"
    "engine/engine_session.cpp|burn/burn_job.h|1"
    "base/trace.cpp|settings/settings.h|1"
    "base/handles.h|resources/resource.h|1"
    "burn/burn.cpp|ui/burn_dialog.h|1"
    "ui/burn_dialog.cpp|plugin/lifecycle.h|1"
    "ui/burn_worker.cpp|plugin/host_playlist.h|0"
    "plugin/lifecycle.cpp|ui/burn_dialog.h|0"
)
failed=0
for entry in "${cases[@]}"; do
    IFS='|' read -r file include must_fail <<<"$entry"
    rm -rf "$work/tree" && mkdir -p "$work/tree"
    for folder in base resources settings engine burn ui plugin; do cp -r "$source_root/$folder" "$work/tree/"; done
    printf '#include "%s"\n' "$include" >>"$work/tree/$file"
    if output=$("$check" "$work/tree" 2>&1); then verdict=0; else verdict=1; fi
    if [[ "$verdict" != "$must_fail" ]]; then
        echo "FAIL: $include planted in $file: check exit $verdict, expected $must_fail"; echo "$output"; failed=1
    elif [[ "$must_fail" == 1 && "$(grep -c 'includes "' <<<"$output")" != 1 ]]; then
        echo "FAIL: $include planted in $file: expected exactly the planted line reported"; echo "$output"; failed=1
    fi
done
(( failed == 0 )) && echo "layout check: ${#cases[@]} planted includes judged as expected"
exit "$failed"
