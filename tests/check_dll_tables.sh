#!/usr/bin/env bash
# The plug-in DLL as shipped: a 32-bit PE whose only export is QGeneralModule; which imports
# only Windows system libraries and msvcrt, and of them only functions Windows XP SP3 has (the
# accepted list); hardened; with no debug information and no build path inside, and its debug
# information in DLL.debug beside it, named by its debug link.
# Usage: check_dll_tables.sh OBJDUMP DLL ACCEPTED_IMPORTS BUILD_PATH...
set -euo pipefail
objdump=$1 dll=$2 accepted=$3
shift 3
tools=${objdump%objdump}
tables=$("$objdump" -p "$dll")
fail=0
problem() { echo "$*"; fail=1; }

grep -q 'file format pei-i386' <<<"$tables" || problem "not a 32-bit PE (pei-i386): $dll"

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{f=1;next} f&&/^[[:space:]]*\[/{print $NF;next} f{f=0}' <<<"$tables")
[ "$exports" = "QGeneralModule" ] || problem "exports are not exactly QGeneralModule:"$'\n'"$exports"

allowed='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|version|msvcrt)\.dll$'
while read -r name; do
    lower=$(tr 'A-Z' 'a-z' <<<"$name")
    grep -Eq "$allowed" <<<"$lower" || problem "unexpected import: $name"
done < <(awk '/DLL Name:/{print $3}' <<<"$tables")

# Every imported function as DLL!Function (an import by ordinal shows as DLL!#N).
imports=$(awk '/^The /{dll=""} /DLL Name:/{dll=toupper($3); next}
               dll && /^\t[0-9a-f]+\t? +[0-9]+ +[^ ]+$/{print dll "!" $NF; next}
               dll && /^\t[0-9a-f]+\t? +[0-9]+ *$/{print dll "!#" $NF}' <<<"$tables" | sort -u)
[ -n "$imports" ] || problem "no imported function read from $dll"
unknown=$(comm -23 <(echo "$imports") <(sed 's/#.*//; /^[[:space:]]*$/d; s/[[:space:]]//g' "$accepted" | sort -u))
[ -z "$unknown" ] || problem "imports not in $(basename "$accepted") (check that Windows XP SP3 has each, then add it):"$'\n'"$unknown"

# Hardening, as the loader reads it.
field() { awk -v k="$1" '$1 == k {print $2; exit}' <<<"$tables"; }
characteristics=$((16#$(field DllCharacteristics)))
for flag in DYNAMIC_BASE:0x40 NX_COMPAT:0x100 NO_SEH:0x400; do
    (( characteristics & ${flag#*:} )) || problem "DllCharacteristics $(field DllCharacteristics) lacks ${flag%:*}"
done
[ "$((16#$(field Subsystem)))" -eq 2 ] || problem "subsystem $(field Subsystem), not 2 (Windows GUI)"
header=$(od -An -tu4 -j60 -N4 "$dll" | tr -d ' ')
stamp=$(od -An -tu4 -j$((header + 8)) -N4 "$dll" | tr -d ' ')
[ "$stamp" -eq 0 ] || problem "the header's time stamp is $stamp, not 0"
export_stamp=$(awk '/^Time\/Date stamp/{print $NF; exit}' <<<"$tables")
[ "$export_stamp" = 0 ] || problem "the export table's time stamp is $export_stamp, not 0"

# NO_SEH holds while no code of the image installs an SEH handler (a write to fs:[0]).
code=$("$objdump" -d --no-show-raw-insn "$dll")
seh=$(grep -E ',%fs:0x0$' <<<"$code" || true)
[ -z "$seh" ] || problem "the image installs SEH handlers, so NO_SEH is wrong:"$'\n'"$seh"

sections=$("$objdump" -h "$dll" | awk '$1 ~ /^[0-9]+$/ {print $2}')
! grep -q '^\.debug' <<<"$sections" || problem "debug sections inside: $(grep '^\.debug' <<<"$sections" | tr '\n' ' ')"
debug=$dll.debug
if ! grep -qx '\.gnu_debuglink' <<<"$sections"; then
    problem "no .gnu_debuglink section"
elif [ ! -s "$debug" ]; then
    problem "no $(basename "$debug") beside the DLL"
else
    # The link holds the file's name, padding to 4 bytes, and the file's CRC-32 (gzip's too).
    link=$("$objdump" -s -j .gnu_debuglink "$dll" | awk '/^ [0-9a-f]+ / {print $2 $3 $4 $5}' | tr -d ' \n')
    link=${link:0:$(( ($(basename "$debug" | wc -c) + 3) / 4 * 8 + 8 ))}
    name=$(printf '%s' "$(basename "$debug")" | od -An -tx1 | tr -d ' \n')
    crc=$(gzip -c "$debug" | tail -c 8 | od -An -tx1 | tr -d ' \n')
    crc=${crc:0:8}
    [[ $link == "$name"00*"$crc" ]] || problem "the debug link ($link) does not name $(basename "$debug") with its CRC $crc"
    grep -q ' \.debug_info ' <<<"$("$objdump" -h "$debug")" || problem "$(basename "$debug") holds no .debug_info"
fi

# Stack canaries: calls to the failure handler, whose place in .text the debug file's symbols give.
symbols=$("$objdump" -t "$debug" 2>/dev/null || true)
handler=$(awk '$NF == "___stack_chk_fail" && $2 == "1)(fl" {print $(NF-1); exit}' <<<"$symbols")
text=$(awk '$2 == ".text" {print $4; exit}' <<<"$("$objdump" -h "$dll")")
guarded=0
if [ -n "$handler" ] && [ -n "$text" ]; then
    guarded=$(grep -c "call   $(printf '0x%x' $((16#$text + handler)))\$" <<<"$code" || true)
fi
[ "$guarded" -ge 20 ] || problem "only $guarded calls to __stack_chk_fail: the stack protector is not in use"

# The threads library's record of a thread it did not start ends the process when it cannot be
# made; the guard of a function-local static and the runtime's own thread-local look-up reach it.
# So the image holds none of them: the module's own look-up stands in (base/thread_runtime.cpp).
for name in ___pthread_self_lite ___cxa_guard_acquire _pthread_getspecific; do
    ! awk '{print $NF}' <<<"$symbols" | grep -qx "$name" || problem "the image holds $name: a thread of the plug-in may end the process"
done

for file in "$dll" "$debug"; do
    [ -e "$file" ] || continue
    texts=$("$tools"strings -a "$file")
    for path in "$@"; do
        ! grep -qF "$path" <<<"$texts" || problem "$(basename "$file") names the build path $path"
    done
done

echo "imports: $(wc -l <<<"$imports") functions; DllCharacteristics $(field DllCharacteristics)," \
     "subsystem $((16#$(field Subsystem))), time stamp $stamp; sections: $(echo $sections);" \
     "$guarded canary checks"
[ $fail -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $fail
