#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a bounded time
# (seconds, first argument, default 15). Inputs that once crashed a target are kept in
# tests/data/bad/fuzz/TARGET/ and replayed first; a new crash is written to build-fuzz/crashes/
# and fails the run: copy it into that folder once it is fixed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-15}"
build="$root/build-fuzz"
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DMOSAIQ_FUZZ=ON -DMOSAIQ_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(fuzz_numbertext fuzz_blogcode fuzz_conversion fuzz_mergedrows fuzz_picture)
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
mkdir -p "$build/crashes"
for target in "${targets[@]}"; do
    regressions="$root/tests/data/bad/fuzz/$target"
    if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
        "$build/tests/fuzz/$target" "$regressions"/*
    fi
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    echo "== $target: $seconds s"
    # The picture reader starts from the sample pictures; new inputs go to the first folder only.
    seeds=()
    length=4096
    if [ "$target" = fuzz_picture ]; then
        seeds=("$root/tests/data/good" "$root/tests/data/bad")
        length=8192
    fi
    "$build/tests/fuzz/$target" "$corpus" "${seeds[@]}" -max_total_time="$seconds" \
        -max_len="$length" -artifact_prefix="$build/crashes/$target-" -print_final_stats=0 2>&1 \
        | tail -n 1
done
