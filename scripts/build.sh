#!/bin/sh
# Configures and builds into build/ (two jobs: the machines have two cores).
#   build.sh [TARGET...]             everything, or only the targets named
#   build.sh --sanitize [TARGET...]  with AddressSanitizer and UndefinedBehaviorSanitizer, into build-asan/
set -eu
cd "$(dirname "$0")/.."
dir=build
sanitize=OFF
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-asan
    sanitize=ON
    shift
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_SANITIZE=$sanitize
if [ $# -gt 0 ]; then
    cmake --build "$dir" -j2 --target "$@"
else
    cmake --build "$dir" -j2
fi
