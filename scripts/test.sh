#!/usr/bin/env bash
# Builds everything and runs every test, under a virtual X display (real OpenGL in software).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
cd build
xvfb-run -a -s "-screen 0 1280x720x24" ctest --output-on-failure -j"$(nproc)" --timeout 600
