#!/bin/sh
# Prints each test of the last ctest run in build directory $1 that skipped,
# with the reason it gave: gtest's "file:line: Skipped" and the line after it,
# Qt Test's "SKIP   :" line, or a script's "SKIP: reason".
set -eu
log="$1/Testing/Temporary/LastTest.log"
[ -f "$log" ] || exit 0
awk '
/^[0-9]+\/[0-9]+ Test: / { name = $3; next }
/^Output:$/ { out = 1; next }
/^<end of output>$/ { out = 0; next }
out && after { why = $0; after = 0; next }
out && /: Skipped$/ { after = 1; next }
out && /^SKIP   : / { why = $0; sub(/^SKIP   : [^ ]* /, "", why); sub(/^[^ ]+\(\) /, "", why); next }
out && /^SKIP: / { why = substr($0, 7); next }
/^"[^"]*" end time:/ {
    if (why != "") { skipped[++n] = name ": " why }
    why = ""; after = 0
}
END { for (i = 1; i <= n; i++) print "  " skipped[i] }' "$log" | sort >"$1/Testing/Temporary/skipped.txt"
if [ -s "$1/Testing/Temporary/skipped.txt" ]; then
    echo "Skipped tests, and why:"
    cat "$1/Testing/Temporary/skipped.txt"
fi
