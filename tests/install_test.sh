#!/usr/bin/env bash
# The model library as another project gets it: installed under a fresh prefix, holding nothing
# of the demo; the ten-line program built outside the tree with CMake and with pkg-config, run
# on every demo and test model, agreeing with the installed zandar-obj.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR ASSET_DIR
set -euo pipefail
build=$(realpath "$1") source=$(realpath "$2") assets=$(realpath "$3")
consumer=$source/tests/data/install_consumer
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

extra=$(cd "$prefix" && find . -type f | grep -vE '^\./(bin/zandar-obj|include/zandar/(glm|texture|tga)\.h|lib/libzandar_(glm|textures|messagebox)\.a|lib/cmake/zandar_glm/zandar_glm-[a-z-]+\.cmake|lib/pkgconfig/zandar_glm\.pc)$' || true)
[[ -z $extra ]] || { echo "installed beyond the library: $extra"; exit 1; }

cmake -S "$consumer" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
# shellcheck disable=SC2046  # the flags are words
c++ -o "$work/pc" "$consumer/main.cpp" $(pkg-config --cflags --libs zandar_glm)

# Run away from the build, so nothing but the prefix can be found.
cd "$work"
count=0
for model in "$assets"/models/*.obj "$source"/tests/data/models/*.obj; do
    want=$("$prefix/bin/zandar-obj" info --json "$model" | sed -n 's/^  "triangles": \([0-9]*\),$/\1/p')
    for program in cmake/triangles pc; do
        got=$("./$program" "$model" | tail -n 1)
        [[ -n $want && $got == "$want" ]] || { echo "$program $model: $got, zandar-obj: $want"; exit 1; }
    done
    count=$((count + 1))
done
((count > 9)) || { echo "only $count models found"; exit 1; }
echo "install: $count models read alike by both programs and zandar-obj"
