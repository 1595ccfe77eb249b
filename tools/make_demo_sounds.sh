#!/usr/bin/env bash
# The four demo sounds the help window names, made from espeak-ng speech and
# sox synthesis: 16-bit stereo WAVE at 44100 Hz, a few seconds each.
#
#   morvane.wav  one voice
#   selquor.wav  another voice in pink noise
#   dnbloop.wav  a bar of a drum-and-bass beat with a bass line, four times
#   loop.wav     a chord whose end joins its start without a click: every
#                partial and the tremolo complete whole cycles in the file
#
# Usage: make_demo_sounds.sh OUTDIR
# A file newer than this script is up to date and left alone. The output is
# the same byte for byte on every run: sox runs with its fixed random seed
# (-R) and without dither (-D). Each file is made in a scratch folder and
# renamed into place whole, so an interrupted run leaves no half-written file.
set -euo pipefail

out=${1:?usage: make_demo_sounds.sh OUTDIR}
self=${BASH_SOURCE[0]}
mkdir -p "$out"

rate=44100
# One eighth note at 172 beats per minute, in frames: 44100 * 60 / 172 / 2.
eighth=7692
bar=$((8 * eighth))

up_to_date() {
  [[ -s "$out/$1" && "$out/$1" -nt "$self" ]]
}

# Inside OUTDIR, so that publishing a file is a rename on the same disk.
scratch=$(mktemp -d "$out/.making-sounds.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# sox with a fixed seed and no dither; the format of the files we keep; and
# the null input for synthesis, at our rate (sox's own default is 48000 Hz,
# which would put a resampler after every generator and stretch lengths
# given in samples).
soxd() { sox -R -D -V1 "$@"; }
final=(-r $rate -c 2 -b 16 -e signed-integer)
nothing=(-r $rate -c 2 -n)

# Moves a finished file from the scratch folder into OUTDIR.
publish() { mv -f "$scratch/$1" "$out/$1"; }

speak() { # voice words... -> scratch/speech.wav (22050 Hz mono)
  local voice=$1
  shift
  espeak-ng -v "$voice" -s 150 -w "$scratch/speech.wav" "$*"
}

make_morvane() {
  speak en-gb "Morvane. One voice, made by a machine. \
Listen to it through the wavelet filters."
  soxd "$scratch/speech.wav" "${final[@]}" "$scratch/morvane.wav" rate -v $rate norm -3
  publish morvane.wav
}

make_selquor() {
  speak en-us+f3 "Selquor. A voice in noise. \
Try the wavelet denoiser on it."
  soxd "$scratch/speech.wav" "${final[@]}" "$scratch/voice.wav" rate -v $rate norm -6
  local length
  length=$(soxi -s "$scratch/voice.wav")
  soxd "${nothing[@]}" "${final[@]}" "$scratch/noise.wav" synth "${length}s" pinknoise pinknoise gain -24
  soxd -m -v 1 "$scratch/voice.wav" -v 1 "$scratch/noise.wav" "$scratch/selquor.wav" norm -3
  publish selquor.wav
}

# An instrument's track of one bar: eight eighth-note slots, "x" a hit (the
# sound cut or padded to the slot), "." silence.
track() { # name hit.wav pattern
  local name=$1 hit=$2 pattern=$3 slots=() i
  soxd "${nothing[@]}" "${final[@]}" "$scratch/rest.wav" trim 0 "${eighth}s"
  soxd "$hit" "$scratch/slot-$name.wav" pad 0 "${eighth}s" trim 0 "${eighth}s"
  for ((i = 0; i < 8; i++)); do
    if [[ ${pattern:i:1} == x ]]; then slots+=("$scratch/slot-$name.wav"); else slots+=("$scratch/rest.wav"); fi
  done
  soxd "${slots[@]}" "$scratch/track-$name.wav"
}

make_dnbloop() {
  # Kick: a sine falling fast from 160 to 45 Hz.
  soxd "${nothing[@]}" "${final[@]}" "$scratch/kick.wav" synth 0.17 sine 160/45 fade q 0.002 0.17 0.12 gain -2
  # Snare: a band of noise over a short 190 Hz body.
  soxd "${nothing[@]}" "${final[@]}" "$scratch/snare-noise.wav" synth 0.15 whitenoise bandpass 1800 1.2 fade q 0.001 0.15 0.13
  soxd "${nothing[@]}" "${final[@]}" "$scratch/snare-body.wav" synth 0.15 triangle 190 fade q 0.001 0.15 0.14 gain -8
  soxd -m -v 1 "$scratch/snare-noise.wav" -v 1 "$scratch/snare-body.wav" "$scratch/snare.wav"
  # Hat: high-passed noise, very short.
  soxd "${nothing[@]}" "${final[@]}" "$scratch/hat.wav" synth 0.04 whitenoise highpass 7000 fade q 0.001 0.04 0.035 gain -10
  track kick "$scratch/kick.wav" "x....x.."
  track snare "$scratch/snare.wav" "..x...x."
  track hat "$scratch/hat.wav" "xxxxxxxx"
  # Bass: two detuned saws, low-passed, one note per half bar, faded at
  # both ends so the bars join cleanly.
  local half=$((bar / 2))
  soxd "${nothing[@]}" "${final[@]}" "$scratch/bass-a.wav" synth "${half}s" sawtooth 55 sawtooth 55.6 \
    lowpass 400 fade q 0.005 "${half}s" 0.05 gain -9
  soxd "${nothing[@]}" "${final[@]}" "$scratch/bass-b.wav" synth "${half}s" sawtooth 41.2 sawtooth 41.6 \
    lowpass 400 fade q 0.005 "${half}s" 0.05 gain -9
  soxd "$scratch/bass-a.wav" "$scratch/bass-b.wav" "$scratch/track-bass.wav"
  soxd -m -v 1 "$scratch/track-kick.wav" -v 0.8 "$scratch/track-snare.wav" -v 0.6 "$scratch/track-hat.wav" \
    -v 1 "$scratch/track-bass.wav" "$scratch/onebar.wav"
  soxd "$scratch/onebar.wav" "$scratch/onebar.wav" "$scratch/onebar.wav" "$scratch/onebar.wav" \
    "$scratch/dnbloop.wav" norm -3
  publish dnbloop.wav
}

make_loop() {
  # 4 s: partials on multiples of 0.25 Hz and a 0.5 Hz tremolo all end where
  # they began. The left channel holds the lower voices, the right the upper.
  soxd -r $rate -c 1 -n "$scratch/low.wav" synth 4 sine 110 sine mix 220 sine mix 330 gain -10
  soxd -r $rate -c 1 -n "$scratch/high.wav" synth 4 sine 275 sine mix 440 sine mix 550 gain -10
  soxd -M "$scratch/low.wav" "$scratch/high.wav" "$scratch/both.wav" remix 1,2v0.4 1v0.4,2 \
    tremolo 0.5 60 norm -3
  soxd "$scratch/both.wav" "${final[@]}" "$scratch/loop.wav"
  publish loop.wav
}

for name in morvane selquor dnbloop loop; do
  if up_to_date "$name.wav"; then continue; fi
  "make_$name"
done
