#!/bin/sh
# Builds the libFuzzer harnesses into build-fuzz (clang, ASan and UBSan) and
# runs each in turn, one fuzzer process at a time, then prints per harness:
# executions, edges covered (cov), features (ft), corpus size, seconds and
# findings.
#
#   sh bench/fuzz.sh                        every harness, 20 minutes each
#   sh bench/fuzz.sh -t 60 mdns_answer      one harness for a minute
#   FUZZ_BUILD_JOBS=2 sh bench/fuzz.sh      build with two jobs (default one)
#
# Each harness's new inputs collect in build-fuzz/fuzz-work/<name>/corpus (kept
# from run to run, seeded from tests/corpus/<name>); its findings (crash-*,
# leak-*, timeout-*, oom-*) in build-fuzz/fuzz-work/<name>/findings, and the
# output in build-fuzz/fuzz-work/<name>/all.log. A run that a signal from
# outside interrupts resumes from its corpus until it has had its time; its
# executions are summed over the parts. Once its fault is fixed, a finding
# goes into tests/corpus/<name>, which the unit tests replay. The exit status
# is 1 when anything was found.
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=$ROOT/build-fuzz
EACH=1200
while getopts t: opt; do
    case $opt in
    t) EACH=$OPTARG ;;
    *) echo "usage: sh bench/fuzz.sh [-t seconds-each] [harness ...]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
HARNESSES=${*:-drovik_reply drovik_collection mdns_answer zorvo_reply settings_body url_value plan}

if ! command -v clang++ >/dev/null; then
    echo "fuzz: the harnesses need clang (Debian: apt-get install clang)" >&2
    exit 1
fi
[ -f "$BUILD/CMakeCache.txt" ] ||
    cmake -S . -B "$BUILD" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DVANTREL_FUZZ=ON
targets=""
for h in $HARNESSES; do targets="$targets ${h}_fuzz"; done
cmake --build "$BUILD" -j"${FUZZ_BUILD_JOBS:-1}" --target $targets

table=$(printf '%-18s %13s %6s %7s %7s %8s %9s' harness executions cov ft corpus seconds findings)
failed=0
for h in $HARNESSES; do
    work=$BUILD/fuzz-work/$h
    mkdir -p "$work/corpus" "$work/findings"
    touch "$work/.start"
    echo "fuzz: $h for $EACH s"
    # Flags of one harness; keep them as tests/fuzz/CMakeLists.txt gives them.
    case $h in
    drovik_collection) flags=-entropic_scale_per_exec_time=1 ;;
    *) flags= ;;
    esac
    start=$(date +%s)
    runs=0 seconds=0 resumed=0
    : >"$work/all.log"
    while [ "$seconds" -lt "$EACH" ]; do
        # -jobs=1 runs the fuzzer as one child process whose output goes to fuzz-0.log here.
        (cd "$work" && "$BUILD/tests/fuzz/${h}_fuzz" -max_total_time=$((EACH - seconds)) -timeout=10 \
            -workers=1 -jobs=1 -print_final_stats=1 $flags -artifact_prefix="$work/findings/" "$work/corpus" \
            "$ROOT/tests/corpus/$h" >/dev/null 2>&1) || true
        log=$work/fuzz-0.log
        cat "$log" >>"$work/all.log"
        last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
        done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        [ -n "$done_runs" ] || done_runs=$(echo "$last" | sed -n 's/^#\([0-9]*\).*/\1/p')
        runs=$((runs + ${done_runs:-0}))
        seconds=$(($(date +%s) - start))
        # A signal from outside ends a run early: it goes on from its corpus for the time left.
        grep -q 'run interrupted' "$log" || break
        resumed=$((resumed + 1))
        echo "fuzz: $h interrupted from outside after $seconds s; resuming"
    done
    field() { echo "$last" | sed -n "s/.* $1: \([0-9]*\).*/\1/p"; }
    findings=$(find "$work/findings" -type f -newer "$work/.start" | wc -l)
    [ "$findings" -eq 0 ] || failed=1
    line=$(printf '%-18s %13s %6s %7s %7s %8s %9s' "$h" "$runs" "$(field cov)" "$(field ft)" "$(field corp)" \
        "$seconds" "$findings")
    [ "$resumed" -eq 0 ] || line="$line  (resumed $resumed times)"
    echo "$line"
    table="$table
$line"
    find "$work/findings" -type f -newer "$work/.start" -exec echo "  finding: {}" \;
done
echo
echo "$table"
exit $failed
