#!/usr/bin/env bash
# Installs what is missing, configures and builds everything, tests and benchmarks included, into
# build/ (assets in build/assets/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANDAR_TESTS=ON -DZANDAR_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)"
