#!/usr/bin/env bash
# Times vexlopro-cli against GNU sed -i and sd on the same files, with cat and cp as the
# physical reference.
#
# usage: bench/run.sh [--disk] [DIR] [--runs N] [--big-mb N] [--only tree|big|long]
#   DIR     where the corpus goes (default /dev/shm/vexlo-bench, in memory);
#   --disk  put it on the ext4 disk instead, under bench/corpus/ of the source tree.
# The corpus (made once, kept as DIR/pristine) is a tree of 20,000 small source-like files,
# one 1 GB text file with the find word on about 1% of its lines, and a file of forty lines of
# about 5 MB each. Every timed run works on a fresh copy (cp -a from the pristine one).
# Environment: VEXLO_CLI (default build/bin/vexlopro-cli beside this script's tree).
# bench/pathological.sh times the inputs that would make a naive search quadratic.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
dir=/dev/shm/vexlo-bench
runs=3
big_mb=1024
only=""
while (($#)); do
    case $1 in
    --disk) dir=$root/bench/corpus ;;
    --runs) runs=$2; shift ;;
    --big-mb) big_mb=$2; shift ;;
    --only) only=$2; shift ;;
    -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
    *) dir=$1 ;;
    esac
    shift
done

cli=${VEXLO_CLI:-$root/build/bin/vexlopro-cli}
[[ -x $cli ]] || { echo "vexlopro-cli not found at $cli (set VEXLO_CLI)" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time missing (apt-get install time)" >&2; exit 2; }
have_sd=1; command -v sd >/dev/null || have_sd=0

pristine=$dir/pristine
work=$dir/work
if [[ ! -f $pristine/.complete ]]; then
    echo "making the corpus in $pristine ..."
    rm -rf "$pristine"
    python3 "$here/make_corpus.py" "$pristine" --big-mb "$big_mb"
    touch "$pristine/.complete"
fi
mkdir -p "$work"

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# timed WORKLOAD TOOL COMMAND: restores the workload, runs COMMAND (a bash string in which
# $W is the fresh copy) $runs times; prints the median seconds and the largest peak memory.
timed() {
    local workload=$1 tool=$2 command=$3 times=() peak=0 i out
    for ((i = 0; i < runs; i++)); do
        rm -rf "${work:?}/$workload" "$work/$workload.copy"
        cp -a "$pristine/$workload" "$work/$workload"
        sync
        out=$(W="$work/$workload" /usr/bin/time -f '%e %M' bash -c "$command" 2>&1 >/dev/null | tail -1)
        times+=("${out% *}")
        ((${out#* } > peak)) && peak=${out#* }
    done
    rm -rf "${work:?}/$workload.copy"
    local med
    med=$(printf '%s\n' "${times[@]}" | median)
    printf '%s|%s|%s|%s\n' "$workload" "$tool" "$med" "$peak" >>"$results"
}

# The byte sizes the MB/s figures refer to.
size_of() { du -sb --apparent-size "$pristine/$1" | cut -f1; }

results=$(mktemp)
trap 'rm -f "$results"; rm -rf "${work:?}"' EXIT

for workload in tree big.txt longlines.txt; do
    case $workload in
    tree) [[ -z $only || $only == tree ]] || continue ;;
    big.txt) [[ -z $only || $only == big ]] || continue ;;
    longlines.txt) [[ -z $only || $only == long ]] || continue ;;
    esac
    echo "timing $workload ..."
    if [[ $workload == tree ]]; then
        timed tree cat 'find "$W" -type f -print0 | xargs -0 cat'
        timed tree cp 'cp -a "$W" "$W.copy"'
        timed tree vexlopro-cli "find \"\$W\" -type f -print0 | xargs -0 '$cli' --find foo --replace bar"
        timed tree "sed -i" 'find "$W" -type f -exec sed -i "s/foo/bar/" {} +'
        ((have_sd)) && timed tree "sd -s" 'find "$W" -type f -exec sd -s foo bar {} +'
    else
        timed "$workload" cat 'cat "$W"'
        timed "$workload" cp 'cp -a "$W" "$W.copy"'
        timed "$workload" vexlopro-cli "'$cli' --find foo --replace bar \"\$W\""
        timed "$workload" "sed -i" 'sed -i "s/foo/bar/" "$W"'
        ((have_sd)) && timed "$workload" "sd -s" 'sd -s foo bar "$W"'
    fi
done

echo
echo "corpus: $pristine ($(df --output=fstype "$pristine" | tail -1)), median of $runs runs"
echo "sed -i 's/foo/bar/' replaces the first 'foo' of each line, as vexlopro-cli does;"
echo "sd replaces every occurrence (there is no first-only mode) and keeps LF line ends."
printf '\n%-14s %-13s %9s %9s %11s %9s %9s\n' workload tool seconds MB/s "peak MB" "x cp" "vexlo x"
while IFS='|' read -r workload name secs peak; do
    bytes=$(size_of "$workload")
    cp_secs=$(awk -F'|' -v w="$workload" '$1 == w && $2 == "cp" {print $3}' "$results")
    cli_secs=$(awk -F'|' -v w="$workload" '$1 == w && $2 == "vexlopro-cli" {print $3}' "$results")
    awk -v w="$workload" -v t="$name" -v s="$secs" -v b="$bytes" -v p="$peak" -v c="$cp_secs" -v v="$cli_secs" 'BEGIN {
        mbs = s > 0 ? b / 1048576 / s : 0
        xcp = c > 0 ? s / c : 0
        xv = v > 0 ? s / v : 0
        printf "%-14s %-13s %9.2f %9.0f %11.1f %9.2f %9.2f\n", w, t, s, mbs, p / 1024, xcp, xv
    }'
done <"$results"
echo
echo "x cp: time relative to cp of the same files; vexlo x: time relative to vexlopro-cli"
echo "(above 1 means slower than vexlopro-cli)."
