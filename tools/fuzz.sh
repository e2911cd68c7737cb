#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ into build-fuzz/ with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs them, each on a copy of its committed corpus.
#
#   tools/fuzz.sh --smoke                      every target 30 s
#   tools/fuzz.sh [--time N] [--runs M] [TARGET]  every target (or one) for N seconds or
#                                              M executions, whichever ends first
#   tools/fuzz.sh --build                      build only
#
# A crash, a failed check, a leak or a timeout is kept under build-fuzz/findings/<target>/ and
# the script exits non-zero. Inputs the run found new go to build-fuzz/corpus/<target>/;
# the committed corpus is never written.
set -euo pipefail
source "$(dirname "$0")/bootstrap.sh"

mode=""
limit=()
only=""
while [ $# -gt 0 ]; do
    case "$1" in
    --smoke) mode=run limit+=(-max_total_time=30) ;;
    --time) mode=run limit+=("-max_total_time=$2"); shift ;;
    --runs) mode=run limit+=("-runs=$2"); shift ;;
    --build) mode=build ;;
    -h | --help) sed -n '2,12p' "$0"; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) only="$1" ;;
    esac
    shift
done
[ -n "$mode" ] || { sed -n '2,12p' "$0" >&2; exit 2; }

TARIKON_PACKAGES+=("${TARIKON_FUZZ_PACKAGES[@]}")
tarikon_install_packages

build="$TARIKON_ROOT/build-fuzz"
sanitizers="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
cmake -S "$TARIKON_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_CXX_FLAGS="$sanitizers -fno-omit-frame-pointer" -DTARIKON_FUZZ=ON \
    ${TARIKON_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$TARIKON_LAUNCHER} >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz-all
[ "$mode" = build ] && exit 0

targets="$only"
if [ -z "$targets" ]; then
    for exe in "$build"/fuzz/fuzz-*; do
        [ -f "$exe" ] && [ -x "$exe" ] && targets+=" ${exe##*/fuzz-}"
    done
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
# The file targets write a file per input: memory is faster than a disk where there is one.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
failed=0
for target in $targets; do
    corpus="$build/corpus/$target"
    findings="$build/findings/$target"
    mkdir -p "$corpus" "$findings"
    cp -n "$TARIKON_ROOT/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null || true
    echo "== $target (${limit[*]})"
    if ! "$build/fuzz/fuzz-$target" "${limit[@]}" -rss_limit_mb=2048 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" \
        >"$build/$target.log" 2>&1; then
        failed=1
        echo "FAILED: $target; see $build/$target.log and $findings/" >&2
        tail -n 40 "$build/$target.log" >&2
    fi
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' \
        "$build/$target.log" | tr '\n' ' '
    grep -E '^#[0-9]+.*(DONE|cov:)' "$build/$target.log" | tail -n 1
done
exit $failed
