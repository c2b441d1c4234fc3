#!/usr/bin/env python3
"""Loopback HTTP server for the download tests.

  http_server.py start STATE_DIR   serve on a free port of 127.0.0.1 in the background; the port
                                   goes to STATE_DIR/port, the process id to STATE_DIR/pid
  http_server.py stop STATE_DIR    end the server started there

Paths:
  /files/NAME         NAME's fixed bytes, Last-Modified 2 Jan 2020 03:04:05 GMT; answers 304 to
                      an If-Modified-Since at or after that time
  /newer/NAME         the same bytes, Last-Modified now
  /flaky/KEY/N/NAME   drops the first N connections for KEY without an answer, then as /files
  /stall/NAME         headers and the first bytes of /files, then nothing for a minute
  /count/PATH         how many requests PATH has had, as text
  anything else       404
"""
import calendar
import email.utils
import http.server
import os
import signal
import socket
import sys
import time

MODIFIED_TS = calendar.timegm((2020, 1, 2, 3, 4, 5, 0, 0, 0))
MODIFIED = email.utils.formatdate(MODIFIED_TS, usegmt=True)
BODY = b"Kurdb test download\n" * 1000
counts = {}
dropped = {}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send_body(self, modified):
        since = self.headers.get("If-Modified-Since")
        if since and modified == MODIFIED:
            try:
                if email.utils.parsedate_to_datetime(since).timestamp() >= MODIFIED_TS:
                    self.send_response(304)
                    self.send_header("Content-Length", "0")
                    self.end_headers()
                    return
            except (TypeError, ValueError):
                pass
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(BODY)))
        self.send_header("Last-Modified", modified)
        self.end_headers()
        self.wfile.write(BODY)

    def do_GET(self):
        path = self.path
        counts[path] = counts.get(path, 0) + 1
        parts = path.strip("/").split("/")
        if parts[0] == "count":
            text = str(counts.get("/" + "/".join(parts[1:]), 0)).encode()
            self.send_response(200)
            self.send_header("Content-Length", str(len(text)))
            self.end_headers()
            self.wfile.write(text)
        elif parts[0] == "files" and len(parts) == 2:
            self.send_body(MODIFIED)
        elif parts[0] == "newer" and len(parts) == 2:
            self.send_body(email.utils.formatdate(time.time(), usegmt=True))
        elif parts[0] == "stall" and len(parts) == 2:
            self.send_response(200)
            self.send_header("Content-Length", str(len(BODY)))
            self.end_headers()
            self.wfile.write(BODY[:100])
            self.wfile.flush()
            time.sleep(60)
            self.close_connection = True
        elif parts[0] == "status" and len(parts) == 3 and parts[1].isdigit():
            # an error answer of the code given, with a body, as servers send it
            text = b"error page"
            self.send_response(int(parts[1]))
            self.send_header("Content-Length", str(len(text)))
            self.end_headers()
            self.wfile.write(text)
        elif parts[0] == "flaky" and len(parts) == 4 and parts[2].isdigit():
            seen = dropped.get(parts[1], 0)
            if seen < int(parts[2]):
                dropped[parts[1]] = seen + 1
                self.close_connection = True
                self.connection.shutdown(socket.SHUT_RDWR)
                return
            self.send_body(MODIFIED)
        else:
            self.send_response(404)
            self.send_header("Content-Length", "0")
            self.end_headers()


def start(state):
    os.makedirs(state, exist_ok=True)
    for name in ("port", "pid"):
        try:
            os.remove(os.path.join(state, name))
        except FileNotFoundError:
            pass
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True  # a stalled answer does not hold the server's end
    if os.fork():
        # The parent returns once the child has written the port: the server is listening.
        deadline = time.monotonic() + 30
        while not os.path.exists(os.path.join(state, "port")):
            if time.monotonic() > deadline:
                sys.exit("server did not start")
            time.sleep(0.05)
        return
    os.setsid()
    devnull = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(devnull, fd)
    with open(os.path.join(state, "pid"), "w") as f:
        f.write(str(os.getpid()))
    with open(os.path.join(state, "port.tmp"), "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(os.path.join(state, "port.tmp"), os.path.join(state, "port"))
    server.serve_forever()


def stop(state):
    try:
        with open(os.path.join(state, "pid")) as f:
            os.kill(int(f.read()), signal.SIGTERM)
    except (FileNotFoundError, ProcessLookupError, ValueError):
        pass


if __name__ == "__main__":
    {"start": start, "stop": stop}[sys.argv[1]](sys.argv[2])
