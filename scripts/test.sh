#!/usr/bin/env bash
# Builds everything and runs every test, under a virtual X display (real OpenGL in software);
# then every fuzz target briefly, and the library tests again under the sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
# -noreset: the tests open and close their windows in parallel; an X server that resets when its
# last client leaves would refuse a window opened at that moment.
(
    cd build
    xvfb-run -a -s "-screen 0 1280x720x24 -noreset" ctest --output-on-failure -j"$(nproc)" --timeout 600
)

# Each fuzz target over its seed corpus, then 20 s of new inputs (build-fuzz/, clang).
scripts/fuzz.sh 20

# The model library, texture readers, audio layer and asset generator with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/).
scripts/sanitize.sh
