#!/bin/sh
# Installs what is missing, builds, and starts Vantrel.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh
sh scripts/build.sh
exec build/app/vantrel
