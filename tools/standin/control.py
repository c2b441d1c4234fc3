"""Starts the stand-in server in the background and stops it again (used by the CTest fixture).

    python3 tools/standin/control.py start --dir DIR [-- SERVER OPTIONS]
    python3 tools/standin/control.py stop --dir DIR

start runs the server on a free loopback port (unless the options say otherwise) and returns once it
listens: DIR/ready then holds the port, DIR/pid the process id, DIR/server.log its log and
DIR/transcript.jsonl its transcript. stop ends that process with SIGTERM and waits for it.

`--host free-loopback` picks an address of 127.0.0.0/8 other than 127.0.0.1 on which the Browser's
UDP port (--browser-port, 1434 by default with --instance) and a TCP port are free, and writes it to
DIR/host: clients find a named instance only on UDP 1434, so stand-ins that answer for one run
side by side on addresses of their own.
"""

import argparse
import os
import random
import signal
import socket
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
START_TIMEOUT = 30.0   # seconds the server gets to start listening
STOP_TIMEOUT = 10.0


def _alive(pid):
    if os.name == "nt":
        out = subprocess.run(["tasklist", "/FI", "PID eq %d" % pid], capture_output=True, text=True).stdout
        return str(pid) in out
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    try:  # a zombie has exited already
        with open("/proc/%d/stat" % pid) as f:
            return f.read().split(")")[-1].split()[0] != "Z"
    except OSError:
        return True


def _is_standin(pid):
    """Only a process running this server is ever signalled (the pid may have been reused)."""
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return b"standin" in f.read()
    except OSError:
        return os.name == "nt" or sys.platform == "darwin"


def _free_loopback(udp_port):
    """An address 127.0.0.N (N 2 to 254) where UDP `udp_port` and some TCP port can be bound."""
    candidates = list(range(2, 255))
    random.shuffle(candidates)
    for n in candidates:
        host = "127.0.0.%d" % n
        try:
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as u, \
                    socket.socket(socket.AF_INET, socket.SOCK_STREAM) as t:
                u.bind((host, udp_port))
                t.bind((host, 0))
            return host
        except OSError:
            continue
    raise RuntimeError("no loopback address with UDP port %d free" % udp_port)


def _option(args, name, default=None):
    """The value of the last `name` option in args."""
    value = default
    for i, a in enumerate(args[:-1]):
        if a == name:
            value = args[i + 1]
    return value


def start(folder, server_args):
    os.makedirs(folder, exist_ok=True)
    ready = os.path.join(folder, "ready")
    pid_file = os.path.join(folder, "pid")
    if os.path.exists(pid_file):
        stop(folder)
    for name in ("ready", "transcript.jsonl", "host"):
        try:
            os.remove(os.path.join(folder, name))
        except OSError:
            pass
    if "--port" not in server_args:
        server_args = ["--port", "0"] + server_args
    if _option(server_args, "--host") == "free-loopback":
        host = _free_loopback(int(_option(server_args, "--browser-port", "1434")))
        server_args = [host if a == "free-loopback" else a for a in server_args]
        with open(os.path.join(folder, "host"), "w", encoding="ascii") as f:
            f.write(host + "\n")
    cmd = [sys.executable, HERE, "--ready-file", ready,
           "--transcript", os.path.join(folder, "transcript.jsonl")] + server_args
    log = open(os.path.join(folder, "server.log"), "ab")
    kwargs = {"start_new_session": True} if os.name != "nt" else {
        "creationflags": subprocess.DETACHED_PROCESS | subprocess.CREATE_NEW_PROCESS_GROUP}
    proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=log, stderr=log, **kwargs)
    log.close()
    with open(pid_file, "w", encoding="ascii") as f:
        f.write("%d\n" % proc.pid)
    deadline = time.monotonic() + START_TIMEOUT
    while time.monotonic() < deadline:
        if os.path.exists(ready):
            with open(ready, encoding="ascii") as f:
                print("stand-in server listening on port %s (pid %d)" % (f.read().strip(), proc.pid))
            return 0
        if proc.poll() is not None:
            break
        time.sleep(0.1)
    print("the stand-in server did not start; its log:", file=sys.stderr)
    with open(os.path.join(folder, "server.log"), encoding="utf-8", errors="replace") as f:
        sys.stderr.write(f.read())
    if proc.poll() is None:
        proc.terminate()
    os.remove(pid_file)
    return 1


def stop(folder):
    pid_file = os.path.join(folder, "pid")
    try:
        with open(pid_file, encoding="ascii") as f:
            pid = int(f.read().strip())
    except (OSError, ValueError):
        print("no stand-in server recorded in %s" % folder)
        return 0
    if _alive(pid) and _is_standin(pid):
        os.kill(pid, signal.SIGTERM)
        deadline = time.monotonic() + STOP_TIMEOUT
        while _alive(pid) and time.monotonic() < deadline:
            time.sleep(0.1)
        if _alive(pid):
            print("stand-in server %d did not stop on SIGTERM; killing it" % pid, file=sys.stderr)
            os.kill(pid, signal.SIGKILL if hasattr(signal, "SIGKILL") else signal.SIGTERM)
            os.remove(pid_file)
            return 1
    os.remove(pid_file)
    print("stand-in server %d stopped" % pid)
    return 0


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    server_args = []
    if "--" in argv:
        cut = argv.index("--")
        argv, server_args = argv[:cut], argv[cut + 1:]
    p = argparse.ArgumentParser(description="Start or stop the stand-in SQL Server in the background.")
    p.add_argument("action", choices=["start", "stop"])
    p.add_argument("--dir", required=True, help="folder for the ready, pid, log and transcript files")
    args = p.parse_args(argv)
    if args.action == "start":
        return start(args.dir, server_args)
    return stop(args.dir)


if __name__ == "__main__":
    sys.exit(main())
