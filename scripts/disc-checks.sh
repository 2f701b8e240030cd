# Checks of the virtual recorder's disc images with Debian's own tools (xorriso, bchunk, sox,
# lame). Sourced by the demo and the image tests. Each check prints what it found in a
# user's words and returns non-zero, with the reason on stderr, when the image is wrong.

disc_fail() { echo "image check failed: $*" >&2; return 1; }

# check_data_image ISO SOURCE...: the disc's root holds each SOURCE file under its name and
# nothing else (no folder either), byte for byte; the volume identifier "QCD" and four hexadecimal digits. xorriso
# reads the Joliet names and prints them in UTF-8, as the Linux disk holds the sources' names.
check_data_image() {
    local iso=$1 scratch source; shift
    [ -s "$iso" ] || { disc_fail "$iso was not written"; return 1; }
    local volume
    volume=$(xorriso -indev "$iso" -pvd_info 2>/dev/null | sed -n 's/^Volume Id *: *//p' | head -1)
    [[ $volume =~ ^QCD[0-9A-Fa-f]{4}$ ]] || { disc_fail "$iso: volume identifier '$volume' is not QCD and four hex digits"; return 1; }
    local listed expected
    listed=$(LC_ALL=C.UTF-8 xorriso -indev "$iso" -find / 2>/dev/null | sed "s/^'\/\(.*\)'$/\1/; /^$/d" | LC_ALL=C sort)
    expected=$(for source; do basename "$source"; done | LC_ALL=C sort)
    [ "$listed" = "$expected" ] || { disc_fail "$iso lists other names than its sources:"$'\n'"$(diff <(echo "$expected") <(echo "$listed"))"; return 1; }
    scratch=$(mktemp -d)
    LC_ALL=C.UTF-8 xorriso -osirrox on -indev "$iso" -extract / "$scratch/x" >/dev/null 2>&1 || { disc_fail "xorriso cannot extract $iso"; rm -rf "$scratch"; return 1; }
    for source; do
        cmp -s "$source" "$scratch/x/$(basename "$source")" || { disc_fail "$iso: $(basename "$source") differs from its source"; rm -rf "$scratch"; return 1; }
    done
    rm -rf "$scratch"
    echo "  $(basename "$iso"): volume \"$volume\", $# files; xorriso lists every name through Joliet and each file matches its source byte for byte"
}

# readable_engine_log LOG CODE_PAGE: the stand-in engine's log with its texts unescaped and read
# in the code page of the process that wrote them, in UTF-8.
readable_engine_log() {
    perl -pe 's/\\(?:x([0-9A-F]{2})|(.))/defined $1 ? chr hex $1 : ($2 eq "n" ? "\n" : $2 eq "r" ? "\r" : $2 eq "t" ? "\t" : $2)/ge' "$1" |
        iconv -c -f "CP$2" -t UTF-8
}

# The track's audio bytes as bchunk wrote them (its WAV files carry a 44-byte header).
track_samples() { tail -c +45 "$1"; }

check_wav_track() {  # TRACK_WAV SOURCE_WAV
    local got expected blocks
    got=$(stat -c %s "$1"); got=$((got - 44))
    expected=$(sox "$2" -t raw - 2>/dev/null | wc -c)
    blocks=$(( (expected + 2351) / 2352 * 2352 ))
    [ "$got" -eq "$blocks" ] || { disc_fail "$(basename "$2"): track holds $got bytes, expected $blocks"; return 1; }
    cmp -s <(track_samples "$1" | head -c "$expected") <(sox "$2" -t raw - 2>/dev/null) || { disc_fail "$(basename "$2"): samples differ"; return 1; }
    echo "WAV data, $((expected / 4)) samples, identical"
}

check_pcm_track() {  # TRACK_WAV SOURCE_PCM
    local got whole
    got=$(($(stat -c %s "$1") - 44))
    whole=$(( $(stat -c %s "$2") / 2352 * 2352 ))
    [ "$got" -eq "$whole" ] || { disc_fail "$(basename "$2"): track holds $got bytes, expected $whole"; return 1; }
    cmp -s <(track_samples "$1") <(head -c "$whole" "$2") || { disc_fail "$(basename "$2"): samples differ"; return 1; }
    echo "raw bytes cut to $((whole / 2352)) whole blocks, identical"
}

