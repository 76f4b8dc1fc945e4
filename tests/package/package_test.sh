#!/bin/sh
# The Debian packages, end to end: vantrel and vantrel-camsim built by CPack
# from the build tree, checked by lintian, installed into a fresh Debian root
# made here (debootstrap, from the archive this machine's apt uses) with their
# dependencies, vantrel first and alone, its window started under Xvfb as an
# ordinary user, its manual page read with man, then both removed. Everything
# it makes lies in one folder, which it removes; the root and the mounts in it
# live in a private mount namespace and go with it.
# $1: the build tree. Exit status 77: skipped, with the reason printed.
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
started=$(date +%s)

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== $* ($(($(date +%s) - started)) s)"; }

if [ "${2:-}" != "--inside" ]; then
    [ "$(id -u)" -eq 0 ] || skip "a fresh root needs root (debootstrap, chroot, mounts)"
    for tool in cpack lintian debootstrap Xvfb xdotool unshare; do
        command -v "$tool" >/dev/null || skip "$tool is missing (scripts/deps.sh --test installs it)"
    done
    [ -f "$build/packaging/vantrel-cli.1.gz" ] ||
        skip "the build has no manual pages (help2man was missing when it was configured; scripts/deps.sh installs it)"
    work=$(mktemp -d "$build/package-test.XXXXXX")
    trap 'rm -rf "$work"' EXIT INT TERM
    step "cpack"
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log"; fail "cpack failed"; }
    deb=$(ls "$work"/pkg/vantrel_*.deb)
    camsim=$(ls "$work"/pkg/vantrel-camsim_*.deb)
    step "lintian $(basename "$deb") $(basename "$camsim")"
    lintian --fail-on error,warning --allow-root "$deb" "$camsim" || fail "lintian reports errors or warnings"

    # $1: the package; prints its files, one a line, without folders.
    files() { dpkg-deb -c "$1" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort; }
    step "files"
    files "$deb" >"$work/files"
    files "$camsim" >"$work/camsim-files"
    cat "$work/files" "$work/camsim-files"
    for f in /usr/bin/vantrel /usr/bin/vantrel-cli /usr/libexec/vantrel/vantrel-nethelper \
        /usr/share/applications/org.vantrel.Vantrel.desktop \
        /usr/share/icons/hicolor/scalable/apps/org.vantrel.Vantrel.svg \
        /usr/share/metainfo/org.vantrel.Vantrel.metainfo.xml \
        /usr/share/man/man1/vantrel.1.gz /usr/share/man/man1/vantrel-cli.1.gz \
        /usr/share/doc/vantrel/copyright /usr/share/doc/vantrel/changelog.gz \
        /etc/iproute2/rt_protos.d/vantrel.conf; do
        grep -qx "$f" "$work/files" || fail "vantrel lacks $f"
    done
    grep camsim "$work/files" && fail "vantrel holds the emulator's files"
    printf '%s\n' /usr/bin/vantrel-camsim /usr/share/doc/vantrel-camsim/changelog.gz \
        /usr/share/doc/vantrel-camsim/copyright /usr/share/man/man1/vantrel-camsim.1.gz |
        cmp -s - "$work/camsim-files" || fail "vantrel-camsim does not hold exactly its four files"
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "vantrel depends on: $depends"
    echo "$depends" | grep -Eq "libmicrohttpd|libssl" && fail "vantrel depends on the emulator's libraries"
    dpkg-deb -f "$camsim" Depends | grep -q libmicrohttpd || fail "vantrel-camsim does not depend on libmicrohttpd"

    # The X server runs here; the installed program reaches it through its socket.
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>/dev/null &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT INT TERM
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.2; done
    [ -s "$work/display" ] || fail "Xvfb did not start"
    export DISPLAY=":$(cat "$work/display")"
    unshare --mount --propagation private sh "$0" "$build" --inside "$work" "$deb" "$camsim" "$started"
    step "passed"
    exit 0
fi

# Inside a private mount namespace: mounts go when it ends. The fresh root is
# a tmpfs: dpkg's many fsyncs cost nothing there, nor does removing it.
work=$3
deb=$4
camsim=$5
started=$6
root=$work/root
mkdir "$root"
mount -t tmpfs -o size=4g,mode=0755 vantrel-package-test "$root"

# The archive and proxy this machine's apt uses, for debootstrap too.
mirror=$(sh "$here/debian_mirror.sh")
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian
if [ -z "${http_proxy:-}" ]; then
    eval "$(apt-config shell http_proxy Acquire::http::Proxy)"
    [ "${http_proxy:-DIRECT}" = DIRECT ] && unset http_proxy || export http_proxy
