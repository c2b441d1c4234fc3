"""Command line of the stand-in server."""

import argparse
import ipaddress
import logging
import os
import signal
import socket
import subprocess
import sys
import tempfile
import threading

from . import catalog, sqltypes, tls
from .errors import MESSAGES
from .browser import Browser
from .functions import PRODUCT_VERSION
from .server import LOGIN_TIMEOUT, Faults, StandinServer, Transcript

log = logging.getLogger("standin")


def write_atomically(path, text):
    folder = os.path.dirname(os.path.abspath(path))
    fd, tmp = tempfile.mkstemp(prefix=".standin-", dir=folder)
    with os.fdopen(fd, "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(tmp, path)


def is_loopback(host):
    try:
        return ipaddress.ip_address(socket.gethostbyname(host) if ":" not in host else host).is_loopback
    except (ValueError, OSError):
        return False


def parse_args(argv):
    p = argparse.ArgumentParser(
        prog="python3 tools/standin",
        description="Stand-in Microsoft SQL Server for Kurdb development and tests: TDS 7.1-7.4 with "
                    "TLS negotiated as SQL Server does, SQL logins, the T-SQL the setup wizard and its tests send.")
    p.add_argument("--host", default="127.0.0.1",
                   help="address to listen on (default 127.0.0.1); an address that is not loopback needs "
                        "--allow-remote")
    p.add_argument("--allow-remote", action="store_true",
                   help="allow --host to be an address other machines can reach")
    p.add_argument("--port", type=int, default=1433, help="TCP port; 0 picks a free one (default 1433)")
    p.add_argument("--sa-password", required=True, help="password of the sa login")
    p.add_argument("--ready-file", help="file that receives the port number once the server listens")
    p.add_argument("--transcript", help="append a JSON line per connection, login, batch and RPC to this file")
    p.add_argument("--state-file", help="load the server state from this file at start (when present) and "
                                        "write it back after every change; without it the state is in memory")
    p.add_argument("--collation", default="Turkish_CI_AS",
                   choices=sorted(c.name for c in sqltypes.COLLATIONS.values()),
                   help="server and database collation (default Turkish_CI_AS, code page 1254)")
    p.add_argument("--server-name", default="KURDB-STANDIN", help="@@SERVERNAME and the server name in messages")
    p.add_argument("--fail-batch", nargs="+", action="append", default=[], metavar="ARG",
                   help="TEXT NUMBER [MESSAGE]: a batch or RPC call whose text contains TEXT (any case) fails "
                        "with error NUMBER and MESSAGE and runs nothing; repeatable")
    p.add_argument("--drop-after", type=int, metavar="N",
                   help="close each connection when its request N+1 arrives (after N answered requests)")
    p.add_argument("--drop-at", action="append", default=[], metavar="TEXT",
                   help="close a connection, without answer, when a batch or RPC call containing TEXT (any case) "
                        "arrives; it does not run; repeatable")
    p.add_argument("--drop-file", metavar="F",
                   help="while F holds a number N, the Nth request to arrive (any connection) closes its "
                        "connection without answer; each request counts F down, and F is removed then")
    p.add_argument("--delay-ms", type=int, default=0, metavar="MS",
                   help="hold every reply back this long; an attention sent meanwhile cancels the reply")
    p.add_argument("--login-timeout", type=float, default=LOGIN_TIMEOUT, metavar="SECONDS",
                   help="a connection that has not logged in this long after connecting is closed (default %d)"
                   % LOGIN_TIMEOUT)
    p.add_argument("--encryption", default="negotiate", choices=tls.MODES,
                   help="negotiate (default): as SQL Server with a certificate, the login is encrypted when the "
                        "client asks for it and everything when it requires it; force: as with Force "
                        "Encryption, everything is encrypted; off: encryption is not supported (plain text)")
    p.add_argument("--tls-cert", metavar="PEM", help="certificate for TLS (default: a self-signed one made at "
                                                    "start with the openssl command)")
    p.add_argument("--tls-key", metavar="PEM", help="private key of --tls-cert")
    p.add_argument("--instance", metavar="NAME",
                   help="named instance: answer as SQL Server Browser (SSRP over UDP) for this instance with the "
                        "TCP port; @@SERVICENAME and SERVERPROPERTY('InstanceName') give it")
    p.add_argument("--browser-port", type=int, default=1434, metavar="N",
                   help="UDP port of the Browser answers with --instance (default 1434; 0 picks a free one)")
    p.add_argument("--browser-ready-file", metavar="F",
                   help="with --instance: once the Browser listens, its UDP port is written to F")
    p.add_argument("-v", "--verbose", action="store_true", help="log every batch and RPC to stderr")
    args = p.parse_args(argv)
    rules = []
    for rule in args.fail_batch:
        if len(rule) not in (2, 3) or not rule[1].lstrip("-").isdigit():
            p.error("--fail-batch takes TEXT NUMBER [MESSAGE]")
        number = int(rule[1])
        message = rule[2] if len(rule) == 3 else None
        if message is None:
            template = MESSAGES.get(number, (16, "Injected failure.", None))[1]
            message = template.replace("%s", rule[0])
        rules.append((rule[0], number, message))
    args.fail_rules = rules
    if args.instance is not None and not (0 < len(args.instance.encode("ascii", "replace")) <= 16 and
                                          args.instance.replace("_", "").replace("$", "").isalnum()):
        p.error("--instance: 1 to 16 letters, digits, _ or $")
    if (args.browser_port != 1434 or args.browser_ready_file) and args.instance is None:
        p.error("--browser-port and --browser-ready-file go with --instance")
    if (args.tls_cert is None) != (args.tls_key is None):
        p.error("--tls-cert and --tls-key go together")
    if args.tls_cert and args.encryption == "off":
        p.error("--tls-cert with --encryption off: nothing would use the certificate")
    if not args.login_timeout > 0:
        p.error("--login-timeout must be more than 0 seconds")
    if not args.allow_remote and not is_loopback(args.host):
        p.error("--host %s is not a loopback address; add --allow-remote to listen there" % args.host)
    return args


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    logging.basicConfig(level=logging.DEBUG if args.verbose else logging.INFO,
                        format="standin: %(message)s", stream=sys.stderr)
    collation = sqltypes.COLLATIONS[args.collation.lower()]
    state = catalog.Server(args.sa_password, collation, args.state_file, args.server_name)
    state.instance = args.instance
    faults = Faults(args.fail_rules, args.drop_after, args.delay_ms, args.drop_at, args.drop_file)
    try:
        encryption = tls.Encryption(args.encryption, args.tls_cert, args.tls_key, args.server_name)
    except (RuntimeError, OSError, subprocess.SubprocessError) as e:
        log.error("cannot set up TLS: %s", e)
        return 1
    try:
        srv = StandinServer(state, args.host, args.port, faults, Transcript(args.transcript), encryption,
                            args.login_timeout)
    except OSError as e:
        encryption.close()
        log.error("cannot listen on %s:%s: %s", args.host, args.port, e)
        return 1
    browser = None
    if args.instance:
        try:
            browser = Browser(args.host, args.browser_port, args.server_name, args.instance, srv.port,
                              PRODUCT_VERSION, args.allow_remote)
        except OSError as e:
            srv.stop()
            log.error("cannot answer as SQL Server Browser on UDP %s:%s: %s", args.host, args.browser_port, e)
            return 1
        browser.start()
        log.info("answering as SQL Server Browser for instance %s on UDP port %d", args.instance, browser.port)
        if args.browser_ready_file:
            write_atomically(args.browser_ready_file, "%d\n" % browser.port)
    stop = threading.Event()

    def on_signal(signum, frame):
        stop.set()
    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    srv.start()
    log.info("listening on %s port %d (collation %s, encryption %s)", args.host, srv.port, collation.name,
             args.encryption)
    if args.ready_file:
        write_atomically(args.ready_file, "%d\n" % srv.port)
    try:
        while not stop.wait(0.5):
            pass
    finally:
        if browser is not None:
            browser.stop()
            if args.browser_ready_file:
                try:
                    os.remove(args.browser_ready_file)
                except OSError:
                    pass
        srv.stop()
        if args.ready_file:
            try:
                os.remove(args.ready_file)
            except OSError:
                pass
        log.info("stopped")
    return 0
