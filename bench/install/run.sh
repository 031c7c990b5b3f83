#!/usr/bin/env bash
# Benchmark (not a test): a whole silent installation beside curl + bsdtar doing the same
# work, from one private nginx on 127.0.0.1.
#   bench/install/run.sh [BUILD_DIR] [ROUNDS]
# The payload (main.zip: 5,000 files, ~50 MB, text and poorly compressible bytes mixed;
# upgrade.zip ~2 MB, overwriting some of them; a small data.zip) is made once from a fixed
# seed and kept in the cache; each run signs it with a throwaway key. Four variants, in turn
# for ROUNDS rounds (default 5) after one warm-up each, each into a new drive folder:
#   verified    tarvo-setup-silent with TARVO_PAYLOAD_KEY (fetches SHA256SUMS and its .sig)
#   unverified  tarvo-setup-silent without it
#   peer        curl each archive, bsdtar -xf it, remove it
#   peer+sums   the same, after curl SHA256SUMS(.sig), openssl dgst -verify and sha256sum -c
# Prints the median wall and CPU (user + system, children included) seconds of each and the
# ratios of ours to the others' times: below 1 means ours took less.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${1:-build}
rounds=${2:-${ROUNDS:-5}}
export LC_ALL=C
silent=$build/bin/tarvo-setup-silent
seed=20240917

