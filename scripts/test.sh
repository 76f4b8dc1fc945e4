#!/bin/sh
# Installs what is missing, builds, and runs the whole test suite. The network
# tests build namespace LANs and need root; as another user they skip and say why.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh
sh scripts/build.sh
ctest --test-dir build --output-on-failure --timeout 600
