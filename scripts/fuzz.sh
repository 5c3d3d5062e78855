#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets (clang, libFuzzer, ASan + UBSan) in build-fuzz and runs each of them for SECONDS,
# one after the other. Fails when any target finds a crash, a sanitizer report or a broken property; the
# input that did it is kept in build-fuzz/findings/TARGET/.
#   scripts/fuzz.sh SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || ((seconds == 0)); then
    echo "usage: $0 SECONDS" >&2
    exit 2
fi
build=${VOKABO_FUZZ_BUILD_DIR:-build-fuzz}
targets=(fuzz_field fuzz_settings fuzz_date_text fuzz_word_list fuzz_access_reader)
# A word list of 512 bytes (some thirty lines) reaches all of the parser; longer ones only repeat its words
# through the cipher, and brought the target down to a few hundred inputs a second. The Access files start
# from the samples of the tests (up to 3 MB; the mutations of the small ones are what matter).
declare -A options=([fuzz_word_list]=-max_len=512 [fuzz_access_reader]=-max_len=150000)
declare -A seeds=([fuzz_access_reader]=testsupport/fixtures/mdb)

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DVOKABO_FUZZ=ON -DBUILD_TESTING=OFF -DVOKABO_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_targets

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=0:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export ASAN_SYMBOLIZER_PATH=${ASAN_SYMBOLIZER_PATH:-$(command -v llvm-symbolizer-14 || true)}

failed=()
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    findings="$build/findings/$target"
    log="$build/fuzz-$target.log"
    mkdir -p "$corpus" "$findings"
    # The first corpus folder collects what the run finds; the seeds in the repository are only read.
    if "$build/bin/$target" ${options[$target]:-} -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$corpus" "${seeds[$target]:-fuzz/corpus/$target}" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
        echo "$target: ${runs:-?} executions in ${seconds} s (${speed:-?}/s), no findings"
    else
        echo "$target: FINDING; log $log, input in $findings/" >&2
        grep -E 'ERROR|property failed|runtime error|SUMMARY' "$log" | head -n 5 >&2 || true
        failed+=("$target")
    fi
done
if ((${#failed[@]})); then
    echo "fuzzing found problems in: ${failed[*]}" >&2
    exit 1
fi
