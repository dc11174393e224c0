#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a bounded time
# (seconds, first argument, default 15). Inputs that once made a target fail are kept in
# tests/data/bad/fuzz/TARGET/ and replayed first; each target starts from its seeds
# (tests/data/fuzz/TARGET/, the sample pictures for the picture reader). A new finding is written
# to build-fuzz/crashes/ and fails the run: copy it into the kept folder once it is fixed, and
# CTest replays it in the other builds too. Every sanitizer report is a finding.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-15}"
build="$root/build-fuzz"
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DMOSAIQ_FUZZ=ON -DMOSAIQ_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(fuzz_numbertext fuzz_blogcode fuzz_conversion fuzz_mergedrows fuzz_websettings
    fuzz_picture)
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
mkdir -p "$build/crashes" "$build/logs"

export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

# Shows a failed step whole (the report and its stack, without libFuzzer's progress lines) and
# the input that made it fail, then stops.
failed() {
    local target="$1" log="$2" input="$3"
    grep -Ev '^#[0-9]+[[:space:]]' "$log" || true
    echo "== $target FAILED on input: ${input:-unknown}" >&2
    exit 1
}

for target in "${targets[@]}"; do
    fuzzer="$build/tests/fuzz/$target"
    log="$build/logs/$target.log"
    kept="$root/tests/data/bad/fuzz/$target"
    if [ -d "$kept" ] && [ -n "$(ls -A "$kept")" ]; then
        echo "== $target: the kept inputs"
        if ! "$fuzzer" "$kept"/* >"$log" 2>&1; then
            failed "$target" "$log" "$(grep '^Running: ' "$log" | tail -n 1 | cut -d' ' -f2-)"
        fi
    fi
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    echo "== $target: $seconds s"
    # New inputs go to the first folder only; the seeds stay as they are.
    seeds=()
    length=4096
    if [ "$target" = fuzz_picture ]; then
        seeds=("$root/tests/data/good" "$root/tests/data/bad")
        length=8192
    elif [ -d "$root/tests/data/fuzz/$target" ]; then
        seeds=("$root/tests/data/fuzz/$target")
    fi
    if ! "$fuzzer" "$corpus" "${seeds[@]}" -max_total_time="$seconds" -max_len="$length" \
        -artifact_prefix="$build/crashes/$target-" -print_final_stats=0 >"$log" 2>&1; then
        failed "$target" "$log" "$(sed -n 's/.*Test unit written to //p' "$log" | tail -n 1)"
    fi
    tail -n 1 "$log"
done
