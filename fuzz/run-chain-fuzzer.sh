#!/bin/sh
# Runs the command line and chain file fuzz target for a number of inputs
# with one worker and the grammar's dictionary.
#   run-chain-fuzzer.sh <fuzzer> <runs> <work dir> [libFuzzer options...]
# The work dir holds corpus/ (seeded with a few command lines and chain
# files on the first run), artifacts/ for anything that fails, and the log
# file, which is pointed at /dev/null.
set -eu
fuzzer=$(realpath "$1")
runs=$2
work=$3
shift 3
dict=$(dirname "$(realpath "$0")")/chain.dict
mkdir -p "$work/corpus" "$work/artifacts"
work=$(realpath "$work")
cd "$work"
ln -sf /dev/null log.txt
if [ -z "$(ls -A corpus)" ]; then
  # Arguments one per line, a NUL, then a chain file.
  printf -- '-q\n-f\nDelay | Delay = 80 ms\nin.wav\nout.wav' >corpus/filter-option
  printf -- '--chunk=512\n-vq\n--device=system\n--play\nin.wav' >corpus/gnu-options
  printf -- '--capture\n2\n--\n-\n-' >corpus/streams
  printf -- 'in.wav\nout.wav\0Forward | Wavelet = db8 | Algorithm = periodization\nDenoiser | Threshold = 120 # strong\nInverse\n' >corpus/chain-denoise
  printf -- 'in.wav\nout.wav\0Butterworth | Cutoff = 1000 Hz\nDelay | Delay = 80 ms | Active = no\n# a comment\n\nStatistics\n' >corpus/chain-units
  printf -- '\0Wavelet Denoiser | Number of scales = level 4 | Type = Dynamic Thresholding | Threshold = -6 dB\n' >corpus/chain-levels
fi
# 512 bytes hold a command line and a chain of several lines; longer
# inputs only slow the "did you mean" distances, which grow with the square.
exec "$fuzzer" -runs="$runs" -max_len=512 -timeout=10 -rss_limit_mb=2048 -dict="$dict" \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" "$work/corpus"
