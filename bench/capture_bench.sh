#!/usr/bin/env bash
# Times zandar-capture on this machine, on the whole demo:
#   - the state log alone (target: well under a minute);
#   - the MP4 with sound (target: at most 0.8 times the demo's running time).
# Prints wall-clock and CPU seconds (CPU is what a busy machine cannot inflate) and the load
# average, and exits 1 if a target is missed. Usage: bench/capture_bench.sh [BUILD_DIR] [MP4]
# (MP4: where to keep the video, to look at it afterwards; by default it is thrown away).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
capture="$build/zandar-capture"
if [[ ! -x "$capture" ]]; then
  cmake --build "$build" --target zandar-capture -j2 >/dev/null
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Runs the capture with the given outputs; sets wall and cpu (seconds, children included).
run() {
  local times
  TIMEFORMAT="%R %U %S"
  times=$( { time "$capture" -q --assets "$build/assets" "$@" >/dev/null 2>"$out/err"; } 2>&1 ) ||
    { cat "$out/err" >&2; exit 1; }
  read -r wall user sys <<<"$times"
  cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.1f", u + s }')
}

echo "capture benchmark on $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"

run --log "$out/log.csv"
frames=$(($(wc -l <"$out/log.csv") - 1))
log_ok=$(awk -v w="$wall" 'BEGIN { print (w < 60) ? "yes" : "NO" }')
printf 'log alone : %d frames in %.1f s wall, %s s CPU (target < 60 s wall: %s)\n' \
  "$frames" "$wall" "$cpu" "$log_ok"

run --video "$out/zandar.mp4"
length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out/zandar.mp4")
ratio=$(awk -v w="$wall" -v d="$length" 'BEGIN { printf "%.2f", w / d }')
cpu_ratio=$(awk -v c="$cpu" -v d="$length" 'BEGIN { printf "%.2f", c / d }')
video_ok=$(awk -v r="$ratio" 'BEGIN { print (r <= 0.8) ? "yes" : "NO" }')
printf 'MP4       : %.3f s of video in %.1f s wall = %s x its length, %s s CPU = %s x (target: wall <= 0.8 x its length: %s)\n' \
  "$length" "$wall" "$ratio" "$cpu" "$cpu_ratio" "$video_ok"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
if [[ -n "${2:-}" ]]; then
  cp "$out/zandar.mp4" "$2"
fi

[[ "$log_ok" == yes && "$video_ok" == yes ]]
