#!/usr/bin/env bash
# The Windows step of CI: both Windows targets built with warnings as errors (i686, the
# product's own, is only built: these machines run no 32-bit code), then the engine suites
# of the x86_64 build under wine64 through CTest. The peers the suites call (zip, 7z, tar,
# python3) run on the Linux side.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
bash scripts/build-windows.sh i686 >/dev/null
build=$(bash scripts/build-windows.sh x86_64 | tail -1)
echo "== tests (Windows x86_64 under wine64) =="
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 600
