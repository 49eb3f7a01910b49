#!/usr/bin/env bash
# The link-time One Definition Rule check: every core library compiled for link-time
# optimisation and linked whole into one program, with GCC's -Wodr an error. Two different
# definitions of one type (a struct of the same name in two headers) fail the link.
# usage: check_odr.sh [BUILD_DIR]   (default build-odr)
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-odr}"
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# -O1 is enough: the types are compared when the objects are merged, whatever the optimisation.
flags="-flto=auto -Wodr -Werror=odr"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1" \
      -DVEXLO_GUI=OFF -DVEXLO_TESTS=OFF -DVEXLO_ODR_CHECK=ON "${launcher[@]}" \
      -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
if ! cmake --build "$dir" -j"$(nproc)" --target odr_check; then
    echo "ODR check: two definitions of one type in the core (see the -Wodr messages above)" >&2
    exit 1
fi
echo "ODR check: no type of the core is defined twice"
