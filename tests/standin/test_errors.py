"""How statements fail: @@ERROR and @@ROWCOUNT after an error, the error's number, state and text."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sqlclients  # noqa: E402
from sqlclients import tedious, tsql  # noqa: E402


class ErrorTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        sqlclients.need("tsql")
        cls.server = sqlclients.Server()
        cls.db = sqlclients.unique_name("KERR")
        r = tsql(cls.server, "CREATE DATABASE {d}\ngo\nUSE {d}\nCREATE TABLE T (A int NOT NULL PRIMARY KEY, "
                             "B varchar(3) NULL)\nINSERT INTO T VALUES (1, 'a'), (2, 'b')\ngo\n".format(d=cls.db))
        assert r.messages() == [], r.stderr

    @classmethod
    def tearDownClass(cls):
        tsql(cls.server, "DROP DATABASE %s\ngo\n" % cls.db)

    def in_db(self, script):
        return tsql(self.server, "USE %s\ngo\n%s\ngo\n" % (self.db, script))


class ErrorVariableTest(ErrorTest):
    """@@ERROR is the number of the last statement's error, read by the next one; a failed statement leaves
    @@ROWCOUNT 0 (pages @@ERROR and @@ROWCOUNT)."""

    def test_the_statement_after_a_failure_sees_its_number(self):
        r = self.in_db("UPDATE T SET B = B\nINSERT INTO T VALUES (1, 'x')\n"
                       "IF @@ERROR <> 0 SELECT 'caught' AS branch ELSE SELECT 'missed' AS branch\n"
                       "SELECT 1/0 AS q\nSELECT @@ERROR AS e\nUPDATE T SET B = B\nINSERT INTO T VALUES (2, 'y')\n"
                       "SELECT @@ROWCOUNT AS r\nSELECT @@ERROR AS e, @@ROWCOUNT AS r")
        self.assertEqual(r.numbers(), [2627, 8134, 2627], r.stderr)
        rows = [row for row in r.rows() if row != ["q"]]
        self.assertEqual(rows, [["branch"], ["caught"], ["e"], ["8134"], ["r"], ["0"], ["e", "r"], ["0", "1"]])

    def test_assignments_count_one_and_options_count_zero(self):
        r = self.in_db("DECLARE @v int\nUPDATE T SET B = B\nSET @v = 5\nSELECT @@ROWCOUNT AS assigned\n"
                       "UPDATE T SET B = B\nSET NOCOUNT OFF\nSELECT @@ROWCOUNT AS option_set\n"
                       "EXEC sp_addlogin 'sa', 'x'\nSELECT @@ERROR AS from_procedure")
        self.assertEqual(r.numbers(), [15025], r.stderr)
        self.assertEqual(r.rows(), [["assigned"], ["1"], ["option_set"], ["0"], ["from_procedure"], ["15025"]])

    def test_tedious_reads_the_same(self):
        out = tedious(self.server, ["USE %s\nINSERT INTO T VALUES (1, 'x')\nSELECT @@ERROR AS e, @@ROWCOUNT AS r"
                                    % self.db])
        batch, = out["batches"]
        self.assertEqual([e["number"] for e in batch["errors"]], [2627])
        self.assertEqual(batch["rows"], [[2627, 0]])


if __name__ == "__main__":
    sqlclients.main()
