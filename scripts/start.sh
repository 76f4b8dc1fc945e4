#!/bin/sh
# Installs what is missing, builds, and starts Vantrel; with --demo, starts it
# in a private LAN of emulated cameras instead (scripts/demo.sh).
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh
sh scripts/build.sh
[ "${1:-}" = --demo ] && exec sh scripts/demo.sh
exec build/app/vantrel
