#!/usr/bin/env python3
"""A TCP server that misbehaves the ways a SQL Server (or what sits before it) can, for the tests of
the connection's time limit. Standard library only.

    faultserver.py serve --ready FILE [--host 127.0.0.1]
    faultserver.py start --dir DIR [--host 127.0.0.1]     serve in the background; DIR/ready, DIR/pid
    faultserver.py stop --dir DIR

One listening port per fault, each on a free port; the ready file gets one line per fault,
"<fault> <port>", and is written (atomically) once every port listens:

    silent          accepts the connection, reads what comes and never answers
    prelogin        answers the TDS pre-login (no encryption offered, so the client sends its
                    login in the clear), then reads and never answers again
    tls             answers the pre-login asking for an encrypted login, then never answers the
                    client's TLS handshake
    slow            answers the pre-login one byte a second: every read gets data, the whole
                    answer takes longer than any login may

The pre-login answer follows [MS-TDS] 2.2.6.5 (PRELOGIN): option tokens VERSION, ENCRYPTION,
INSTOPT, THREADID, MARS, the terminator 0xFF, then their data; packet type 0x04, status EOM.
"""
import argparse
import os
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

FAULTS = ("silent", "prelogin", "tls", "slow")

ENCRYPT_OFF = 0x00      # encrypt the login packet only: the client starts a TLS handshake
ENCRYPT_NOT_SUP = 0x02  # no encryption at all: the login goes in the clear


def prelogin_answer(encryption):
    options = [
        (0x00, bytes([15, 0, 0x07, 0xD0, 0, 0])),  # VERSION 15.0.2000, sub-build 0
        (0x01, bytes([encryption])),               # ENCRYPTION
        (0x02, b"\x00"),                           # INSTOPT
        (0x03, b""),                               # THREADID
        (0x04, b"\x00"),                           # MARS off
    ]
    offset = 5 * len(options) + 1
    head, data = b"", b""
    for token, value in options:
        head += struct.pack(">BHH", token, offset + len(data), len(value))
        data += value
    payload = head + b"\xff" + data
    return struct.pack(">BBHHBB", 0x04, 0x01, 8 + len(payload), 0, 1, 0) + payload


def read_packet(conn):
    """One TDS packet, or None when the client has gone."""
    header = b""
    while len(header) < 8:
        chunk = conn.recv(8 - len(header))
        if not chunk:
            return None
        header += chunk
    length = struct.unpack(">H", header[2:4])[0]
    body = b""
    while len(body) < length - 8:
        chunk = conn.recv(length - 8 - len(body))
        if not chunk:
            return None
        body += chunk
    return header + body


def drain(conn):
    while conn.recv(4096):
        pass


def handle(fault, conn):
    try:
        if fault == "silent":
            drain(conn)
            return
        if read_packet(conn) is None:
            return
        if fault == "prelogin":
            conn.sendall(prelogin_answer(ENCRYPT_NOT_SUP))
        elif fault == "tls":
            conn.sendall(prelogin_answer(ENCRYPT_OFF))
        elif fault == "slow":
            for byte in prelogin_answer(ENCRYPT_NOT_SUP):
                time.sleep(1)
                conn.sendall(bytes([byte]))
        drain(conn)
    except OSError:
        pass
    finally:
        conn.close()


def listen(host):
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind((host, 0))
    sock.listen(16)
    return sock


def accept_loop(fault, sock):
    while True:
        conn, _ = sock.accept()
        threading.Thread(target=handle, args=(fault, conn), daemon=True).start()


def serve(args):
    sockets = {fault: listen(args.host) for fault in FAULTS}
    for fault, sock in sockets.items():
        threading.Thread(target=accept_loop, args=(fault, sock), daemon=True).start()
    temporary = args.ready + ".tmp"
    with open(temporary, "w") as f:
        for fault, sock in sockets.items():
            f.write("%s %d\n" % (fault, sock.getsockname()[1]))
    os.replace(temporary, args.ready)
    signal.sigwait({signal.SIGTERM, signal.SIGINT})


def start(args):
    os.makedirs(args.dir, exist_ok=True)
    ready = os.path.join(args.dir, "ready")
    if os.path.exists(ready):
        os.remove(ready)
    signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM, signal.SIGINT})
    child = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", "--ready", ready,
                              "--host", args.host], start_new_session=True,
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(os.path.join(args.dir, "pid"), "w") as f:
        f.write("%d\n" % child.pid)
    deadline = time.monotonic() + 30
    while not os.path.exists(ready):
        if child.poll() is not None or time.monotonic() > deadline:
            sys.exit("the fault server did not start")
        time.sleep(0.05)


def stop(args):
    try:
        with open(os.path.join(args.dir, "pid")) as f:
            os.kill(int(f.read()), signal.SIGTERM)
    except (OSError, ValueError):
        pass


def main():
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("serve")
    p.add_argument("--ready", required=True)
    p.add_argument("--host", default="127.0.0.1")
    p = sub.add_parser("start")
    p.add_argument("--dir", required=True)
    p.add_argument("--host", default="127.0.0.1")
    p = sub.add_parser("stop")
    p.add_argument("--dir", required=True)
    args = parser.parse_args()
    if args.command == "serve":
        signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM, signal.SIGINT})
        serve(args)
    else:
        {"start": start, "stop": stop}[args.command](args)


if __name__ == "__main__":
    main()
