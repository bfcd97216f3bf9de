#!/usr/bin/env bash
# Installs the Debian packages the project needs that are missing: `play` what building, playing
# and capturing the demo take; `test` (the default) those and what the tests, benchmarks, fuzzing
# and sanitizer runs take besides. Runs apt-get only when something is missing; works as root or
# through sudo.
#
#   scripts/setup.sh [play|test]
set -euo pipefail

# The demo, the capture tool and the asset generator: compilers and build tools; the window,
# OpenGL (Mesa's software renderer where there is no GPU) and GLU; module, MP3 and OpenAL
# audio; the MP3 encoder, image writer and fonts the assets are made with; Xvfb for capturing
# without a display (and xauth for xvfb-run); ffmpeg for the video.
play=(
  build-essential cmake pkg-config
  libsfml-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev
  libopenmpt-dev libmpg123-dev libopenal-dev
  libmp3lame-dev libstb-dev libfreetype-dev fonts-dejavu-core fonts-dejavu-extra
  xvfb xauth ffmpeg
)
# Tests and benchmarks (googletest and its mocks, Google Benchmark, the peer OBJ reader, a second
# module player), driving windows (xdotool, x11-utils), fuzzing and sanitizers (clang), valgrind.
test=(
  git libgtest-dev libgmock-dev googletest libbenchmark-dev libtinyobjloader-dev libxmp-dev
  xdotool x11-utils clang libclang-rt-14-dev valgrind
)

case "${1:-test}" in
  play) packages=("${play[@]}") ;;
  test) packages=("${play[@]}" "${test[@]}") ;;
  *) echo "usage: scripts/setup.sh [play|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
if [[ $(id -u) -eq 0 ]]; then
  sudo=()
else
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
