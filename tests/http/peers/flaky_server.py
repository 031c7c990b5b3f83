#!/usr/bin/env python3
"""An HTTP/1.1 server for the tests of continued and retried downloads. Every path names a
behaviour; each path counts its own requests. The body is BODY_SIZE bytes of a fixed
pattern. Each request line, with its Range and If-Range, is appended to LOG.

  /drop/N        the first reply stops after N body bytes (the connection closes); later
                 ones honour "Range: bytes=N-" while If-Range matches the ETag
  /ignore/N      the same first reply; later ones answer 200 with the whole body
  /wrong/N       the same first reply; a range is answered with a 206 that starts 10 bytes
                 early; a request without one gets 200
  /changed/N     the same first reply with ETag "v1"; later ones have ETag "v2", so an
                 If-Range of "v1" gets the whole (new) body
  /novalidator/N the first reply stops after N bytes and has no ETag nor Last-Modified
  /busy/S        503 with Retry-After: S the first time, then the whole body
  /busylong      503 with Retry-After: 100000, always
  /gone          404, always

With a ROOT folder, a path of three parts (/drop/N/main.zip) serves the file of that name in
ROOT instead of the pattern.

usage: flaky_server.py PORT LOG [ROOT]
"""
import http.server
import os
import socketserver
import sys

BODY_SIZE = 300000
BODY = bytes((i * 7 + i // 251) % 256 for i in range(BODY_SIZE))
counts = {}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send_body(self, code, body, etag=None, extra=()):
        self.send_response(code)
        self.send_header("Content-Length", str(len(body) if code != 206 else len(body)))
        if etag:
            self.send_header("ETag", etag)
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def cut(self, n, etag):
        self.send_response(200)
        self.send_header("Content-Length", str(len(self.body)))
        if etag:
            self.send_header("ETag", etag)
        self.end_headers()
        self.wfile.write(self.body[:n])
        self.wfile.flush()
        self.close_connection = True

    def do_GET(self):
        rng = self.headers.get("Range", "")
        if_range = self.headers.get("If-Range", "")
        with open(sys.argv[2], "a") as log:
            log.write(f"{self.path} range=[{rng}] if-range=[{if_range}]\n")
        parts = self.path.strip("/").split("/")
        kind, arg = parts[0], (parts[1] if len(parts) > 1 else "")
        body = BODY
        if len(parts) == 3 and len(sys.argv) > 3:
            try:
                with open(os.path.join(sys.argv[3], os.path.basename(parts[2])), "rb") as f:
                    body = f.read()
            except OSError:
                return self.send_body(404, b"no such file")
        self.body = body
        n = counts.get(self.path, 0)
        counts[self.path] = n + 1
        start = int(rng[len("bytes="):-1]) if rng.startswith("bytes=") and rng.endswith("-") else None
        if kind in ("drop", "ignore", "wrong", "changed", "novalidator") and n == 0:
            return self.cut(int(arg), None if kind == "novalidator" else '"v1"')
        size = len(body)
        if kind == "drop" and start is not None and if_range == '"v1"':
            return self.send_body(206, body[start:], '"v1"', [("Content-Range", f"bytes {start}-{size - 1}/{size}")])
        if kind == "wrong" and start is not None:
            s = max(0, start - 10)
            return self.send_body(206, body[s:], '"v1"', [("Content-Range", f"bytes {s}-{size - 1}/{size}")])
        if kind == "changed":
            return self.send_body(200, body, '"v2"')
        if kind == "busy" and n == 0:
            return self.send_body(503, b"busy", None, [("Retry-After", arg)])
        if kind == "busylong":
            return self.send_body(503, b"busy", None, [("Retry-After", "100000")])
        if kind == "gone":
            return self.send_body(404, b"gone")
        return self.send_body(200, body, '"v1"')


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


Server(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
