#!/usr/bin/env bash
# The Windows step of the test command: builds the 64-bit tree with its suites, runs them
# under wine64 through CTest and walks the Windows demo on that tree, then builds and links
# the 32-bit programs (the product's own target; these machines cannot run 32-bit code, so
# that tree is built, not run).
#   bash scripts/test-windows.sh
# Skipped with a message when the cross compilers or wine64 are missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || [ ! -x /usr/lib/wine/wine64 ]; then
  echo "== Windows step skipped: mingw-w64 (posix) or wine64 is not installed"
  exit 0
fi

status=0
echo "== Windows: 64-bit build and its tests under wine64 =="
# The build's own output stays on screen: a compile error must show in the log.
bash "$root/scripts/build-windows.sh" x86_64
build=$root/build-win-x86_64
log=$build/ctest-wine.log
# A tree without its suites fails here instead of passing with none run.
ctest --test-dir "$build" --output-on-failure --no-tests=error -j "${TARVO_JOBS:-2}" --timeout 600 | tee "$log" || status=1
# Tests that cannot run under Wine skip themselves with their reason; count them here.
skipped=$(grep -c '\*\*\*Skipped\|Skipped ' "$log" || true)
echo "== Windows: $skipped test(s) skipped under Wine (reasons above)"

# The README's Windows demo on the tree just built: the window walked under wine64 in both
# languages, through a real installation from a local nginx.
echo "== Windows: the demo (scripts/demo-windows.sh) =="
demo=$(mktemp -d)
if bash "$root/scripts/demo-windows.sh" "$demo" >"$demo/demo.log" 2>&1 \
    && [ "$(find "$demo/screens-win" -name '*.png' | wc -l)" -gt 0 ]; then
  echo "demo ok: $(find "$demo/screens-win" -name '*.png' | wc -l) page(s) pictured"
  rm -rf "$demo"
else
  tail -n 60 "$demo/demo.log"
  echo "demo FAILED (everything it made is in $demo)"
  status=1
fi

echo "== Windows: 32-bit programs =="
programs=${TARVO_WINDOWS_PROGRAMS:-vmunzip netget tarvo-setup}
log32=$(mktemp)
# shellcheck disable=SC2086
if ! bash "$root/scripts/build-windows.sh" i686 $programs >"$log32" 2>&1; then
  tail -n 60 "$log32"
  status=1
fi
rm -f "$log32"

# Each tree's programs as shipped: signed by this build's identity (the tree's throwaway test
# certificate when it made one), with the CheckSum field that matches their bytes.
echo "== Windows: signatures =="
for tree in "$root/build-win-x86_64" "$root/build-win-i686"; do
  [ -d "$tree/signing" ] || continue
  ca=()
  if [ -f "$tree/signing/test-ca" ]; then
    ca=(-CAfile "$(cat "$tree/signing/test-ca")")
  elif [ -n "${TARVO_SIGN_CAFILE:-}" ]; then
    ca=(-CAfile "$TARVO_SIGN_CAFILE")
  fi
  mapfile -d '' exes < <(find "$tree" \( -name CMakeFiles -o -name 'wineprefix*' -o -name signing \) -prune \
    -o -type f -name '*.exe' -print0 | sort -z)
  for exe in "${exes[@]}"; do
    name=${exe#"$root/"}
    if ! osslsigncode verify "${ca[@]}" -in "$exe" >"$tree/signing/verify.log" 2>&1; then
      echo "signature FAILED: $name"
      sed -n '/Signature verification\|error\|Failed/p' "$tree/signing/verify.log" | head -n 5
      status=1
    elif ! python3 "$root/scripts/pe-checksum.py" "$exe" >/dev/null; then
      echo "checksum WRONG:   $name"
      status=1
    else
      echo "signature ok:     $name"
    fi
  done
done
exit $status
