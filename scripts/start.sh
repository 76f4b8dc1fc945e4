#!/bin/sh
# Installs what is missing, builds what the window needs, and starts Vantrel;
# with --demo, starts it in a private LAN of emulated cameras instead
# (scripts/demo.sh, which checks for a display itself), or runs the command
# that follows there: `sh scripts/start.sh --demo build/tools/vantrel-cli scan`.
set -eu
caller=$(pwd)
cd "$(dirname "$0")/.."
if [ "${1:-}" != --demo ]; then
    case "${QT_QPA_PLATFORM:-}" in
    offscreen* | minimal*) ;;
    *)
        if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
            echo "vantrel: no display for the window: neither DISPLAY nor WAYLAND_DISPLAY is set." >&2
            echo "Run it in a desktop session (sudo keeps DISPLAY but drops WAYLAND_DISPLAY), or try it" >&2
            echo "without a screen: QT_QPA_PLATFORM=offscreen sh scripts/start.sh --demo" >&2
            exit 1
        fi ;;
    esac
fi
sh scripts/deps.sh
if [ "${1:-}" = --demo ]; then
    sh scripts/build.sh vantrel vantrel-cli vantrel-camsim
    shift
    repo=$(pwd)
    cd "$caller"  # where the command's own file arguments lie
    exec sh "$repo/scripts/demo.sh" "$@"
fi
sh scripts/build.sh vantrel
exec build/app/vantrel
