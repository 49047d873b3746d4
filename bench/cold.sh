#!/bin/bash
# Measures orvane-cli on data that is not in memory: the page cache is dropped before every timed run (root
# only), the commands take turns run by run, and the medians are printed. Against rhash, openssl dgst and
# dd; also the page cache each command leaves behind (fincore), the read calls of 200 hard links to one
# file, and the 1 GiB file from the cache against openssl speed in the same run.
#
#   sudo bench/cold.sh                  build the release preset, make the trees (once) and measure
#   sudo BENCH_DIR=/path bench/cold.sh  the trees of bench/run.sh elsewhere (default /var/tmp/orvane-bench;
#                                       ~4.3 GiB with the 2 GiB file)
#   sudo RUNS=7 bench/cold.sh           more rounds (default 5)
set -eu
if [ "$(id -u)" -ne 0 ]; then
    echo "cold.sh: needs root, to drop the page cache (/proc/sys/vm/drop_caches)" >&2
    exit 2
fi
cd "$(dirname "$0")/.."
top=$(pwd)
work=${BENCH_DIR:-/var/tmp/orvane-bench}
runs=${RUNS:-5}

need=""
command -v rhash >/dev/null 2>&1 || need="$need rhash"
command -v strace >/dev/null 2>&1 || need="$need strace"
command -v fincore >/dev/null 2>&1 || need="$need util-linux"
if [ -n "$need" ]; then
    apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $need
fi

cmake --preset release >/dev/null
cmake --build --preset release --target orvane-cli >/dev/null
cli=$top/build/release/src/cli/orvane-cli

. bench/trees.sh
make_trees
small=$work/small
mixed=$work/mixed
big=$work/big.bin
big2=$work/big2.bin
random_file 2147483648 "$big2"
links=$work/links
if [ ! -d "$links" ]; then
    echo "making $links (200 names of one file of 4 MiB)"
    mkdir -p "$links.part"
    head -c 4194304 /dev/urandom >"$links.part/000"
    for i in $(seq -w 1 199); do ln "$links.part/000" "$links.part/$i"; done
    mv "$links.part" "$links"
fi
for item in "$small" "$mixed" "$big" "$big2" "$links"; do "$cli" --no-progress tag "$item" >/dev/null; done

drop() {
    sync
    echo 3 >/proc/sys/vm/drop_caches
}
# Bytes of the files below $1 that are in the page cache.
cached() {
    find "$1" -type f -print0 | xargs -0 fincore -b -n -o RES | awk '{ s += $1 } END { print s + 0 }'
}
mib() {
    awk -v b="$1" 'BEGIN { printf "%.1f MiB", b / 1048576 }'
}

timings=$(mktemp)
trap 'rm -f "$timings"' EXIT
# Runs every "name|command" once per round, for $runs rounds, the page cache dropped before each (for a
# name that ends in "-cached", the command's last word, a file, is then read into it, untimed); appends
# "name milliseconds" to $timings.
rounds() {
    local entry name start end
    for ((round = 0; round < runs; round++)); do
        for entry in "$@"; do
            name=${entry%%|*}
            drop
            case $name in *-cached) cat "${entry##* }" >/dev/null ;; esac
            start=$EPOCHREALTIME
            eval "${entry#*|}" >/dev/null 2>&1
            end=$EPOCHREALTIME
            echo "$name $(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f", (e - s) * 1000 }')" >>"$timings"
        done
    done
}
median() {
    awk -v name="$1" '$1 == name { v[++n] = $2 }
        END { for (i = 2; i <= n; i++) { x = v[i]; for (j = i - 1; j >= 1 && v[j] > x; j--) v[j + 1] = v[j]; v[j + 1] = x }
              printf "%.1f", n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2 }' "$timings"
}
show() {
    local name
    for name in "$@"; do printf '  %-22s %9s ms\n' "$name" "$(median "$name")"; done
}
ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs; $runs rounds, medians"
echo
echo "## (h) 20,000 files of 4 KiB in 200 folders, cold"
jobs_small=(1 2 4 8 16 32)
entries=("default|$cli check $small" "rhash|rhash -r --sha256 $small")
for n in "${jobs_small[@]}"; do entries+=("jobs-$n|$cli --jobs $n check $small"); done
rounds "${entries[@]}"
show default rhash $(printf 'jobs-%s ' "${jobs_small[@]}")
best=$(for n in "${jobs_small[@]}"; do echo "$(median "jobs-$n") $n"; done | sort -n | head -n 1)
echo "  default against the best --jobs (${best#* }): $(ratio "$(median default)" "${best% *}")x the time (target <= 1.15)"
echo "  default against rhash -r: $(ratio "$(median rhash)" "$(median default)")x as fast (target >= 2)"

