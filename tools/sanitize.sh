#!/usr/bin/env bash
# Builds everything into build-asan/ with AddressSanitizer and UndefinedBehaviorSanitizer
# (any undefined behaviour stops the program) and runs the whole test suite headless.
# Leaks are reported, except the ones Qt and fontconfig keep on purpose for the life of the
# process (tools/lsan.supp). Arguments go to ctest, as with ./test.sh.
set -euo pipefail
source "$(dirname "$0")/bootstrap.sh"
tarikon_install_packages

build="$TARIKON_ROOT/build-asan"
sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
cmake -S "$TARIKON_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="$sanitizers -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" \
    ${TARIKON_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$TARIKON_LAUNCHER} >/dev/null
cmake --build "$build" -j "$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$TARIKON_ROOT/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure "$@"
