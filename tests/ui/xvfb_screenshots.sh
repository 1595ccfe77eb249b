#!/bin/sh
# Runs the screenshot test under a real X server (Xvfb, xcb platform).
# Usage: xvfb_screenshots.sh TEST_EXECUTABLE SCREENSHOT_FOLDER
# Exit 77 (skipped) when xvfb-run is not installed.
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "skipped: xvfb-run is not installed (make deps installs xvfb)"
  exit 77
fi
mkdir -p "$2"
SONABEL_SCREENSHOTS="$2" QT_QPA_PLATFORM=xcb exec xvfb-run -a -s "-screen 0 1280x800x24" "$1"
