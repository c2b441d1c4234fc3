"""Connections work side by side: a long batch, or one long query, on one connection does not hold up a
login and statements on others. The long work is long by its amount of work, and the checks are on order,
not on time: the batch counts, in its last statement, the rows other connections inserted once they had
seen it start; the query has not answered yet when another client has logged in and had its answer.
"""

import os
import select
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sqlclients  # noqa: E402
import tdsclient  # noqa: E402
from sqlclients import tsql  # noqa: E402

STATEMENTS = 20000   # a batch of about 1.6 MB that keeps the server busy for a few seconds
POLLS = 100000       # bound of the wait for the long batch to start running


class SideBySideTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        sqlclients.need("tsql")
        cls.server = sqlclients.Server()

    def connect(self, database):
        c = tdsclient.Client(self.server.host, self.server.port)
        self.addCleanup(c.close)
        c.prelogin(tdsclient.ENCRYPT_NOT_SUP)
        self.assertEqual(c.login(self.server.user, self.server.password, database).errors, [])
        return c

    def wait_for_start(self, watcher, probe):
        """Sends probe until it prints 'started', the sign that the long work has begun."""
        for _ in range(POLLS):
            reply = watcher.batch(probe)
            self.assertEqual(reply.errors, [])
            if (0, "started") in reply.infos:
                return
        self.fail("the long work did not start")

    def test_a_login_and_statements_run_while_a_long_batch_is_at_work(self):
        db = sqlclients.unique_name("KYANYANA")
        r = tsql(self.server, "CREATE DATABASE {d}\ngo\nCREATE TABLE {d}.dbo.T (A int NULL)\ngo\n".format(d=db))
        self.assertEqual(r.messages(), [], r.stderr)
        self.addCleanup(tsql, self.server, "DROP DATABASE %s\ngo\n" % db)
        long_one, watcher = self.connect(db), self.connect(db)
        # The long batch marks its start with a row 0, works, and at its end counts the rows that other
        # connections added meanwhile. Under one lock for whole batches they could add none.
        text = ("SET NOCOUNT ON\nDECLARE @n int\nINSERT INTO T VALUES (0)\n" +
                "SELECT @n = count(*) FROM T WHERE A > 0\n" * STATEMENTS +
                "SELECT @n = count(*) FROM T WHERE A > 0\nPRINT 'added meanwhile: ' + CONVERT(varchar(10), @n)\n")
        long_one.send(tdsclient.SQL_BATCH, tdsclient.ALL_HEADERS + text.encode("utf-16-le"))
        self.wait_for_start(watcher, "IF EXISTS (SELECT * FROM T WHERE A = 0) BEGIN INSERT INTO T VALUES (1) "
                                     "PRINT 'started' END")
        # a new connection: its login and its insert also come before the long batch ends (made in this
        # process: starting a tsql process can take longer than the batch on a loaded machine)
        newcomer = self.connect(db)
        self.assertEqual(newcomer.batch("INSERT INTO T VALUES (2)").errors, [])
        reply = long_one.read_reply()
        self.assertEqual(reply.errors, [])
        self.assertEqual(reply.infos, [(0, "added meanwhile: 2")])

    def test_a_login_and_a_query_run_while_one_long_query_reads(self):
        db = sqlclients.unique_name("KUZUN")
        r = tsql(self.server, "CREATE DATABASE {d}\ngo\nUSE {d}\nCREATE TABLE S (A int NULL)\n"
                              "CREATE TABLE N (A int NULL)\nINSERT INTO N VALUES (1), (2), (3), (4), (5), (6), (7), (8), "
                              "(9), (10)\nINSERT INTO N SELECT a.A FROM N a CROSS JOIN N b\n"
                              "INSERT INTO N SELECT a.A FROM N a CROSS JOIN (SELECT TOP 9 A FROM N) b\ngo\n".format(d=db))
        self.assertEqual(r.messages(), [], r.stderr)
        self.addCleanup(tsql, self.server, "DROP DATABASE %s\ngo\n" % db)
        long_one, watcher = self.connect(db), self.connect(db)
        # one statement reading 1100 x 1100 rows, marked as started by the row it inserts first
        text = "INSERT INTO S VALUES (0)\nSELECT count(*) AS n FROM N a CROSS JOIN N b"
        long_one.send(tdsclient.SQL_BATCH, tdsclient.ALL_HEADERS + text.encode("utf-16-le"))
        self.wait_for_start(watcher, "IF EXISTS (SELECT * FROM S) PRINT 'started'")
        r = tsql(self.server, "SELECT count(*) AS n FROM %s.dbo.S\ngo\n" % db)
        self.assertEqual((r.messages(), r.rows()), ([], [["n"], ["1"]]), r.stderr)
        readable, _, _ = select.select([long_one.sock], [], [], 0)
        self.assertEqual(readable, [], "the long query answered before the other client was served")
        self.assertEqual(long_one.read_reply().errors, [])


if __name__ == "__main__":
    sqlclients.main()
