#!/bin/sh
# Runs the WAVE reader fuzz target for a while with one worker.
#   run-wave-fuzzer.sh <fuzzer> <seconds> <work dir> [libFuzzer options...]
# The work dir holds corpus/ (seeded with small files made by sox on the
# first run), artifacts/ for anything that fails, and the log file, which
# is pointed at /dev/null: the reader logs every malformed file.
set -eu
fuzzer=$(realpath "$1")
seconds=$2
work=$3
shift 3
mkdir -p "$work/corpus" "$work/artifacts"
work=$(realpath "$work")
cd "$work"
ln -sf /dev/null log.txt
if [ -z "$(ls -A corpus)" ] && command -v sox >/dev/null 2>&1; then
  # A few well-formed layouts to start from: 8 and 16 bits, 1 to 4 channels,
  # an odd data size, and sox's extensible "fmt " with a "fact" chunk.
  sox -q -n -r 8000 -c 1 -b 8 corpus/mono8.wav synth 0.002 sine 440
  sox -q -n -r 8000 -c 1 -b 8 corpus/odd8.wav synth 13s sine 440
  sox -q -n -r 11025 -c 2 -b 16 corpus/stereo16.wav synth 0.002 sine 440
  sox -q -n -r 8000 -c 4 -b 16 corpus/quad16.wav synth 0.001 sine 440
  sox -q -n -r 8000 -c 1 -b 24 corpus/mono24.wav synth 0.001 sine 440
fi
exec "$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" "$work/corpus"
