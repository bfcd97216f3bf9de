#!/usr/bin/env bash
# Starts the demo the way its users do, each time under a fresh
# `xvfb-run -a -s "-screen 0 1280x720x24"` (a server that resets whenever its last client
# leaves), and checks that every start gets past loading to the first frame of scene 1, then
# ends with Escape and status 0. Scene 1 is on screen when, after "generic data loaded", the
# corners of the screen turn black: the loading picture has none.
#
#   tests/first_frame_starts.sh ZANDAR ASSET_DIR [STARTS]      (default 3)
set -uo pipefail

corners_black() {
    local shot=$1/screen
    ffmpeg -v error -y -f x11grab -video_size 1280x720 -i "$DISPLAY" -frames:v 1 \
        -f rawvideo -pix_fmt gray "$shot" || return 1
    for at in 0 1279 $((719 * 1280)) $((720 * 1280 - 1)); do
        (($(od -An -tu1 -j "$at" -N1 "$shot") < 8)) || return 1
    done
}

# One start, inside its X server; says what went wrong, if anything.
one_start() {
    local dir pid seen=0 status
    dir=$(mktemp -d)
    : >"$dir/out"
    (cd "$2" && ALSOFT_DRIVERS=null exec "$1" >"$dir/out" 2>"$dir/err") &
    pid=$!
    for ((tick = 0; tick < 600 && !seen; tick++)); do
        kill -0 "$pid" 2>/dev/null || break
        if grep -qx 'generic data loaded' "$dir/out" && corners_black "$dir"; then
            seen=1
        else
            sleep 0.1
        fi
    done
    if ((seen)); then
        for ((tick = 0; tick < 20; tick++)); do
            kill -0 "$pid" 2>/dev/null || break
            xdotool key Escape
            sleep 0.5
        done
    fi
    kill "$pid" 2>/dev/null
    wait "$pid"
    status=$?
    ((seen && status == 0)) || echo "scene 1 seen: $seen, status $status: $(tail -n 3 "$dir/err")"
    rm -rf "$dir"
    ((seen && status == 0))
}
if [[ $1 == --one-start ]]; then  # run again by xvfb-run, inside the server
    one_start "$2" "$3"
    exit
fi

self=$(realpath "$0") zandar=$(realpath "$1") assets=$(realpath "$2") starts=${3:-3}
failed=0
for ((i = 1; i <= starts; i++)); do
    if ! why=$(xvfb-run -a -s "-screen 0 1280x720x24" "$self" --one-start "$zandar" "$assets" 2>&1)
    then
        echo "start $i failed: $why"
        ((failed++))
    fi
done
echo "$((starts - failed)) of $starts starts reached the first frame of scene 1"
((failed == 0))
