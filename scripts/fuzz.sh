#!/usr/bin/env bash
# Builds the document readers' fuzzing harnesses with clang and libFuzzer (address and
# undefined-behaviour sanitizers) and runs each for a while (default 60 seconds) from its seeds,
# with a fixed random seed so that a run can be repeated as it went.
# Usage: scripts/fuzz.sh [seconds] [reader...]   readers: plaintext docx odt rtf doc
# A finding stops the script with the crashing input in build-fuzz/findings/<reader>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
readers=("$@")
[ ${#readers[@]} -eq 0 ] && readers=(plaintext docx odt rtf doc)

if ! command -v clang++ >/dev/null 2>&1; then
    echo "fuzz.sh: clang++ is not installed; skipping the fuzzing run" >&2
    exit 0
fi
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DVEXLO_GUI=OFF -DVEXLO_TESTS=OFF -DVEXLO_FUZZ=ON "${launcher[@]}" \
      -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target $(printf 'fuzz_%s ' "${readers[@]}")

features=tests/data/documents/features
declare -A samples=([plaintext]="tests/data/documents/sample.fodt tests/fuzz/seeds/*.txt"
                    [docx]="tests/data/documents/sample.docx $features/*.docx"
                    [odt]="tests/data/documents/sample.odt $features/*.odt"
                    [rtf]="tests/data/documents/sample.rtf tests/fuzz/seeds/*.rtf $features/*.rtf"
                    [doc]="tests/data/documents/sample.doc resources/MSWordTesting.doc $features/*.doc")
for reader in "${readers[@]}"; do
    corpus="build-fuzz/corpus/$reader"
    findings="build-fuzz/findings/$reader"
    mkdir -p "$corpus" "$findings"
    # shellcheck disable=SC2086
    cp -n ${samples[$reader]} "$corpus"/ 2>/dev/null || true
    echo "== $reader: ${seconds}s"
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "build-fuzz/bin/fuzz_$reader" "$corpus" -seed=1 -max_total_time="$seconds" -rss_limit_mb=512 \
        -malloc_limit_mb=512 -max_len=65536 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$findings/" 2>&1 | grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|==|SUMMARY|ERROR|INFO: -max_total_time)|Done [0-9]+ runs' || true
    if [ -n "$(ls -A "$findings")" ]; then
        echo "fuzz.sh: $reader: a finding is in $findings" >&2
        exit 1
    fi
done
