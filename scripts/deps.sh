#!/bin/sh
# Installs the Debian packages Vantrel needs to build and test, when they are
# missing. As root it installs them; otherwise it prints the exact line to run
# as root (a fresh Debian has no sudo until it is installed).
set -eu

# help2man: the manual pages, made from the programs' own --help.
PACKAGES="cmake make g++ pkg-config qt6-base-dev fonts-liberation libgtest-dev nlohmann-json3-dev libcli11-dev iproute2 util-linux avahi-daemon libssl-dev libcurl4-openssl-dev libmicrohttpd-dev help2man"
# `--test`: also what the whole suite uses beyond the build: clang and its
# libFuzzer runtime (fuzz harnesses); dpkg-dev, lintian, debootstrap, Xvfb,
# xdotool and libcap2-bin (the Debian packages, installed into a fresh root);
# ansible-core (the Ansible collection's module tests) and openssh-server
# (its playbook test over SSH between namespaces).
[ "${1:-}" = "--test" ] &&
    PACKAGES="$PACKAGES clang libclang-rt-14-dev dpkg-dev lintian debootstrap xvfb xdotool libcap2-bin ansible-core openssh-server"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    echo "Installing:$missing"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
else
    echo "Missing Debian packages. Install them as root, then try again:" >&2
    echo "  su -c \"apt-get install -y$missing\"" >&2
    echo "or, where sudo is set up:" >&2
    echo "  sudo apt-get install -y$missing" >&2
    exit 1
fi
