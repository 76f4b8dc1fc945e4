#!/bin/sh
# Configures and builds into build/ (two jobs: the machines have two cores).
# `--sanitize`: everything with AddressSanitizer and UndefinedBehaviorSanitizer, into build-asan/.
set -eu
cd "$(dirname "$0")/.."
dir=build
sanitize=OFF
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-asan
    sanitize=ON
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_SANITIZE=$sanitize
cmake --build "$dir" -j2
