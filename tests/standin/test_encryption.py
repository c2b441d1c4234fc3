"""Encryption as SQL Server negotiates it: the PRELOGIN answer to each client setting, TLS inside PRELOGIN
packets, the login alone encrypted when the client asked for OFF, everything when it required encryption,
plain text when it does not support encryption; through FreeTDS tsql and isql, Node's tedious and a raw
client.
"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sqlclients  # noqa: E402
import tdsclient  # noqa: E402
from sqlclients import isql, quote, tedious, tsql  # noqa: E402


class PreloginTest(unittest.TestCase):
    """What a SQL Server with a certificate and Force Encryption off answers (MS-TDS 2.2.6.5)."""

    @classmethod
    def setUpClass(cls):
        cls.server = sqlclients.Server()

    def connect(self, encryption):
        c = tdsclient.Client(self.server.host, self.server.port)
        self.addCleanup(c.close)
        return c, c.prelogin(encryption)

    def login_and_ask(self, c):
        r = c.login(self.server.user, self.server.password)
        self.assertEqual(r.errors, [])
        return r

    def test_off_is_answered_off_the_login_travels_in_tls_and_the_rest_in_plain_text(self):
        c, answer = self.connect(tdsclient.ENCRYPT_OFF)
        self.assertEqual(answer, tdsclient.ENCRYPT_OFF)
        tls = c.start_tls(login_only=True)
        self.assertEqual(tls.version(), "TLSv1.2")
        self.login_and_ask(c)
        self.assertEqual(c.batch("PRINT 'plain'").infos, [(0, "plain")])

    def test_on_is_answered_on_and_everything_travels_in_tls(self):
        c, answer = self.connect(tdsclient.ENCRYPT_ON)
        self.assertEqual(answer, tdsclient.ENCRYPT_ON)
        tls = c.start_tls()
        self.assertEqual(tls.version(), "TLSv1.2")
        self.login_and_ask(c)
        self.assertEqual(c.batch("PRINT 'in tls'").infos, [(0, "in tls")])

    def test_not_supported_is_answered_not_supported_and_all_is_plain(self):
        c, answer = self.connect(tdsclient.ENCRYPT_NOT_SUP)
        self.assertEqual(answer, tdsclient.ENCRYPT_NOT_SUP)
        self.login_and_ask(c)
        self.assertEqual(c.batch("PRINT 'plain'").infos, [(0, "plain")])


WIZARD_LIKE = ("CREATE DATABASE {db}\ngo\nUSE {db}\ngo\n"
               "CREATE TABLE FIRMA (ID int IDENTITY(1, 1) NOT NULL, ADI varchar(40) NULL)\ngo\n"
               "INSERT INTO FIRMA (ADI) VALUES ('Şirket İçin Ğüç')\ngo\n"
               "SELECT count(*) AS n FROM master..syslogins WHERE name = {me}\ngo\n"
               "SELECT ADI FROM FIRMA\ngo\nUSE master\ngo\nDROP DATABASE {db}\ngo\n")


class FreeTdsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        sqlclients.need("tsql")
        cls.server = sqlclients.Server()

    def test_tsql_logs_in_and_runs_statements_with_each_encryption_setting(self):
        for setting in ("require", "request", "off"):
            with self.subTest(encryption=setting):
                db = sqlclients.unique_name("KTLS")
                r = tsql(self.server, WIZARD_LIKE.format(db=db, me=quote(self.server.user)), encryption=setting)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(r.numbers(), [])
                self.assertEqual(r.rows(), [["n"], ["1"], ["ADI"], ["Şirket İçin Ğüç"]])

    def test_isql_logs_in_and_runs_statements_with_each_encryption_setting(self):
        sqlclients.need("isql")
        for setting in ("require", "request", "off"):
            with self.subTest(encryption=setting):
                r = isql(self.server, ["SELECT SUSER_SNAME(), N'İğdır'"], encryption=setting)
                self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
                self.assertIn("%s\tİğdır" % self.server.user, r.stdout)


class TediousTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = sqlclients.Server()

    def test_encrypt_true_and_false_log_in_and_run_batches(self):
        for encrypt in (True, False):
            with self.subTest(encrypt=encrypt):
                out = tedious(self.server, ["SELECT SUSER_SNAME() AS who, N'Çağrı' AS w", "SELECT 1/0"],
                              encrypt=encrypt)
                self.assertEqual(out["login"], {"ok": True})
                self.assertEqual(out["batches"][0], {"rows": [[self.server.user, "Çağrı"]], "errors": []})
                self.assertEqual([e["number"] for e in out["batches"][1]["errors"]], [8134])


class TediousAnswersTest(unittest.TestCase):
    """The answers a Node client gets: what a login without server roles sees, SET ROWCOUNT, a refusal."""

    @classmethod
    def setUpClass(cls):
        cls.server = sqlclients.Server()
        cls.low, cls.other = sqlclients.unique_name("KTEDLOW"), sqlclients.unique_name("KTEDOTHER")
        r = tsql(cls.server, "EXEC sp_addlogin %s, 'Tedious#2024'\ngo\nEXEC sp_addlogin %s, 'Tedious#2024'\ngo\n"
                 % (quote(cls.low), quote(cls.other)))
        assert r.messages() == [], r.stderr

    @classmethod
    def tearDownClass(cls):
        tsql(cls.server, "EXEC sp_droplogin %s\ngo\nEXEC sp_droplogin %s\ngo\n" % (quote(cls.low), quote(cls.other)))

    def test_a_login_without_server_roles_sees_itself_and_sa(self):
        out = tedious(self.server, [
            "SELECT name FROM sys.server_principals WHERE type = 'S' ORDER BY principal_id",
            "SELECT count(*) AS n FROM master..syslogins WHERE name = '%s'" % self.other,
            "SELECT IS_SRVROLEMEMBER('dbcreator', '%s') AS m" % self.other],
            user=self.low, password="Tedious#2024")
        self.assertEqual(out["login"], {"ok": True})
        self.assertEqual([b["rows"] for b in out["batches"]], [[["sa"], [self.low]], [[0]], [[None]]])

    def test_rowcount_and_a_refusal(self):
        out = tedious(self.server, ["SET ROWCOUNT 2 SELECT name FROM master..sysdatabases ORDER BY dbid",
                                    "SET ROWCOUNT 0 EXEC sp_addlogin 'public', 'Tedious#2024'"])
        self.assertEqual(out["batches"][0]["rows"], [["master"], ["tempdb"]])
        self.assertEqual([(e["number"], e["message"]) for e in out["batches"][1]["errors"]],
                         [(15025, "The server principal 'public' already exists.")])


if __name__ == "__main__":
    sqlclients.main()
