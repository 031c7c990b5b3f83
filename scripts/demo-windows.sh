#!/usr/bin/env bash
# The Windows program end to end on this machine, with nothing leaving it:
#   scripts/demo-windows.sh DIR
# builds tarvo-setup.exe and the walker for 64-bit Windows (scripts/build-windows.sh, tree
# build-win-x86_64), makes sample main.zip, upgrade.zip and data.zip, serves them from a
# private nginx on 127.0.0.1, and walks the real window under wine64 on a virtual X display
# (xvfb-run) in French and then Dutch, each page saved as DIR/screens-win/<lang>-<page>.png.
# Then the tree installed in the Wine prefix (DIR/wine-display), SETUP.INI byte by byte and
# lnkinfo's reading of the shortcut on the Wine desktop.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:?usage: demo-windows.sh DIR}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
win=$root/build-win-x86_64
wine_run=$root/cmake/wine-run.sh
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}

# The same tree, libraries, catalog tool and signatures as the Windows build and its tests.
# It configures every time, so a tree an interrupted run left half-configured is made whole;
# a tree it has already built costs little more than that configure.
echo "== building tarvo-setup.exe and the walker ($win)"
bash "$root/scripts/build-windows.sh" x86_64 tarvo-setup tarvo-demo-walk

echo "== sample archives in $dir/www/tarvo/Files"
src=$dir/src
files=$dir/www/tarvo/Files
rm -rf "$src" "$dir/screens-win"
mkdir -p "$src/main" "$src/upgrade" "$src/data" "$files" "$dir/screens-win"
printf 'MZ T.Arvo demo program\r\n' >"$src/main/TARVO.EXE"
printf 'T.Arvo 1.0\r\n' >"$src/main/VERSION.TXT"
seq 1 20000 >"$src/main/TARVO.HLP"
printf 'T.Arvo 1.1\r\n' >"$src/upgrade/VERSION.TXT"
printf 'upgrade notes\r\n' >"$src/upgrade/LEESMIJ.TXT"
head -c 65536 /dev/zero >"$src/data/WINKEL.DAT"
printf 'klant;naam\r\n' >"$src/data/KLANTEN.CSV"
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

# wine-run.sh gives programs with windows the prefix DIR/wine-display.
echo "== the window under wine64 (prefix $dir/wine-display)"
export WINEPREFIX=$dir/wine-display
export TARVO_DOWNLOAD_BASE="http://127.0.0.1:$port/tarvo/Files/"
pub=$keys/payload-key.pub.pem
export TARVO_PAYLOAD_KEY="Z:${pub//\//\\}"  # the Windows program opens it through drive Z:
unset TARVO_DRIVES  # the prefix's own drive C
drive_c=$WINEPREFIX/drive_c
rm -rf "$drive_c/TARVO"
status=0
# Wine maps the Linux root to drive Z:, so the walker writes the pictures straight into DIR.
TARVO_WINE_DISPLAY=1 "$wine_run" "$dir/wine" "$win/bin/tarvo-demo-walk.exe" "Z:${dir//\//\\}\\screens-win" || status=$?
/usr/lib/wine/wineserver -w  # the prefix is left alone once this returns
echo "exit status: $status"
echo "== pictures of the pages"
(cd "$dir" && ls screens-win)

echo "== installed tree (drive C of the prefix)"
(cd "$drive_c" && find TARVO | sort) 2>/dev/null || echo "(none)"
echo "== TARVO/SETUP.INI, byte by byte"
od -c "$drive_c/TARVO/SETUP.INI" 2>/dev/null || echo "(none)"
link=$(find "$drive_c/users" -path '*/Desktop/T.Arvo.lnk' 2>/dev/null | head -n 1 || true)
echo "== lnkinfo ${link:-(no shortcut)}"
if [ -n "$link" ] && command -v lnkinfo >/dev/null; then
  lnkinfo "$link" || true
fi
echo "== requests nginx served"
cat "$conf/access.log"
exit "$status"
