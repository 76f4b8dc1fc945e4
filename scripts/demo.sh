#!/bin/sh
# Starts the built Vantrel inside a private LAN of emulated cameras and
# removes that LAN again when the window closes or the script is stopped
# (Ctrl-C, SIGTERM, SIGHUP). `sh scripts/start.sh --demo` builds, then runs it.
#
#   sh scripts/demo.sh                  the window
#   sh scripts/demo.sh COMMAND [ARG...] COMMAND in the pc namespace instead, in
#                                       the folder the script was started from;
#                                       its exit status is the script's, e.g.
#   sh scripts/demo.sh build/tools/vantrel-cli provision plan.csv
#
#   namespace lan    bridge br0 joining the two below
#   namespace pc     eth0 10.77.0.2/24 and 169.254.10.2/16: the window
#   namespace cams   eth0 carrying every camera's address: vantrel-camsim
#                    playing scripts/demo-cameras.json
#
# As root the namespaces are ordinary `ip netns` ones; an ordinary user gets
# them inside a user namespace of their own. QT_QPA_PLATFORM=offscreen runs
# the program without a display. A camera given a new address takes it on
# cams' eth0 and answers there; one set to DHCP takes the first free address
# of 10.77.0.100-10.77.0.119. VANTREL_BUILD names the build tree (build/).
set -eu
caller=$(pwd)
cd "$(dirname "$0")/.."
PATH=$PATH:/usr/sbin:/sbin  # ip, for users whose PATH lacks them
LAN=tests/support/testlan.sh
CAMERAS=scripts/demo-cameras.json
BUILD=${VANTREL_BUILD:-build}

say() { echo "demo: $*" >&2; }

case "${QT_QPA_PLATFORM:-}" in
offscreen* | minimal*) ;;
*)
    if [ $# -eq 0 ] && [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        say "no display for the window: neither DISPLAY nor WAYLAND_DISPLAY is set."
        say "Run it in a desktop session (sudo keeps DISPLAY but drops WAYLAND_DISPLAY),"
        say "or set QT_QPA_PLATFORM=offscreen to run the program without a window."
        exit 1
    fi ;;
esac

if [ "$(id -u)" -ne 0 ]; then
    # An ordinary user becomes root of a user namespace with a network and a
    # mount namespace of its own, and there gives `ip netns` a private
    # /run/netns, so testlan.sh runs as it does for root. Everything made
    # inside goes when the last process inside ends.
    if unshare --user --map-root-user --net ip link set lo up 2>/dev/null; then
        exec unshare --user --map-root-user --mount --net sh -c '
            set -eu
            if [ -d /var/run/netns ]; then
                mount -t tmpfs tmpfs /var/run/netns
            else
                # Only the real root may make that folder: lay a tmpfs holding
                # it over /run, with every entry of the real /run bound back in
                # (the Wayland socket and the X cookie may live there).
                run=$(cd /var/run && pwd -P) old=$(mktemp -d)
                mount --rbind "$run" "$old"
                mount -t tmpfs tmpfs "$run"
                for e in "$old"/*; do
                    n=$run/${e##*/}
                    if [ -L "$e" ]; then cp -P "$e" "$n"
                    elif [ -d "$e" ]; then mkdir -p "$n" && mount --rbind "$e" "$n"
                    elif [ -e "$e" ]; then touch "$n" && mount --bind "$e" "$n"
                    fi
                done
                umount -l "$old" && rmdir "$old"
                mkdir "$run/netns"
            fi
            unset SUDO_UID  # only this user exists in here
            repo=$(pwd)
            cd "$1" && shift
            exec sh "$repo/scripts/demo.sh" "$@"' demo "$caller" "$@"
    fi
    say "building the camera LAN needs root or unprivileged user namespaces; neither is available."
    say "Run it as root (sudo sh scripts/start.sh --demo), or allow unprivileged user namespaces"
    say "(on Debian: sudo sysctl kernel.unprivileged_userns_clone=1)."
    exit 1
fi

P="vtdemo$$-"  # not vt<pid>x<n>-: testlan.sh sweep would take the LAN for a dead test's
TMP=$(mktemp -d)
cleanup() {
    trap - EXIT INT TERM HUP
    sh $LAN down "$P" || true  # kills the emulator and the window too
    rm -f "$TMP/camsim.out"
    rmdir "$TMP" || true
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# One address per camera in $CAMERAS that has one.
sh $LAN lan "$P" lan
sh $LAN host "$P" pc lan eth0 10.77.0.2/24 169.254.10.2/16
sh $LAN host "$P" cams lan eth0 10.77.0.10/24 10.77.0.11/24 10.77.0.12/24 10.77.0.13/24 10.77.0.14/24 \
    169.254.23.7/16

ip netns exec "${P}cams" "$BUILD/emulator/vantrel-camsim" --config $CAMERAS --duration-s 86400 \
    --take-addresses --dhcp-pool 10.77.0.100-10.77.0.119 >"$TMP/camsim.out" 2>&1 &
CAMSIM=$!
tries=0
until grep -qs '^ready' "$TMP/camsim.out"; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ] || ! kill -0 $CAMSIM 2>/dev/null; then
        say "the camera emulator did not start:"
        cat "$TMP/camsim.out" >&2
        exit 1
    fi
    sleep 0.1
done

# Under sudo the window runs as the user who called sudo: their display lets
# them in (X cookie, Wayland socket) where it may refuse root, and the window
# needs no root for this LAN: the pc holds a 169.254 address, so the
# link-local camera is reached without the host route Web Page would add.
AS=""
if [ -n "${SUDO_UID:-}" ] && [ "$SUDO_UID" -ne 0 ]; then
    AS="setpriv --reuid=$SUDO_UID --regid=${SUDO_GID:-$SUDO_UID} --init-groups"
    AS="$AS env HOME=$(getent passwd "$SUDO_UID" | cut -d: -f6)"
    if [ -z "${XDG_RUNTIME_DIR:-}" ] && [ -d "/run/user/$SUDO_UID" ]; then
        export XDG_RUNTIME_DIR="/run/user/$SUDO_UID"
    fi
fi
if [ $# -eq 0 ]; then
    echo "Vantrel is running in a LAN of emulated cameras; close its window or press Ctrl-C to end the demo."
    ip netns exec "${P}pc" $AS "$BUILD/app/vantrel" &
else
    # A command in the background reads /dev/null unless given the script's input.
    exec 3<&0
    (cd "$caller" && exec ip netns exec "${P}pc" $AS "$@" <&3 3<&-) &
fi
status=0
wait $! || status=$?
exit $status
