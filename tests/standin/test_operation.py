"""Operation of the stand-in itself: state file across a restart, transcript, fault injection.

Each test starts its own server through tools/standin/control.py, the helper the CTest fixture uses.
"""

import json
import os
import shutil
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import sqlclients  # noqa: E402
import tdsclient  # noqa: E402
from sqlclients import tsql  # noqa: E402

CONTROL = os.path.join(HERE, "..", "..", "tools", "standin", "control.py")
PASSWORD = "Durum#2024"


class OwnServer:
    def __init__(self, folder, *options):
        self.folder = folder
        r = subprocess.run([sys.executable, CONTROL, "start", "--dir", folder, "--", "--sa-password", PASSWORD]
                           + list(options), capture_output=True, text=True, timeout=sqlclients.CLIENT_TIMEOUT)
        if r.returncode != 0:
            raise AssertionError("the stand-in did not start: " + r.stdout + r.stderr)
        with open(os.path.join(folder, "ready"), encoding="ascii") as f:
            self.port = int(f.read())
        self.host, self.user, self.password = "127.0.0.1", "sa", PASSWORD

    def stop(self):
        r = subprocess.run([sys.executable, CONTROL, "stop", "--dir", self.folder], capture_output=True, text=True,
                           timeout=sqlclients.CLIENT_TIMEOUT)
        if r.returncode != 0:
            raise AssertionError("the stand-in did not stop: " + r.stdout + r.stderr)

    def transcript(self):
        with open(os.path.join(self.folder, "transcript.jsonl"), encoding="utf-8") as f:
            return [json.loads(line) for line in f]


class OwnServerCase(unittest.TestCase):
    """Tests that start stand-ins of their own, stopped at the end."""

    def setUp(self):
        sqlclients.need("tsql")
        self.folder = tempfile.mkdtemp(prefix="kurdb-standin-")
        self.servers = []

    def tearDown(self):
        for s in self.servers:
            s.stop()
        shutil.rmtree(self.folder, ignore_errors=True)

    def start(self, *options):
        server = OwnServer(self.folder, *options)
        self.servers.append(server)
        return server


class OperationTest(OwnServerCase):
    def test_state_file_keeps_logins_databases_and_rows_across_a_restart(self):
        state = os.path.join(self.folder, "state.json")
        server = self.start("--state-file", state)
        r = tsql(server, "EXEC sp_addlogin 'KALICI', 'Kalici#1', 'master', 'Turkish'\ngo\n"
                         "CREATE DATABASE KALICIDB\ngo\nCREATE TABLE KALICIDB.dbo.T (A varchar(10) NULL)\n"
                         "INSERT INTO KALICIDB.dbo.T VALUES (N'İşçi')\ngo\n")
        self.assertEqual(r.messages(), [], r.stderr)
        server.stop()
        self.servers.remove(server)
        self.assertTrue(os.path.exists(state))
        server = self.start("--state-file", state)
        r = tsql(server, "SELECT A FROM KALICIDB.dbo.T\nSELECT language FROM master..syslogins WHERE name = 'KALICI'\ngo\n")
        self.assertEqual((r.messages(), r.rows()), ([], [["A"], ["İşçi"], ["language"], ["Türkçe"]]), r.stderr)
        r = tsql(server, "SELECT SUSER_SNAME() AS w\ngo\n", user="KALICI", password="Kalici#1")
        self.assertEqual(r.rows(), [["w"], ["KALICI"]], r.stderr)

    def test_injected_failure_rejects_only_the_batch_that_contains_the_text(self):
        server = self.start("--fail-batch", "kaput", "50001", "Yapay hata")
        r = tsql(server, "CREATE DATABASE YAPAY\nSELECT 'KAPUT' AS x\ngo\nSELECT count(*) AS n FROM sysdatabases "
                         "WHERE name = 'YAPAY'\ngo\n")
        self.assertEqual(r.messages(), [(50001, 16, "Yapay hata")])
        self.assertEqual(r.rows(), [["n"], ["0"]])
        batches = [e for e in server.transcript() if e["event"] == "batch"]
        self.assertTrue(batches[0]["injected"])
        self.assertEqual(batches[0]["outcome"]["errors"][0]["number"], 50001)
        self.assertIn("SELECT 'KAPUT' AS x", batches[0]["text"])
        self.assertFalse(batches[1]["injected"])
        self.assertEqual(batches[1]["outcome"], {"ok": True, "errors": [], "rowcounts": [1]})

    def test_connection_drops_after_the_given_number_of_requests(self):
        server = self.start("--drop-after", "2")
        r = tsql(server, "SELECT 1 AS a\ngo\nSELECT 2 AS b\ngo\nSELECT 3 AS c\ngo\n")
        self.assertEqual(r.rows(), [["a"], ["1"], ["b"], ["2"]])
        events = [e["event"] for e in server.transcript()]
        self.assertEqual(events.count("batch"), 2)
        self.assertIn("dropped", events)

    def test_connection_drops_at_the_request_that_contains_the_text(self):
        server = self.start("--drop-at", "kesik_db")
        r = tsql(server, "SELECT 1 AS a\ngo\nCREATE DATABASE KESIK_DB\ngo\nSELECT 3 AS c\ngo\n")
        self.assertEqual(r.rows(), [["a"], ["1"]])
        r = tsql(server, "SELECT count(*) AS n FROM master..sysdatabases WHERE name = 'KESIK' + '_DB'\ngo\n")
        self.assertEqual(r.rows(), [["n"], ["0"]])        # unanswered, and not run
        self.assertIn("kesik_db", [e.get("at") for e in server.transcript() if e["event"] == "dropped"])


