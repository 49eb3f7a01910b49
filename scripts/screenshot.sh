#!/usr/bin/env bash
# Renders the main window offscreen into docs/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
if [ ! -f "$build/build.ninja" ]; then
    launcher=()
    command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}"
fi
cmake --build "$build" --target vexlopro-screenshot
mkdir -p docs
QT_QPA_PLATFORM=offscreen "$build/bin/vexlopro-screenshot" docs/screenshot.png "$@"
echo "docs/screenshot.png written"
