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

# measure CMD...: "WALL CPU" in seconds, each the median of RUNS runs. CPU is user + system
# time of the command and its threads: on a busy machine it moves less than the wall time.
measure() {
  local walls=() cpus=() line
  for _ in $(seq "$runs"); do
    line=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1 || echo "failed: $*" >&2; } 2>&1 | tail -1)
    read -r w u s <<<"$line"
    walls+=("$w")
    cpus+=("$(awk -v u="$u" -v s="$s" 'BEGIN { print u + s }')")
  done
  local mid=$(( (runs + 1) / 2 ))
  echo "$(printf '%s\n' "${walls[@]}" | sort -g | sed -n "${mid}p") $(printf '%s\n' "${cpus[@]}" | sort -g | sed -n "${mid}p")"
}

printf "%-6s %6s | %9s %9s %11s %7s %7s | %9s %11s %7s\n" method "MB zip" vmunzip "7z t" "7z -mmt=1" ratio "(1 thr)" \
  "cpu vmunz" "cpu 7z mt1" ratio
for m in LZMA BZip2 PPMd ${EXTRA_METHODS:-}; do
  if ! "$vmunzip" test "$m.zip" >/dev/null 2>&1; then
    echo "$m: vmunzip cannot test this archive (a build without the LZMA SDK's PPMd?)"
    continue
  fi
  read -r v vc < <(measure "$vmunzip" test "$m.zip")
  read -r s _ < <(measure "$sevenzip" t "$m.zip")
  read -r s1 s1c < <(measure "$sevenzip" t -mmt=1 "$m.zip")
  awk -v m="$m" -v z="$(stat -c %s "$m.zip")" -v v="$v" -v s="$s" -v s1="$s1" -v vc="$vc" -v s1c="$s1c" \
    'BEGIN { printf "%-6s %6.1f | %8.3fs %8.3fs %10.3fs %6.2fx %6.2fx | %8.3fs %10.3fs %6.2fx\n",
             m, z / 1048576, v, s, s1, v / s, v / s1, vc, s1c, vc / s1c }'
done
echo "(ratio = vmunzip time / 7z time, medians of $runs runs; at most 1.0 means vmunzip is as fast or faster)"
