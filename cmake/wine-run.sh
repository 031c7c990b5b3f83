#!/usr/bin/env bash
# Runs a Windows program under wine64 in the build tree's own Wine prefix (made on first
# use, once, even when several tests start at the same time):
#   wine-run.sh PREFIX PROGRAM.exe ARGS...
set -euo pipefail
# Programs with windows (TARVO_WINE_DISPLAY=1) run in a prefix of their own beside it: a
# Wine session takes the display of its first program, and the console programs have none.
export WINEPREFIX=$1${TARVO_WINE_DISPLAY:+-display} WINEDEBUG=${WINEDEBUG:--all}
# No menu entries or file associations on the Linux side, no Mono or Gecko installers.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d;mscoree=;mshtml=}
shift
# Wine writes Unix file names in the locale's character set: under the POSIX locale a name
# outside ASCII cannot be made at all ("No such file or directory"), and the suites'
# archives hold such names. C.UTF-8 is always there.
case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
  *.UTF-8 | *.utf8 | *.UTF8 | *.utf-8) ;;
  *) export LC_ALL=C.UTF-8 ;;
esac
wine=${TARVO_WINE64:-/usr/lib/wine/wine64}
wineserver=$(dirname "$wine")/wineserver
# Wine maps a page of its own at a fixed address when a program starts. With the address
# space laid out at random, something else now and then sits there first (about one start
# in two or three thousand): the program dies before its first line, its only trace
# "failed to map the shared user data". Without randomisation every start gets the same
# layout. Where the system refuses that (some containers do), the retry below remains.
run=("$wine")
if setarch "$(uname -m)" -R true 2>/dev/null; then run=(setarch "$(uname -m)" -R "$wine"); fi
if [ ! -f "$WINEPREFIX/.tarvo-ready" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.tarvo-ready" ]; then
      "${run[@]}" wineboot -i >/dev/null 2>&1 || true
      # Tahoma, the font Windows programs ask for: Wine ships it (fonts-wine) but only
      # finds it in the prefix's Fonts folder. Its bold file draws as the regular one here;
      # without it Wine makes the bold itself.
      cp /usr/share/wine/fonts/tahoma.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
      # Windows without a window manager: otherwise showing a window waits two seconds
      # for a manager that never answers.
      "${run[@]}" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
      # The user's folders (Desktop, Documents, ...) inside the prefix, not links to $HOME:
      # what a program writes there stays in the prefix.
      for link in "$WINEPREFIX/drive_c/users/"*/*; do
        if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
      done
      "$wineserver" -w  # the session that made the prefix had no display; it ends first
      touch "$WINEPREFIX/.tarvo-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
# They get a virtual display when there is none, numbered after this process; the display
# stays until the session has ended, so that the next program starts a session of its own.
# (Their tests hold one resource lock: one such session at a time.)
if [ -n "${TARVO_WINE_DISPLAY:-}" ] && [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  exec xvfb-run -n $((100 + $$ % 800)) -s "-screen 0 1024x768x24" \
    bash -c 'server=$1; shift; "$@"; status=$?; "$server" -w; exit $status' run "$wineserver" "${run[@]}" "$@"
fi
# The console programs share one server that outlives each of them: a program started while
# the last one's server was shutting down would otherwise fail before its first line.
"$wineserver" -p30 >/dev/null 2>&1 || true
# The first program of a session starts the session's own processes (services, devices),
# which inherit its output and live as long as the server. Were that output a pipe, the
# reader (CTest, the test listing after a build) would wait for the server to end; a file
# keeps the pipe theirs alone.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
"${run[@]}" "$@" >"$out" 2>&1 || status=$?
# Every program run here prints before it can fail; a failure with no output at all (or only
# Wine's line about that page) is a start that never reached the program. Start it again,
# and say so.
for retry in 1 2; do
  [ "$status" -ne 0 ] && ! grep -qv 'failed to map the shared user data' "$out" || break
  echo "wine-run.sh: $(basename "$1") ended ($status) before printing anything; start $((retry + 1))" >&2
  status=0
  "${run[@]}" "$@" >"$out" 2>&1 || status=$?
done
cat "$out"
exit $status
