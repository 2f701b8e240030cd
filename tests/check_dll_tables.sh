#!/usr/bin/env bash
# The plug-in DLL is a 32-bit PE whose only export is QGeneralModule, and which imports only
# Windows system libraries and msvcrt.
set -euo pipefail
objdump=$1 dll=$2
tables=$("$objdump" -p "$dll")
fail=0

grep -q 'file format pei-i386' <<<"$tables" || { echo "not a 32-bit PE (pei-i386): $dll"; fail=1; }

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{f=1;next} f&&/^[[:space:]]*\[/{print $NF;next} f{f=0}' <<<"$tables")
if [ "$exports" != "QGeneralModule" ]; then
    echo "exports are not exactly QGeneralModule:"; echo "$exports"; fail=1
fi

allowed='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|version|msvcrt)\.dll$'
while read -r name; do
    lower=$(tr 'A-Z' 'a-z' <<<"$name")
    if ! grep -Eq "$allowed" <<<"$lower"; then echo "unexpected import: $name"; fail=1; fi
done < <(awk '/DLL Name:/{print $3}' <<<"$tables")

[ $fail -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $fail
