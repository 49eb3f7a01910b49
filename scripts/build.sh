#!/usr/bin/env bash
# Configures and builds everything into build/ (Release, Ninja, warnings as errors).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# A warning in the project's own code fails the build (Qt, GoogleTest and the system headers
# are included as system headers and do not count); -DVEXLO_WERROR=OFF after the script's name
# turns it off for one build.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXLO_WERROR=ON "${launcher[@]}" "$@"
cmake --build build -j"$(nproc)"
