#!/usr/bin/env python3
"""The Linux side of the Windows test programs that Wine runs.

A Windows test cannot start the Linux programs it needs as peers (nginx, tinyproxy,
msgfmt, python3): Wine runs Windows programs only. This service, started by a CTest
fixture before the tests and stopped after them, does it for them over a socket on
127.0.0.1.

    linux_side.py start DIR    serve in the background; DIR/port holds "PORT PID"
    linux_side.py stop DIR     end the service DIR/port names

A request is an operation name and its arguments, each as "<length>\\n<bytes>", after a
line with the count: "run" waits for the program and answers "rc N\\n<length>\\n<stdout>";
"start" (arguments: log file, program, its arguments) answers "pid N\\n" and ends the
program when the connection closes, so a test that dies leaves no peer behind.
"""
import os
import signal
import socket
import socketserver
import subprocess
import sys
import time


def read_line(f):
    line = f.readline()
    if not line.endswith(b"\n"):
        raise EOFError
    return line[:-1]


def read_request(f):
    op = read_line(f).decode()
    count = int(read_line(f))
    args = []
    for _ in range(count):
        n = int(read_line(f))
        data = f.read(n)
        if len(data) != n:
            raise EOFError
        args.append(data.decode("utf-8", "surrogateescape"))
    return op, args


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        try:
            op, args = read_request(self.rfile)
        except (EOFError, ValueError):
            return
        if op == "run":
            try:
                done = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, timeout=120)
                rc, out = done.returncode, done.stdout
            except (OSError, subprocess.TimeoutExpired):
                rc, out = 127, b""
            self.wfile.write(b"rc %d\n%d\n" % (rc, len(out)) + out)
        elif op == "start":
            log, argv = args[0], args[1:]
            try:
                with open(log, "ab") as out:
                    proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT)
            except OSError:
                self.wfile.write(b"pid -1\n")
                return
            self.wfile.write(b"pid %d\n" % proc.pid)
            self.wfile.flush()
            try:
                self.rfile.read(1)  # anything, or the end of the connection: stop
            except OSError:
                pass
            proc.terminate()
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
            try:
                self.wfile.write(b"stopped\n")
            except OSError:
                pass


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def start(folder):
    os.makedirs(folder, exist_ok=True)
    port_file = os.path.join(folder, "port")
    if os.path.exists(port_file):
        os.remove(port_file)
    server = Server(("127.0.0.1", 0), Handler)
    if os.fork() > 0:
        # The fixture ends once the service answers.
        for _ in range(500):
            if os.path.exists(port_file):
                return 0
            time.sleep(0.01)
        return 1
    os.setsid()
    log = os.open(os.path.join(folder, "linux_side.log"), os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
    null = os.open(os.devnull, os.O_RDONLY)
    os.dup2(null, 0)
    os.dup2(log, 1)
    os.dup2(log, 2)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    with open(port_file + ".tmp", "w") as f:
        f.write("%d %d\n" % (server.server_address[1], os.getpid()))
    os.rename(port_file + ".tmp", port_file)
    server.serve_forever()
    return 0


def stop(folder):
    port_file = os.path.join(folder, "port")
    try:
        with open(port_file) as f:
            pid = int(f.read().split()[1])
    except (OSError, ValueError, IndexError):
        return 0
    os.remove(port_file)
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop"):
        sys.exit("usage: linux_side.py start|stop DIR")
    sys.exit(start(sys.argv[2]) if sys.argv[1] == "start" else stop(sys.argv[2]))