fi
sources=$(ls /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
include=
[ -n "$sources" ] && grep -qs "https://" $sources && include=--include=ca-certificates
step "debootstrap from $mirror"
if ! debootstrap --variant=minbase $include bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1; then
    tail -5 "$work/debootstrap.log"
    skip "debootstrap from $mirror failed (no archive reachable?)"
fi
# The machine's sources replace debootstrap's line when they name the mirror it used.
if [ -n "$sources" ]; then
    grep -qsF "$mirror" $sources && rm -f "$root/etc/apt/sources.list"
    for f in $sources; do cp "$f" "$root$f"; done
    # The keys they name, where the fresh root lacks them.
    for key in $(sed -n -e 's/.*signed-by=\([^] ]*\).*/\1/ip' -e 's/^Signed-By:[ \t]*\(\/[^ ]*\)$/\1/ip' $sources); do
        [ -f "$key" ] && [ ! -e "$root$key" ] && mkdir -p "$(dirname "$root$key")" && cp "$key" "$root$key"
    done
fi
for f in /etc/apt/trusted.gpg.d/*; do [ -f "$f" ] && cp -n "$f" "$root/etc/apt/trusted.gpg.d/"; done
for f in /etc/apt/apt.conf.d/*; do
    grep -Eiqs '^[^#/]*proxy' "$f" && cp "$f" "$root/etc/apt/apt.conf.d/"
done
cp "$deb" "$camsim" "$root/tmp/"
cp /etc/resolv.conf "$root/etc/resolv.conf"
deb=$(basename "$deb")
camsim=$(basename "$camsim")
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
in_root() {
    chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
        ${http_proxy:+http_proxy=$http_proxy} ${https_proxy:+https_proxy=$https_proxy} "$@"
}
# $1: a name pattern; true when a package of that name is installed in the root.
installed() { in_root dpkg-query -W -f='${db:Status-Status}\n' "$1" 2>/dev/null | grep -qx installed; }

step "install vantrel alone into the fresh root, with man-db"
in_root apt-get update -q -o Acquire::Languages=none >"$work/update.log" 2>&1 ||
    { cat "$work/update.log"; fail "apt-get update failed"; }
in_root apt-get install -y -q --no-install-recommends "/tmp/$deb" man-db >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "the package did not install"; }
grep -E "^(Setting up|Unpacking) vantrel" "$work/install.log"
installed vantrel || fail "not installed"
installed 'libmicrohttpd*' && fail "vantrel pulled in libmicrohttpd"
installed vantrel-camsim && fail "vantrel pulled in vantrel-camsim"
caps=$(in_root getcap /usr/libexec/vantrel/vantrel-nethelper)
echo "$caps"
echo "$caps" | grep -q "cap_net_admin,cap_net_raw=ep" || fail "the helper lacks its capabilities"
for f in $(cat "$work/files"); do [ -e "$root$f" ] || fail "$f was not installed"; done
in_root vantrel-cli --help >/dev/null || fail "vantrel-cli does not start"
in_root man -P cat vantrel-cli >"$work/man" 2>&1 || { cat "$work/man"; fail "man vantrel-cli failed"; }
grep -q "^PROVISIONING RESULTS" "$work/man" || { cat "$work/man"; fail "man vantrel-cli shows another page"; }
in_root man -f vantrel-cli || fail "the manual index lacks vantrel-cli"
helper=/usr/libexec/vantrel/vantrel-nethelper
status=0
in_root $helper arp-probe 127.0.0.1 >"$work/refused" 2>/dev/null || status=$?
[ "$status" -eq 2 ] && case "$(cat "$work/refused")" in refused*) true ;; *) false ;; esac ||
    fail "the helper did not refuse a loopback probe"

step "the helper, for group vantrel only"
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

step "the window, as an ordinary user, under Xvfb $DISPLAY"
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

step "install vantrel-camsim"
in_root apt-get install -y -q --no-install-recommends "/tmp/$camsim" >"$work/camsim.log" 2>&1 ||
    { cat "$work/camsim.log"; fail "vantrel-camsim did not install"; }
installed 'libmicrohttpd*' || fail "vantrel-camsim came without libmicrohttpd"
for f in $(cat "$work/camsim-files"); do [ -e "$root$f" ] || fail "$f was not installed"; done
in_root vantrel-camsim --help >/dev/null || fail "vantrel-camsim does not start"
in_root man -P cat vantrel-camsim | grep -q "^EXIT STATUS" || fail "man vantrel-camsim failed"

step "remove"
in_root apt-get remove --purge -y -q vantrel vantrel-camsim >"$work/remove.log" 2>&1 ||
    { cat "$work/remove.log"; fail "remove failed"; }
installed vantrel && fail "vantrel is still installed"
installed vantrel-camsim && fail "vantrel-camsim is still installed"
for f in $(cat "$work/files" "$work/camsim-files"); do [ ! -e "$root$f" ] || fail "$f is left after removal"; done
[ ! -e "$root/usr/libexec/vantrel" ] || fail "/usr/libexec/vantrel is left after removal"
in_root dpkg-statoverride --list $helper && fail "the helper's statoverride is left after purge"
echo "removed cleanly"