rms_of() { sox "$1" -n stat 2>&1 | sed -n 's/^RMS *amplitude: *//p'; }

# Decoders differ by a frame or two of delay and padding; the music itself must agree.
check_mp3_track() {  # TRACK_WAV SOURCE_MP3
    local scratch got decoded rms_got rms_decoded
    scratch=$(mktemp -d)
    lame --quiet --decode "$2" "$scratch/decoded.wav" || { disc_fail "lame cannot decode $2"; rm -rf "$scratch"; return 1; }
    got=$(($(stat -c %s "$1") - 44))
    decoded=$(sox "$scratch/decoded.wav" -t raw - | wc -c)
    rms_got=$(rms_of "$1"); rms_decoded=$(rms_of "$scratch/decoded.wav")
    rm -rf "$scratch"
    local slack=$((4 * 1152 * 4 + 2352))
    (( got >= decoded - slack && got <= decoded + slack )) || { disc_fail "$(basename "$2"): track holds $got bytes, lame decodes $decoded"; return 1; }
    awk -v a="$rms_got" -v b="$rms_decoded" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(b > 0 && d / b < 0.05) }' ||
        { disc_fail "$(basename "$2"): RMS $rms_got against lame's $rms_decoded"; return 1; }
    echo "decoded MP3, $((got / 4)) samples against lame's $((decoded / 4)), RMS $rms_got against $rms_decoded"
}

# check_audio_image CUE GAP_SECONDS SOURCE...: bchunk splits the image back into tracks, each
# compared with its source; the pregaps are read from the cue.
check_audio_image() {
    local cue=$1 gap=$2; shift 2
    local bin=${cue%.cue}.bin scratch n=0
    [ -s "$bin" ] && [ -s "$cue" ] || { disc_fail "$cue or its .bin was not written"; return 1; }
    scratch=$(mktemp -d)
    bchunk -w "$bin" "$cue" "$scratch/track" >/dev/null 2>&1 || { disc_fail "bchunk cannot split $cue"; rm -rf "$scratch"; return 1; }
    local tracks; tracks=$(ls "$scratch"/track*.wav 2>/dev/null | wc -l)
    [ "$tracks" -eq $# ] || { disc_fail "$cue holds $tracks tracks, expected $#"; rm -rf "$scratch"; return 1; }
    local pregaps expected_pregaps
    pregaps=$(tr -d '\r' < "$cue" | awk '/TRACK/ { t = $2 } /PREGAP/ { print t " " $2 }' | tr '\n' ' ')
    expected_pregaps="01 00:02:00 "
    if [ "$gap" -gt 0 ]; then
        for ((i = 2; i <= $#; i++)); do expected_pregaps+=$(printf '%02d 00:%02d:00 ' "$i" "$gap"); done
    fi
    [ "$pregaps" = "$expected_pregaps" ] || { disc_fail "$cue pregaps '$pregaps', expected '$expected_pregaps'"; rm -rf "$scratch"; return 1; }
    echo "  $(basename "$cue"): $tracks tracks split by bchunk; pregaps: 2 s before track 1$([ "$gap" -gt 0 ] && echo ", $gap s before the others" || echo ", none between tracks")"
    for source in "$@"; do
        n=$((n + 1))
        local track; track=$(printf '%s/track%02d.wav' "$scratch" "$n")
        local found
        case "${source,,}" in
            *.wav) found=$(check_wav_track "$track" "$source") ;;
            *.pcm) found=$(check_pcm_track "$track" "$source") ;;
            *.mp3) found=$(check_mp3_track "$track" "$source") ;;
            *) disc_fail "no check for $source"; false ;;
        esac || { rm -rf "$scratch"; return 1; }
        echo "    track $n ($(basename "$source")): $found"
    done
    rm -rf "$scratch"
}
