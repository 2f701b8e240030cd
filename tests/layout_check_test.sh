#!/usr/bin/env bash
# The layout check passes on the tree as it is, and fails on each planted line that runs back up
# the folder order (and reports the planted line alone): an include, a member of a class defined
# outside the class's folder, a forward declaration of a type that a folder above defines.
set -euo pipefail
source_root="$1"
check="$source_root/scripts/check-layout"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$check" "$source_root" >/dev/null || { echo "FAIL: the tree itself breaks the folder order"; "$check" "$source_root"; exit 1; }

# file to plant in | line planted | 0 when the check must pass
cases=(
    'settings/settings.cpp|#include "plugin/lifecycle.h"|1'
    'engine/engine_session.cpp|#include "burn/burn_job.h"|1'
    'base/trace.cpp|#include "settings/settings.h"|1'
    'base/handles.h|#include "resources/resource.h"|1'
    'burn/burn.cpp|#include "ui/burn_dialog.h"|1'
    'ui/burn_dialog.cpp|#include "plugin/lifecycle.h"|1'
    'ui/burn_worker.cpp|#include "plugin/host_playlist.h"|0'
    'plugin/lifecycle.cpp|#include "ui/burn_dialog.h"|0'
    'burn/burn.cpp|EngineResult EngineSession::Burn(const BurnJob& job) { return EngineResult(0); }|1'
    'engine/engine_session.cpp|void EngineSession::Forget() {}|0'
    'engine/engine_session.h|struct IsoItem;|1'
    'burn/burn.h|struct DriveList;|0'
    'burn/burn.h|struct _WIN32_FIND_DATAA;|0'
)
failed=0
for entry in "${cases[@]}"; do
    IFS='|' read -r file planted must_fail <<<"$entry"
    rm -rf "$work/tree" && mkdir -p "$work/tree"
    for folder in base resources settings engine burn ui plugin; do cp -r "$source_root/$folder" "$work/tree/"; done
    printf '%s\n' "$planted" >>"$work/tree/$file"
    planted_at="$file:$(wc -l <"$work/tree/$file"):"
    if output=$("$check" "$work/tree" 2>&1); then verdict=0; else verdict=1; fi
    if [[ "$verdict" != "$must_fail" ]]; then
        echo "FAIL: $planted planted in $file: check exit $verdict, expected $must_fail"; echo "$output"; failed=1
    elif [[ "$must_fail" == 1 && "$(grep -cE '^[^ ]+:[0-9]+: ' <<<"$output")" != 1 ]] ||
         [[ "$must_fail" == 1 && "$(grep -c "^$planted_at" <<<"$output")" != 1 ]]; then
        echo "FAIL: $planted planted in $file: expected exactly the planted line reported"; echo "$output"; failed=1
    fi
done
(( failed == 0 )) && echo "layout check: ${#cases[@]} planted lines judged as expected"
exit "$failed"
