#!/usr/bin/env bash
# The shipped DLL is reproducible: the source tree, copied to two folders of different paths, is
# configured and built fresh in each (the Tolvane target only), and both DLLs and both debug
# files must be the same bytes.
# Usage: reproducible_build_test.sh SOURCE_DIR BUILD_TYPE
set -euo pipefail
source_dir=$1 build_type=$2

work=$(mktemp -d /tmp/tolvane-reproducible.XXXXXX)
trap 'rm -rf "$work"' EXIT
trees=("$work/a/src" "$work/second/source-tree")
for tree in "${trees[@]}"; do
    mkdir -p "$tree"
    tar -C "$source_dir" --exclude=./build --exclude='./build-*' --exclude=./.git -cf - . | tar -C "$tree" -xf -
    cmake -S "$tree" -B "$tree/build" -DCMAKE_BUILD_TYPE="$build_type" >"$work/log" 2>&1 &&
        cmake --build "$tree/build" --target Tolvane -j2 >>"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
done

fail=0
for file in Tolvane.dll Tolvane.dll.debug; do
    if ! cmp "${trees[0]}/build/bin/$file" "${trees[1]}/build/bin/$file"; then
        echo "$file differs between the builds in ${trees[0]} and ${trees[1]}"; fail=1
    fi
done
echo "Tolvane.dll: $(stat -c %s "${trees[0]}/build/bin/Tolvane.dll") bytes, sha256 $(sha256sum <"${trees[0]}/build/bin/Tolvane.dll" | cut -c1-16)..."
[ $fail -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $fail
