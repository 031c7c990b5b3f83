#!/usr/bin/env bash
# Builds every libFuzzer target with clang (ASan + UBSan) and runs each for a while.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET_NAME_FILTER]
# Corpora grow in fuzz/corpus-<target>/ (not committed); seeds come from fuzz/<part>/seeds/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
filter=${2:-}
CC=clang CXX=clang++ cmake -S . -B fuzz-build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARVO_FUZZ=ON -DTARVO_TESTS=OFF >/dev/null
cmake --build fuzz-build -j "$(nproc)"
status=0
for bin in $(find fuzz-build/fuzz -maxdepth 2 -type f -name 'fuzz_*' -perm -u+x | sort); do
  name=$(basename "$bin")
  [[ -n "$filter" && "$name" != *"$filter"* ]] && continue
  part=$(basename "$(dirname "$bin")")
  corpus="fuzz/corpus-$name"
  mkdir -p "$corpus"
  seeds=()
  if [ -d "fuzz/$part/seeds-$name" ]; then
    seeds+=("fuzz/$part/seeds-$name")
  elif [ -d "fuzz/$part/seeds" ]; then
    seeds+=("fuzz/$part/seeds")
  fi
  echo "== $name for ${seconds}s =="
  if ! "$bin" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 -print_final_stats=1 \
      -artifact_prefix="fuzz-build/$name-" "$corpus" "${seeds[@]}" 2>"fuzz-build/$name.log"; then
    status=1
    echo "FAILED: see fuzz-build/$name.log"; tail -40 "fuzz-build/$name.log"
  else
    grep -E 'stat::number_of_executed_units|cov:' "fuzz-build/$name.log" | tail -2
  fi
done
exit $status
