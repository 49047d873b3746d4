#!/bin/bash
# Sources the bash completion of orvane-cli and checks what it offers for a few command lines.
# Usage: bash.sh COMPLETION_SCRIPT
set -u
source "$1"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
touch "$folder/photo one.jpg"
failed=0

# expect "WANTED" WORD...: the words of the command line, the last one being completed.
expect()
{
    local wanted=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _orvane_cli 2>/dev/null
    local got="${COMPREPLY[*]}"
    if [[ $got != "$wanted" ]]; then
        echo "FAIL: orvane-cli ${COMP_WORDS[*]:1}: got '$got', wanted '$wanted'"
        failed=1
    fi
}

expect "check" orvane-cli ch
expect "compare" orvane-cli comp
expect "--exclude=" orvane-cli --excl
expect "$folder/photo one.jpg" orvane-cli --exclude '*.tmp' compare "$folder/ph"
expect "tag" orvane-cli --quiet ta
expect "--quiet" orvane-cli --qu
expect "--format=" orvane-cli --form
expect "jsonl" orvane-cli --format = j
expect "--format=jsonl" orvane-cli --format=j
expect "modern classic" orvane-cli --backend = ""
expect "auto" orvane-cli --jobs a
expect "$folder/photo one.jpg" orvane-cli --jobs 2 check "$folder/ph"
expect "$folder/photo one.jpg" orvane-cli --format = text import "$folder/p"
exit $failed
