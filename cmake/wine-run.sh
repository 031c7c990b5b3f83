#!/usr/bin/env bash
# Runs a Windows program under wine64 in the build tree's own Wine prefix (made on first
# use, once, even when several tests start at the same time):
#   wine-run.sh PREFIX PROGRAM.exe ARGS...
set -euo pipefail
export WINEPREFIX=$1 WINEDEBUG=${WINEDEBUG:--all}
shift
wine=${TARVO_WINE64:-/usr/lib/wine/wine64}
if [ ! -f "$WINEPREFIX/.tarvo-ready" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.tarvo-ready" ]; then
      "$wine" wineboot -i >/dev/null 2>&1 || true
      touch "$WINEPREFIX/.tarvo-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$wine" "$@"
