#!/usr/bin/env bash
# Times vexlopro-cli on inputs that make a naive substring search quadratic: long find texts
# whose every alignment almost matches, in both letter modes and in the block search.
#
# usage: bench/pathological.sh [DIR] [--timeout S]
#   DIR        where the inputs go (default /dev/shm/vexlo-patho, in memory)
#   --timeout  seconds after which a case is stopped and reported as such (default 120)
# Environment: VEXLO_CLI (default build/bin/vexlopro-cli beside this script's tree).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
dir=/dev/shm/vexlo-patho
limit=120
while (($#)); do
    case $1 in
    --timeout) limit=$2; shift ;;
    -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
    *) dir=$1 ;;
    esac
    shift
done
cli=${VEXLO_CLI:-$root/build/bin/vexlopro-cli}
[[ -x $cli ]] || { echo "vexlopro-cli not found at $cli (set VEXLO_CLI)" >&2; exit 2; }

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

# case NAME FILE ARGS...: times one run on a fresh copy of FILE.
run_case() {
    local name=$1 file=$2
    shift 2
    cp "$p/$file" "$dir/work/$file"
    local start end rc=0
    start=$(date +%s.%N)
    timeout "$limit" "$cli" "$@" "$dir/work/$file" || rc=$?
    end=$(date +%s.%N)
    if ((rc == 124)); then
        printf '%-44s  stopped after %s s\n' "$name" "$limit"
    else
        awk -v n="$name" -v a="$start" -v b="$end" -v r="$rc" \
            'BEGIN { printf "%-44s %8.2f s%s\n", n, b - a, r ? "  (exit " r ")" : "" }'
    fi
    rm -f "$dir/work/$file"
}

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
