#!/bin/sh
# Installs what is missing, builds, and runs the whole test suite twice: as
# built for use (build/), then built with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer (build-asan/). The network tests build namespace
# LANs and need root; as another user they skip and say why.
# Last, each fuzz harness runs for a short fixed time (clang, build-fuzz/).
# `--sanitize`: the sanitized run only.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh --test

failed=""
# $1: build directory. A failed run is noted and the next one still runs.
suite() {
    echo "==== vantrel: test suite in $1 ===="
    if ctest --test-dir "$1" --output-on-failure --timeout 600; then
        echo "==== vantrel: test suite in $1 passed ===="
    else
        echo "==== vantrel: test suite in $1 FAILED ===="
        failed="$failed $1"
    fi
}

if [ "${1:-}" != "--sanitize" ]; then
    echo "==== vantrel: building build ===="
    sh scripts/build.sh
    suite build
fi

# Any report ends the process with status 86, which fails its test; an emulator
# or vantrel-cli a test started fails that test too (tests/support/test_lan.h).
# The suppressions name third-party libraries only.
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:exitcode=86"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=86"
echo "==== vantrel: building build-asan (sanitizers) ===="
sh scripts/build.sh --sanitize
suite build-asan

if [ "${1:-}" != "--sanitize" ]; then
    # 15 s of each harness; bench/fuzz.sh runs them long.
    echo "==== vantrel: building build-fuzz (fuzz harnesses) ===="
    unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
    cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DVANTREL_FUZZ=ON
    cmake --build build-fuzz -j2 --target drovik_reply_fuzz drovik_collection_fuzz mdns_answer_fuzz \
        zorvo_reply_fuzz settings_body_fuzz url_value_fuzz plan_fuzz
    echo "==== vantrel: fuzz harnesses ===="
    if ctest --test-dir build-fuzz -L fuzz --output-on-failure; then
        echo "==== vantrel: fuzz harnesses passed ===="
    else
        echo "==== vantrel: fuzz harnesses FAILED ===="
        failed="$failed build-fuzz"
    fi
fi

if [ -n "$failed" ]; then
    echo "==== vantrel: FAILED:$failed ====" >&2
    exit 1
fi
