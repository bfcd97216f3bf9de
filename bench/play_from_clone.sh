#!/usr/bin/env bash
# How long a new player waits: from `git clone` of this repository to the first frame of scene 1
# on a display (plain xvfb-run, 1280 x 720), and to the finished video without one. Each run
# starts from a fresh clone in a temporary folder and goes through scripts/play.sh; packages that
# are installed already are not installed again, so on a fresh machine apt-get comes on top.
#
#   bench/play_from_clone.sh [display|video|both]      (default both)
set -uo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
what=${1:-both}

source "$repo/scripts/screen_corners.sh"

# Processor time of everything run so far (clone, build, asset generation, the demo): on a
# machine shared with other work the clock says less than this does.
cpu() {
    local counts
    counts=$(mktemp)
    times >"$counts"  # not in a pipeline: a forked shell has no children to count
    tail -n 1 "$counts" | awk '{ printf "processor time: %s user, %s system\n", $1, $2 }'
    rm -f "$counts"
}

# Inside the X server: clone, play, and say when scene 1 is on screen; then Escape.
if [[ $what == --display-inside ]]; then
    dir=$2 start=$3
    git clone -q "$repo" "$dir/zandar" || exit 1
    : >"$dir/out"
    ALSOFT_DRIVERS=null "$dir/zandar/scripts/play.sh" >"$dir/out" 2>&1 &
    pid=$!
    until grep -qx 'generic data loaded' "$dir/out" && scene1_shown "$dir"; do
        kill -0 "$pid" 2>/dev/null || { tail -n 20 "$dir/out"; exit 1; }
        sleep 0.2
    done
    echo "first frame of scene 1 after $(awk "BEGIN { print $(date +%s.%N) - $start }") s"
    xdotool key Escape
    wait "$pid"
    cpu
    exit
fi

status=0
if [[ $what == display || $what == both ]]; then
    dir=$(mktemp -d)
    echo "load before: $(uptime)"
    xvfb-run -a -s "-screen 0 1280x720x24" "$0" --display-inside "$dir" "$(date +%s.%N)" ||
        status=1
    echo "load after:  $(uptime)"
    rm -rf "$dir"
fi
if [[ $what == video || $what == both ]]; then
    dir=$(mktemp -d)
    echo "load before: $(uptime)"
    start=$(date +%s.%N)
    # A subshell of its own, so that its processor time counts this run alone.
    if (git clone -q "$repo" "$dir/zandar" &&
        env -u DISPLAY "$dir/zandar/scripts/play.sh" >"$dir/out" 2>&1 &&
        [[ -s $dir/zandar/build/zandar.mp4 ]] && cpu); then
        echo "video after $(awk "BEGIN { print $(date +%s.%N) - $start }") s"
    else
        tail -n 20 "$dir/out"
        status=1
    fi
    echo "load after:  $(uptime)"
    rm -rf "$dir"
fi
exit $status
