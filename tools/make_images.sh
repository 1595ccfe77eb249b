#!/usr/bin/env bash
# The program's pictures, made from its own demo sounds by its own wavelet
# transform and display colours:
#   resources/background.png  610 x 240, behind the main window's controls:
#                             morvane.wav, levels 2 to 10, the wavelet
#                             display's default colours washed toward paper
#                             so black text on it stays readable
#   resources/sonabel.png     256 x 256 icon: dnbloop.wav, levels 2 to 9, the
#                             same colours at full strength
# Both are 8-bit indexed PNGs (a palette of 256 colours).
#
# Usage: make_images.sh BUILD_DIR   (BUILD_DIR/tools/sonabel-scalogram built;
#                                    `make images` builds it and runs this)
set -euo pipefail

build=$(realpath "${1:?usage: make_images.sh BUILD_DIR}")
here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
resources=$here/../resources
scalogram=$build/tools/sonabel-scalogram
[[ -x $scalogram ]] || { echo "make_images.sh: build $scalogram first" >&2; exit 1; }

sounds=$build/image-sounds
"$here/make_demo_sounds.sh" "$sounds"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/sonabel-images.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

picture() { # sound out.png scalogram-options...
  local sound=$1 out=$2
  shift 2
  "$scalogram" "$@" "$sounds/$sound" "$scratch/indexes.pgm" "$scratch/palette.ppm"
  /usr/bin/python3 "$here/pack_indexed_png.py" "$scratch/indexes.pgm" "$scratch/palette.ppm" "$out"
}

picture morvane.wav "$resources/background.png" --size 610x240 --from-level 2 --levels 9 \
  --vertical 1.0 --smoothing 4 --range 60 --mode 5 --wash 0.8 --paper 244,242,236
picture dnbloop.wav "$resources/sonabel.png" --size 256x256 --from-level 2 --levels 8 \
  --vertical 1.0 --smoothing 1 --range 50 --mode 5
echo "made $(realpath "$resources/background.png") and $(realpath "$resources/sonabel.png")"
