#!/usr/bin/env bash
# ReadStream of 1 GiB over loopback, beside curl fetching the same bytes from the same
# nginx (private configuration, sparse file), into a null sink and into a file.
#   bench/net/run.sh [BUILD_DIR] [ROUNDS]
# Each figure is the best of ROUNDS runs (the machine is shared, so the best is the least
# disturbed one). Ratios are ours / curl; above 1 means faster than curl.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-bench}
rounds=${2:-3}
if [ ! -x "$build/bench/net/bench_net_read" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVO_BENCH=ON -DTARVO_TESTS=OFF \
    -DTARVO_COMPONENTS="core;net" >/dev/null
  nice cmake --build "$build" -j2 --target bench_net_read >/dev/null
fi
bin="$build/bench/net/bench_net_read"

work=$(mktemp -d)
chmod 755 "$work"  # nginx workers may run as another user
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cleanup() {
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/www" "$work/logs"
truncate -s 1G "$work/www/big.bin"
cat > "$work/nginx.conf" <<CONF
daemon on;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 16; }
http {
  access_log off;
  client_body_temp_path $work/tmp;
  proxy_temp_path $work/tmp;
  fastcgi_temp_path $work/tmp;
  uwsgi_temp_path $work/tmp;
  scgi_temp_path $work/tmp;
  sendfile on;
  server {
    listen 127.0.0.1:$port;
    root $work/www;
  }
}
CONF
mkdir -p "$work/tmp"
nginx -c "$work/nginx.conf" -p "$work/" 2>"$work/logs/start.log" || { cat "$work/logs/start.log"; exit 1; }
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$port/" -m 1 && break || sleep 0.1; done

best() { sort -g -r | head -1; }
# Our program prints "<bytes> <seconds> <MB/s>"; a short transfer is a failure, not a figure.
ours() {
  local out
  out=$(/usr/bin/time -f '%M' -o "$work/rss" "$bin" 127.0.0.1 "$port" /big.bin "$1")
  [ "$(echo "$out" | awk '{print $1}')" = 1073741824 ] || { echo "short transfer: $out" >&2; exit 1; }
  cat "$work/rss" >> "$work/rss.all"
  echo "$out" | awk '{print $3}'
}
theirs() {
  local out
  out=$(curl -s -o "$1" -w '%{size_download} %{speed_download}' "$url")
  [ "$(echo "$out" | awk '{print $1}')" = 1073741824 ] || { echo "curl short transfer: $out" >&2; exit 1; }
  echo "$out" | awk '{printf "%.1f", $2/1e6}'
}
url="http://127.0.0.1:$port/big.bin"
ours_null=(); curl_null=(); ours_file=(); curl_file=()
for _ in $(seq "$rounds"); do
  ours_null+=("$(ours null)")
  curl_null+=("$(theirs /dev/null)")
  ours_file+=("$(ours "$work/ours.bin")")
  rm -f "$work/ours.bin"
  curl_file+=("$(theirs "$work/curl.bin")")
  rm -f "$work/curl.bin"
done
on=$(printf '%s\n' "${ours_null[@]}" | best); cn=$(printf '%s\n' "${curl_null[@]}" | best)
of=$(printf '%s\n' "${ours_file[@]}" | best); cf=$(printf '%s\n' "${curl_file[@]}" | best)
printf '%-22s %10s %10s %8s\n' "1 GiB over loopback" "ours MB/s" "curl MB/s" "ratio"
printf '%-22s %10s %10s %8.2f\n' "into a null sink" "$on" "$cn" "$(echo "$on / $cn" | bc -l)"
printf '%-22s %10s %10s %8.2f\n' "into a file" "$of" "$cf" "$(echo "$of / $cf" | bc -l)"
echo "peak RSS of ours: $(sort -n "$work/rss.all" | tail -1) KiB (constant: the body never sits in memory)"
echo "(best of $rounds rounds each; runs: ours null ${ours_null[*]} | curl null ${curl_null[*]} | ours file ${ours_file[*]} | curl file ${curl_file[*]})"
