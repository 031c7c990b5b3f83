#!/usr/bin/env bash
# Benchmark (not a test): vmunzip against Info-ZIP unzip and 7-Zip, side by side.
#   bench/unzip/run.sh [WORK_FOLDER]
# Lists a 20,000-entry archive and extracts a 200 MB stored archive with each tool, best of
# RUNS runs (default 3), and prints wall time, peak RSS and the ratio to vmunzip.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
work=${1:-/tmp/tarvo-bench-unzip}
runs=${RUNS:-3}
build=${BUILD_DIR:-build-bench-unzip}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVO_TESTS=OFF \
  -DTARVO_COMPONENTS="core;platform;inflate;unzip" >/dev/null
cmake --build "$build" --target vmunzip >/dev/null
vmunzip="$root/$build/tools/vmunzip/vmunzip"
sevenzip=$(command -v 7zz || command -v 7z || true)

mkdir -p "$work"
cd "$work"
# The archives, made once and reused.
if [ ! -e many.zip ] || [ ! -e big.zip ]; then
  python3 - <<'PY'
import os, random, zipfile
random.seed(7)
# 20,000 small entries in 200 folders, deflated as an everyday archive would be.
with zipfile.ZipFile("many.zip.tmp", "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(20000):
        z.writestr(f"folder{i // 100:03d}/file{i:05d}.txt", f"entry {i}\n" * (1 + i % 7))
os.rename("many.zip.tmp", "many.zip")
# 200 MB stored: 20 files of 10 MiB of incompressible bytes.
with zipfile.ZipFile("big.zip.tmp", "w", zipfile.ZIP_STORED) as z:
    for i in range(20):
        z.writestr(f"blob{i:02d}.bin", os.urandom(10 * 1024 * 1024))
os.rename("big.zip.tmp", "big.zip")
PY
fi

# best NAME CMD...: runs CMD RUNS times (the output folder emptied before each run) and
# prints the best wall time in seconds and the peak RSS in KiB of that run.
best() {
  local best_t="" best_m=""
  for _ in $(seq "$runs"); do
    rm -rf out && mkdir out
    local start end t m
    start=$(date +%s%N)
    /usr/bin/time -f "%M" -o rss.txt "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; return 1; }
    end=$(date +%s%N)
    t=$(( (end - start) / 1000 ))
    m=$(tail -1 rss.txt)
    if [ -z "$best_t" ] || [ "$t" -lt "$best_t" ]; then best_t=$t; best_m=$m; fi
  done
  echo "$best_t $best_m"
}

report() {  # report TITLE BASE_US NAME RESULT...
  local title=$1 base=$2; shift 2
  echo "== $title"
  printf "  %-10s %10s %10s %12s\n" tool seconds ratio "peak RSS"
  while [ $# -gt 0 ]; do
    local name=$1 t=${2% *} m=${2#* }; shift 2
    awk -v n="$name" -v t="$t" -v b="$base" -v m="$m" \
      'BEGIN { printf "  %-10s %10.3f %9.2fx %9.1f MB\n", n, t / 1e6, t / b, m / 1024 }'
  done
}

list_v=$(best "$vmunzip" list many.zip)
list_u=$(best unzip -l many.zip)
list_7=""
[ -n "$sevenzip" ] && list_7=$(best "$sevenzip" l many.zip)
args=(vmunzip "$list_v" unzip "$list_u")
[ -n "$list_7" ] && args+=(7z "$list_7")
report "list a 20,000-entry archive ($(du -h many.zip | cut -f1))" "${list_v% *}" "${args[@]}"

ext_v=$(best "$vmunzip" extract -d out big.zip)
ext_u=$(best unzip -o -q big.zip -d out)
ext_7=""
[ -n "$sevenzip" ] && ext_7=$(best "$sevenzip" x -y -oout big.zip)
args=(vmunzip "$ext_v" unzip "$ext_u")
[ -n "$ext_7" ] && args+=(7z "$ext_7")
report "extract a 200 MB stored archive ($(du -h big.zip | cut -f1))" "${ext_v% *}" "${args[@]}"
echo "(ratio = tool time / vmunzip time; above 1 means vmunzip is faster)"
rm -rf out rss.txt
