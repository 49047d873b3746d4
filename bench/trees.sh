# Sourced by bench/run.sh and bench/cold.sh: the trees they measure, made once under $work and kept.

# Splits n*4096 random bytes into n files of 4 KiB, 100 to a folder, in folders d*/e* below $1.
small_files() {
    mkdir -p "$1.part"
    head -c $(($2 * 4096)) /dev/urandom | (
        cd "$1.part" && split -a 5 -d -b 4096 - f
        a=0
        while ls | grep -q '^f'; do
            mkdir -p "d$((a / 20))/e$((a % 20))"
            ls | grep '^f' | head -n 100 | xargs mv -t "d$((a / 20))/e$((a % 20))"
            a=$((a + 1))
        done
    )
    mv "$1.part" "$1"
}

# $1 bytes of random bytes in the file $2.
random_file() {
    [ -f "$2" ] && return
    echo "making $2 ($1 bytes of random bytes)"
    head -c "$1" /dev/urandom >"$2.part" && mv "$2.part" "$2"
}

# The trees of bench/run.sh below $work: big.bin (1 GiB), small (20,000 files of 4 KiB) and mixed (100 files of
# 10 MiB in one folder and 10,000 of 4 KiB).
make_trees() {
    mkdir -p "$work"
    random_file 1073741824 "$work/big.bin"
    [ -d "$work/small" ] || { echo "making $work/small (20,000 files of 4 KiB)"; small_files "$work/small" 20000; }
    if [ ! -d "$work/mixed" ]; then
        echo "making $work/mixed (100 files of 10 MiB and 10,000 of 4 KiB)"
        mkdir -p "$work/mixed.part/large"
        for i in $(seq -w 1 100); do head -c 10485760 /dev/urandom >"$work/mixed.part/large/$i.bin"; done
        small_files "$work/mixed.part/small" 10000
        mv "$work/mixed.part" "$work/mixed"
    fi
}
