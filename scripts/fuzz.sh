#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a while over a copy of
# its seed corpus; fails when any target finds a crash, a leak or a hang.
#
#   scripts/fuzz.sh [seconds-per-target] [target...]     (default: 60 s, every target)
#
# fuzz/CMakeLists.txt defines the targets, named fuzz_<name>; their seeds live in
# fuzz/corpus/<name>/. Targets may be named with or without the fuzz_ prefix. Inputs that crash
# are kept as build-fuzz/artifacts/<name>/crash-*; new inputs found stay in build-fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
[[ $# -gt 0 ]] && shift
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || ((seconds == 0)); then
    echo "usage: scripts/fuzz.sh [seconds-per-target] [target...]" >&2
    exit 2
fi

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZANDAR_FUZZ=ON -DZANDAR_TESTS=OFF -DZANDAR_BENCH=OFF >/dev/null

# Every fuzz_* target the build knows (Makefile and Ninja generators list them differently).
mapfile -t known < <(cmake --build "$build" --target help |
    sed -nE 's/^(\.\.\. )?(fuzz_[A-Za-z0-9_]+)(:.*)?$/\2/p' | sort -u)
if ((${#known[@]} == 0)); then
    echo "fuzz: no fuzz_* targets defined in fuzz/CMakeLists.txt" >&2
    exit 1
fi

targets=()
if (($# == 0)); then
    targets=("${known[@]}")
else
    for t in "$@"; do
        t=fuzz_${t#fuzz_}
        if ! printf '%s\n' "${known[@]}" | grep -qx "$t"; then
            echo "fuzz: unknown target $t (known: ${known[*]})" >&2
            exit 2
        fi
        targets+=("$t")
    done
fi

cmake --build "$build" -j2 --target "${targets[@]}"

failed=()
for target in "${targets[@]}"; do
    name=${target#fuzz_}
    binary=$(find "$build" -type f -name "$target" -perm -u+x | head -n 1)
    corpus=$build/corpus/$name
    artifacts=$build/artifacts/$name
    log=$build/logs/$name.log
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    if [[ -d fuzz/corpus/$name ]]; then
        cp -r "fuzz/corpus/$name/." "$corpus/"
    fi
    echo "fuzz: $target for ${seconds}s (log: $log)"
    # stderr of the program under test is closed (the readers report every bad file there);
    # libFuzzer and the sanitizers still report through a copy of it.
    if "$binary" "$corpus" -max_total_time="$seconds" -timeout=10 -close_fd_mask=2 \
        -artifact_prefix="$artifacts/" -print_final_stats=1 >"$log" 2>&1; then
        grep -E '^#[0-9]+[[:space:]]+DONE|^stat::number_of_executed_units' "$log" |
            sed 's/^/    /' || true
    else
        echo "fuzz: $target FAILED" >&2
        tail -n 40 "$log" >&2
        failed+=("$target")
    fi
done

if ((${#failed[@]} > 0)); then
    echo "fuzz: failures in ${failed[*]}" >&2
    exit 1
fi
echo "fuzz: ${#targets[@]} target(s) clean"
