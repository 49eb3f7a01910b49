#!/usr/bin/env bash
# Counts the edits lost when two command-line runs rewrite the same files at the same time.
#
# usage: bench/two_runs.sh [--files N] [--rounds N] [DIR]
#   Each of two loops runs vexlopro-cli ROUNDS times over the same N files (default 500 files,
#   35 rounds each: 35,000 edits tried). One loop inserts "b" after the "a" of each file, the
#   other "c". A rewrite either succeeds or is reported as "changed while being rewritten";
#   an edit is lost when its run did not report the file but its letter is missing from it.
#   DIR (default /dev/shm/vexlo-two-runs) is emptied first.
# Environment: VEXLO_CLI (default build/bin/vexlopro-cli beside this script's tree).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cli=${VEXLO_CLI:-$(dirname "$here")/build/bin/vexlopro-cli}
files=500
rounds=35
dir=/dev/shm/vexlo-two-runs
while (($#)); do
    case $1 in
    --files) files=$2; shift ;;
    --rounds) rounds=$2; shift ;;
    -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
    *) dir=$1 ;;
    esac
    shift
done

rm -rf "$dir"
mkdir -p "$dir/t"
for ((i = 0; i < files; i++)); do printf 'a\n' >"$dir/t/f$i.txt"; done

# One loop: ROUNDS runs over every file; stderr gathered to count what was reported.
loop() {
    local letter=$1
    for ((r = 0; r < rounds; r++)); do
        "$cli" --find a --replace "a$letter" "$dir"/t/*.txt 2>>"$dir/$letter.err" || true
    done
}
loop b &
loop c &
wait

tried=$((2 * files * rounds))
# Every line on stderr is one file a run reported as not rewritten.
failed_b=$(wc -l <"$dir/b.err")
failed_c=$(wc -l <"$dir/c.err")
changed=$(cat "$dir/b.err" "$dir/c.err" | { grep -c 'changed while being rewritten' || true; })
kept_b=$(cat "$dir"/t/*.txt | tr -cd b | wc -c)
kept_c=$(cat "$dir"/t/*.txt | tr -cd c | wc -c)
lost=$(((files * rounds - failed_b - kept_b) + (files * rounds - failed_c - kept_c)))
echo "edits tried:            $tried"
echo "reported as changed:    $changed"
echo "other reported failures: $((failed_b + failed_c - changed))"
echo "edits in the files:     $((kept_b + kept_c))"
echo "edits lost:             $lost"
