#!/bin/sh
# Makes the pictures in docs/ under Xvfb, after a build:
#   docs/main-window.png  the window listing the demo LAN's cameras (scripts/demo.sh, root)
#   docs/edit-camera.png  the Edit dialog, its timezone list open on the choices the camera offered
#   docs/assign-ip.png    the Assign IP dialog for that camera
# `sh scripts/screenshot.sh dialogs` makes the two dialog pictures from
# filled-in dialogs instead (no root, no LAN). Needs Xvfb, ImageMagick and xdotool.
set -eu
cd "$(dirname "$0")/.."
WHAT="${1:-all}"
cleanup() {
    [ -n "${DEMO:-}" ] && kill -TERM "$DEMO" 2>/dev/null && wait "$DEMO" 2>/dev/null
    [ -n "${XVFB:-}" ] && kill "$XVFB" 2>/dev/null || true
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
if [ "$WHAT" = dialogs ]; then
    dialog_shot assign docs/assign-ip.png
    dialog_shot edit docs/edit-camera.png
    exit 0
fi

# The real program in the demo LAN: the list, then Edit and Assign IP on the
# camera in the second row (Lobby), each dialog as the command filled it.
DISPLAY=:97 sh scripts/demo.sh >/dev/null &
DEMO=$!
# The first scan starts a second after start-up and takes about five.
sleep 9
import -display :97 -window root -crop 659x375+336+151 docs/main-window.png
echo "docs/main-window.png written"
# No window manager: the window's client area sits where it placed itself.
ROW2_X=$((336 + 24 + 70)) ROW2_Y=$((151 + 32 + 22 + 22 + 11))
command_shot() {  # button x, button y, picture
    DISPLAY=:97 xdotool mousemove $ROW2_X $ROW2_Y click 1 sleep 0.3 mousemove "$1" "$2" click 1
    WID=$(DISPLAY=:97 timeout 20 xdotool search --sync --onlyvisible --name '^Vantrel$' | head -n 1)
    [ -n "$WID" ] || { echo "no dialog for $3" >&2; exit 1; }
    DISPLAY=:97 xdotool windowfocus --sync "$WID"
    sleep 0.5
    if [ -n "${4:-}" ]; then
        # Opens the list at the dialog's point $4 and takes the screen around the dialog, list included.
        eval "$(DISPLAY=:97 xdotool getwindowgeometry --shell "$WID")"
        DISPLAY=:97 xdotool mousemove $((X + ${4%,*})) $((Y + ${4#*,})) click 1
        sleep 0.5
        import -display :97 -window root -crop "${WIDTH}x$((HEIGHT + 60))+$X+$Y" "$3"
        DISPLAY=:97 xdotool key Escape
    else
        import -display :97 -window "$WID" "$3"
    fi
    DISPLAY=:97 xdotool key Escape
    sleep 0.5
    echo "$3 written"
}
command_shot $((336 + 112 + 37)) $((151 + 327 + 12)) docs/edit-camera.png 240,123  # the timezone list
command_shot $((336 + 24 + 40)) $((151 + 326 + 13)) docs/assign-ip.png
kill -TERM $DEMO
wait $DEMO 2>/dev/null || true
