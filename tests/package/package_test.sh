#!/bin/sh
# The Debian package, end to end: built by CPack from the build tree, checked
# by lintian, installed into a fresh Debian root made here (debootstrap) with
# its dependencies from the archive, its window started under Xvfb as an
# ordinary user, then removed. Everything it makes lies in one folder, which
# it removes, mounts included (they live in a private mount namespace).
# $1: the build tree. Exit status 77: skipped, with the reason printed.
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "${2:-}" != "--inside" ]; then
    [ "$(id -u)" -eq 0 ] || skip "a fresh root needs root (debootstrap, chroot, mounts)"
    for tool in cpack lintian debootstrap Xvfb xdotool unshare; do
        command -v "$tool" >/dev/null || skip "$tool is missing (scripts/deps.sh --test installs it)"
    done
    work=$(mktemp -d "$build/package-test.XXXXXX")
    trap 'rm -rf "$work"' EXIT INT TERM
    echo "== cpack"
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log"; fail "cpack failed"; }
    deb=$(ls "$work"/pkg/vantrel_*.deb)
    echo "== lintian $(basename "$deb")"
    lintian --fail-on error --allow-root "$deb" || fail "lintian reports errors"

    echo "== files"
    dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort >"$work/files"
    cat "$work/files"
    for f in /usr/bin/vantrel /usr/bin/vantrel-cli /usr/bin/vantrel-camsim /usr/libexec/vantrel/vantrel-nethelper \
        /usr/share/applications/org.vantrel.Vantrel.desktop \
        /usr/share/icons/hicolor/scalable/apps/org.vantrel.Vantrel.svg \
        /usr/share/metainfo/org.vantrel.Vantrel.metainfo.xml \
        /usr/share/doc/vantrel/copyright /usr/share/doc/vantrel/changelog.gz \
        /etc/iproute2/rt_protos.d/vantrel.conf; do
        grep -qx "$f" "$work/files" || fail "the package lacks $f"
    done

    echo "== debootstrap"
    mirror=http://deb.debian.org/debian
    if ! debootstrap --variant=minbase bookworm "$work/root" "$mirror" >"$work/debootstrap.log" 2>&1; then
        tail -5 "$work/debootstrap.log"
        skip "debootstrap from $mirror failed (no archive reachable?)"
    fi
    cp "$deb" "$work/root/tmp/"
    cp /etc/resolv.conf "$work/root/etc/resolv.conf"
    # The X server runs here; the installed program reaches it through its socket.
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>/dev/null &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT INT TERM
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.2; done
    [ -s "$work/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(cat "$work/display")"
    unshare --mount --propagation private sh "$0" "$build" --inside "$work" "$(basename "$deb")"
    echo "== passed"
    exit 0
fi

# Inside a private mount namespace: mounts go when it ends.
work=$3
deb=$4
root=$work/root
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }

echo "== install into the fresh root"
in_root apt-get update -q >"$work/update.log" 2>&1 || { cat "$work/update.log"; fail "apt-get update failed"; }
in_root apt-get install -y -q --no-install-recommends "/tmp/$deb" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "the package did not install"; }
grep -E "^(Setting up|Unpacking) vantrel" "$work/install.log"
in_root dpkg-query -W -f='${Status}\n' vantrel | grep -qx "install ok installed" || fail "not installed"
caps=$(in_root getcap /usr/libexec/vantrel/vantrel-nethelper)
echo "$caps"
echo "$caps" | grep -q "cap_net_admin,cap_net_raw=ep" || fail "the helper lacks its capabilities"
for f in $(cat "$work/files"); do [ -e "$root$f" ] || fail "$f was not installed"; done
in_root vantrel-cli --help >/dev/null || fail "vantrel-cli does not start"
in_root vantrel-camsim --help >/dev/null || fail "vantrel-camsim does not start"
helper=/usr/libexec/vantrel/vantrel-nethelper
status=0
in_root $helper arp-probe 127.0.0.1 >"$work/refused" 2>/dev/null || status=$?
[ "$status" -eq 2 ] && case "$(cat "$work/refused")" in refused*) true ;; *) false ;; esac ||
    fail "the helper did not refuse a loopback probe"

echo "== the helper, for group vantrel only"
owner=$(in_root stat -c '%U:%G %a' $helper)
echo "$owner"
[ "$owner" = "root:vantrel 750" ] || fail "the helper is not root:vantrel 0750"
in_root dpkg-statoverride --list $helper || fail "no statoverride registered for the helper"
# By number: the host's chroot may also know a group by that name, with another gid.
gid=$(in_root getent group vantrel | cut -d: -f3)
[ -n "$gid" ] || fail "no group vantrel"
status=0
chroot --userspec=65534:65534 "$root" $helper arp-probe 10.0.0.1 >"$work/outsider" 2>"$work/outsider.err" || status=$?
cat "$work/outsider.err"
[ "$status" -ne 0 ] && [ ! -s "$work/outsider" ] && grep -q "Permission denied" "$work/outsider.err" ||
    fail "a user outside group vantrel ran the helper"
status=0
chroot --userspec=65534:65534 --groups="$gid" "$root" $helper arp-probe 127.0.0.1 >"$work/member" 2>/dev/null ||
    status=$?
echo "member: $(cat "$work/member") (exit $status)"
[ "$status" -eq 2 ] && case "$(cat "$work/member")" in refused*) true ;; *) false ;; esac ||
    fail "a member of group vantrel could not run the helper"
# An administrator's own owner and mode survive a reinstall, and the capabilities come back.
in_root dpkg-statoverride --remove $helper
in_root dpkg-statoverride --update --add root root 0755 $helper
in_root dpkg -i "/tmp/$deb" >"$work/reinstall.log" 2>&1 || { cat "$work/reinstall.log"; fail "reinstall failed"; }
owner=$(in_root stat -c '%U:%G %a' $helper)
echo "after an override of root:root 0755 and a reinstall: $owner, $(in_root getcap $helper)"
[ "$owner" = "root:root 755" ] || fail "a reinstall undid the administrator's override"
in_root getcap $helper | grep -q "cap_net_admin,cap_net_raw=ep" || fail "the helper lost its capabilities on reinstall"

echo "== the window, as an ordinary user, under Xvfb $DISPLAY"
# Its own network namespace: the scan it starts with stays off this machine's networks.
unshare --net chroot --userspec=65534:65534 "$root" env -i DISPLAY="$DISPLAY" HOME=/tmp \
    XDG_RUNTIME_DIR=/tmp /usr/bin/vantrel >"$work/window.log" 2>&1 &
window=$!
if ! timeout 60 xdotool search --sync --onlyvisible --name "^Vantrel Version" >"$work/windows"; then
    kill "$window" 2>/dev/null || true
    cat "$work/window.log"
    fail "no Vantrel window appeared"
fi
echo "window $(cat "$work/windows"): $(xdotool getwindowname "$(head -1 "$work/windows")")"
kill "$window"
wait "$window" 2>/dev/null || true

echo "== remove"
in_root apt-get remove --purge -y -q vantrel >"$work/remove.log" 2>&1 || { cat "$work/remove.log"; fail "remove failed"; }
in_root dpkg-query -W -f='${Status}\n' vantrel 2>/dev/null | grep -q "installed" && fail "still installed"
for f in $(cat "$work/files"); do [ ! -e "$root$f" ] || fail "$f is left after removal"; done
[ ! -e "$root/usr/libexec/vantrel" ] || fail "/usr/libexec/vantrel is left after removal"
in_root dpkg-statoverride --list $helper && fail "the helper's statoverride is left after purge"
echo "removed cleanly"