class LoginTimeoutTest(OwnServerCase):
    def test_a_connection_that_does_not_log_in_in_time_is_closed_and_a_session_is_not(self):
        server = self.start("--login-timeout", "2")
        silent = socket.create_connection((server.host, server.port), timeout=sqlclients.CLIENT_TIMEOUT)
        stalled = tdsclient.Client(server.host, server.port, timeout=sqlclients.CLIENT_TIMEOUT)
        stalled.prelogin(tdsclient.ENCRYPT_NOT_SUP)         # then no LOGIN7
        logged_in = tdsclient.Client(server.host, server.port, timeout=sqlclients.CLIENT_TIMEOUT)
        logged_in.prelogin(tdsclient.ENCRYPT_NOT_SUP)
        self.assertEqual(logged_in.login(server.user, server.password).errors, [])
        for c in (silent, stalled.sock, logged_in.sock):
            self.addCleanup(c.close)
        self.assertEqual(silent.recv(1), b"")                # closed by the server, not by our timeout
        self.assertEqual(stalled.sock.recv(1), b"")
        reply = logged_in.batch("PRINT 'still here'")
        self.assertEqual((reply.errors, reply.infos), ([], [(0, "still here")]))
        self.assertEqual(sum(e["event"] == "login_timeout" for e in server.transcript()), 2)


class CollationSettingTest(OwnServerCase):
    def test_a_latin1_server_stores_turkish_letters_by_best_fit(self):
        server = self.start("--collation", "Latin1_General_CI_AS")
        r = tsql(server, "CREATE DATABASE BESTFIT\ngo\nUSE BESTFIT\nCREATE TABLE T (V varchar(20) NULL)\n"
                         "INSERT INTO T VALUES (N'İŞĞÜÇÖ ışğüçö'), (N'Ωmega')\nSELECT V FROM T\n"
                         "SELECT CONVERT(varchar(10), N'Şeker') AS c\ngo\n")
        self.assertEqual(r.messages(), [], r.stderr)
        self.assertEqual(r.rows(), [["V"], ["ISGÜÇÖ isgüçö"], ["?mega"], ["c"], ["Seker"]])

    def test_latin1_orders_accented_letters_beside_their_base_letter(self):
        server = self.start("--collation", "Latin1_General_CI_AS")
        r = tsql(server, "CREATE DATABASE SIRA\ngo\nUSE SIRA\nCREATE TABLE T (V nvarchar(20) NULL)\n"
                         "INSERT INTO T VALUES (N'Zed'), (N'Çam'), (N'Cat'), (N'dog'), (N'Irma'), (N'ivy')\n"
                         "SELECT V FROM T ORDER BY V\ngo\n")
        self.assertEqual(r.rows(), [["V"], ["Çam"], ["Cat"], ["dog"], ["Irma"], ["ivy"], ["Zed"]])


def udp_port_free(port):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        s.bind(("127.0.0.1", port))
        return True
    except OSError:
        return False
    finally:
        s.close()


