#!/bin/sh
# Renders a man page as man(1) does and fails on any warning of groff's.
# Usage: manpage.sh GROFF PAGE
set -u
warnings=$("$1" -ww -man -Tutf8 "$2" 2>&1 >/dev/null) || { echo "$warnings"; exit 1; }
if [ -n "$warnings" ]; then
    echo "$warnings"
    exit 1
fi
