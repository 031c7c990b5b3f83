#!/usr/bin/env bash
# Builds the project twice (optimised, and with AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs the whole test suite in both trees. This is the one test command of the README
# and of CI.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

build() {  # build DIR [cmake options...]
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DTARVO_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
build build-asan -DCMAKE_BUILD_TYPE=Debug -DTARVO_SANITIZE=ON

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
echo "== tests (optimised build) =="
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 600 || status=1
echo "== tests (ASan + UBSan build) =="
ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 900 || status=1
exit $status
