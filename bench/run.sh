#!/bin/bash
# Measures orvane-cli against openssl dgst, sha256sum, rhash and hashdeep, and orvane-cli's --jobs and
# --progress against themselves, and what two processes on two cores give, all from the page cache.
# Prints hyperfine tables, peak memory, and the ratios again with the commands taking turns.
#
# Every timed run reads its tree once before, untimed: the kernel may drop cached pages of its own accord
# (proactive reclaim), and orvane-cli leaves a file it had to read from the disk out of the page cache, so
# without it a benchmark of cached files would drift toward the disk. bench/cold.sh measures the disk.
#
#   bench/run.sh                 build the release preset, make the trees (once) and measure
#   BENCH_DIR=/path bench/run.sh put the trees elsewhere (default /var/tmp/orvane-bench; ~2.2 GiB)
#   RUNS=10 bench/run.sh         more runs per command (default 5)
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)
work=${BENCH_DIR:-/var/tmp/orvane-bench}
runs=${RUNS:-5}

need=""
for tool in hyperfine rhash hashdeep; do command -v "$tool" >/dev/null 2>&1 || need="$need $tool"; done
[ -x /usr/bin/time ] || need="$need time"
command -v script >/dev/null 2>&1 || need="$need bsdutils"
if [ -n "$need" ]; then
    if [ "$(id -u)" -eq 0 ]; then as_root=""; else as_root="sudo"; fi
    $as_root apt-get update && DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y --no-install-recommends $need
fi

cmake --preset release >/dev/null
cmake --build --preset release --target orvane-cli >/dev/null
cli=$top/build/release/src/cli/orvane-cli

. bench/trees.sh
make_trees
big=$work/big.bin
small=$work/small
mixed=$work/mixed

echo "warming the page cache"
cat "$big" >/dev/null
find "$small" "$mixed" -type f -exec cat {} + >/dev/null
"$cli" tag "$small" >/dev/null
"$cli" tag "$mixed" >/dev/null
"$cli" tag "$big" >/dev/null
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs"
warm_big="cat $big"
warm_small="find $small -type f -exec cat {} + >/dev/null"
warm_both="find $small $mixed -type f -exec cat {} + >/dev/null"
warm_mixed="find $mixed -type f -exec cat {} + >/dev/null"

echo
echo "## (a) one file of 1 GiB"
hyperfine --style basic --warmup 1 --runs "$runs" -N --prepare "$warm_big" \
    "openssl dgst -sha256 $big" \
    "rhash --sha256 $big" \
    "$cli --jobs 1 check $big" \
    "$cli --jobs 2 check $big"

echo
echo "## (b) 20,000 files of 4 KiB"
hyperfine --style basic --warmup 1 --runs "$runs" --prepare "$warm_small" \
    "rhash -r --sha256 $small >/dev/null" \
    "hashdeep -j0 -r -c sha256 $small >/dev/null" \
    "$cli --jobs 1 check $small >/dev/null" \
    "$cli --jobs 2 check $small >/dev/null" \
    "$cli --jobs 1 tag $small >/dev/null" \
    "$cli --jobs 2 tag $small >/dev/null"

echo
echo "## (c) mixed: 100 files of 10 MiB and 10,000 of 4 KiB"
hyperfine --style basic --warmup 1 --runs "$runs" --prepare "$warm_mixed" \
    "$cli --jobs 1 check $mixed >/dev/null" \
    "$cli --jobs 2 check $mixed >/dev/null"

echo
echo "## (d) progress on a terminal (script -qc gives it a pty) against none"
hyperfine --style basic --warmup 1 --runs "$runs" --prepare "$warm_both" \
    "script -qc '$cli --no-progress check $small' /dev/null >/dev/null" \
    "script -qc '$cli --progress check $small' /dev/null >/dev/null" \
    "script -qc '$cli --no-progress check $mixed' /dev/null >/dev/null" \
    "script -qc '$cli --progress check $mixed' /dev/null >/dev/null"

echo
echo "## (e) peak memory (maximum resident set size)"
for run in "--jobs 1 check $small" "--jobs 8 check $small" "--jobs 8 --progress check $small" "--jobs 8 check $big"; do
    # shellcheck disable=SC2086
    kib=$(/usr/bin/time -f %M "$cli" $run 2>&1 >/dev/null | tail -n 1 | grep -o "[0-9]*$")
    echo "orvane-cli $run: $kib KiB"
done
report=$("$cli" check "$small" | wc -c)
echo "report text of check over the 20,000 files: $report bytes"

