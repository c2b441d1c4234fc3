"""SQL Server Browser for the stand-in's named instance: the SQL Server Resolution Protocol (SSRP, MC-SQLR)
over UDP.

Requests (first byte): CLNT_BCAST_EX 0x02 and CLNT_UCAST_EX 0x03 ask for every instance; CLNT_UCAST_INST
0x04 followed by an instance name (at most 32 bytes, then a zero byte) asks for one. The answer is SVR_RESP:
0x05, the length of the data (2 bytes, little-endian), then
"ServerName;<server>;InstanceName;<instance>;IsClustered;No;Version;<version>;tcp;<port>;;". An instance
that is not ours, a DAC request (CLNT_UCAST_DAC 0x0F) and anything else get no answer, as from the Browser.
"""

import ipaddress
import logging
import socket
import struct
import threading

log = logging.getLogger("standin")

CLNT_BCAST_EX, CLNT_UCAST_EX, CLNT_UCAST_INST, SVR_RESP = 0x02, 0x03, 0x04, 0x05
MAX_INSTANCE_NAME = 32


def is_loopback(address):
    try:
        return ipaddress.ip_address(address).is_loopback
    except ValueError:
        return False


class Browser:
    def __init__(self, host, port, server_name, instance, tcp_port, version, allow_remote=False):
        self.server_name = server_name
        self.instance = instance
        self.tcp_port = tcp_port
        self.version = version
        self.allow_remote = allow_remote
        self.sock = socket.socket(socket.AF_INET6 if ":" in host else socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind((host, port))
        self.port = self.sock.getsockname()[1]
        self.thread = None
        self.stopping = threading.Event()

    def response(self):
        data = ("ServerName;%s;InstanceName;%s;IsClustered;No;Version;%s;tcp;%d;;"
                % (self.server_name, self.instance, self.version, self.tcp_port)).encode("ascii", "replace")
        return bytes([SVR_RESP]) + struct.pack("<H", len(data)) + data

    def answer(self, request):
        """The reply to one datagram, or None."""
        if not request:
            return None
        kind = request[0]
        if kind in (CLNT_BCAST_EX, CLNT_UCAST_EX) and len(request) == 1:
            return self.response()
        if kind == CLNT_UCAST_INST:
            name = request[1:].split(b"\x00", 1)[0]
            if not name or len(name) > MAX_INSTANCE_NAME:
                return None
            # instance names are not case-sensitive and plain ASCII
            if name.decode("ascii", "replace").upper() == self.instance.upper():
                return self.response()
        return None

    def start(self):
        self.thread = threading.Thread(target=self._loop, name="browser", daemon=True)
        self.thread.start()

    def _loop(self):
        while not self.stopping.is_set():
            try:
                request, peer = self.sock.recvfrom(4096)
            except OSError:
                break
            if not self.allow_remote and not is_loopback(peer[0]):
                log.info("browser: request from %s ignored (not loopback)", peer[0])
                continue
            reply = self.answer(request)
            log.info("browser: request 0x%02X from %s:%s %s", request[0] if request else 0, peer[0], peer[1],
                     "answered" if reply else "not answered")
            if reply is not None:
                try:
                    self.sock.sendto(reply, peer)
                except OSError as e:
                    log.info("browser: cannot answer %s: %s", peer[0], e)

    def stop(self):
        self.stopping.set()
        try:
            self.sock.close()
        except OSError:
            pass
