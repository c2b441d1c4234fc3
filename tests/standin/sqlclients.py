"""Runs FreeTDS tsql and unixODBC isql against the test server and reads what they print.

The server is the one named by KURDB_TEST_SERVER ("host,port") with KURDB_TEST_USER and
KURDB_TEST_PASSWORD when that is set (a real SQL Server), else the stand-in of the CTest fixture: its port
is in the file KURDB_TEST_READY_FILE, its sa password in KURDB_TEST_STANDIN_PASSWORD.
"""

import json
import os
import re
import secrets
import shutil
import subprocess
import tempfile
import unittest

CLIENT_TIMEOUT = 120  # seconds; a guard against a hung client, not a measurement


class Server:
    def __init__(self):
        target = os.environ.get("KURDB_TEST_SERVER")
        if target:
            host, _, port = target.partition(",")
            self.host, self.port = host, int(port or 1433)
            self.user = os.environ.get("KURDB_TEST_USER", "sa")
            self.password = os.environ.get("KURDB_TEST_PASSWORD", "")
        else:
            ready = os.environ.get("KURDB_TEST_READY_FILE")
            if not ready:
                # a failure, not a skip: a skipped suite would pass unnoticed
                raise RuntimeError("no test server: set KURDB_TEST_SERVER or KURDB_TEST_READY_FILE")
            with open(ready, encoding="ascii") as f:
                self.port = int(f.read().strip())
            self.host = "127.0.0.1"
            self.user = "sa"
            self.password = os.environ.get("KURDB_TEST_STANDIN_PASSWORD", "")


def unique_name(prefix):
    """A name no other test run uses; upper case hex keeps it clear of the Turkish dotless i."""
    return "%s_%s" % (prefix, secrets.token_hex(4).upper())


class Result:
    def __init__(self, returncode, stdout, stderr):
        self.returncode = returncode
        self.stdout = stdout
        self.stderr = stderr

    def messages(self):
        """(number, severity, text) of every server message tsql printed."""
        return [(int(n), int(s), t) for n, s, t in
                re.findall(r'Msg (\d+) \(severity (\d+), state \d+\) from [^\n]*\n\s*"(.*?)"\n', self.stderr, re.S)]

    def numbers(self):
        return [m[0] for m in self.messages()]

    def states(self):
        """(number, state) of every server message tsql printed."""
        return [(int(n), int(s)) for n, s in re.findall(r'Msg (\d+) \(severity \d+, state (\d+)\)', self.stderr)]

    def rows(self):
        """Result rows of tsql -o q output: tab-separated lines (header lines included)."""
        return [line.split("\t") for line in self.stdout.splitlines() if line.strip()]


# FreeTDS's encryption setting for the sessions of these helpers: "require" encrypts everything, as a
# careful deployment does; "request" encrypts the login when the server can; "off" sends plain text.
DEFAULT_ENCRYPTION = "require"


def tsql(server, script, user=None, password=None, database=None, encryption=DEFAULT_ENCRYPTION):
    """Feeds a script to tsql; a line 'go' ends each batch. Returns what tsql printed."""
    cmd = ["tsql", "-H", server.host, "-p", str(server.port), "-U", user or server.user,
           "-P", server.password if password is None else password, "-o", "q"]
    if database:
        cmd += ["-D", database]
    if not script.endswith("\n"):
        script += "\n"
    folder = tempfile.mkdtemp(prefix="kurdb-tsql-")
    try:
        conf = os.path.join(folder, "freetds.conf")
        with open(conf, "w", encoding="ascii") as f:
            f.write("[global]\n\ttds version = auto\n\tencryption = %s\n" % encryption)
        proc = subprocess.run(cmd, input=script.encode("utf-8"), capture_output=True, timeout=CLIENT_TIMEOUT,
                              env=dict(os.environ, LC_ALL="C.UTF-8", FREETDSCONF=conf))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return Result(proc.returncode, proc.stdout.decode("utf-8", "replace"), proc.stderr.decode("utf-8", "replace"))


