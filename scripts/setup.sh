#!/usr/bin/env bash
# Installs every Debian package the project needs to build, play, capture and test.
# Runs apt-get only when something is missing; works as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libsfml-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri
  libopenmpt-dev libmpg123-dev libopenal-dev libmp3lame-dev
  libpng-dev libstb-dev libfreetype-dev fonts-dejavu-core
  libgtest-dev googletest libbenchmark-dev
  libtinyobjloader-dev libxmp-dev
  xvfb xauth xdotool x11-utils ffmpeg
  clang libclang-rt-14-dev valgrind
)

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
