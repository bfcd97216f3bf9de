#!/usr/bin/env bash
# Plays the demo. With a display it opens the window; without one (DISPLAY unset) it renders the
# demo offline instead, to an MP4 with its sound and a contact sheet of one frame per second.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
if [[ -n "${DISPLAY:-}" ]]; then
  cd build/assets
  exec ../zandar
fi
video="$PWD/build/zandar.mp4"
sheet="$PWD/build/zandar-sheet.png"
echo "play: no display here; rendering the demo to a video instead (a few minutes)" >&2
build/zandar-capture --assets build/assets --video "$video" --sheet "$sheet" --step 1
echo "play: the demo is in $video"
echo "play: one frame per second of it is in $sheet"