echo
echo "## (i) mixed: 100 files of 10 MiB and 10,000 of 4 KiB, cold"
rounds "mixed-default|$cli check $mixed" "mixed-jobs-2|$cli --jobs 2 check $mixed" \
    "mixed-jobs-16|$cli --jobs 16 check $mixed" "mixed-rhash|rhash -r --sha256 $mixed"
show mixed-default mixed-jobs-2 mixed-jobs-16 mixed-rhash

echo
echo "## (j) one file of 2 GiB, cold (and orvane-cli with the file in the page cache)"
rounds "2g-orvane|$cli check $big2" "2g-openssl|openssl dgst -sha256 $big2" "2g-rhash|rhash --sha256 $big2" \
    "2g-dd|dd if=$big2 of=/dev/null bs=1M" "2g-orvane-cached|$cli check $big2"
show 2g-orvane 2g-openssl 2g-rhash 2g-dd 2g-orvane-cached
longer=$(awk -v a="$(median 2g-dd)" -v b="$(median 2g-orvane-cached)" 'BEGIN { print (a > b ? a : b) }')
echo "  cold against the longer of dd and the cached run: $(ratio "$(median 2g-orvane)" "$longer")x (target <= 1.15)"

echo
echo "## (k) the page cache left behind by a cold check of mixed (1.0 GiB), one 10 MiB file of it cached before"
total=$(du -sb "$mixed" | cut -f1)
kept=$mixed/large/001.bin
for entry in "orvane-cli check|$cli check $mixed" "rhash -r|rhash -r --sha256 $mixed"; do
    drop
    cat "$kept" >/dev/null
    before=$(cached "$kept")
    eval "${entry#*|}" >/dev/null 2>&1
    left=$(cached "$mixed")
    printf '  %-16s leaves %s of %s cached (%s %%); the file cached before: %s of %s (%s just before)\n' \
        "${entry%%|*}" "$(mib "$left")" "$(mib "$total")" \
        "$(awk -v l="$left" -v t="$total" 'BEGIN { printf "%.1f", 100 * l / t }')" "$(mib "$(cached "$kept")")" \
        "$(mib "$(stat -c %s "$kept")")" "$(mib "$before")"
done
echo "  (target: at most 10 % cached, the file cached before still cached)"

echo
echo "## (l) 200 names (hard links) of one file of 4 MiB: read calls of a check"
for state in cold cached; do
    [ "$state" = cold ] && drop
    calls=$(strace -f -c -e trace=read,pread64,readv,preadv,preadv2 "$cli" check "$links" 2>&1 >/dev/null |
        awk '$NF ~ /^(read|pread64|readv|preadv|preadv2)$/ { n += $4 } END { print n + 0 }')
    echo "  $state: $calls read calls (target < 100)"
done

echo
echo "## (m) one file of 1 GiB from the page cache against openssl speed, taking turns"
: >"$timings"
for ((round = 0; round < runs; round++)); do
    cat "$big" >/dev/null # the kernel may have dropped pages of it meanwhile, and orvane-cli would not put them back
    start=$EPOCHREALTIME
    "$cli" --jobs 1 check "$big" >/dev/null
    end=$EPOCHREALTIME
    echo "1g-orvane $(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f", (e - s) * 1000 }')" >>"$timings"
    speed=$(openssl speed -bytes 524288 -seconds 2 sha256 2>/dev/null | awk '$1 == "sha256" { sub(/k$/, "", $NF); print $NF * 1000 }')
    echo "1g-speed $(awk -v s="$speed" 'BEGIN { printf "%.1f", 1073741824 / s * 1000 }')" >>"$timings"
done
echo "  orvane-cli check: $(median 1g-orvane) ms; openssl speed's rate over 1 GiB: $(median 1g-speed) ms"
echo "  orvane-cli against openssl speed: $(ratio "$(median 1g-speed)" "$(median 1g-orvane)")x (target >= 0.93)"
