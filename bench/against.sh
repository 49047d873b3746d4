#!/bin/bash
# Measures orvane-cli as built now against orvane-cli as built from another commit, on the 20,000 files of
# 4 KiB that bench/run.sh makes: tag and check with --jobs 1 and --jobs 2, the two builds taking turns run by
# run, from the page cache. Prints each command's median and the ratio now / then.
#
#   bench/against.sh COMMIT          e.g. bench/against.sh HEAD~3
#   ROUNDS=40 bench/against.sh ...   more rounds (default 30)
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)
commit=${1:?usage: bench/against.sh COMMIT}
rounds=${ROUNDS:-30}
small=${BENCH_DIR:-/var/tmp/orvane-bench}/small
[ -d "$small" ] || { echo "against.sh: no $small; run bench/run.sh once to make it" >&2; exit 2; }

# Both builds without the desktop program: only orvane-cli is measured.
then_tree=$(mktemp -d)
trap 'git worktree remove --force "$then_tree" >/dev/null 2>&1 || rm -rf "$then_tree"' EXIT
git worktree add --detach "$then_tree" "$commit" >/dev/null
for tree in "$top" "$then_tree"; do
    cmake -S "$tree" -B "$tree/build/against" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_BUILD_GUI=OFF \
        -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$tree/build/against" --target orvane-cli >/dev/null
done
now=$top/build/against/src/cli/orvane-cli
then=$then_tree/build/against/src/cli/orvane-cli
"$now" --no-progress tag "$small" >/dev/null # warm the page cache

ms() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null || true
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
}
log=$(mktemp)
for ((round = 0; round < rounds; round++)); do
    for command in tag check; do
        for jobs in 1 2; do
            echo "now $command $jobs $(ms "$now" --no-progress --jobs $jobs $command "$small")" >>"$log"
            echo "then $command $jobs $(ms "$then" --no-progress --jobs $jobs $command "$small")" >>"$log"
        done
    done
done
echo "orvane-cli now ($(git rev-parse --short HEAD)) against $commit ($(git -C "$then_tree" rev-parse --short HEAD)), $rounds rounds, medians:"
awk '
function median(list,   v, n, i, j, x) {
    n = split(list, v, " ")
    for (i = 2; i <= n; i++) { x = v[i]; for (j = i - 1; j > 0 && v[j] > x; j--) v[j + 1] = v[j]; v[j + 1] = x }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
}
{ t[$1 " " $2 " " $3] = t[$1 " " $2 " " $3] " " $4 }
END {
    for (c in t) m[c] = median(t[c]) / 1000
    for (command = 1; command <= 2; command++) for (jobs = 1; jobs <= 2; jobs++) {
        name = command == 1 ? "tag" : "check"
        printf "%-5s --jobs %d: now %7.1f ms, then %7.1f ms, now/then %.3f\n", name, jobs, m["now " name " " jobs], m["then " name " " jobs], m["now " name " " jobs] / m["then " name " " jobs]
    }
}' "$log"
rm -f "$log"
