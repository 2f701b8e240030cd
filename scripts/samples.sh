# The sample music and files the demo and the image tests burn. Sourced; needs sox and lame.

# Windows view of a Unix path: Wine maps / to drive Z:.
win_path() { echo "Z:${1//\//\\}"; }

# make_samples DIR: DIR/music (three WAV tones, a raw .pcm, an MP3), DIR/audio.txt (their
# playlist), DIR/data (a selection with other kinds of files) and DIR/data.txt.
make_samples() {
    local dir=$1 tab=$'\t'
    mkdir -p "$dir/music" "$dir/data"
    sox -q -n -r 44100 -c 2 -b 16 "$dir/music/Morning Tide.wav" synth 3 sine 440 sine 554 gain -8
    sox -q -n -r 44100 -c 2 -b 16 "$dir/music/Harbour Lights.wav" synth 2.5 sine 392 sine 494 gain -8
    sox -q -n -r 44100 -c 2 -b 16 "$dir/music/Low Water.wav" synth 1.5 triangle 330 gain -10
    # Raw CD audio; the odd tail is less than a block, so a recorder drops it.
    sox -q -n -r 44100 -c 2 -b 16 -t raw "$dir/music/Night Ferry.pcm" synth 2.02 sine 294 gain -8
    sox -q -n -r 44100 -c 2 -b 16 "$dir/lighthouse-source.wav" synth 3 sine 349 sine 440 gain -8
    lame --quiet -b 160 "$dir/lighthouse-source.wav" "$dir/music/Lighthouse.mp3"
    rm -f "$dir/lighthouse-source.wav"
    {
        echo "# path${tab}title${tab}artist${tab}seconds${tab}selected"
        echo "$(win_path "$dir/music/Morning Tide.wav")${tab}Morning Tide${tab}The Quays${tab}3${tab}1"
        echo "$(win_path "$dir/music/Harbour Lights.wav")${tab}Harbour Lights${tab}The Quays${tab}3${tab}1"
        echo "$(win_path "$dir/music/Night Ferry.pcm")${tab}Night Ferry${tab}The Quays${tab}2${tab}1"
        echo "$(win_path "$dir/music/Lighthouse.mp3")${tab}Lighthouse${tab}Saltmarsh${tab}3${tab}1"
        echo "$(win_path "$dir/music/Low Water.wav")${tab}Low Water${tab}Saltmarsh${tab}2${tab}1"
        echo "DelimArtAlb=2"
    } > "$dir/audio.txt"

    cp "$dir/music/Morning Tide.wav" "$dir/music/Lighthouse.mp3" "$dir/data/"
    printf 'Liner notes\r\n\r\nRecorded on a quiet harbour evening.\r\n' > "$dir/data/Liner notes.txt"
    convert -size 96x96 gradient:navy-skyblue "$dir/data/Cover art.png"
    head -c 5000 /dev/urandom > "$dir/data/session.dat"
    : > "$dir/data/empty.cue"
    {
        echo "# path${tab}title${tab}artist${tab}seconds${tab}selected"
        for f in "$dir"/data/*; do echo "$(win_path "$f")${tab}$(basename "$f")${tab}${tab}0${tab}1"; done
    } > "$dir/data.txt"
}

# The audio sources in playlist order, for check_audio_image.
sample_audio_sources() {
    local dir=$1
    echo "$dir/music/Morning Tide.wav"; echo "$dir/music/Harbour Lights.wav"; echo "$dir/music/Night Ferry.pcm"
    echo "$dir/music/Lighthouse.mp3"; echo "$dir/music/Low Water.wav"
}

# A text given as code page 932 bytes (printf escapes), as the Linux disk holds it: in UTF-8.
from_cp932() { printf "$1" | iconv -f CP932 -t UTF-8; }

# The music of the burns under code page 932, under DIR/music, in the order the player lists that
# folder (the subfolder first, then the files, each by name: kana before kanji). Every name holds
# characters whose second byte is a backslash (0x5C: 予 表 能 ソ) or a letter (ア 0x83 0x41 and
# ヂ 0x83 0x61, one name to a fold of bytes without regard to case).
cp932_sample_paths() {
    local soft; soft=$(from_cp932 '\x83\x5c\x83\x74\x83\x67')  # ソフト
    echo "$soft/$(from_cp932 '\x83\x61\x83\x8a\x83\x41').wav"  # ヂリア
    echo "$soft/$(from_cp932 '\x94\x5c\x97\xcd').wav"  # 能力
    echo "$soft/$(from_cp932 '\x95\x5c\x8e\xa6').wav"  # 表示
    echo "$(from_cp932 '\x83\x41\x83\x8a\x83\x41').wav"  # アリア
    echo "$(from_cp932 '\x97\x5c\x92\xe8').wav"  # 予定
}

# make_cp932_samples DIR: DIR/music with a WAV tone of its own length at each of those paths.
make_cp932_samples() {
    local dir=$1 path seconds=1
    while IFS= read -r path; do
        mkdir -p "$(dirname "$dir/music/$path")"
        sox -q -n -r 44100 -c 2 -b 16 "$dir/music/$path" synth "$seconds" sine $((300 + 40 * seconds)) gain -8
        seconds=$((seconds + 1))
    done < <(cp932_sample_paths)
}

# The one recorder both scenarios below offer.
virtual_recorder_section() {
    printf '%s\n' '[drive]' 'name = Tolvane Virtual Recorder' 'letter = R' 'speeds1 = 4,8,16,24,48'
}

# write_recorder_scenario FILE OUTPUT_DIR GATE: one virtual recorder; each burn holds at 50 %
# until GATE exists, so a picture of the dialog can be taken while it burns.
write_recorder_scenario() {
    cat > "$1" <<INI
[engine]
version = 5599
version_ex = 5.5.9.14
output = $(win_path "$2")

$(virtual_recorder_section)

[burn]
major_phase = 36
phase = Writing the disc
progress = 10
progress = 50
wait_file = $(win_path "$3")
progress = 75
progress = 100
phase = Closing the disc
major_phase = 37
INI
}

# write_hand_scenario FILE OUTPUT_DIR: one virtual recorder that writes each real burn to
# OUTPUT_DIR (disc-N.bin + disc-N.cue, or disc-N.iso) and takes a few seconds over it, so a
# person can watch the progress and try the cancel question.
write_hand_scenario() {
    mkdir -p "$2"
    cat > "$1" <<INI
[engine]
output = $(win_path "$2")

$(virtual_recorder_section)

[burn]
phase = Writing the disc
progress = 10
wait = 1500
progress = 50
wait = 1500
progress = 100
phase = Closing the disc
INI
}
