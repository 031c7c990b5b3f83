#!/usr/bin/python3
"""A page behind NTLM for the tests, verified with impacket's NTLM functions.

    ntlm_server.py PORT DOMAIN USER:PASSWORD...

The path picks the Type 2 the server sends:
  /v2        target information with a timestamp, extended session security
  /v2-nostamp target information without a timestamp
  /v1-ess    no target information, extended session security
  /v1        neither
  /squid     neither, and a target name pointing past the end of the message
A Type 3 is answered 200 "ok" when impacket computes the same NT response from the
server's password; either way the header X-NTLM says what the client sent:
"v2|v1-ess|v1 lm=zero|lmv2|copy|lm|other ws=<workstation> dom=<domain>", plus
" blob=ok" for v2 when the blob carries the server's target information and time.
"""
import base64
import http.server
import os
import struct
import sys
import time

from impacket import ntlm

PORT, DOMAIN = int(sys.argv[1]), sys.argv[2]
USERS = dict((u.upper(), p) for u, p in (a.split(':', 1) for a in sys.argv[3:]))

UNICODE, REQUEST_TARGET, NTLM, ALWAYS_SIGN = 0x1, 0x4, 0x200, 0x8000
TARGET_TYPE_DOMAIN, ESS, TARGET_INFO = 0x10000, 0x80000, 0x800000


def utf16(text):
    return text.encode('utf-16-le')


def av(ident, value):
    return struct.pack('<HH', ident, len(value)) + value


def filetime_now():
    return int((time.time() + 11644473600) * 10000000)


def type2(mode, challenge):
    flags = UNICODE | REQUEST_TARGET | NTLM | ALWAYS_SIGN | TARGET_TYPE_DOMAIN
    target = utf16(DOMAIN.upper())
    info = b''
    if mode.startswith('v2'):
        flags |= ESS | TARGET_INFO
        info = av(2, utf16(DOMAIN.upper())) + av(1, utf16('SERVER'))
        if mode == 'v2':
            info += av(7, struct.pack('<Q', filetime_now()))
        info += av(0, b'')
    elif mode == 'v1-ess':
        flags |= ESS
    header_size = 48
    target_offset = header_size
    if mode == 'squid':
        target_offset = 0x7fff0000  # outside the message
    msg = b'NTLMSSP\0' + struct.pack('<I', 2)
    msg += struct.pack('<HHI', len(target), len(target), target_offset)
    msg += struct.pack('<I', flags) + challenge + b'\0' * 8
    info_offset = header_size + (len(target) if mode != 'squid' else 0)
    msg += struct.pack('<HHI', len(info), len(info), info_offset)
    msg += (target if mode != 'squid' else b'') + info
    return msg, info


def field(msg, at):
    length, _, offset = struct.unpack('<HHI', msg[at:at + 8])
    return msg[offset:offset + length]


def verify(msg, challenge, info):
    lm, nt = field(msg, 12), field(msg, 20)
    dom = field(msg, 28).decode('utf-16-le')
    user = field(msg, 36).decode('utf-16-le')
    ws = field(msg, 44).decode('utf-16-le')
    flags = struct.unpack('<I', msg[60:64])[0]
    password = USERS.get(user.upper(), '\0')
    ok = user.upper() in USERS and dom.upper() == DOMAIN.upper()
    extra = ''
    if len(nt) > 24:
        kind = 'v2'
        key = ntlm.NTOWFv2(user, password, dom)
        ok = ok and ntlm.hmac_md5(key, challenge + nt[16:]) == nt[:16]
        blob = nt[16:]
        stamp = info.find(struct.pack('<HH', 7, 8))
        same_time = stamp < 0 or blob[8:16] == info[stamp + 4:stamp + 12]
        extra = ' blob=' + ('ok' if blob[28:28 + len(info)] == info and same_time else 'bad')
        if lm == b'\0' * 24:
            lm_kind = 'zero'
        elif len(lm) == 24 and ntlm.hmac_md5(key, challenge + lm[16:]) == lm[:16]:
            lm_kind = 'lmv2'
        else:
            lm_kind = 'other'
    else:
        ess = bool(flags & ESS) and lm[8:] == b'\0' * 16
        kind = 'v1-ess' if ess else 'v1'
        expect_nt, expect_lm, _ = ntlm.computeResponseNTLMv1(
            ESS if ess else 0, challenge, lm[:8], b'', dom, user, password, use_ntlmv2=False)
        ok = ok and nt == expect_nt
        if ess:
            lm_kind = 'zero'  # the client challenge and zeros
        elif lm == nt:
            lm_kind = 'copy'
        elif lm == expect_lm:
            lm_kind = 'lm'
        else:
            lm_kind = 'other'
    return ok, '%s lm=%s ws=%s dom=%s%s' % (kind, lm_kind, ws, dom, extra)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'

    def log_message(self, *args):
        pass

    def reply(self, code, headers, body=b''):
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        mode = self.path.strip('/')
        auth = self.headers.get('Authorization', '')
        if getattr(self, 'authenticated', False) and not auth:
            return self.reply(200, [('X-NTLM', 'connection')], b'ok')  # NTLM authenticates the connection
        if not auth.startswith('NTLM '):
            return self.reply(401, [('WWW-Authenticate', 'NTLM')])
        msg = base64.b64decode(auth[5:])
        kind = struct.unpack('<I', msg[8:12])[0]
        if kind == 1:
            self.challenge = os.urandom(8)
            message, self.info = type2(mode, self.challenge)
            return self.reply(401, [('WWW-Authenticate', 'NTLM ' + base64.b64encode(message).decode())])
        ok, how = verify(msg, self.challenge, self.info)
        self.authenticated = ok
        if ok:
            return self.reply(200, [('X-NTLM', how)], b'ok')
        return self.reply(401, [('X-NTLM', how), ('WWW-Authenticate', 'NTLM')])


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


Server(('127.0.0.1', PORT), Handler).serve_forever()
