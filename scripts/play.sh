#!/usr/bin/env bash
# Plays the demo. With a display it opens the window; without one (DISPLAY unset) it renders the
# demo offline instead, to an MP4 with its sound and a contact sheet of one frame per second.
# Installs and builds only what that takes: the demo, the capture tool and the assets.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh play
# A build folder that scripts/test.sh configured stays as it is; a new one leaves out the tests
# and benchmarks, which need packages a player does not.
if [[ ! -f build/CMakeCache.txt ]]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANDAR_TESTS=OFF -DZANDAR_BENCH=OFF \
    >/dev/null
fi
cmake --build build -j"$(nproc)" --target zandar zandar-capture assets
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
