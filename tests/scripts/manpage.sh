#!/bin/sh
# Renders a man page as man(1) does in a UTF-8 locale and in the C locale, and fails on any warning of groff's
# and on a report mark that either rendering drops: the marks show as themselves, or by name.
# Usage: manpage.sh GROFF PAGE
set -u
for device in utf8 ascii; do
    warnings=$("$1" -ww -man -T$device "$2" 2>&1 >/dev/null) || { echo "$warnings"; exit 1; }
    if [ -n "$warnings" ]; then
        echo "$device: $warnings"
        exit 1
    fi
done
if grep -q 'ds ok' "$2"; then
    "$1" -man -Tutf8 -P-cbou "$2" 2>/dev/null | grep -q '✅ Digests for' || { echo "utf8: no ✅ mark"; exit 1; }
    "$1" -man -Tascii -P-cbou "$2" 2>/dev/null | grep -q '\[check mark\] Digests for' || { echo "ascii: no mark"; exit 1; }
fi
