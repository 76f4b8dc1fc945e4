#!/bin/sh
# Installs what is missing, builds, and starts Vantrel; with --demo, starts it
# in a private LAN of emulated cameras instead (scripts/demo.sh), or runs the
# command that follows there: `sh scripts/start.sh --demo build/tools/vantrel-cli scan`.
set -eu
caller=$(pwd)
cd "$(dirname "$0")/.."
sh scripts/deps.sh
sh scripts/build.sh
if [ "${1:-}" = --demo ]; then
    shift
    repo=$(pwd)
    cd "$caller"  # where the command's own file arguments lie
    exec sh "$repo/scripts/demo.sh" "$@"
fi
exec build/app/vantrel
