#!/bin/sh
# Builds the benchmarks and runs them all (root: namespace LANs, port 80),
# 5 runs of each figure; writes one JSON object a line into bench/results/
# and redraws the plots docs/bench-*.svg. Takes about 40 minutes once built,
# most of it the 18 provisioning figures (3 kinds of camera, with and without
# names, 10 to 100 cameras) of about 17.5 s a run.
#   sh bench/run.sh                  everything
#   BENCH_RUNS=1 sh bench/run.sh     a quick look (one run each)
# A figure is never taken while ctest or a compiler runs (the benchmarks wait
# for them); fuzzers running meanwhile are noted with each figure.
set -eu
cd "$(dirname "$0")/.."
[ "$(id -u)" = 0 ] || { echo "bench/run.sh: run as root (namespace LANs, port 80)" >&2; exit 1; }
RUNS=${BENCH_RUNS:-5}
cmake --build build -j2 --target bench
OUT=bench/results
mkdir -p "$OUT"
rm -f "$OUT"/*.jsonl
python3 - "$OUT/machine.json" <<'EOF'
import json, os, platform, sys
cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "?")
mem = next((l.split()[1] for l in open("/proc/meminfo") if l.startswith("MemTotal")), "?")
json.dump({"cores": os.cpu_count(), "cpu": cpu, "memTotalKb": int(mem), "kernel": platform.release(),
           "loadAverage": os.getloadavg()}, open(sys.argv[1], "w"))
EOF
B=build/bench
$B/vantrel-bench-scan --runs "$RUNS" --out "$OUT/scan.jsonl"
QT_QPA_PLATFORM=offscreen $B/vantrel-bench-window --runs "$RUNS" --out "$OUT/window.jsonl"
$B/vantrel-bench-settings --runs "$RUNS" --out "$OUT/settings.jsonl"
$B/vantrel-bench-provision --runs "$RUNS" --out "$OUT/provision.jsonl"
python3 bench/plot.py "$OUT" docs
