#!/bin/sh
# Prints the mirror of the main Debian archive that this machine's apt takes
# bookworm from, for debootstrap: the first enabled `deb` entry, one-line or
# deb822, in apt's order of files, whose suite is bookworm, with component
# main, at a URI with a path segment "debian" (which leaves out the security
# and updates suites and other vendors' archives). A mirror+file: URI stands
# for the first mirror its list names. Prints nothing when there is none.
# $1: apt's configuration folder (default /etc/apt).
set -eu
etc=${1:-/etc/apt}

# sources.list first, then sources.list.d in name order, as apt reads them.
files() {
    [ -f "$etc/sources.list" ] && echo "$etc/sources.list"
    [ -d "$etc/sources.list.d" ] || return 0
    LC_ALL=C ls "$etc/sources.list.d" | while read -r name; do
        case $name in *.list | *.sources) echo "$etc/sources.list.d/$name" ;; esac
    done
}

# Every URI of a bookworm main `deb` entry, one a line, in order.
candidates() {
    for f in $(files); do
        case $f in
        *.sources)
            awk '
                function has(list, word,   n, i, w) {
                    n = split(list, w, /[ \t]+/)
                    for (i = 1; i <= n; i++) if (w[i] == word) return 1
                    return 0
                }
                function stanza(   n, i, u) {
                    if (tolower(v["enabled"]) != "no" && has(v["types"], "deb") && has(v["suites"], "bookworm") &&
                        has(v["components"], "main")) {
                        n = split(v["uris"], u, /[ \t]+/)
                        for (i = 1; i <= n; i++) if (u[i] != "") print u[i]
                    }
                    split("", v)
                    key = ""
                }
                /^#/ { next }
                /^[ \t]*$/ { stanza(); next }
                /^[ \t]/ { if (key != "") v[key] = v[key] " " $0; next }
                {
                    key = tolower(substr($0, 1, index($0, ":") - 1))
                    v[key] = substr($0, index($0, ":") + 1)
                    gsub(/^[ \t]+|[ \t]+$/, "", v[key])
                }
                END { stanza() }
            ' "$f"
            ;;
        *)
            sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$f" |
                awk '$1 == "deb" && $3 == "bookworm" { for (i = 4; i <= NF; i++) if ($i == "main") { print $2; break } }'
            ;;
        esac
    done
}

for uri in $(candidates); do
    case $uri in
    mirror+file:*)
        list=${uri#mirror+file:}
        list=/${list#"${list%%[!/]*}"}
        [ -f "$list" ] || continue
        uri=$(sed -e 's/#.*//' "$list" | awk 'NF { print $1; exit }')
        ;;
    http://* | https://* | file:*) ;;
    *) continue ;;
    esac
    case "${uri%/}/" in
    *://*/debian/* | file:*/debian/*)
        echo "$uri"
        exit 0
        ;;
    esac
done
