#!/usr/bin/env bash
# Starts the demo the way its users do, each time under a fresh
# `xvfb-run -a -s "-screen 0 1280x720x24"` (a server that resets whenever its last client
# leaves), and checks that every start gets past loading to the first frame of scene 1, then
# ends with Escape and status 0. Scene 1 is on screen when, after "generic data loaded", the
# corners of the screen turn black: the loading picture has none.
#
#   tests/first_frame_starts.sh ZANDAR ASSET_DIR [STARTS]      (default 3)
set -uo pipefail

source "$(dirname "$0")/../scripts/screen_corners.sh"

# One start, inside its X server (run again by xvfb-run); says what went wrong, if anything.
if [[ $1 == --one-start ]]; then
    dir=$(mktemp -d) seen=0
    : >"$dir/out"
    (cd "$3" && ALSOFT_DRIVERS=null exec "$2" >"$dir/out" 2>"$dir/err") &
    for ((tick = 0; tick < 600 && !seen; tick++)); do
        kill -0 $! 2>/dev/null || break
        grep -qx 'generic data loaded' "$dir/out" && scene1_shown "$dir" && seen=1 || sleep 0.1
    done
    for ((tick = 0; tick < 20 && seen; tick++)); do
        kill -0 $! 2>/dev/null || break
        xdotool key Escape
        sleep 0.5
    done
    kill $! 2>/dev/null
    wait $!
    status=$?
    ((seen && status == 0)) || echo "scene 1 seen: $seen, status $status: $(tail -n 3 "$dir/err")"
    rm -rf "$dir"
    ((seen && status == 0))
    exit
fi

self=$(realpath "$0") zandar=$(realpath "$1") assets=$(realpath "$2") starts=${3:-3} failed=0
for ((i = 1; i <= starts; i++)); do
    if ! why=$(xvfb-run -a -s "-screen 0 1280x720x24" "$self" --one-start "$zandar" "$assets" 2>&1)
    then
        echo "start $i failed: $why"
        ((failed++))
    fi
done
echo "$((starts - failed)) of $starts starts reached the first frame of scene 1"
((failed == 0))
