#!/usr/bin/env bash
# Writes a picture of every page of the wizard, in Dutch and in French, to DIR:
# DIR/nl-0.png ... DIR/nl-8.png and DIR/fr-0.png ... DIR/fr-8.png. Builds what it needs in
# build/ first; no display is needed. SCALE (default 1) renders as on a high-DPI screen.
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: $0 DIR [SCALE]" >&2
  exit 2
fi
dir=$(realpath -m "$1")
scale=${2:-1}
cd "$(dirname "$0")/.."
mkdir -p "$dir"
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DTARVO_WERROR=ON >/dev/null
fi
cmake --build build --target tarvo-screenshots >/dev/null
QT_QPA_PLATFORM=offscreen build/bin/tarvo-screenshots "$dir" "$scale"
ls "$dir"/nl-*.png "$dir"/fr-*.png
