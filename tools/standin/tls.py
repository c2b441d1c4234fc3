"""Encryption as SQL Server negotiates it in TDS 7.x.

PRELOGIN carries each side's ENCRYPTION byte. The TLS handshake then travels inside PRELOGIN packets (the
records are the packets' payload); once it is done, TLS records go straight on the socket, each holding
TDS packets. When both sides said OFF only the LOGIN7 message is encrypted, and both go back to plain
packets right after it (the login reply is already plain).
"""

import os
import shutil
import ssl
import subprocess
import tempfile

from . import tds

ENCRYPT_OFF, ENCRYPT_ON, ENCRYPT_NOT_SUP, ENCRYPT_REQ = 0x00, 0x01, 0x02, 0x03
ENCRYPT_CLIENT_CERT = 0x80

# What the server does after its answer
PLAIN, LOGIN_ONLY, FULL, REFUSE = "plain", "login", "full", "refuse"

MODES = ("negotiate", "force", "off")


def decide(mode, client):
    """(the server's ENCRYPTION answer, what follows) for the client's ENCRYPTION byte.

    negotiate: SQL Server with a certificate and Force Encryption off; force: Force Encryption on;
    off: a server without encryption, the stand-in's old answer.
    """
    if client & ENCRYPT_CLIENT_CERT:
        return None, REFUSE                           # client certificates are not modelled
    if mode == "off":
        return ENCRYPT_NOT_SUP, PLAIN                 # a client that required encryption gives up here
    if client == ENCRYPT_NOT_SUP:
        if mode == "force":
            return ENCRYPT_REQ, REFUSE                # the server ends the connection
        return ENCRYPT_NOT_SUP, PLAIN
    if client == ENCRYPT_OFF:
        return (ENCRYPT_REQ, FULL) if mode == "force" else (ENCRYPT_OFF, LOGIN_ONLY)
    if client in (ENCRYPT_ON, ENCRYPT_REQ):
        return ENCRYPT_ON, FULL
    return None, REFUSE


def make_certificate(folder, common_name):
    """A self-signed certificate and its key, made with the openssl command; returns (cert, key) paths."""
    program = shutil.which("openssl")
    if program is None:
        raise RuntimeError("the openssl command is needed to make the TLS certificate (install the openssl "
                           "package, give --tls-cert and --tls-key, or start with --encryption off)")
    cert, key = os.path.join(folder, "standin-cert.pem"), os.path.join(folder, "standin-key.pem")
    subprocess.run([program, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "3650",
                    "-subj", "/CN=" + common_name, "-keyout", key, "-out", cert],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=120)
    return cert, key


class Encryption:
    """The server's encryption setting: mode and TLS context."""

    def __init__(self, mode="negotiate", cert=None, key=None, common_name="KURDB-STANDIN"):
        if mode not in MODES:
            raise ValueError("encryption mode %r" % mode)
        self.mode = mode
        self.context = None
        self.folder = None
        if mode == "off":
            return
        if cert is None:
            self.folder = tempfile.mkdtemp(prefix="kurdb-standin-tls-")
            cert, key = make_certificate(self.folder, common_name)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        # SQL Server speaks TLS 1.0 to 1.2 inside TDS 7.x PRELOGIN (TLS 1.3 only with TDS 8)
        context.minimum_version = ssl.TLSVersion.TLSv1_2
        context.maximum_version = ssl.TLSVersion.TLSv1_2
        context.load_cert_chain(cert, key)
        self.context = context

    def close(self):
        if self.folder is not None:
            shutil.rmtree(self.folder, ignore_errors=True)
            self.folder = None


class TlsTransport:
    """recv/sendall through TLS records on the socket, for PacketIO once the handshake is done."""

    def __init__(self, sock, tls, incoming, outgoing):
        self.sock = sock
        self.tls = tls
        self.incoming = incoming
        self.outgoing = outgoing

    def recv(self, n):
        while True:
            try:
                return self.tls.read(n)
            except ssl.SSLWantReadError:
                data = self.sock.recv(65536)
                if not data:
                    return b""
                self.incoming.write(data)
            except ssl.SSLZeroReturnError:
                return b""
            except ssl.SSLError as e:
                raise tds.ProtocolError("TLS: %s" % e) from None

    def sendall(self, data):
        self.tls.write(data)
        self.sock.sendall(self.outgoing.read())

    def pending(self):
        return self.tls.pending()


def handshake(io, context):
    """Runs the server side of the TLS handshake carried in PRELOGIN packets; returns the TlsTransport."""
    incoming, outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
    tls = context.wrap_bio(incoming, outgoing, server_side=True)
    while True:
        try:
            tls.do_handshake()
            done = True
        except ssl.SSLWantReadError:
            done = False
        except ssl.SSLError as e:
            raise tds.ProtocolError("TLS handshake: %s" % e) from None
        out = outgoing.read()
        if out:
            io.send_message(out, ptype=tds.PRELOGIN)
        if done:
            return TlsTransport(io.sock, tls, incoming, outgoing)
        packet = io.read_packet()
        if packet is None:
            raise tds.ProtocolError("client closed the connection during the TLS handshake")
        ptype, _status, body = packet
        if ptype != tds.PRELOGIN:
            raise tds.ProtocolError("expected a TLS handshake in PRELOGIN, got packet type 0x%02X" % ptype)
        incoming.write(body)