for tool in curl bsdtar zip openssl sha256sum /usr/sbin/nginx /usr/bin/time python3; do
  command -v "$tool" >/dev/null || { echo "bench/install: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
if [ ! -x "$silent" ]; then
  [ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  nice cmake --build "$build" -j2 --target tarvo-setup-silent >/dev/null
fi
silent=$(cd "$(dirname "$silent")" && pwd)/tarvo-setup-silent

# --- the payload, made once ---------------------------------------------------------------
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tarvo-bench-install/payload-v2-$seed  # v: the generator below
if [ ! -f "$cache/done" ]; then
  echo "== making the payload in $cache (once)"
  rm -rf "$cache.tmp"
  mkdir -p "$cache.tmp"
  # The installer unpacks names without their folders, so the archives are flat: both
  # sides then write the same tree.
  python3 - "$cache.tmp" "$seed" <<'PY'
import os, random, sys
out, seed = sys.argv[1], int(sys.argv[2])
rng = random.Random(seed)
letters = "abcdefghijklmnopqrstuvwxyz"
words = ["".join(rng.choice(letters) for _ in range(rng.randint(2, 11))) for _ in range(6000)]
# 96 byte values drawn evenly: Deflate gains about a fifth, like program files do.
narrow = bytes(b % 96 + 32 for b in range(256))

def text(n):
    parts, size = [], 0
    while size < n:
        line = " ".join(rng.choices(words, k=rng.randint(3, 14))) + "\r\n"
        parts.append(line)
        size += len(line)
    return "".join(parts).encode()[:n]

def binary(n):
    return rng.randbytes(n).translate(narrow)

def write(folder, name, data):
    path = os.path.join(out, folder, name)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (1704103200, 1704103200))  # fixed times: the same archive every time

for folder in ("main", "upgrade", "data"):
    os.makedirs(os.path.join(out, folder))
names = []
write("main", "TARVO.EXE", binary(400_000))
for i in range(1, 5000):
    if rng.random() < 0.5:
        name, data = "T%04d.TXT" % i, text(rng.randint(1_000, 30_000))
    else:
        name, data = "B%04d.BIN" % i, binary(rng.randint(1_000, 25_000))
    names.append(name)
    write("main", name, data)
for name in rng.sample(names, 60):  # an upgrade replaces some files ...
    write("upgrade", name, binary(20_000) if name.endswith(".BIN") else text(40_000))
for i in range(40):  # ... and adds others
    write("upgrade", "U%02d.DAT" % i, binary(25_000))
write("data", "WINKEL.DAT", binary(200_000))
write("data", "KLANTEN.CSV", text(50_000))
PY
  mkdir -p "$cache.tmp/Files"
  for a in main upgrade data; do
    (cd "$cache.tmp/$a" && find . -type f -printf '%P\n' | sort | zip -X -q "$cache.tmp/Files/$a.zip" -@)
  done
  rm -rf "$cache"
  mv "$cache.tmp" "$cache"
  touch "$cache/done"
fi
# What either side must leave: every name once (the upgrade's new ones added), data apart.
expect_main=$(cd "$cache" && find main upgrade -type f -printf '%f\n' | sort -u | wc -l)
expect_data=$(find "$cache/data" -type f | wc -l)

# --- signing and serving ------------------------------------------------------------------
work=$(mktemp -d /tmp/tarvo-bench-install-XXXXXX)
nginx_pid=
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP  # through the EXIT trap: nginx stops, the sandboxes go
files=$work/www/tarvo/Files
mkdir -p "$files" "$work/nginx" "$work/runs"
for a in main upgrade data; do ln -s "$cache/Files/$a.zip" "$files/$a.zip"; done
bash "$root/scripts/sign-payload.sh" keygen "$work/keys" >/dev/null
bash "$root/scripts/sign-payload.sh" sign "$work/keys/payload-key.pem" "$files" >/dev/null
pub=$work/keys/payload-key.pub.pem

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
conf=$work/nginx
cat >"$conf/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
error_log $conf/error.log;
pid $conf/nginx.pid;
events { worker_connections 64; }
http {
  access_log $conf/access.log;
  default_type application/octet-stream;
  sendfile on;
  client_body_temp_path $conf/body;
  proxy_temp_path $conf/proxy;
  fastcgi_temp_path $conf/fastcgi;
  uwsgi_temp_path $conf/uwsgi;
  scgi_temp_path $conf/scgi;
  server { listen 127.0.0.1:$port; root $work/www; }
}
CONF
/usr/sbin/nginx -p "$conf" -c "$conf/nginx.conf" 2>"$conf/out.log" &
nginx_pid=$!
base="http://127.0.0.1:$port/tarvo/Files/"
for _ in $(seq 100); do
  if curl -s -o /dev/null -m 1 "$base"; then break; fi
  sleep 0.05
done
curl -sf -o /dev/null "${base}SHA256SUMS" || { echo "bench/install: nginx did not start" >&2; cat "$conf/out.log" "$conf/error.log" >&2; exit 1; }

# The peer: what a script around curl and bsdtar does; with "sums" it first takes the
# signed list and checks each archive against it before unpacking.
cat >"$work/peer.sh" <<'PEER'
set -euo pipefail
base=$1 install=$2/TARVO sums=$3 pub=$4
mkdir -p "$install/DATA/FOTO"  # the installer makes it too
if [ "$sums" = 1 ]; then
  curl -sSf -o "$install/SHA256SUMS" "${base}SHA256SUMS" -o "$install/SHA256SUMS.sig" "${base}SHA256SUMS.sig"
  openssl dgst -sha256 -verify "$pub" -signature "$install/SHA256SUMS.sig" "$install/SHA256SUMS" >/dev/null
fi
fetch() {  # ARCHIVE FOLDER
  curl -sSf -o "$2/$1" "$base$1"
  if [ "$sums" = 1 ]; then (cd "$2" && awk -v n="$1" 'substr($0, 67) == n' "$install/SHA256SUMS" | sha256sum -c --status --strict); fi
  bsdtar -xf "$2/$1" -C "$2"
  rm -f "$2/$1"
}
fetch main.zip "$install"
fetch upgrade.zip "$install"
fetch data.zip "$install/DATA"
rm -f "$install/SHA256SUMS" "$install/SHA256SUMS.sig"
PEER

lists_fetched() { grep -c 'GET /tarvo/Files/SHA256SUMS ' "$conf/access.log" || true; }

# run VARIANT N: one installation into a new sandbox; prints "wall cpu". A run that fails,
# leaves another tree or, verified, never fetched the list is no figure: the bench stops.
run() {
  local d=$work/runs/$1-$2 before status=0 cmd
  mkdir -p "$d/c" "$d/desktop"
  case "$1" in
    verified) cmd=(env TARVO_PAYLOAD_KEY="$pub" "$silent" --silent --language nl --drive C) ;;
    unverified) cmd=(env -u TARVO_PAYLOAD_KEY "$silent" --silent --language nl --drive C) ;;
    peer) cmd=(bash "$work/peer.sh" "$base" "$d/c" 0 "$pub") ;;
    peer+sums) cmd=(bash "$work/peer.sh" "$base" "$d/c" 1 "$pub") ;;
  esac
  before=$(lists_fetched)
  TARVO_DOWNLOAD_BASE=$base TARVO_DRIVES="C=$d/c" XDG_DESKTOP_DIR=$d/desktop \
    /usr/bin/time -f '%e %U %S' -o "$d.time" "${cmd[@]}" >"$d.log" 2>&1 || status=$?
  local fail=
  if [ "$status" -ne 0 ]; then
    fail="exit status $status"
  else
    local n_main n_data
    n_main=$(find "$d/c/TARVO" -maxdepth 1 -type f ! -name SETUP.INI | wc -l)
    n_data=$(find "$d/c/TARVO/DATA" -maxdepth 1 -type f | wc -l)
    if [ "$n_main" -ne "$expect_main" ] || [ "$n_data" -ne "$expect_data" ]; then
      fail="installed $n_main + $n_data files, not $expect_main + $expect_data"
    fi
    case "$1" in
      verified | unverified) [ -f "$d/desktop/T.Arvo.lnk" ] || fail="no shortcut on the desktop" ;;
    esac
    if [ "$1" = verified ] && [ "$(lists_fetched)" -le "$before" ]; then
      fail="did not fetch SHA256SUMS: TARVO_PAYLOAD_KEY was ignored"
    fi
  fi
  if [ -n "$fail" ]; then
    echo "bench/install: $1 run $2: $fail" >&2
    cat "$d.log" >&2
    exit 1
  fi
  tail -n 1 "$d.time" | awk '{ printf "%s %.2f\n", $1, $2 + $3 }'
}

