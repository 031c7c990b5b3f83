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
      # Tahoma, the font Windows programs ask for: Wine ships it (fonts-wine) but only
      # finds it in the prefix's Fonts folder.
      cp /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
      # Windows without a window manager: otherwise showing a window waits two seconds
      # for a manager that never answers.
      "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
      touch "$WINEPREFIX/.tarvo-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
# Programs with windows (TARVO_WINE_DISPLAY=1) get a virtual display of their own when
# there is none, numbered after this process so that parallel tests do not meet.
if [ -n "${TARVO_WINE_DISPLAY:-}" ] && [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  exec xvfb-run -n $((100 + $$ % 800)) -s "-screen 0 1024x768x24" "$wine" "$@"
fi
exec "$wine" "$@"
