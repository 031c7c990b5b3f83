#!/usr/bin/env bash
# The installer end to end on this machine, with nothing leaving it:
#   scripts/demo.sh [DIR]
# builds the wizard if needed, makes sample main.zip, upgrade.zip and data.zip, serves them
# from a private nginx on 127.0.0.1, and runs the wizard against it with drive C in DIR/c
# and the desktop in DIR/desktop (DIR default: a new temporary folder). With a display
# ($DISPLAY or $WAYLAND_DISPLAY) the window opens for you; without one the window is walked
# offscreen through every page in French and then Dutch, each page saved as
# DIR/screens/<lang>-<page>.png. Then it shows what was installed: the tree, SETUP.INI and
# lnkinfo's reading of the shortcut. TARVO_DEMO_WALK=1 walks even with a display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$(mktemp -d /tmp/tarvo-demo-XXXXXX)}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
build=${TARVO_BUILD:-$root/build}
wizard=$build/bin/tarvo-setup
walk=$build/bin/tarvo-demo-walk

if [ ! -x "$wizard" ] || [ ! -x "$walk" ]; then
  echo "== building $wizard"
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
  if command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
  fi
  # build.ninja, not the cache: a configure that was interrupted leaves the cache behind.
  [ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja >/dev/null
  cmake --build "$build" --target tarvo-setup tarvo-demo-walk
fi

echo "== sample archives in $dir/www/tarvo/Files"
src=$dir/src
files=$dir/www/tarvo/Files
rm -rf "$src" "$dir/c" "$dir/desktop" "$dir/screens"
mkdir -p "$src/main" "$src/upgrade" "$src/data" "$files" "$dir/c" "$dir/desktop" "$dir/screens"
printf 'MZ T.Arvo demo program\n' >"$src/main/TARVO.EXE"
printf 'T.Arvo 1.0\n' >"$src/main/VERSION.TXT"
seq 1 20000 >"$src/main/TARVO.HLP"
printf 'T.Arvo 1.1\n' >"$src/upgrade/VERSION.TXT"
printf 'upgrade notes\n' >"$src/upgrade/LEESMIJ.TXT"
head -c 65536 /dev/zero >"$src/data/WINKEL.DAT"
printf 'klant;naam\n' >"$src/data/KLANTEN.CSV"
rm -f "$files"/*.zip
(cd "$src/main" && zip -q -9 "$files/main.zip" ./*)
(cd "$src/upgrade" && zip -q "$files/upgrade.zip" ./*)
(cd "$src/data" && zip -q "$files/data.zip" ./*)

# A throwaway key pair each run: the installer then checks every archive against the
# signed list, as it does against a vendor's real download folder.
keys=$dir/keys
rm -rf "$keys"
bash "$root/scripts/sign-payload.sh" keygen "$keys" >/dev/null
bash "$root/scripts/sign-payload.sh" sign "$keys/payload-key.pem" "$files" >/dev/null
echo "== archives signed (SHA256SUMS, SHA256SUMS.sig); the installer verifies them with $keys/payload-key.pub.pem"

echo "== nginx on 127.0.0.1"
conf=$dir/nginx
mkdir -p "$conf"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
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
  client_body_temp_path $conf/body;
  proxy_temp_path $conf/proxy;
  fastcgi_temp_path $conf/fastcgi;
  uwsgi_temp_path $conf/uwsgi;
  scgi_temp_path $conf/scgi;
  server { listen 127.0.0.1:$port; root $dir/www; }
}
CONF
/usr/sbin/nginx -p "$conf" -c "$conf/nginx.conf" 2>"$conf/out.log" &
nginx_pid=$!
trap 'kill "$nginx_pid" 2>/dev/null; wait "$nginx_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.05
done

export TARVO_DOWNLOAD_BASE="http://127.0.0.1:$port/tarvo/Files/" TARVO_DRIVES="C=$dir/c" XDG_DESKTOP_DIR="$dir/desktop" \
  TARVO_PAYLOAD_KEY="$keys/payload-key.pub.pem"
status=0
if { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; } && [ "${TARVO_DEMO_WALK:-0}" != 1 ]; then
  echo "== the wizard's window (drive C = $dir/c); close it to see what it installed"
  "$wizard" || status=$?
else
  echo "== no display: walking the window offscreen (drive C = $dir/c)"
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=$dir/runtime
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  fi
  "$walk" "$dir/screens" || status=$?
  echo "== pictures of the pages"
  (cd "$dir" && ls screens)
fi
echo "exit status: $status"

echo "== installed tree"
(cd "$dir" && find c desktop | sort)
echo "== c/TARVO/SETUP.INI"
cat -A "$dir/c/TARVO/SETUP.INI" 2>/dev/null || echo "(none)"
echo "== lnkinfo desktop/T.Arvo.lnk"
if command -v lnkinfo >/dev/null; then
  lnkinfo "$dir/desktop/T.Arvo.lnk" || true
  echo "(lnkinfo 20181227 prints the file size as \"Show Window value\" and \"Hot Key value\"; the file holds 1 and 0)"
else
  echo "(lnkinfo is not installed: apt-get install liblnk-utils)"
fi
echo "== requests nginx served"
cat "$conf/access.log"
exit "$status"
