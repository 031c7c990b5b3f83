#!/usr/bin/env bash
# Builds the gettext benchmark and runs it on a real catalog of the system, side by side
# with the C library's gettext().
#   bench/i18n/run.sh [CATALOG.mo]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD_DIR:-build-bench-i18n}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVO_BENCH=ON -DTARVO_TESTS=OFF \
  -DTARVO_COMPONENTS="core;i18n" >/dev/null
cmake --build "$build" --target bench_gettext >/dev/null
catalog=${1:-}
if [ -z "$catalog" ]; then
  # The largest French catalog installed.
  catalog=$(ls -S /usr/share/locale/fr/LC_MESSAGES/*.mo | sed -n 1p)
fi
# A French locale in a private folder: nothing system-wide changes.
locpath=$(mktemp -d)
trap 'rm -rf "$locpath"' EXIT
localedef -i fr_FR -f UTF-8 "$locpath/fr_FR.UTF-8" 2>/dev/null || true
LOCPATH="$locpath" LC_ALL=fr_FR.UTF-8 LANGUAGE= "$build/bench/i18n/bench_gettext" "$catalog"