class BrowserTest(OwnServerCase):
    """The stand-in as SQL Server Browser for a named instance (SSRP, [MC-SQLR])."""

    def ask(self, browser_port, request):
        """The answers to one request. A second socket then asks for all instances, which is always answered:
        when that answer is back the Browser has dealt with the first request (it answers one at a time, and
        loopback keeps the order), so any answer to it is already waiting."""
        asker, marker = (socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(2))
        self.addCleanup(asker.close)
        self.addCleanup(marker.close)
        asker.sendto(request, ("127.0.0.1", browser_port))
        marker.settimeout(sqlclients.CLIENT_TIMEOUT)
        marker.sendto(b"\x03", ("127.0.0.1", browser_port))
        marker.recv(65535)
        asker.setblocking(False)
        answers = []
        while True:
            try:
                answers.append(asker.recv(65535))
            except BlockingIOError:
                return answers

    def test_the_instance_is_answered_with_its_tcp_port_and_others_get_nothing(self):
        ready = os.path.join(self.folder, "browser-port")
        server = self.start("--instance", "SQLEXPRESS", "--browser-port", "0", "--browser-ready-file", ready)
        with open(ready, encoding="ascii") as f:
            udp = int(f.read())
        text = "ServerName;KURDB-STANDIN;InstanceName;SQLEXPRESS;IsClustered;No;Version;16.0.1000.6;tcp;%d;;" % \
            server.port
        expected = b"\x05" + struct.pack("<H", len(text)) + text.encode("ascii")
        for request in (b"\x04SQLEXPRESS\x00", b"\x04sqlexpress\x00", b"\x02", b"\x03"):
            with self.subTest(request=request):
                self.assertEqual(self.ask(udp, request), [expected])
        for request in (b"\x04NOSUCH\x00", b"\x0f\x01SQLEXPRESS\x00", b"\x09"):
            with self.subTest(request=request):
                self.assertEqual(self.ask(udp, request), [])
        r = tsql(server, "SELECT @@SERVICENAME AS s, CONVERT(varchar(40), SERVERPROPERTY('InstanceName')) AS i, "
                         "@@SERVERNAME AS n\ngo\n")
        self.assertEqual(r.rows(), [["s", "i", "n"], ["SQLEXPRESS", "SQLEXPRESS", "KURDB-STANDIN\\SQLEXPRESS"]])

    def test_freetds_finds_the_instance_through_the_browser(self):
        if not udp_port_free(1434):
            self.skipTest("UDP port 1434 of 127.0.0.1 is taken: FreeTDS asks only there")
        server = self.start("--instance", "KURDBTEST")
        conf = os.path.join(self.folder, "freetds.conf")
        with open(conf, "w", encoding="ascii") as f:
            f.write("[byinstance]\n\thost = 127.0.0.1\n\tinstance = KURDBTEST\n\ttds version = 7.4\n"
                    "\tencryption = require\n[unknown]\n\thost = 127.0.0.1\n\tinstance = NOSUCH\n"
                    "\ttds version = 7.4\n")
        env = dict(os.environ, FREETDSCONF=conf, LC_ALL="C.UTF-8")
        for name, works in (("byinstance", True), ("unknown", False)):
            with self.subTest(server=name):
                proc = subprocess.run(["tsql", "-S", name, "-U", "sa", "-P", PASSWORD, "-o", "q"],
                                      input=b"SELECT @@SERVICENAME AS s\ngo\n", capture_output=True, env=env,
                                      timeout=sqlclients.CLIENT_TIMEOUT)
                out = proc.stdout.decode("utf-8", "replace")
                self.assertEqual(proc.returncode == 0 and "KURDBTEST" in out, works, out + proc.stderr.decode())
        r = sqlclients.isql(_Target(server, "127.0.0.1\\KURDBTEST"), ["SELECT @@SERVICENAME"])
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertIn("KURDBTEST", r.stdout)


class _Target:
    """A server address for sqlclients.isql that names an instance instead of a port."""

    def __init__(self, server, host):
        self.host, self.port, self.user, self.password = host, 0, server.user, server.password


class EncryptionSettingTest(OwnServerCase):
    def raw(self, server, encryption):
        c = tdsclient.Client(server.host, server.port)
        self.addCleanup(c.close)
        return c, c.prelogin(encryption)

    def test_encryption_off_answers_not_supported_and_a_client_that_requires_it_cannot_log_in(self):
        server = self.start("--encryption", "off")
        for asked in (tdsclient.ENCRYPT_OFF, tdsclient.ENCRYPT_ON):
            _, answer = self.raw(server, asked)
            self.assertEqual(answer, tdsclient.ENCRYPT_NOT_SUP)
        r = tsql(server, "SELECT 1 AS a\ngo\n", encryption="request")
        self.assertEqual(r.rows(), [["a"], ["1"]], r.stderr)
        r = tsql(server, "SELECT 1 AS a\ngo\n", encryption="require")
        self.assertNotEqual(r.returncode, 0)
        self.assertEqual(r.rows(), [])
        logins = [e for e in server.transcript() if e["event"] == "login"]
        self.assertEqual([e["encryption"] for e in logins], ["plain"])

    def test_force_encrypts_everything_and_refuses_a_client_without_encryption(self):
        server = self.start("--encryption", "force")
        c, answer = self.raw(server, tdsclient.ENCRYPT_OFF)
        self.assertEqual(answer, tdsclient.ENCRYPT_REQ)
        c.start_tls()
        self.assertEqual(c.login(server.user, server.password).errors, [])
        self.assertEqual(c.batch("PRINT 'x'").infos, [(0, "x")])
        r = tsql(server, "SELECT 1 AS a\ngo\n", encryption="request")
        self.assertEqual(r.rows(), [["a"], ["1"]], r.stderr)
        r = tsql(server, "SELECT 1 AS a\ngo\n", encryption="off")
        self.assertNotEqual(r.returncode, 0)
        logins = [e for e in server.transcript() if e["event"] == "login"]
        self.assertEqual([e["encryption"] for e in logins], ["full", "full"])

    def test_a_given_certificate_is_the_one_served(self):
        cert, key = os.path.join(self.folder, "c.pem"), os.path.join(self.folder, "k.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                        "/CN=kurdb-test-cert", "-keyout", key, "-out", cert], check=True, capture_output=True,
                       timeout=sqlclients.CLIENT_TIMEOUT)
        server = self.start("--tls-cert", cert, "--tls-key", key)
        c, _ = self.raw(server, tdsclient.ENCRYPT_ON)
        tls = c.start_tls()
        with open(cert, encoding="ascii") as f:
            self.assertEqual(tls.getpeercert(binary_form=True), ssl.PEM_cert_to_DER_cert(f.read()))


if __name__ == "__main__":
    sqlclients.main()
