#!/usr/bin/env bash
# Times vexlopro-cli on inputs that make a naive search slow: long find texts whose every
# alignment almost matches and wildcard patterns with long repeats, for the office engine
# (8 MB stories, by default) and the text engine (both letter modes and the block search);
# and the peak memory of rewriting one 500 MB line that holds the find text.
#
# usage: bench/pathological.sh [DIR] [--timeout S] [--before CLI] [--text] [--memory]
#   DIR        where the inputs go (default /dev/shm/vexlo-patho, in memory)
#   --timeout  seconds after which a case is stopped and reported as such (default 120)
#   --before   an older vexlopro-cli, timed on the same cases in a column of its own
#   --text     adds the text engine's cases (40 MB lines; some minutes)
#   --memory   adds the 500 MB case
# The default run (office engine only) takes well under a minute. Figures are seconds of one
# run, reading and saving included: processor seconds for the office engine (with seconds per
# MB), wall seconds for the text engine.
# Environment: VEXLO_CLI (default build/bin/vexlopro-cli beside this script's tree).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
dir=/dev/shm/vexlo-patho
limit=120
before=""
memory=0
text=0
while (($#)); do
    case $1 in
    --timeout) limit=$2; shift ;;
    --before) before=$2; shift ;;
    --text) text=1 ;;
    --memory) memory=1 ;;
    --no-memory) memory=0 ;;
    -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
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
mb8 = 8 << 20
put("a8.txt", b"a" * mb8)                                 # the office engine's stories: 8 MB
put("ab300.txt", (b"a" * 299 + b"b") * (mb8 // 300))      # a b every 300 characters
put("words8.txt", b"word, " * (mb8 // 6))
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

# per_mb SECONDS FILE: seconds per MB of FILE ("" when the case was stopped or failed).
per_mb() {
    awk -v s="$1" -v b="$(stat -c %s "$p/$2")" 'BEGIN { if (s ~ /^[0-9.]+$/) printf "%.3f", s * 1048576 / b }'
}

# cpu_seconds CLI FILE ARGS...: one run on a fresh copy of FILE; prints the processor seconds
# (user and system) it took, which a machine busy with other work disturbs less than the wall.
cpu_seconds() {
    local program=$1 file=$2
    shift 2
    cp "$p/$file" "$dir/work/$file"
    local rc=0
    timeout "$limit" /usr/bin/time -o "$dir/work/time" -f '%U %S' "$program" "$@" "$dir/work/$file" || rc=$?
    rm -f "$dir/work/$file"
    if ((rc == 124)); then
        printf '>%s' "$limit"
    elif ((rc)); then
        printf 'exit %s' "$rc"
    else
        awk '{ printf "%.2f", $1 + $2 }' <(tail -1 "$dir/work/time")
    fi
    rm -f "$dir/work/time"
}

# office_case NAME FILE ARGS...: the office engine on FILE; seconds and seconds per MB.
office_case() {
    local name=$1 file=$2
    shift 2
    local now old
    now=$(cpu_seconds "$cli" "$file" --office "$@" --replace x)
    if [[ -n $before ]]; then
        old=$(cpu_seconds "$before" "$file" --office "$@" --replace x)
        printf '%-40s %9s %7s %9s %7s\n' "$name" "$old" "$(per_mb "$old" "$file")" "$now" "$(per_mb "$now" "$file")"
    else
        printf '%-40s %9s %7s\n' "$name" "$now" "$(per_mb "$now" "$file")"
    fi
}

a254b=$(printf 'a%.0s' {1..254})b
if [[ -n $before ]]; then
    printf '%-40s %9s %7s %9s %7s\n' "office engine, 8 MB (CPU s; >N: stopped)" before s/MB now s/MB
else
    printf '%-40s %9s %7s\n' "office engine, 8 MB (CPU s; >N: stopped)" now s/MB
fi
office_case "zzz (reading and saving alone)" a8.txt --find zzz
office_case "?{1,255}b, all a" a8.txt --wildcards --find '?{1,255}b'
office_case "?{1,255}b, a b every 300" ab300.txt --wildcards --find '?{1,255}b'
office_case "254 a + b, all a" a8.txt --find "$a254b"
office_case "  the same with Match Case" a8.txt --find "$a254b" --match-case
office_case "  the same with whole words" a8.txt --find "$a254b" --whole-word
office_case "  the same with wildcards" a8.txt --find "$a254b" --wildcards
office_case "a^?...(126)b, all a" a8.txt --find "a$(printf '^?%.0s' {1..126})b"
office_case "a*b, all a" a8.txt --wildcards --find 'a*b'
office_case "<[a-z]@>, short words" words8.txt --wildcards --find '<[a-z]@>'

((text)) || exit 0
echo
if [[ -n $before ]]; then
    printf '%-44s %12s %12s\n' "text engine (seconds; >N: stopped)" before now
else
    printf '%-44s %12s\n' "text engine (seconds; >N: stopped)" now
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
