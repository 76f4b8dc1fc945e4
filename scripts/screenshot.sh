#!/bin/sh
# Makes the pictures in docs/ under Xvfb, after a build:
#   docs/main-window.png  the window listing emulated cameras in a namespace LAN (root)
#   docs/assign-ip.png    the Assign IP dialog for a camera with a fixed address
#   docs/edit-camera.png  the Edit dialog for that camera
# `sh scripts/screenshot.sh dialogs` makes only the two dialog pictures (no
# root, no LAN). Needs Xvfb, ImageMagick and xdotool.
set -eu
cd "$(dirname "$0")/.."
WHAT="${1:-all}"
P="vtshot$$x0-"
LAN=tests/lan/testlan.sh
cleanup() {
    [ -n "${XVFB:-}" ] && kill "$XVFB" 2>/dev/null || true
    if [ "$WHAT" = all ]; then
        sh $LAN down "$P"
        rm -f "/tmp/${P}cams.json"
    fi
}
trap cleanup EXIT
Xvfb :97 -screen 0 1024x600x24 -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
tries=0
until DISPLAY=:97 xdotool getdisplaygeometry >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ $tries -lt 100 ] || { echo "Xvfb did not start on :97" >&2; exit 1; }
    sleep 0.1
done

# One dialog, found by its caption and grabbed without the screen around it.
dialog_shot() {
    DISPLAY=:97 build/tests/gui/vantrel-dialog-shot "$1" &
    SHOT=$!
    WID=$(DISPLAY=:97 timeout 20 xdotool search --sync --onlyvisible --name '^Vantrel$' | head -n 1)
    [ -n "$WID" ] || { echo "no dialog window for $1" >&2; exit 1; }
    DISPLAY=:97 xdotool windowfocus --sync "$WID"  # no window manager: focus it, or it draws inactive
    sleep 0.5
    import -display :97 -window "$WID" "$2"
    kill $SHOT
    wait $SHOT 2>/dev/null || true
    echo "$2 written"
}
dialog_shot assign docs/assign-ip.png
dialog_shot edit docs/edit-camera.png
[ "$WHAT" = dialogs ] && exit 0

sh $LAN lan "$P" lan
sh $LAN host "$P" pc lan eth0 10.77.0.2/24
sh $LAN host "$P" cams lan eth0 10.77.0.10/24 10.77.0.11/24 10.77.0.12/24 10.77.0.13/24 10.77.0.14/24
cat > "/tmp/${P}cams.json" <<'JSON'
{"cameras": [
 {"name": "Lobby entrance", "hwAddr": "02:e5:a1:10:20:05", "ip": "10.77.0.10", "subnet": "255.255.255.0", "productName": "ZC-100", "productCode": "3c"},
 {"name": "Loading dock", "hwAddr": "02:e5:a1:10:20:47", "ip": "10.77.0.11", "subnet": "255.255.255.0", "productName": "ZD-220", "productCode": "1a0"},
 {"name": "Parking level 2", "hwAddr": "02:e5:a1:10:20:8c", "ip": "10.77.0.12", "subnet": "255.255.255.0", "productName": "ZC-100", "productCode": "3c", "httpPort": 8080},
 {"name": "Server room", "hwAddr": "02:e5:a1:10:20:c3", "ip": "10.77.0.13", "subnet": "255.255.255.0", "productName": "ZV-4", "productCode": "4"},
 {"name": "", "hwAddr": "02:e5:a1:10:20:f1", "ip": "0.0.0.0", "productName": "ZC-100", "productCode": "3c"}
]}
JSON
ip netns exec "${P}cams" build/emulator/vantrel-camsim --config "/tmp/${P}cams.json" --duration-s 60 >/dev/null &
ip netns exec "${P}pc" env DISPLAY=:97 build/app/vantrel &
APP=$!
# The first scan starts a second after start-up and takes four and a half.
sleep 8
import -display :97 -window root -crop 659x375+336+151 docs/main-window.png
kill $APP
echo "docs/main-window.png written"
