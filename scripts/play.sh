#!/usr/bin/env bash
# Plays the demo. With a display it opens the window; without one it runs under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
cd build/assets
if [[ -n "${DISPLAY:-}" ]]; then
  exec ../zandar
fi
echo "play: no display here; running the demo under Xvfb" >&2
exec xvfb-run -a -s "-screen 0 1280x720x24" ../zandar
