#!/usr/bin/env bash
# The denoising demo: speech, noise added by a chain, noise taken out by a
# wavelet chain, and the signal-to-noise ratio before and after. Every file
# stays in the demo folder so you can listen to it.
set -euo pipefail
render=$(realpath "${1:?usage: demo.sh path/to/sonabel-render [folder]}")
dir=${2:-build/demo}
mkdir -p "$dir"
cd "$dir"

espeak-ng -w speech.wav "Sonabel is a real time audio test bench. \
It takes noise out of speech with wavelets, chunk by chunk, while you listen."
sox speech.wav -r 44100 -c 2 -b 16 clean.wav norm -3

cat > noise.chain <<'CHAIN'
# White noise well above the speech's quiet parts.
Noise generator | Volume = 120 | Type = Gaussian white noise
CHAIN
cat > denoise.chain <<'CHAIN'
# Soft thresholding of the four finest detail levels.
Forward Wavelet Transform | Wavelet = Daubechies 8 | Algorithm = Zero padding optimized
Wavelet Denoiser | Threshold = 100 | Type = Soft Thresholding | Number of scales = Denoise up to details level 4
Inverse Wavelet Transform
CHAIN

echo "== adding noise"
"$render" -q -c noise.chain clean.wav noisy.wav
echo "== denoising"
"$render" -q -c denoise.chain noisy.wav denoised.wav --reference clean.wav
echo
echo "Listen: $(pwd)/{clean,noisy,denoised}.wav (for example: play $(pwd)/denoised.wav)"