def isql(server, lines, user=None, password=None, extra_dsn="", encryption=DEFAULT_ENCRYPTION):
    """Runs isql with a temporary DSN for the FreeTDS driver; every line is one statement."""
    folder = tempfile.mkdtemp(prefix="kurdb-isql-")
    try:
        ini = os.path.join(folder, "odbc.ini")
        with open(ini, "w", encoding="ascii") as f:
            f.write("[kurdbtest]\nDriver = FreeTDS\nServer = %s\nPort = %d\nTDS_Version = 7.4\n"
                    "ClientCharset = UTF-8\nEncryption = %s\n%s" % (server.host, server.port, encryption, extra_dsn))
        env = dict(os.environ, ODBCINI=ini, LC_ALL="C.UTF-8")
        cmd = ["isql", "-v", "-b", "-c", "-x0x09", "kurdbtest", user or server.user,
               server.password if password is None else password]
        proc = subprocess.run(cmd, input=("\n".join(lines) + "\n").encode("utf-8"), capture_output=True,
                              timeout=CLIENT_TIMEOUT, env=env)
        return Result(proc.returncode, proc.stdout.decode("utf-8", "replace"),
                      proc.stderr.decode("utf-8", "replace"))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


TEDIOUS_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tedious")


def tedious(server, batches, user=None, password=None, encrypt=True):
    """Runs batches through Node's tedious; returns {"login": {"ok", "message"}, "batches": [{"rows",
    "errors": [{"number", "state", "message"}]}]}. tools/deps.sh installs the package."""
    if shutil.which("node") is None:
        raise AssertionError("node is not installed: run sh tools/deps.sh")
    if not os.path.isdir(os.path.join(TEDIOUS_DIR, "node_modules", "tedious")):
        raise AssertionError("the tedious package is not installed in %s: run sh tools/deps.sh" % TEDIOUS_DIR)
    job = {"host": server.host, "port": server.port, "user": user or server.user,
           "password": server.password if password is None else password, "encrypt": encrypt,
           "batches": list(batches)}
    proc = subprocess.run(["node", os.path.join(TEDIOUS_DIR, "run.js"), json.dumps(job)], capture_output=True,
                          timeout=CLIENT_TIMEOUT)
    if proc.returncode != 0 or not proc.stdout.strip():
        raise AssertionError("tedious run failed: %s" % proc.stderr.decode("utf-8", "replace"))
    return json.loads(proc.stdout.decode("utf-8"))


class DatabaseCase(unittest.TestCase):
    """Tests in a database of their own on the test server: made before the first test (with SETUP run
    in it), dropped after the last."""

    PREFIX = "KTEST"
    SETUP = ""

    @classmethod
    def setUpClass(cls):
        need("tsql")
        cls.server = Server()
        cls.db = unique_name(cls.PREFIX)
        r = tsql(cls.server, "CREATE DATABASE {d}\ngo\nUSE {d}\n{s}\ngo\n".format(d=cls.db, s=cls.SETUP))
        assert r.messages() == [], r.stderr

    @classmethod
    def tearDownClass(cls):
        tsql(cls.server, "DROP DATABASE %s\ngo\n" % cls.db)

    def in_db(self, script):
        return tsql(self.server, "USE %s\ngo\n%s\ngo\n" % (self.db, script))


def quote(value):
    """A string as a T-SQL literal, the way the wizard binds values."""
    return "'" + value.replace("'", "''") + "'"


def need(program):
    if shutil.which(program) is None:
        raise unittest.SkipTest("%s is not installed" % program)


def main():
    """Runs the module's tests; exit status 77 (CTest's skip) when every test was skipped."""
    program = unittest.main(exit=False, verbosity=2)
    result = program.result
    if not result.wasSuccessful():
        raise SystemExit(1)
    if result.testsRun and len(result.skipped) == result.testsRun:
        raise SystemExit(77)
    raise SystemExit(0)
