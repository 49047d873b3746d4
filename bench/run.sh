#!/bin/sh
# Compares orvane-cli with openssl dgst, sha256sum, rhash and hashdeep on (a) one 1 GiB file and (b) 20,000
# files of 4 KiB in nested folders, both from the page cache. Prints hyperfine tables and peak memory.
#
#   bench/run.sh                 build the release preset, make the trees (once) and measure
#   BENCH_DIR=/path bench/run.sh put the trees elsewhere (default /var/tmp/orvane-bench; ~1.1 GiB)
#   RUNS=10 bench/run.sh         more runs per command (default 5)
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)
work=${BENCH_DIR:-/var/tmp/orvane-bench}
runs=${RUNS:-5}

need=""
for tool in hyperfine rhash hashdeep; do command -v "$tool" >/dev/null 2>&1 || need="$need $tool"; done
[ -x /usr/bin/time ] || need="$need time"
if [ -n "$need" ]; then
    if [ "$(id -u)" -eq 0 ]; then as_root=""; else as_root="sudo"; fi
    $as_root apt-get update && DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y --no-install-recommends $need
fi

cmake --preset release >/dev/null
cmake --build --preset release --target orvane-cli >/dev/null
cli=$top/build/release/src/orvane-cli

mkdir -p "$work"
big=$work/big.bin
small=$work/small
if [ ! -f "$big" ]; then
    echo "making $big (1 GiB of random bytes)"
    head -c 1073741824 /dev/urandom >"$big.part" && mv "$big.part" "$big"
fi
if [ ! -d "$small" ]; then
    echo "making $small (20,000 files of 4 KiB in 200 folders)"
    mkdir -p "$small.part"
    head -c 81920000 /dev/urandom | (
        cd "$small.part" && split -a 5 -d -b 4096 - f
        i=0
        for a in $(seq -w 0 9); do
            for b in $(seq -w 0 19); do
                mkdir -p "d$a/e$b"
                ls | grep '^f' | head -n 100 | xargs mv -t "d$a/e$b"
            done
        done
    )
    mv "$small.part" "$small"
fi

echo "warming the page cache"
cat "$big" >/dev/null
find "$small" -type f -exec cat {} + >/dev/null
"$cli" tag "$small" >/dev/null

echo
echo "## (a) one file of 1 GiB"
hyperfine --style basic --warmup 1 --runs "$runs" -N \
    "openssl dgst -sha256 $big" \
    "sha256sum $big" \
    "rhash --sha256 $big" \
    "hashdeep -c sha256 $big" \
    "$cli tag $big" \
    "$cli check $big" \
    "$cli --backend=classic check $big"

echo
echo "## (b) 20,000 files of 4 KiB"
hyperfine --style basic --warmup 1 --runs "$runs" \
    "find $small -type f -print0 | xargs -0 openssl dgst -sha256 >/dev/null" \
    "find $small -type f -print0 | xargs -0 sha256sum >/dev/null" \
    "rhash -r --sha256 $small >/dev/null" \
    "hashdeep -r -c sha256 $small >/dev/null" \
    "hashdeep -j0 -r -c sha256 $small >/dev/null" \
    "$cli tag $small >/dev/null" \
    "$cli check $small >/dev/null" \
    "$cli retag $small >/dev/null"

echo
echo "## peak memory (maximum resident set size)"
for run in "tag $big" "check $big" "tag $small" "check $small"; do
    # shellcheck disable=SC2086
    kib=$(/usr/bin/time -f %M "$cli" $run 2>&1 >/dev/null | tail -n 1)
    echo "orvane-cli $run: $kib KiB"
done
report=$("$cli" check "$small" | wc -c)
echo "report text of check over the 20,000 files: $report bytes"
