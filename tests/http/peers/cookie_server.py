#!/usr/bin/env python3
"""Set-Cookie on cue for the tests, reached as a proxy so that any host name works.

    cookie_server.py PORT

A request whose query is hex texts joined by "." answers "set" with each text as one
Set-Cookie value; any other request answers with the Cookie header it received (empty
without one). The host and path are whatever the client asked for.
"""
import http.server
import sys
import urllib.parse


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'

    def log_message(self, *args):
        pass

    def do_GET(self):
        query = urllib.parse.urlsplit(self.path).query
        self.send_response(200)
        if query:
            for piece in query.split('.'):
                self.send_header('Set-Cookie', bytes.fromhex(piece).decode('utf-8'))
            body = b'set'
        else:
            body = self.headers.get('Cookie', '').encode('utf-8')
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


Server(('127.0.0.1', int(sys.argv[1])), Handler).serve_forever()
