#!/usr/bin/env bash
# Benchmark (not a test): decoding and CRC-checking the further methods, `vmunzip test`
# against `7z t` on the same archives, side by side.
#   bench/unzip/methods.sh [WORK_FOLDER]
# A 60 MB corpus (documentation, headers, programs) is packed by 7-Zip as ZIP with LZMA, with
# BZip2 and with PPMd (order 6, 16 MiB: 7-Zip's defaults); each archive is tested by each
# tool, the median of RUNS runs (default 5). 7-Zip is timed as it runs by default and with
# one thread (-mmt=1). Like 7-Zip, vmunzip decodes the blocks of a bzip2 stream on all cores;
# LZMA and PPMd decode on one. BUILD_DIR picks the vmunzip tree (configured with
# -DTARVO_7ZIP_SOURCE_DIR=/nonexistent it measures the older lzma-dev LZMA decoder).
# Prints wall times and the ratio vmunzip / 7z (at most 1.0 is the goal).
set -euo pipefail
source "$(dirname "$0")/common.sh"
[ -n "$sevenzip" ] || { echo "methods.sh: 7z is needed (apt-get install p7zip-full)" >&2; exit 1; }
work=${1:-/tmp/tarvo-bench-methods}
runs=${RUNS:-5}

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
for m in LZMA BZip2 PPMd ${EXTRA_METHODS:-}; do
  [ -e "$m.zip" ] || (cd corpus && "$sevenzip" a -bd -tzip -mm=$m "../$m.zip" text src bin >/dev/null)
done

median() {  # median CMD...: median wall time in microseconds of RUNS runs
  local times=()
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; return 1; }
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

printf "%-8s %9s %12s %12s %12s %14s\n" method "MB zip" vmunzip "7z t" "7z t -mmt=1" "ratio (1 thr)"
for m in LZMA BZip2 PPMd ${EXTRA_METHODS:-}; do
  v=$(median "$vmunzip" test "$m.zip")
  s=$(median "$sevenzip" t "$m.zip")
  s1=$(median "$sevenzip" t -mmt=1 "$m.zip")
  awk -v m="$m" -v z="$(stat -c %s "$m.zip")" -v v="$v" -v s="$s" -v s1="$s1" \
    'BEGIN { printf "%-8s %9.1f %11.3fs %11.3fs %11.3fs %6.2fx (%.2fx)\n", m, z / 1048576, v / 1e6, s / 1e6, s1 / 1e6, v / s, v / s1 }'
done
echo "(ratio = vmunzip time / 7z time; at most 1.0 means vmunzip is as fast or faster)"
