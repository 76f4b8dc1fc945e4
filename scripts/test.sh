#!/bin/sh
# Installs what is missing, builds, and runs the whole test suite twice: as
# built for use (build/), then built with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer (build-asan/). Last, each fuzz harness runs for a
# short fixed time (clang, build-fuzz/). The network tests build namespace LANs
# and need root; as another user they skip, and the reasons are listed at the
# end of each run.
# The tests mostly wait on the network, so the next build compiles while a
# suite runs, and the tests run several at a time (each LAN is its own).
# `--sanitize`: the sanitized run only.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh --test
JOBS=${VANTREL_TEST_JOBS:-6}

failed=""
# $1: build directory. A failed run is noted and the next one still runs.
suite() {
    echo "==== vantrel: test suite in $1 ===="
    if ctest --test-dir "$1" -j"$JOBS" --output-on-failure --timeout 600; then
        echo "==== vantrel: test suite in $1 passed ===="
    else
        echo "==== vantrel: test suite in $1 FAILED ===="
        failed="$failed $1"
    fi
    sh tests/support/skip_reasons.sh "$1"
}

# $1: build directory, then the command that builds it, run in the background
# into $1.log (one at a time); `finish` waits for it and shows the log if it failed.
start_build() {
    bg_dir=$1
    shift
    echo "==== vantrel: building $bg_dir (in the background, log in $bg_dir.log) ===="
    "$@" >"$bg_dir.log" 2>&1 &
    bg_pid=$!
}
finish() {
    if wait "$bg_pid"; then
        echo "==== vantrel: built $bg_dir ===="
    else
        tail -n 60 "$bg_dir.log"
        echo "==== vantrel: building $bg_dir FAILED (whole log in $bg_dir.log) ====" >&2
        exit 1
    fi
}

# Any report ends the process with status 86, which fails its test; an emulator
# or vantrel-cli a test started fails that test too (tests/support/test_lan.h).
# The suppressions name third-party libraries only.
sanitized_suite() {
    export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:exitcode=86"
    export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=86"
    suite build-asan
    unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
}

# Each harness instrumented for coverage, every library with it.
fuzz_build() {
    unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
    cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DVANTREL_FUZZ=ON &&
        cmake --build build-fuzz -j2 --target drovik_reply_fuzz drovik_collection_fuzz mdns_answer_fuzz \
            zorvo_reply_fuzz settings_body_fuzz url_value_fuzz plan_fuzz
}

if [ "${1:-}" = "--sanitize" ]; then
    echo "==== vantrel: building build-asan (sanitizers) ===="
    sh scripts/build.sh --sanitize
    sanitized_suite
else
    echo "==== vantrel: building build ===="
    sh scripts/build.sh
    start_build build-asan sh scripts/build.sh --sanitize
    suite build
    finish build-asan
    start_build build-fuzz fuzz_build
    sanitized_suite
    finish build-fuzz
    # 15 s of each harness, two at a time; bench/fuzz.sh runs them long.
    echo "==== vantrel: fuzz harnesses ===="
    if ctest --test-dir build-fuzz -L fuzz -j2 --output-on-failure; then
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
