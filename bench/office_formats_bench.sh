#!/usr/bin/env bash
# 1,000 .docx and 1,000 .odt documents of 2-5 pages, opened, replaced and saved in their own
# format against the plain-text save, in one run (nothing is written to disk).
#   bench/office_formats_bench.sh [BUILD_DIR] [COUNT]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
count=${2:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/tests/docengine/make_ooxml_corpus.py" bench "$work" "$count"
echo ".docx:"; "$build/bin/office_formats_bench" "$work"/*.docx
echo ".odt:";  "$build/bin/office_formats_bench" "$work"/*.odt
