#!/bin/sh
# debian_mirror.sh against apt configurations a machine may have: which entry
# is the main archive's, in which order apt reads its files, and the entries
# that only look like it (security, updates, another vendor's bookworm main, a
# disabled stanza, a deb-src line, an embedded key).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
failed=0

# $1: case name, $2: the mirror expected ("" for none); the files are in $work/$1.
expect() {
    got=$(sh "$here/debian_mirror.sh" "$work/$1")
    if [ "$got" = "$2" ]; then
        echo "ok: $1"
    else
        echo "FAIL: $1: got \"$got\", expected \"$2\""
        failed=1
    fi
}

mkdir -p "$work/none/sources.list.d"
expect none ""

# deb822: security first, a disabled stanza, a key block whose lines look like fields.
mkdir -p "$work/deb822/sources.list.d"
cat >"$work/deb822/sources.list.d/debian.sources" <<'SOURCES'
Types: deb
URIs: http://security.debian.org/debian-security
Suites: bookworm-security
Components: main

Types: deb
URIs: http://disabled.example/debian
Suites: bookworm
Components: main
Enabled: no

Types: deb-src deb
# the archive this machine uses
URIs: http://ftp.de.debian.org/debian/ http://second.example/debian
Suites: bookworm bookworm-updates
Components: contrib main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 Suites: bookworm
 -----END PGP PUBLIC KEY BLOCK-----
SOURCES
expect deb822 "http://ftp.de.debian.org/debian/"

# One-line: a deb-src line, another vendor's bookworm main, options in brackets;
# sources.list before sources.list.d, and sources.list.d in name order.
mkdir -p "$work/oneline/sources.list.d"
cat >"$work/oneline/sources.list" <<'LIST'
# deb http://commented.example/debian bookworm main
deb-src http://src.example/debian bookworm main
deb [arch=amd64 signed-by=/usr/share/keyrings/node.gpg] https://deb.nodesource.com/node_20.x bookworm main
deb https://download.docker.com/linux/debian bookworm stable
deb [ signed-by=/usr/share/keyrings/debian-archive-keyring.gpg ] https://mirror.example/debian bookworm main contrib
LIST
printf 'Types: deb\nURIs: http://later.example/debian\nSuites: bookworm\nComponents: main\n' \
    >"$work/oneline/sources.list.d/a.sources"
expect oneline "https://mirror.example/debian"
rm "$work/oneline/sources.list"
printf 'deb http://b.example/debian bookworm main\n' >"$work/oneline/sources.list.d/b.list"
printf 'deb http://c.example/debian bookworm main\n' >"$work/oneline/sources.list.d/c.list.disabled"
expect oneline "http://later.example/debian"

# A mirror list, as Debian's cloud images have.
mkdir -p "$work/mirrors/sources.list.d"
printf '# primary\nhttp://cloud.example/debian\tpriority:1\nhttp://other.example/debian\n' >"$work/debian.list"
printf 'Types: deb\nURIs: mirror+file://%s\nSuites: bookworm\nComponents: main\n' "$work/debian.list" \
    >"$work/mirrors/sources.list.d/debian.sources"
expect mirrors "http://cloud.example/debian"

[ "$failed" -eq 0 ] && echo "all passed"
exit "$failed"
