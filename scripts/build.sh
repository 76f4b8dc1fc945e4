#!/bin/sh
# Configures and builds into build/ (two jobs: the machines have two cores).
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
