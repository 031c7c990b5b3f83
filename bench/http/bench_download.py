#!/usr/bin/env python3
"""Downloads one large file from a private nginx on 127.0.0.1 with netget and with curl,
alternating, to a file and to /dev/null, and prints throughput, the ratio netget/curl and
peak resident memory. The best of several rounds is reported: the machine is shared.
With --https the server speaks TLS with a certificate from a private CA (made by openssl
for the run) that both tools are told to trust.

    bench_download.py --netget build/tools/netget/netget [--size-mib 1024] [--rounds 3] [--https]
"""
import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def wait_port(port, timeout=5.0):
    end = time.time() + timeout
    while time.time() < end:
        try:
            socket.create_connection(("127.0.0.1", port), 0.2).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


def run(cmd):
    """Wall time in seconds and peak RSS in KiB of one command (RSS by /usr/bin/time)."""
    start = time.perf_counter()
    proc = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    err = proc.stderr.decode(errors="replace")
    if proc.returncode != 0:
        sys.exit("failed: %s\n%s" % (" ".join(cmd), err))
    return elapsed, int(err.strip().splitlines()[-1])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--netget", required=True)
    ap.add_argument("--curl", default=shutil.which("curl") or "curl")
    ap.add_argument("--nginx", default="/usr/sbin/nginx")
    ap.add_argument("--size-mib", type=int, default=1024)
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--https", action="store_true")
    args = ap.parse_args()

    tmp = tempfile.mkdtemp(prefix="tarvo-bench-http-")
    nginx = None
    try:
        www = os.path.join(tmp, "www")
        os.makedirs(www)
        size = args.size_mib * 1024 * 1024
        # Real (non-sparse) content, so the server reads pages like a real download.
        with open(os.path.join(www, "big.bin"), "wb") as f:
            block = os.urandom(1024 * 1024)
            for _ in range(args.size_mib):
                f.write(block)
        port = free_port()
        listen, trust = f"127.0.0.1:{port}", []
        if args.https:
            pki = os.path.join(tmp, "pki")
            script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tests/http/peers/make-test-pki.sh")
            subprocess.run(["sh", script, pki], check=True)
            listen += f" ssl; ssl_certificate {pki}/good.pem; ssl_certificate_key {pki}/good.key"
            trust = ["--cacert", f"{pki}/ca.pem"]
        conf = os.path.join(tmp, "nginx.conf")
        with open(conf, "w") as f:
            f.write(f"""daemon off; master_process off; worker_processes 1;
error_log {tmp}/error.log; pid {tmp}/nginx.pid;
events {{ worker_connections 64; }}
http {{ access_log off; sendfile on; tcp_nopush on;
  client_body_temp_path {tmp}/b; proxy_temp_path {tmp}/p; fastcgi_temp_path {tmp}/f;
  uwsgi_temp_path {tmp}/u; scgi_temp_path {tmp}/s;
  server {{ listen {listen}; root {www}; }} }}
""")
        nginx = subprocess.Popen([args.nginx, "-p", tmp, "-c", conf], stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        if not wait_port(port):
            sys.exit("nginx did not start")
        url = f"{'https' if args.https else 'http'}://127.0.0.1:{port}/big.bin"
        out = os.path.join(tmp, "out.bin")
        tools = {
            "netget": lambda dest: [args.netget, url, "-o", dest] + trust,
            "curl": lambda dest: [args.curl, "-s", "-o", dest, url] + trust,
        }
        results = {}
        for target, dest in (("/dev/null", "/dev/null"), ("file", out)):
            for rnd in range(args.rounds):
                for name in ("curl", "netget") if rnd % 2 else ("netget", "curl"):
                    t, rss = run(tools[name](dest))
                    if dest == out:
                        if os.path.getsize(out) != size:
                            sys.exit(f"{name}: wrong size {os.path.getsize(out)}")
                        os.unlink(out)
                    best = results.get((target, name))
                    if best is None or t < best[0]:
                        results[(target, name)] = (t, max(rss, best[1]) if best else rss)
                    elif rss > best[1]:
                        results[(target, name)] = (best[0], rss)
        scheme = "https" if args.https else "http"
        print(f"{scheme} download of {args.size_mib} MiB from nginx on loopback, best of {args.rounds} rounds")
        print(f"{'target':10} {'tool':8} {'MiB/s':>9} {'peak RSS':>10}")
        for target in ("/dev/null", "file"):
            for name in ("netget", "curl"):
                t, rss = results[(target, name)]
                print(f"{target:10} {name:8} {args.size_mib / t:9.1f} {rss / 1024:8.1f} MiB")
            ratio = results[(target, "curl")][0] / results[(target, "netget")][0]
            print(f"{target:10} netget/curl throughput ratio: {ratio:.2f}")
    finally:
        if nginx is not None:
            nginx.terminate()
            nginx.wait()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
