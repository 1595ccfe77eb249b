#!/usr/bin/env bash
# The denoising demo. A full-band test signal (speech with sibilants up to
# 16 kHz, then plucked strings) gets white noise at three levels, and each
# noisy file is cleaned three ways:
#   - the Butterworth lowpass at the cut-off that gives the best SNR, and a
#     linear-phase lowpass (sox sinc) likewise, for a baseline without the
#     Butterworth's phase shift;
#   - the wavelet chain at the threshold that --suggest-threshold reads from
#     the noisy file alone (the universal threshold);
#   - the same chain at the threshold that gives the best SNR, a few steps
#     around the suggestion. Like the lowpass's cut-off, that one is chosen
#     with the clean file in hand.
# The SNR table goes to stdout; every sound and a spectrogram of the clean,
# the noisy and the denoised signal stay in the demo folder.
#
# Usage: demo.sh path/to/sonabel-render [folder]
set -euo pipefail
render=$(realpath "${1:?usage: demo.sh path/to/sonabel-render [folder]}")
dir=${2:-build/demo}
mkdir -p "$dir"
cd "$dir"

# --- The clean signal: 44100 Hz, mono, 16 bits ------------------------------
echo "== the clean signal: speech and plucked strings" >&2
# espeak-ng speaks at 22050 Hz, so its sibilants stop at 11 kHz. Stuffing a
# zero between its samples mirrors its 5.5-11 kHz band into 11-16.5 kHz;
# kept at a lower level there, that is the air of real "s" and "sh" sounds,
# and it follows them exactly.
espeak-ng -w voice22.wav "She sells sea shells by the sea shore, and six sharp fish swim past the ship."
sox voice22.wav -r 44100 voice.wav rate -v
sox voice22.wav -r 44100 air.wav upsample 2 sinc 11500-16000 vol 0.5
sox -m voice.wav air.wav speech.wav norm -1
# Plucked notes, then a chord that rings out: harmonics over the whole band.
notes=()
for note in E3 G3 B3 E4 D4 B3 G3 A3 C4 E4 A4 G4; do
    notes+=("note-$note-${#notes[@]}.wav")
    sox -n -r 44100 -c 1 "${notes[-1]}" synth 0.22 pluck "$note" fade 0 0.22 0.06
done
sox -c 4 -r 44100 -n -c 1 chord.wav synth 1.6 pluck C3 pluck G3 pluck E4 pluck C5 remix - fade 0 1.6 0.8
sox -n -r 44100 -c 1 gap.wav trim 0 0.25
sox "${notes[@]}" chord.wav music.wav norm -3
sox speech.wav gap.wav music.wav -b 16 clean.wav
rm -f voice22.wav voice.wav air.wav "${notes[@]}" chord.wav gap.wav

# --- Helpers -----------------------------------------------------------------
# The SNR of a file against clean.wav: an empty chain reports its input's.
snr_of_file() {
    "$render" -q --stats "$1" scratch.wav --reference clean.wav | sed -n 's/^SNR against .*: input \(.*\) dB, output .*/\1/p'
}
# Stops the demo when a figure is missing (a render or sox failed).
need() {
    local value
    for value in "$@"; do
        [ -n "$value" ] || { echo "demo.sh: a render failed; see the messages above" >&2; exit 1; }
    done
}
# Prints "snr setting" of the best of the candidates; each candidate is a
# setting for which render_candidate SETTING OUTPUT makes OUTPUT.
best_of() {
    local best="" best_setting="" setting s
    for setting in "$@"; do
        render_candidate "$setting" candidate.wav
        s=$(snr_of_file candidate.wav)
        if [ -z "$best" ] || awk -v a="$s" -v b="$best" 'BEGIN { exit !(a > b) }'; then
            best=$s
            best_setting=$setting
            mv candidate.wav best.wav
        fi
    done
    echo "$best $best_setting"
}

wavelet="Forward | Wavelet = db8 | Algorithm = Padding with history"
denoiser="Denoiser | Type = Hard | Number of scales = level 5"
inverse="Inverse"

# --- Three noise levels ------------------------------------------------------
results=()
for level in 40 30 20; do
    echo "== white noise at -$level dB: lowpasses, the suggested threshold, the best threshold" >&2
    "$render" -q -f "Noise generator | Volume = -$level dB | Type = Gaussian white noise" \
        clean.wav "noisy-$level.wav" > /dev/null
    noisy=$(snr_of_file "noisy-$level.wav")

    render_candidate() { "$render" -q -f "Butterworth | Gain = 100 | Cutoff = $1 Hz" "noisy-$level.wav" "$2" > /dev/null; }
    read -r butterworth butterworth_cutoff < <(best_of 4000 6000 8000 11000 16000 20000)
    mv best.wav "butterworth-$level.wav"

    render_candidate() { sox "noisy-$level.wav" "$2" sinc -"$1"; }
    read -r sinc sinc_cutoff < <(best_of 4000 6000 8000 11000 16000 20000)
    mv best.wav "sinc-$level.wav"

    suggested=$("$render" --suggest-threshold -f "$wavelet" -f "$denoiser" -f "$inverse" "noisy-$level.wav" |
        sed -n 's/^Threshold = \([0-9]*\).*/\1/p')
    printf '%s\n' "# The wavelet chain for noisy-$level.wav, Threshold from --suggest-threshold" \
        "$wavelet" "$denoiser | Threshold = $suggested" "$inverse" > "denoise-$level.chain"
    "$render" -q -c "denoise-$level.chain" "noisy-$level.wav" "denoised-$level.wav" > /dev/null
    suggested_snr=$(snr_of_file "denoised-$level.wav")

    render_candidate() { "$render" -q -f "$wavelet" -f "$denoiser | Threshold = $1" -f "$inverse" "noisy-$level.wav" "$2" > /dev/null; }
    candidates=()
    for d in 24 20 16 12 8 4 0; do candidates+=($((suggested - d))); done
    read -r best best_step < <(best_of "${candidates[@]}")
    mv best.wav "best-$level.wav"

    need "$noisy" "$butterworth" "$sinc" "$suggested" "$suggested_snr" "$best"
    results+=("$(printf '%-8s %6s   %6s (%5s Hz)   %6s (%5s Hz)   %6s (step %3s)    %6s (step %3s)' \
        "-$level dB" "$noisy" "$butterworth" "$butterworth_cutoff" "$sinc" "$sinc_cutoff" \
        "$suggested_snr" "$suggested" "$best" "$best_step")")

    sox "noisy-$level.wav" -n spectrogram -x 900 -y 257 -t "noisy, white noise at -$level dB" -o "noisy-$level.png"
    sox "denoised-$level.wav" -n spectrogram -x 900 -y 257 \
        -t "denoised, db8 hard thresholding at step $suggested" -o "denoised-$level.png"
done
sox clean.wav -n spectrogram -x 900 -y 257 -t "clean: speech, plucked notes, a chord" -o clean.png
rm -f scratch.wav candidate.wav log.txt

echo "SNR against clean.wav in dB: noisy input, lowpass at its best cut-off, and the wavelet chain"
echo "at the suggested threshold and at its best step"
printf '%-8s %6s    %-16s    %-16s    %-17s    %s\n' noise noisy Butterworth "sox sinc" "wavelet, suggested" "wavelet, best"
printf '%s\n' "${results[@]}"
echo
echo "Listen: $(pwd)/{clean,noisy-30,butterworth-30,sinc-30,denoised-30,best-30}.wav"
echo "Look:   $(pwd)/{clean,noisy-30,denoised-30}.png (and the other levels)"
