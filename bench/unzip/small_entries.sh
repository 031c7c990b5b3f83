#!/usr/bin/env bash
# Benchmark (not a test): `vmunzip test` and `vmunzip extract` of 4,000 small text entries
# (1-20 KB, zip -6; bench/inflate/make_corpus.sh makes small.zip) against the same work done
# with libdeflate and its CRC-32 (bench/inflate/bench_ld_unzip), as whole processes.
#   bench/unzip/small_entries.sh [RUNS]
# The two commands alternate; prints the median user, system and CPU seconds of each, the
# median of the pairwise CPU ratios and the user ratio, vmunzip / libdeflate (below 1:
# vmunzip is cheaper).
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-11}
data=${TARVO_BENCH_DIR:-/tmp/tarvo-bench-inflate}
build=${BUILD_DIR:-build-bench-small}
bash bench/inflate/make_corpus.sh "$data" >/dev/null
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVO_TESTS=OFF -DTARVO_BENCH=ON \
  -DTARVO_COMPONENTS="core;platform;inflate;unzip" >/dev/null
cmake --build "$build" --target vmunzip bench_ld_unzip >/dev/null
vmunzip=$build/tools/vmunzip/vmunzip
ld=$build/bench/inflate/bench_ld_unzip
zip=$data/small.zip
out=$data/small-out
mkdir -p "$out/a" "$out/b"

# Alternates the two commands of each pair (one warm-up each) and reads every run's user and
# system time from wait4, at microsecond resolution (these runs take well under 0.1 s).
python3 - "$runs" "$vmunzip" "$ld" "$zip" "$out" <<'PY'
import os, statistics, subprocess, sys
runs, vmunzip, ld, zip_path, out = int(sys.argv[1]), *sys.argv[2:]
def once(cmd):
    p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, ru = os.wait4(p.pid, 0)
    if status:
        sys.exit(f"failed: {' '.join(cmd)}")
    return ru.ru_utime, ru.ru_stime
pairs = [("test", [vmunzip, "test", zip_path], [ld, "test", zip_path]),
         ("extract", [vmunzip, "extract", "-d", f"{out}/a", "--paths", zip_path], [ld, "extract", f"{out}/b", zip_path])]
for name, a, b in pairs:
    once(a), once(b)
    ta, tb = [], []
    for _ in range(runs):
        ta.append(once(a))
        tb.append(once(b))
    med = lambda xs, f: statistics.median(f(x) for x in xs)
    ua, sa, ca = med(ta, lambda x: x[0]), med(ta, lambda x: x[1]), med(ta, sum)
    ub, sb, cb = med(tb, lambda x: x[0]), med(tb, lambda x: x[1]), med(tb, sum)
    ratio = statistics.median(sum(x) / sum(y) for x, y in zip(ta, tb))
    print(f"{name:8} vmunzip user {ua:.3f} sys {sa:.3f} cpu {ca:.3f} | libdeflate user {ub:.3f} sys {sb:.3f} "
          f"cpu {cb:.3f} | cpu x {ratio:.2f} user x {ua / ub:.2f}")
PY
rm -rf "$out"
