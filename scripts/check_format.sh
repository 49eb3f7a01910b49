#!/usr/bin/env bash
# Fails when a C++ source does not match .clang-format (clang-format -i fixes it).
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format missing (scripts/deps.sh --ci installs it)" >&2; exit 2; }
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "format check: every source matches .clang-format"
