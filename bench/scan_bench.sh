#!/usr/bin/env bash
# Times the directory scan against find(1) over a 100,000-entry tree held in memory.
#
#   bench/scan_bench.sh [BUILD_DIR]      (default: build)
#
# Uses BUILD_DIR/bin/vexlopro-cli --scan when the CLI offers it, else BUILD_DIR/bin/scan_bench.
# Both sides print every path to /dev/null; the best of several runs counts.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${RUNS:-7}
root=${SCAN_BENCH_ROOT:-/dev/shm}/vexlo-scan-bench.$$
trap 'rm -rf "$root"' EXIT

scanner=()
if [[ -x $build/bin/vexlopro-cli ]] && "$build/bin/vexlopro-cli" --help 2>&1 | grep -q -- --scan; then
    scanner=("$build/bin/vexlopro-cli" --scan)
    mask_flag=(--mask)
elif [[ -x $build/bin/scan_bench ]]; then
    scanner=("$build/bin/scan_bench")
    mask_flag=()
else
    echo "build $build/bin/scan_bench or vexlopro-cli first" >&2
    exit 2
fi

# 10 top folders x 10 subfolders x 10 leaf folders, 99 files in each leaf and a few higher up:
# 1,110 directories + 100,000 files = 101,110 entries.
python3 - "$root" <<'EOF'
import os, sys
root = sys.argv[1]
exts = [".txt", ".html", ".c", ".h", ".dat", ""]
for a in range(10):
    for b in range(10):
        for c in range(10):
            leaf = os.path.join(root, f"d{a}", f"s{b}", f"t{c}")
            os.makedirs(leaf)
            for i in range(99):
                open(os.path.join(leaf, f"file{i}{exts[i % len(exts)]}"), "w").close()
        for i in range(9):
            open(os.path.join(root, f"d{a}", f"s{b}", f"mid{i}.txt"), "w").close()
    for i in range(9):
        open(os.path.join(root, f"d{a}", f"top{i}.txt"), "w").close()
for i in range(10):
    open(os.path.join(root, f"root{i}.txt"), "w").close()
EOF

best() { # best wall time in seconds of "$@" over $runs runs
    local best=999999 t0 t1 t
    for ((i = 0; i < runs; i++)); do
        t0=$(date +%s%N)
        "$@" >/dev/null 2>&1
        t1=$(date +%s%N)
        t=$(((t1 - t0) / 1000))
        ((t < best)) && best=$t
    done
    printf '%d.%06d' $((best / 1000000)) $((best % 1000000))
}

echo "tree: $root ($(find "$root" -mindepth 1 | wc -l) entries)"
echo "scanner: ${scanner[*]}"
for mask in '*' '*.txt'; do
    ours=$(best "${scanner[@]}" "$root" "${mask_flag[@]}" "$mask")
    theirs=$(best find "$root" -mindepth 1 -name "$mask")
    ours_n=$("${scanner[@]}" "$root" "${mask_flag[@]}" "$mask" 2>/dev/null | wc -l)
    theirs_n=$(find "$root" -mindepth 1 -name "$mask" | wc -l)
    ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
    printf 'mask %-6s  scan %ss (%d lines)  find %ss (%d lines)  ratio %s\n' \
        "'$mask'" "$ours" "$ours_n" "$theirs" "$theirs_n" "$ratio"
done
echo "(with a mask other than '*' the scan enters only folders whose names match it, find enters all)"
