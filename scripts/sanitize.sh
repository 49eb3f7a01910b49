#!/usr/bin/env bash
# The tests under the sanitizers: the core's tests (and with VEXLO_SANITIZE_GUI=ON the windows'
# tests, offscreen) under the address and undefined-behaviour sanitizers in one tree, and the
# file pipeline's tests under the thread sanitizer. Only the test programs are built (not the
# programs and benchmarks).
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
jobs="$(nproc)"
gui="${VEXLO_SANITIZE_GUI:-OFF}"

configure() { # dir gui flags
    cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXLO_GUI="$2" "${launcher[@]}" \
          -DCMAKE_CXX_FLAGS="$3" -DCMAKE_EXE_LINKER_FLAGS="$3" >/dev/null
}

# The test programs of a configured tree: the core's (*_test) and the windows' (tst_*).
test_targets() { # dir
    cmake --build "$1" --target help | sed -n 's/^\(tst_[a-z_]*\|[a-z_]*_test\): .*/\1/p' | grep -v '_autogen' | sort -u
}

configure build-asan "$gui" "-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
mapfile -t targets < <(test_targets build-asan)
cmake --build build-asan -j"$jobs" --target "${targets[@]}"
export UBSAN_OPTIONS=print_stacktrace=1
# The core's tests also look for leaks. The install test needs the programs, which this tree
# does not build (the plain build runs it).
ASAN_OPTIONS=detect_leaks=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs" --no-tests=error -E '^(tst_|install_tree$)'
# The windows' tests: memory errors and undefined behaviour in the windows and what they call.
# No leak search: the toolkit keeps caches (fonts, styles) until the process ends.
if [ "$gui" = ON ]; then
    ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen \
        ctest --test-dir build-asan --output-on-failure -j"$jobs" --no-tests=error -R '^tst_'
fi

configure build-tsan OFF "-fsanitize=thread"
cmake --build build-tsan -j"$jobs" --target run_test
# The suites of run_test that run the file pipeline's threads; --no-tests=error fails the
# script if the names drift and the filter matches nothing.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan --output-on-failure --no-tests=error -R '^(RewriteFiles|RunTest)\.'
