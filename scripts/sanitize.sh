#!/usr/bin/env bash
# The core's tests under the address and undefined-behaviour sanitizers, and the file pipeline's
# under the thread sanitizer. No windows: the sanitizer builds cover the toolkit-free core.
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

configure() { # dir flags
    cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXLO_GUI=OFF "${launcher[@]}" \
          -DCMAKE_CXX_FLAGS="$2" -DCMAKE_EXE_LINKER_FLAGS="$2" >/dev/null
}

configure build-asan "-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake --build build-asan -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j"$(nproc)"

configure build-tsan "-fsanitize=thread"
cmake --build build-tsan -j"$(nproc)" --target run_test
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan --output-on-failure -R 'RewriteFiles|RunReplace'
