"""Sessions of unixODBC isql over the FreeTDS driver; isql prepares every line (sp_prepexec)."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sqlclients  # noqa: E402
from sqlclients import isql, tsql  # noqa: E402

TEXT = "ĞÜŞİÖÇ ığüşiöç"


def output_lines(result):
    return [line for line in result.stdout.splitlines() if line.strip()]


class IsqlSessionTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        sqlclients.need("isql")
        sqlclients.need("tsql")
        cls.server = sqlclients.Server()
        cls.db = sqlclients.unique_name("KISQL")
        r = tsql(cls.server, "CREATE DATABASE %s\ngo\n" % cls.db)
        assert r.messages() == [], r.stderr

    @classmethod
    def tearDownClass(cls):
        tsql(cls.server, "use master\ngo\nDROP DATABASE %s\ngo\n" % cls.db)

    def test_login_with_the_right_password_runs_a_statement(self):
        r = isql(self.server, ["SELECT SUSER_SNAME() AS who"])
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertEqual(output_lines(r), ["who", self.server.user])

    def test_wrong_password_is_refused(self):
        r = isql(self.server, ["SELECT 1"], password=self.server.password + "x")
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("Login failed for user '%s'." % self.server.user, r.stdout + r.stderr)

    def test_a_line_of_several_statements_runs_in_order(self):
        r = isql(self.server, [
            "CREATE TABLE %s.dbo.SATIR (NO int NOT NULL, AD varchar(10) NULL)" % self.db,
            "INSERT INTO %s.dbo.SATIR VALUES (1, 'bir'); INSERT INTO %s.dbo.SATIR VALUES (2, 'iki'); "
            "SELECT count(*) AS n FROM %s.dbo.SATIR" % (self.db, self.db, self.db),
            "use %s; SELECT AD FROM SATIR WHERE NO = 2" % self.db])
        lines = output_lines(r)
        self.assertEqual(lines[:2], ["n", "2"], r.stdout)
        self.assertIn("[01000][FreeTDS][SQL Server]Changed database context to '%s'." % self.db, lines)
        self.assertEqual(lines[-2:], ["AD", "iki"])

    def test_errors_reach_the_client_with_their_text(self):
        r = isql(self.server, ["SELECT * FROM dbo.YOKTABLO", "SELECT 1 AS bir FROM", "SELECT 2 AS iki"])
        lines = output_lines(r)
        self.assertIn("[S0002][FreeTDS][SQL Server]Invalid object name 'dbo.YOKTABLO'.", lines)
        self.assertIn("[37000][FreeTDS][SQL Server]Incorrect syntax near the keyword 'FROM'.", lines)
        self.assertEqual(lines[-2:], ["iki", "2"])

    def test_turkish_varchar_round_trip(self):
        table = "%s.dbo.METIN" % self.db
        r = isql(self.server, [
            "CREATE TABLE %s (A varchar(30) NULL)" % table,
            "INSERT INTO %s VALUES (N'%s')" % (table, TEXT),
            "SELECT A, CAST(A AS varbinary(30)) AS H FROM %s" % table])
        lines = output_lines(r)
        self.assertEqual(lines[-2:], ["A\tH", "%s\t%s" % (TEXT, TEXT.encode("cp1254").hex())], r.stdout)


if __name__ == "__main__":
    sqlclients.main()