median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

variants=(verified unverified peer peer+sums)
declare -A wall=() cpu=()
echo "== warm-up (not counted)"
for v in "${variants[@]}"; do run "$v" 0 >/dev/null; done
# Same bytes on both sides: ours against the peer's tree, once (the shortcut and SETUP.INI
# are ours alone).
diff -r -x SETUP.INI "$work/runs/verified-0/c/TARVO" "$work/runs/peer+sums-0/c/TARVO" >/dev/null ||
  { echo "bench/install: the installer's tree differs from bsdtar's" >&2; exit 1; }
for r in $(seq "$rounds"); do
  for v in "${variants[@]}"; do
    read -r w c < <(run "$v" "$r")
    wall[$v]+="$w "
    cpu[$v]+="$c "
  done
done

size() { du -hL "$files/$1" | cut -f1; }
echo "== installing main.zip ($(size main.zip)), upgrade.zip ($(size upgrade.zip)), data.zip ($(size data.zip)): $expect_main + $expect_data files; median of $rounds rounds"
declare -A mw=() mc=()
for v in "${variants[@]}"; do
  mw[$v]=$(median <<<"${wall[$v]}")
  mc[$v]=$(median <<<"${cpu[$v]}")
  printf '  %-12s wall %7.2f s  cpu %7.2f s   (runs: wall %s)\n' "$v" "${mw[$v]}" "${mc[$v]}" "${wall[$v]% }"
done
ratio() {  # LABEL A B
  awk -v l="$1" -v aw="${mw[$2]}" -v bw="${mw[$3]}" -v ac="${mc[$2]}" -v bc="${mc[$3]}" \
    'function r(a, b) { return b > 0 ? sprintf("%.2f", a / b) : "n/a" }
     BEGIN { printf "  %-44s wall %5s  cpu %5s\n", l, r(aw, bw), r(ac, bc) }'
}
echo "== ratios of times (below 1: the first took less)"
ratio "verified / unverified" verified unverified
ratio "ours verified / curl+bsdtar+sha256sum" verified peer+sums
ratio "ours unverified / curl+bsdtar" unverified peer
