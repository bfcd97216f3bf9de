#!/usr/bin/env bash
# Builds the library tests (model library, texture readers, audio layer) and the asset generator
# with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/, generates every asset with
# the sanitized generator, and runs those tests under a virtual X display. Any invalid access,
# leak or undefined behaviour fails the run.
#
#   scripts/sanitize.sh            (CI runs it after the main suite)
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-asan
labels='glm|textures|audio|assets'

scripts/setup.sh test
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANDAR_SANITIZE=ON \
    -DZANDAR_BENCH=OFF >/dev/null
# The assets target runs the sanitized generator: a fault while painting, synthesising or
# encoding stops the build here. library_tests: every test program with one of the labels.
echo "sanitize: building zandar-assetgen, the assets and the library tests"
cmake --build "$build" -j2 --target assets library_tests

# Tga.ImageTooLargeForMemoryIsRefused cannot run under the sanitizers: it caps the address space
# at 1 GB, where AddressSanitizer cannot even map its shadow memory.
excluded='^Tga\.ImageTooLargeForMemoryIsRefused$'

# Every finding is fatal and printed with its stack.
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build"
xvfb-run -a -s "-screen 0 1280x720x24 -noreset" \
    ctest --output-on-failure -j2 --timeout 900 -L "$labels" -E "$excluded"
