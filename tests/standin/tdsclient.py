"""A small TDS 7.4 client for the cases real clients cannot time or shape: closing a connection and acting
on another one at once, or sending PRELOGIN with a chosen encryption answer.

It reads from a reply only the messages (ERROR, INFO), ENVCHANGE and DONE tokens and stops at the first
result set; statements sent through it return no rows.
"""

import socket
import ssl
import struct

PRELOGIN, LOGIN7, SQL_BATCH, RPC, REPLY = 0x12, 0x10, 0x01, 0x03, 0x04
ENCRYPT_OFF, ENCRYPT_ON, ENCRYPT_NOT_SUP, ENCRYPT_REQ = 0, 1, 2, 3
ALL_HEADERS = struct.pack("<IIHQI", 22, 18, 2, 0, 1)


class Reply:
    def __init__(self):
        self.errors = []      # (number, severity, text) of ERROR tokens
        self.states = []      # the state of each of them
        self.infos = []       # (number, text) of INFO tokens
        self.envchanges = []  # (type, new value as text)
        self.done_status = []

    def numbers(self):
        return [n for n, _, _ in self.errors]


class Client:
    def __init__(self, host, port, timeout=60):
        self.sock = socket.create_connection((host, port), timeout=timeout)
        self.stream = self.sock            # what packets are read from and written to
        self.buffer = b""

    # -- packets ------------------------------------------------------------------------------------------
    def _send_raw(self, data):
        self.stream.sendall(data)

    def _recv_raw(self):
        data = self.stream.recv(65536)
        if not data:
            raise ConnectionError("the server closed the connection")
        return data

    def send(self, ptype, payload):
        size = 4096 - 8
        chunks = [payload[i:i + size] for i in range(0, len(payload), size)] or [b""]
        for k, chunk in enumerate(chunks):
            last = k == len(chunks) - 1
            self._send_raw(struct.pack(">BBHHBB", ptype, 1 if last else 0, len(chunk) + 8, 0, (k + 1) & 0xFF, 0) + chunk)

    def _exact(self, n):
        while len(self.buffer) < n:
            self.buffer += self._recv_raw()
        data, self.buffer = self.buffer[:n], self.buffer[n:]
        return data

    def receive(self):
        """(type, payload) of the next whole message."""
        parts, ptype = [], None
        while True:
            ptype, status, length = struct.unpack(">BBH", self._exact(4))
            self._exact(4)
            parts.append(self._exact(length - 8))
            if status & 1:
                return ptype, b"".join(parts)

    # -- PRELOGIN and TLS ---------------------------------------------------------------------------------
    def prelogin(self, encryption):
        """Sends PRELOGIN with the given ENCRYPTION byte; returns the server's ENCRYPTION byte."""
        options = [(0, b"\x10\x00\x10\x00\x00\x00"), (1, bytes([encryption])), (2, b"\x00"),
                   (3, b"\x00\x00\x00\x00"), (4, b"\x00")]
        offset = 5 * len(options) + 1
        table, data = b"", b""
        for token, value in options:
            table += struct.pack(">BHH", token, offset + len(data), len(value))
            data += value
        self.send(PRELOGIN, table + b"\xff" + data)
        ptype, payload = self.receive()
        pos = 0
        while payload[pos] != 0xFF:
            token, off, length = struct.unpack(">BHH", payload[pos:pos + 5])
            if token == 1:
                return payload[off]
            pos += 5
        raise AssertionError("PRELOGIN reply without ENCRYPTION")

    def start_tls(self, context=None, login_only=False):
        """The TLS handshake inside PRELOGIN packets, then TLS records straight on the socket (TDS 7.x).

        login_only: only the next message (LOGIN7) is sent through TLS; everything after it, the login's
        reply included, is plain, as when both sides said ENCRYPT_OFF.
        """
        if context is None:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
            context.check_hostname = False
            context.verify_mode = ssl.CERT_NONE
        incoming, outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
        tls = context.wrap_bio(incoming, outgoing)
        while True:
            try:
                tls.do_handshake()
                done = True
            except ssl.SSLWantReadError:
                done = False
            out = outgoing.read()
            if out:
                self.send(PRELOGIN, out)
            if done:
                break
            _, payload = self.receive()
            incoming.write(payload)
        self.tls, self.tls_in, self.tls_out = tls, incoming, outgoing
        self.plain_stream = self.stream
        self.stream = _LoginOnly(self) if login_only else _TlsStream(self)
        return tls

    # -- LOGIN7 and batches -------------------------------------------------------------------------------
    def login(self, user, password, database="", app="kurdb-tdsclient"):
        def ucs2(s):
            return s.encode("utf-16-le")

        def scramble(s):
            out = bytearray()
            for b in ucs2(s):
                out.append((((b << 4) & 0xF0) | (b >> 4)) ^ 0xA5)
            return bytes(out)

        fields = [ucs2("kurdb-test"), ucs2(user), scramble(password), ucs2(app), ucs2(""), b"",
                  ucs2("tdsclient"), ucs2(""), ucs2(database)]
        fixed = 94
        offset, table, data = fixed, b"", b""
        for f in fields:
            table += struct.pack("<HH", offset + len(data), len(f) // 2)
            data += f
        head = struct.pack("<IIIIII", 0, 0x74000004, 4096, 7, 0, 0)
        head += bytes([0xE0, 0x03, 0x00, 0x00]) + struct.pack("<iI", 0, 0x0409)
        tail = b"\x00" * 6 + struct.pack("<HHHHHHI", fixed + len(data), 0, fixed + len(data), 0,
                                          fixed + len(data), 0, 0)
        body = head + table + tail + data
        body = struct.pack("<I", len(body)) + body[4:]
        self.send(LOGIN7, body)
        return self.read_reply()

    def batch(self, text):
        self.send(SQL_BATCH, ALL_HEADERS + text.encode("utf-16-le"))
        return self.read_reply()

    def rpc(self, body):
        """An RPC request: body is everything after the ALL_HEADERS (name, option flags, parameters)."""
        self.send(RPC, ALL_HEADERS + body)
        return self.read_reply()

    def read_reply(self):
        _, payload = self.receive()
        reply, pos = Reply(), 0
        while pos < len(payload):
            token = payload[pos]
            pos += 1
            if token in (0xAA, 0xAB):
                length, = struct.unpack("<H", payload[pos:pos + 2])
                body = payload[pos + 2:pos + 2 + length]
                number, state, severity = struct.unpack("<iBB", body[:6])
                n, = struct.unpack("<H", body[6:8])
                text = body[8:8 + 2 * n].decode("utf-16-le")
                if token == 0xAA:
                    reply.errors.append((number, severity, text))
                    reply.states.append(state)
                else:
                    reply.infos.append((number, text))
                pos += 2 + length
            elif token == 0xE3:
                length, = struct.unpack("<H", payload[pos:pos + 2])
                body = payload[pos + 2:pos + 2 + length]
                n = body[1]
                reply.envchanges.append((body[0], body[2:2 + 2 * n].decode("utf-16-le", "replace")))
                pos += 2 + length
            elif token in (0xAD, 0xAE):
                if token == 0xAD:
                    length, = struct.unpack("<H", payload[pos:pos + 2])
                    pos += 2 + length
                else:
                    while payload[pos] != 0xFF:
                        length, = struct.unpack("<I", payload[pos + 1:pos + 5])
                        pos += 5 + length
                    pos += 1
            elif token in (0xFD, 0xFE, 0xFF):
                status, = struct.unpack("<H", payload[pos:pos + 2])
                reply.done_status.append(status)
                pos += 12
            elif token == 0x79:
                pos += 4
            else:
                break                     # a result set: not read by this client
        return reply

    def close(self):
        self.sock.close()


class _TlsStream:
    def __init__(self, client):
        self.c = client

    def sendall(self, data):
        self.c.tls.write(data)
        self.c.plain_stream.sendall(self.c.tls_out.read())

    def recv(self, n):
        while True:
            try:
                return self.c.tls.read(n)
            except ssl.SSLWantReadError:
                data = self.c.plain_stream.recv(65536)
                if not data:
                    return b""
                self.c.tls_in.write(data)


class _LoginOnly:
    """Sends one message through TLS, then goes back to the plain socket for everything."""

    def __init__(self, client):
        self.client = client
        self.tls_stream = _TlsStream(client)

    def sendall(self, packet):
        self.tls_stream.sendall(packet)
        if packet[1] & 1:                 # end of the message
            self.client.stream = self.client.plain_stream

    def recv(self, n):
        return self.client.plain_stream.recv(n)
