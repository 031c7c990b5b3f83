#!/usr/bin/env bash
# Side-by-side benchmark of the Deflate decoder, one run:
#   1. raw inflate throughput: ours against zlib and libdeflate on every member of the
#      corpus archives (zip -6, zip -9, 7z -mx9 Deflate; 7z Deflate64, ours only);
#   2. when a vmunzip build exists: `vmunzip test` against `unzip -t` and `7z t`, and
#      `vmunzip extract` against `unzip` and `7z x`, with wall time and peak memory.
# Usage: bench/inflate/run_bench.sh [RUNS]   (best of RUNS; the machine is shared, so
# repeat when numbers look off). TARVO_BENCH_DIR chooses where the corpus lives.
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-3}
data=${TARVO_BENCH_DIR:-/tmp/tarvo-bench-inflate}
archives=(zip6 zip9 7z9 7z64 small)

bash bench/inflate/make_corpus.sh "$data" >/dev/null
cmake -S . -B build-bench-inflate -G Ninja -DTARVO_BENCH=ON -DTARVO_TESTS=OFF \
  -DTARVO_COMPONENTS="core;inflate" >/dev/null
cmake --build build-bench-inflate --target bench_inflate >/dev/null

echo "== raw inflate (output MB/s) =="
paths=()
for a in "${archives[@]}"; do paths+=("$data/$a.zip"); done
./build-bench-inflate/bench/inflate/bench_inflate -r "$runs" "${paths[@]}"

vmunzip=$(ls -t build*/tools/vmunzip/vmunzip 2>/dev/null | grep -v -i asan | head -1 || true)
if [ -z "$vmunzip" ]; then
  echo "(no vmunzip build found: tool comparison skipped)"
  exit 0
fi
echo
echo "== tools ($vmunzip; wall seconds, best of $runs; peak RSS MB) =="

out="$data/out"
# Best wall time and the peak RSS of that command over the runs: "seconds rss".
measure() {
  local best="" rss=0
  for ((r = 0; r < runs; r++)); do
    rm -rf "$out"; mkdir -p "$out"
    local t0 t1 m
    t0=$(date +%s.%N)
    /usr/bin/time -f "%M" -o "$data/rss" "$@" >/dev/null 2>&1 || true
    m=$(tail -1 "$data/rss")
    t1=$(date +%s.%N)
    local t; t=$(echo "$t1 - $t0" | bc)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" = 1 ]; then best=$t; fi
    [ "${m:-0}" -gt "$rss" ] 2>/dev/null && rss=$m
  done
  echo "$best $((rss / 1024))"
}
ratio() { echo "scale=2; $2 / $1" | bc; }

printf "%-6s | %-22s %-22s %-22s | %-8s %-8s\n" archive "vmunzip test" "unzip -t" "7z t" "x unzip" "x 7z"
for a in "${archives[@]}"; do
  f="$data/$a.zip"
  read -r tv mv < <(measure "$vmunzip" test "$f")
  read -r tu mu < <(measure unzip -tqq "$f")
  read -r ts ms < <(measure 7z t "$f")
  printf "%-6s | %8.2fs %6sMB      %8.2fs %6sMB      %8.2fs %6sMB      | %-8s %-8s\n" "$a" "$tv" "$mv" "$tu" "$mu" "$ts" "$ms" \
    "$(ratio "$tv" "$tu")" "$(ratio "$tv" "$ts")"
done
printf "%-6s | %-22s %-22s %-22s | %-8s %-8s\n" archive "vmunzip extract" "unzip" "7z x" "x unzip" "x 7z"
for a in "${archives[@]}"; do
  f="$data/$a.zip"
  read -r tv mv < <(measure "$vmunzip" extract -d "$out" --paths "$f")
  read -r tu mu < <(measure unzip -qq -o "$f" -d "$out")
  read -r ts ms < <(measure 7z x -y -o"$out" "$f")
  printf "%-6s | %8.2fs %6sMB      %8.2fs %6sMB      %8.2fs %6sMB      | %-8s %-8s\n" "$a" "$tv" "$mv" "$tu" "$mu" "$ts" "$ms" \
    "$(ratio "$tv" "$tu")" "$(ratio "$tv" "$ts")"
done
rm -rf "$out"
echo "(x = peer time / vmunzip time: above 1 means vmunzip is faster)"
