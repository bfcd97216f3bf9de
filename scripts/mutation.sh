#!/usr/bin/env bash
# Plants small faults in the code, one at a time, and shows whether the tests catch each one:
# the fault is written into the source in place of a unique anchor, the build is brought up to
# date, the tests named by the fault's pattern run under a virtual X display, and the source is
# put back. A fault is caught when a test fails (or the build does).
#
#   scripts/mutation.sh [--tree DIR] [--build DIR] [ID...]
#
# --tree: the source tree to mutate (default: this one); --build: its build folder (default:
# TREE/build-mutation, configured without benchmarks on first use). IDs pick faults from the list
# below (default: all). Each fault's tests are first run on the unchanged tree; a fault whose
# tests fail there is reported as "tests fail unchanged" instead of caught.
# The list and the results are in docs/MUTATION.md.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tree=$here
build=
while [[ $# -gt 0 && $1 == --* ]]; do
    case $1 in
        --tree) tree=$(cd "$2" && pwd); shift 2 ;;
        --build) build=$2; shift 2 ;;
        *) echo "usage: scripts/mutation.sh [--tree DIR] [--build DIR] [ID...]" >&2; exit 2 ;;
    esac
done
build=$(realpath -m "${build:-$tree/build-mutation}")

# ID | file | anchor | replacement | tests (a CTest name pattern). \n in anchors is a line end;
# a | inside a field is written \|.
faults=$(cat <<'EOF'
scene3-hold|scenes/scene3.cpp|if (d.scene3Timer > d.timeUnitHalf) {\n                d.scene3Timer = 0.0f;\n                d.scene3ShowCar|if (d.scene3Timer >= d.timeUnitHalf) {\n                d.scene3Timer = 0.0f;\n                d.scene3ShowCar|^Scene
scene1-hold-length|scenes/scene1.cpp|d.scene1Timer > d.timeUnit + d.timeUnitHalf|d.scene1Timer > d.timeUnit * 2.0f|^Scene
fade-clamp|scenes/fades.h|        fade = 255.0f;\n|\n|^Scene
alpha-clamp|driver/sprites.cpp|    if (alpha > 255) alpha = 255;\n|\n|^(Scene\|Sprites)
scene4-bubble-beat|scenes/scene4.cpp|0.8f + d.beatPulse / 4.0f|0.8f + d.beatPulse / 8.0f|^Scene
scene7-pattern-period|scenes/scene7.cpp|demo.timeUnitQuarter / 4.0f|demo.timeUnitQuarter / 2.0f|^Scene
scene9-end|scenes/scene9.cpp|if (d.scene9Time > d.timeUnit * 4.0f)|if (d.scene9Time >= d.timeUnit * 4.0f)|^Scene
beat-row|driver/music.cpp|row % 4 == 0|row % 8 == 0|^(BeatPulse\|MainLoop)
aspect|driver/demo.cpp|static_cast<float>(demo.screenWidth) / static_cast<float>(demo.screenHeight)|demo.screenWidth / demo.screenHeight|^MainLoop
opaque-blend|driver/sprites.cpp|if (tint.a == 255 && isOpaqueTexture(|if (tint.a >= 128 && isOpaqueTexture(|^Sprite
tga-run-length|textures/tga.cpp|const std::uint64_t count = chunkheader - 127u;|const std::uint64_t count = chunkheader - 128u;|^Tga
obj-fan|glm/glm_scan.h|last[0] = c[0], last[1] = c[1], last[2] = c[2];|last[1] = c[1], last[2] = c[2];|^(Glm\|LoadModel\|DemoModels)
obj-relative-index|glm/glm_scan.h|(sign & (before + 2))|(sign & (before + 1))|^(Glm\|LoadModel\|DemoModels)
obj-index-bound|glm/glm_scan.h|bad \|= magnitude - 1 >= count;|bad \|= magnitude - 1 > count;|^(Glm\|LoadModel\|DemoModels)
module-row|platform/audio_module.cpp|return order \| (row << 16);|return order \| (row << 8);|^(Bass\|ModuleRenderer)
position-mode|platform/bass.cpp|if (!channel \|\| mode != BASS_POS_MUSIC_ORDER) {|if (!channel) {|^Bass
capture-frame-limit|tools/capture/offline_timeline.cpp|frame >= frameLimit_|frame > frameLimit_|^(Capture\|FrameTimes)
capture-frame-range|tools/capture/frame_sink.cpp|(last_ < 0 \|\| frame <= last_)|(last_ < 0 \|\| frame < last_)|^Capture
EOF
)

if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$tree" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANDAR_BENCH=OFF >/dev/null
fi

# Fields split on | except where it is escaped as \|.
field() { sed 's/\\|/\x01/g' <<<"$1" | cut -d'|' -f"$2" | sed 's/\x01/|/g'; }

# Replaces the one occurrence of an anchor in a file (exit 3 when it is not there exactly once).
replace() {
    python3 - "$1" "$2" "$3" <<'PY'
import sys
path, old, new = sys.argv[1], sys.argv[2].replace("\\n", "\n"), sys.argv[3].replace("\\n", "\n")
text = open(path).read()
if text.count(old) != 1:
    sys.exit(3)
open(path, "w").write(text.replace(old, new))
PY
}

build_and_test() {
    cmake --build "$build" -j2 >"$build/mutation-build.log" 2>&1 || return 1
    (cd "$build" && xvfb-run -a -s "-screen 0 1280x720x24 -noreset" \
        ctest -j2 --timeout 900 -R "$1" >"$build/mutation-test.log" 2>&1)
}

# A run stopped half way puts the source back all the same.
source= saved=
restore() {
    if [[ -n $saved && -f $saved ]]; then
        cp -p "$saved" "$source"
        touch "$source"  # newer than the mutant's objects, so the next build compiles it again
        rm -f "$saved"
    fi
}
trap restore EXIT

selected=("$@")
declare -A unchanged  # each test pattern's result on the unchanged tree: pass, fail or none
printf '%-22s %s\n' fault result
while IFS= read -r line; do
    [[ -z $line ]] && continue
    id=$(field "$line" 1) file=$(field "$line" 2) anchor=$(field "$line" 3)
    mutant=$(field "$line" 4) tests=$(field "$line" 5)
    if ((${#selected[@]} > 0)) && ! printf '%s\n' "${selected[@]}" | grep -qx "$id"; then
        continue
    fi
    if [[ -z ${unchanged[$tests]:-} ]]; then
        build_and_test "$tests" && unchanged[$tests]=pass || unchanged[$tests]=fail
        if grep -q "No tests were found" "$build/mutation-test.log"; then
            unchanged[$tests]=none
        fi
    fi
    source=$tree/$file
    saved=$(mktemp)
    cp -p "$source" "$saved"
    failure=
    if [[ ${unchanged[$tests]} == none ]]; then
        result="no tests match $tests"
    elif [[ ${unchanged[$tests]} == fail ]]; then
        result="tests fail unchanged"
    elif ! replace "$source" "$anchor" "$mutant"; then
        result="anchor not found"
    elif build_and_test "$tests"; then
        result=missed
    else
        result=caught
        failure=$(grep -m1 -E '^[[:space:]]*[0-9]+ - ' "$build/mutation-test.log" |
            sed 's/^[[:space:]]*//' || true)
        failure=${failure:-the build}
    fi
    restore
    printf '%-22s %s%s\n' "$id" "$result" "${failure:+ (first: $failure)}"
done <<<"$faults"
cmake --build "$build" -j2 >"$build/mutation-build.log" 2>&1 || true
