#!/usr/bin/env bash
# Benchmark (not a test): vmunzip against Info-ZIP unzip, bsdtar and 7-Zip, side by side.
#   bench/unzip/run.sh [WORK_FOLDER]
# Lists a 20,000-entry archive; extracts 20,000 small files in 50 folders (zip -r), 10,000
# entries of one name (each replaces the last) and a 200 MB stored archive with each tool,
# best of RUNS runs (default 3). Prints wall time, CPU time (user + system), peak RSS and
# the ratio to vmunzip. On a busy machine compare the CPU column as well as the wall one.
set -euo pipefail
source "$(dirname "$0")/common.sh"
work=${1:-/tmp/tarvo-bench-unzip}
runs=${RUNS:-3}

mkdir -p "$work"
cd "$work"
# The archives, made once and reused.
if [ ! -e many.zip ] || [ ! -e big.zip ] || [ ! -e small.zip ] || [ ! -e same.zip ]; then
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
# 20,000 small files in 50 folders, archived by Info-ZIP's zip -r as a product tree would be.
import shutil, subprocess
shutil.rmtree("small-src", ignore_errors=True)
for d in range(50):
    os.makedirs(f"small-src/folder{d:02d}")
    for i in range(400):
        with open(f"small-src/folder{d:02d}/file{i:04d}.txt", "w") as f:
            f.write(f"entry {d} {i}\n" * (1 + i % 7))
subprocess.check_call("cd small-src && zip -qr ../small.zip.tmp .", shell=True)
shutil.rmtree("small-src")
os.rename("small.zip.tmp", "small.zip")
# 10,000 entries of one name: every entry replaces the file the previous one wrote.
import warnings
warnings.simplefilter("ignore")
with zipfile.ZipFile("same.zip.tmp", "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(10000):
        z.writestr("same.txt", f"version {i}\n" * 20)
os.rename("same.zip.tmp", "same.zip")
PY
fi

# best CMD...: runs CMD RUNS times (the output folder emptied before each run) and prints
# the best wall time in microseconds, then that run's CPU seconds and peak RSS in KiB.
best() {
  local best_t="" best_rest=""
  for _ in $(seq "$runs"); do
    rm -rf out && mkdir out
    local start end t
    start=$(date +%s%N)
    /usr/bin/time -f "%U %S %M" -o rss.txt "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; return 1; }
    end=$(date +%s%N)
    t=$(( (end - start) / 1000 ))
    if [ -z "$best_t" ] || [ "$t" -lt "$best_t" ]; then
      best_t=$t
      best_rest=$(tail -1 rss.txt | awk '{ printf "%.2f %s", $1 + $2, $3 }')
    fi
  done
  echo "$best_t $best_rest"
}

report() {  # report TITLE BASE_RESULT NAME RESULT...
  local title=$1 base=$2; shift 2
  echo "== $title"
  printf "  %-10s %10s %9s %10s %9s %12s\n" tool seconds ratio "cpu s" ratio "peak RSS"
  while [ $# -gt 0 ]; do
    local name=$1 result=$2; shift 2
    awk -v n="$name" -v r="$result" -v b="$base" \
      'BEGIN { split(r, x, " "); split(b, y, " ");
               printf "  %-10s %10.3f %8.2fx %10.2f %8.2fx %9.1f MB\n", n, x[1] / 1e6, x[1] / y[1], x[2],
                      (y[2] > 0 ? x[2] / y[2] : 0), x[3] / 1024 }'
  done
}

# extract TITLE ARCHIVE VMUNZIP_OPTIONS: vmunzip, unzip, bsdtar and 7-Zip on one archive.
extract() {
  local title=$1 archive=$2 opts=$3
  local v u b s=""
  # shellcheck disable=SC2086
  v=$(best "$vmunzip" extract $opts -d out "$archive")
  u=$(best unzip -o -q "$archive" -d out)
  b=$(best bsdtar -xf "$archive" -C out)
  [ -n "$sevenzip" ] && s=$(best "$sevenzip" x -y -oout "$archive")
  local args=(vmunzip "$v" unzip "$u" bsdtar "$b")
  [ -n "$s" ] && args+=(7z "$s")
  report "$title ($(du -h "$archive" | cut -f1))" "$v" "${args[@]}"
}

list_v=$(best "$vmunzip" list many.zip)
list_u=$(best unzip -l many.zip)
list_7=""
[ -n "$sevenzip" ] && list_7=$(best "$sevenzip" l many.zip)
args=(vmunzip "$list_v" unzip "$list_u")
[ -n "$list_7" ] && args+=(7z "$list_7")
report "list a 20,000-entry archive ($(du -h many.zip | cut -f1))" "$list_v" "${args[@]}"

extract "extract 20,000 small files in 50 folders, with paths" small.zip --paths
extract "extract 10,000 entries of one name" same.zip ""
extract "extract a 200 MB stored archive" big.zip ""
echo "(ratio = tool / vmunzip; above 1 means vmunzip is faster)"
rm -rf out rss.txt