echo
echo "## (f) what two cores give this work: two processes with one job each, on the two halves of (b)"
echo "##     (hard links to the same files), at once and one after the other: no thread shares anything"
halves=$work/halves
if [ ! -d "$halves" ]; then
    mkdir -p "$halves.part/a" "$halves.part/b"
    cp -al "$small"/d0 "$small"/d1 "$small"/d2 "$small"/d3 "$small"/d4 "$halves.part/a/"
    cp -al "$small"/d5 "$small"/d6 "$small"/d7 "$small"/d8 "$small"/d9 "$halves.part/b/"
    mv "$halves.part" "$halves"
fi
for command in check tag; do
    one="$cli --no-progress --jobs 1 $command"
    hyperfine --style basic --warmup 1 --runs "$runs" --prepare "$warm_small" \
        "sh -c '$one $halves/a >/dev/null; $one $halves/b >/dev/null'" \
        "sh -c '$one $halves/a >/dev/null & $one $halves/b >/dev/null & wait'" \
        "$cli --no-progress --jobs 2 $command $small"
done

echo
echo "## (g) the ratios of (b), (d) and (f) again, the commands taking turns run by run ($((runs * 2)) rounds; median"
echo "##     of each): hyperfine runs one command's runs together, so a drift of the machine's speed between"
echo "##     them (several percent here within a minute) falls on a ratio; taking turns spreads it over all"
mkdir -p "$work/empty"
timings=$(mktemp)
trap 'rm -f "$timings"' EXIT
commands=(
    "check-1|$cli --jobs 1 check $small"
    "check-2|$cli --jobs 2 check $small"
    "check-default|$cli check $small"
    "check-1-cpu0|taskset -c 0 $cli --jobs 1 check $small"
    "check-1-cpu1|taskset -c 1 $cli --jobs 1 check $small"
    "tag-1|$cli --jobs 1 tag $small"
    "tag-2|$cli --jobs 2 tag $small"
    "rhash|rhash -r --sha256 $small"
    "halves-check|$cli --jobs 1 check $halves/a >/dev/null & $cli --jobs 1 check $halves/b >/dev/null & wait"
    "halves-tag|$cli --jobs 1 tag $halves/a >/dev/null & $cli --jobs 1 tag $halves/b >/dev/null & wait"
    "empty|$cli --jobs 2 check $work/empty"
    "pty-off|script -qc '$cli --no-progress check $small' /dev/null"
    "pty-on|script -qc '$cli --progress check $small' /dev/null"
)
for entry in "${commands[@]}"; do eval "${entry#*|}" >/dev/null 2>&1; done # warm-up
for ((round = 0; round < runs * 2; round++)); do
    eval "$warm_small"
    for entry in "${commands[@]}"; do
        start=$EPOCHREALTIME
        eval "${entry#*|}" >/dev/null 2>&1
        end=$EPOCHREALTIME
        echo "${entry%%|*} $start $end" >>"$timings"
    done
done
awk '{ t[$1] = t[$1] " " ($3 - $2) * 1000 }
function median(list,   v, n, i, j, x) {
    n = split(list, v, " ")
    for (i = 2; i <= n; i++) { x = v[i]; for (j = i - 1; j >= 1 && v[j] > x; j--) v[j + 1] = v[j]; v[j + 1] = x }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
}
END {
    for (c in t) m[c] = median(t[c])
    printf "medians (ms): check %.1f / %.1f, tag %.1f / %.1f (--jobs 1 / 2), rhash -r %.1f, pty off %.1f on %.1f\n",
        m["check-1"], m["check-2"], m["tag-1"], m["tag-2"], m["rhash"], m["pty-off"], m["pty-on"]
    printf "check --jobs 1 held to one CPU: %.1f ms on CPU 0, %.1f ms on CPU 1\n", m["check-1-cpu0"], m["check-1-cpu1"]
    printf "check with the default settings: %.1f ms\n", m["check-default"]
    printf "check: --jobs 2 %.2fx --jobs 1, %.2fx rhash\n", m["check-1"] / m["check-2"], m["rhash"] / m["check-2"]
    printf "tag:   --jobs 2 %.2fx --jobs 1, %.2fx rhash\n", m["tag-1"] / m["tag-2"], m["rhash"] / m["tag-2"]
    printf "progress on a pty: %+.1f %%\n", (m["pty-on"] / m["pty-off"] - 1) * 100
    printf "two one-job processes on the halves at once: %.1f ms (check), %.1f ms (tag)\n", m["halves-check"], m["halves-tag"]
    printf "a check of an empty folder (the start and end of a process): %.1f ms\n", m["empty"]
}' "$timings"
