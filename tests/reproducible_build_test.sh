#!/usr/bin/env bash
# The shipped DLL and the unsigned release are reproducible: the source tree, copied to two
# folders of different paths, is configured and built fresh in each (the DLL and, with makensis,
# the setup program), and both DLLs and both debug files must be the same bytes; so must the two
# releases that release/package.sh lays out from them, whose setup program must also be the one
# the build made (the one the installer test tries).
# Usage: reproducible_build_test.sh SOURCE_DIR BUILD_TYPE
set -euo pipefail
source_dir=$1 build_type=$2

work=$(mktemp -d /tmp/tolvane-reproducible.XXXXXX)
trap 'rm -rf "$work"' EXIT
trees=("$work/a/src" "$work/second/source-tree")
release=yes
command -v makensis >/dev/null || { release=; echo "no makensis: the release is left out"; }
for tree in "${trees[@]}"; do
    mkdir -p "$tree"
    tar -C "$source_dir" --exclude=./build --exclude='./build-*' --exclude=./.git -cf - . | tar -C "$tree" -xf -
    cmake -S "$tree" -B "$tree/build" -DCMAKE_BUILD_TYPE="$build_type" >"$work/log" 2>&1 &&
        cmake --build "$tree/build" --target Tolvane ${release:+setup} -j2 >>"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
    # A signer's certificate in the environment is not for this test.
    [ -z "$release" ] || (unset "${!TOLVANE_SIGN_@}"; bash "$tree/release/package.sh" "$tree/build" "$tree/build/out") \
        >"$work/log" 2>&1 || { cat "$work/log"; exit 1; }
done

fail=0
files=(bin/Tolvane.dll bin/Tolvane.dll.debug)
if [ -n "$release" ]; then
    setup=$(cd "${trees[0]}/build" && echo setup/*.exe)
    files+=("$setup" $(cd "${trees[0]}/build" && echo out/*))
    cmp "${trees[0]}/build/$setup" "${trees[0]}/build/out/${setup#setup/}" ||
        { echo "the release's setup program is not the one the build made"; fail=1; }
fi
for file in "${files[@]}"; do
    if ! cmp "${trees[0]}/build/$file" "${trees[1]}/build/$file"; then
        echo "$file differs between the builds in ${trees[0]} and ${trees[1]}"; fail=1
    fi
done
echo "Tolvane.dll: $(stat -c %s "${trees[0]}/build/bin/Tolvane.dll") bytes, sha256 $(sha256sum <"${trees[0]}/build/bin/Tolvane.dll" | cut -c1-16)..."
echo "compared: ${files[*]}"
[ $fail -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $fail
