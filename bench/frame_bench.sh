#!/usr/bin/env bash
# Frame times of the whole demo, scene by scene, against the targets (median <= 16.7 ms, 99th
# percentile <= 33 ms), with the reference figures of the same machine in the same run: a frame
# that only clears and displays, one full-window sprite (bench/frame_bench).
#
#   bench/frame_bench.sh [BUILD_DIR] [BASELINE_CAPTURE]
#
# BUILD_DIR defaults to build. BASELINE_CAPTURE, if given, is another zandar-capture (for
# example one built from an older commit) timed the same way right before, for a comparison.
# Needs no display: the capture starts its own X server, frame_bench runs under xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
baseline="${2:-}"
cmake --build "$build" --target zandar-capture frame_bench -j2 >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

echo "frame benchmark on $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== reference figures (bench/frame_bench, wall-clock per frame)"
xvfb-run -a -s "-screen 0 1280x720x24" "$build/bench/frame_bench" --benchmark_min_time=1 \
  2>/dev/null | grep -E '^BM_'

# Per scene: frames, median, 99th percentile, worst (wall), CPU median; and the verdict.
summary() {
  awk -F, 'NR > 1 { n[$3]++; w[$3, n[$3]] = $4; c[$3, n[$3]] = $5 }
    function sorted(a, s, k,   i, j, t, v) { for (i = 1; i <= k; i++) v[i] = a[s, i];
      for (i = 2; i <= k; i++) { t = v[i]; for (j = i - 1; j > 0 && v[j] > t; j--) v[j + 1] = v[j];
        v[j + 1] = t } for (i = 1; i <= k; i++) out[i] = v[i] }
    function med(k) { return k % 2 ? out[(k + 1) / 2] : (out[k / 2] + out[k / 2 + 1]) / 2 }
    END { ok = 1
      printf "  scene  frames  median     p99   worst   CPU median   target\n"
      for (s = 1; s <= 9; s++) { k = n[s]; if (!k) continue
        sorted(c, s, k); cm = med(k)
        sorted(w, s, k); m = med(k); r = int(0.99 * k); if (r < 0.99 * k) r++; p = out[r]
        met = (m <= 16.7 && p <= 33) ? "met" : "MISSED"; if (met != "met") ok = 0
        printf "  %5d  %6d  %6.2f  %6.2f  %6.2f   %10.2f   %s\n", s, k, m, p, out[k], cm, met }
      exit ok ? 0 : 3 }' "$1"
}

status=0
if [[ -n "$baseline" ]]; then
  echo "== baseline: $baseline"
  "$baseline" -q --assets "$build/assets" --time-frames "$out/baseline.csv" >/dev/null 2>&1
  summary "$out/baseline.csv" || true
fi
echo "== $build/zandar-capture --time-frames (every frame drawn, nothing read back)"
"$build/zandar-capture" -q --assets "$build/assets" --time-frames "$out/frames.csv" >/dev/null 2>&1
summary "$out/frames.csv" || status=1
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
