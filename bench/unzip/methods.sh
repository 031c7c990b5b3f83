#!/usr/bin/env bash
# Benchmark (not a test): decoding and CRC-checking the further methods, `vmunzip test`
# against `7z t` on the same archives, side by side.
#   bench/unzip/methods.sh [WORK_FOLDER]
# A 60 MB corpus (documentation, headers, programs) is packed by 7-Zip as ZIP with LZMA and
# with BZip2; each archive is tested by each tool, best of RUNS runs (default 3). 7-Zip is
# timed as it runs by default and with one thread (-mmt=1). Like 7-Zip, vmunzip decodes the
# blocks of a bzip2 stream on all cores; LZMA decodes on one.
# Prints wall times and the ratio vmunzip / 7z (at most 1.0 is the goal).
set -euo pipefail
source "$(dirname "$0")/common.sh"
[ -n "$sevenzip" ] || { echo "methods.sh: 7z is needed (apt-get install p7zip-full)" >&2; exit 1; }
work=${1:-/tmp/tarvo-bench-methods}
runs=${RUNS:-3}

mkdir -p "$work/corpus"/{text,src,bin}
cd "$work"
split_into() { head -c "$2" | split -b 2M -d -a 3 - "$1"; }
if [ ! -e corpus/.done ]; then
  { find /usr/share/man -name '*.gz' -print0 | sort -z | xargs -0 zcat -f 2>/dev/null
    find /usr/share/doc -type f ! -name '*.gz' -print0 | sort -z | xargs -0 cat 2>/dev/null; } \
    | split_into corpus/text/text 20971520 || true
  find /usr/include -type f -print0 | sort -z | xargs -0 cat 2>/dev/null | split_into corpus/src/src 20971520 || true
  find /usr/bin /usr/lib/x86_64-linux-gnu -maxdepth 1 -type f -size +100k -size -8M -print0 | sort -z |
    xargs -0 cat 2>/dev/null | split_into corpus/bin/bin 20971520 || true
  touch corpus/.done
fi
for m in LZMA BZip2 ${EXTRA_METHODS:-}; do
  [ -e "$m.zip" ] || (cd corpus && "$sevenzip" a -bd -tzip -mm=$m "../$m.zip" text src bin >/dev/null)
done

best() {  # best CMD...: best wall time in microseconds of RUNS runs
  local best_t=""
  for _ in $(seq "$runs"); do
    local start end t
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; return 1; }
    end=$(date +%s%N)
    t=$(( (end - start) / 1000 ))
    if [ -z "$best_t" ] || [ "$t" -lt "$best_t" ]; then best_t=$t; fi
  done
  echo "$best_t"
}

printf "%-8s %9s %12s %12s %12s %14s\n" method "MB zip" vmunzip "7z t" "7z t -mmt=1" "ratio (1 thr)"
for m in LZMA BZip2 ${EXTRA_METHODS:-}; do
  v=$(best "$vmunzip" test "$m.zip")
  s=$(best "$sevenzip" t "$m.zip")
  s1=$(best "$sevenzip" t -mmt=1 "$m.zip")
  awk -v m="$m" -v z="$(stat -c %s "$m.zip")" -v v="$v" -v s="$s" -v s1="$s1" \
    'BEGIN { printf "%-8s %9.1f %11.3fs %11.3fs %11.3fs %6.2fx (%.2fx)\n", m, z / 1048576, v / 1e6, s / 1e6, s1 / 1e6, v / s, v / s1 }'
done
echo "(ratio = vmunzip time / 7z time; at most 1.0 means vmunzip is as fast or faster)"
