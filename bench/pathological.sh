#!/usr/bin/env bash
# Times vexlopro-cli on inputs that make a naive substring search quadratic: long find texts
# whose every alignment almost matches, in both letter modes and in the block search; and
# the peak memory of rewriting one 500 MB line that holds the find text.
#
# usage: bench/pathological.sh [DIR] [--timeout S] [--before CLI] [--no-memory]
#   DIR        where the inputs go (default /dev/shm/vexlo-patho, in memory)
#   --timeout  seconds after which a case is stopped and reported as such (default 120)
#   --before   an older vexlopro-cli, timed on the same cases in a column of its own
#   --no-memory  leaves out the 500 MB case
# Environment: VEXLO_CLI (default build/bin/vexlopro-cli beside this script's tree).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
dir=/dev/shm/vexlo-patho
limit=120
before=""
memory=1
while (($#)); do
    case $1 in
    --timeout) limit=$2; shift ;;
    --before) before=$2; shift ;;
    --no-memory) memory=0 ;;
    -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
    *) dir=$1 ;;
    esac
    shift
done
cli=${VEXLO_CLI:-$root/build/bin/vexlopro-cli}
[[ -x $cli ]] || { echo "vexlopro-cli not found at $cli (set VEXLO_CLI)" >&2; exit 2; }
[[ -z $before || -x $before ]] || { echo "no program at $before" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time missing (apt-get install time)" >&2; exit 2; }

mkdir -p "$dir/pristine" "$dir/work"
p=$dir/pristine
if [[ ! -f $p/.complete ]]; then
    echo "making the inputs in $p ..."
    python3 - "$p" <<'EOF'
import sys, os
p = sys.argv[1]
def put(name, data):
    with open(os.path.join(p, name), "wb") as f:
        f.write(data)
put("spaces.txt", b" " * (40 << 20) + b"\n")             # one 40 MB line of spaces
put("find-spaces-x", b" " * 1000 + b"x")                 # the find text, last byte differs
put("find-spaces-x-spaces", b" " * 500 + b"x" + b" " * 500)  # first and last byte agree
put("aline.txt", b"a" * (2 << 20) + b"\n")                # one 2 MB line
put("find-130k", b"a" * 65000 + b"b" + b"a" * 65000)     # 130 KB, matches nowhere
put("mbline.txt", b"a" * (1 << 20) + b"\nc\n")            # a 1 MB line for the block search
put("lines-1mb", b"a" * 65000 + b"b" + b"a" * 65000 + b"\r\nc\r\n")
put("manylines.txt", (b"a" * 1000 + b"\n") * 20000)      # every line starts a candidate
put("lines-inner", b"a\r\n" + (b"a" * 1000 + b"\r\n") * 2000 + b"b\r\n")  # inner lines all match
open(os.path.join(p, ".complete"), "w").close()
EOF
fi

# seconds CLI FILE ARGS...: one run on a fresh copy of FILE; prints the seconds taken.
seconds() {
    local program=$1 file=$2
    shift 2
    cp "$p/$file" "$dir/work/$file"
    local start end rc=0
    start=$(date +%s.%N)
    timeout "$limit" "$program" "$@" "$dir/work/$file" || rc=$?
    end=$(date +%s.%N)
    rm -f "$dir/work/$file"
    if ((rc == 124)); then
        printf '>%s' "$limit"
    else
        awk -v a="$start" -v b="$end" -v r="$rc" 'BEGIN { printf "%.2f%s", b - a, r ? " (exit " r ")" : "" }'
    fi
}

# case NAME FILE ARGS...: prints a line with the seconds of each program.
run_case() {
    local name=$1
    shift
    local now
    now=$(seconds "$cli" "$@")
    if [[ -n $before ]]; then
        printf '%-44s %12s %12s\n' "$name" "$(seconds "$before" "$@")" "$now"
    else
        printf '%-44s %12s\n' "$name" "$now"
    fi
}

if [[ -n $before ]]; then
    printf '%-44s %12s %12s\n' "case (seconds; >N: stopped)" before now
else
    printf '%-44s %12s\n' "case (seconds; >N: stopped)" now
fi
f() { cat "$p/$1"; }
run_case "1000 spaces + x, 40 MB of spaces" spaces.txt --find "$(f find-spaces-x)" --replace R
run_case "  the same with Match Case" spaces.txt --find "$(f find-spaces-x)" --replace R --match-case
run_case "500 spaces + x + 500 spaces, 40 MB" spaces.txt --find "$(f find-spaces-x-spaces)" --replace R
run_case "  the same with Match Case" spaces.txt --find "$(f find-spaces-x-spaces)" --replace R \
    --match-case
run_case "130 KB find text, 2 MB line" aline.txt --find "$(f find-130k)" --replace R
run_case "  the same with Match Case" aline.txt --find "$(f find-130k)" --replace R --match-case
run_case "--find-lines, first line 130 KB, 1 MB line" mbline.txt --find-lines "$p/lines-1mb" --replace R
run_case "--find-lines, 2,000 equal inner lines" manylines.txt --find-lines "$p/lines-inner" --replace R

((memory)) || exit 0
# Peak memory of one 500 MB line with the find text near its start, as a multiple of its size.
python3 -c "
import sys
with open(sys.argv[1], 'wb') as f:
    f.write(b'foo ' + b'x' * (500 << 20) + b'\n')
" "$dir/work/line.txt"
peak() {
    local program=$1 size
    size=$(stat -c %s "$dir/work/line.txt")
    cp "$dir/work/line.txt" "$dir/work/copy.txt"
    /usr/bin/time -o "$dir/work/time" -f '%M' "$program" --find foo --replace bar "$dir/work/copy.txt"
    awk -v k="$(tail -1 "$dir/work/time")" -v s="$size" 'BEGIN { printf "%.0f MB = %.2fx", k / 1024, k * 1024 / s }'
    rm -f "$dir/work/copy.txt" "$dir/work/time"
}
echo
if [[ -n $before ]]; then
    printf '%-44s %12s   %s\n' "peak memory, one 500 MB matching line" "before $(peak "$before")" \
        "now $(peak "$cli")"
else
    printf '%-44s %s\n' "peak memory, one 500 MB matching line" "$(peak "$cli")"
fi
rm -f "$dir/work/line.txt"
