"""How statements fail: @@ERROR and @@ROWCOUNT after an error, the error's number, state and text."""

import os
import struct
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sqlclients  # noqa: E402
import tdsclient  # noqa: E402
from sqlclients import tedious, tsql  # noqa: E402


class ErrorTest(sqlclients.DatabaseCase):
    PREFIX = "KERR"
    SETUP = "CREATE TABLE T (A int NOT NULL PRIMARY KEY, B varchar(3) NULL)\nINSERT INTO T VALUES (1, 'a'), (2, 'b')"


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



class ErrorDetailTest(ErrorTest):
    """The state tells where in the engine an error came from; the texts name what SQL Server names."""

    def test_errors_carry_sql_servers_states(self):
        r = self.in_db("INSERT INTO T (A) VALUES (NULL)\ngo\nCREATE TABLE T (X int NULL)\ngo\n"
                       "EXEC dbo.KERR_NO_SUCH_PROC\ngo\nDROP TABLE KERR_NO_SUCH_TABLE\ngo\n"
                       "DECLARE @i int;\nSET @i = -2147483648;\nSELECT ABS(@i);\ngo\nSELECT 1/0\ngo\n"
                       "CREATE DATABASE %s\ngo\nSELECT @undeclared" % self.db)
        self.assertEqual(r.states(), [(515, 2), (2714, 6), (2812, 62), (3701, 5), (8115, 2), (8134, 1), (1801, 3),
                                      (137, 2)], r.stderr)
        out = tedious(self.server, ["USE %s\nINSERT INTO T (A) VALUES (NULL)" % self.db])
        self.assertEqual([(e["number"], e["state"]) for e in out["batches"][0]["errors"]], [(515, 2)])

    def test_truncation_names_the_table_with_its_database_and_schema(self):
        r = self.in_db("INSERT INTO T VALUES (7, 'abcdef')")
        self.assertEqual(r.messages(), [(2628, 16, "String or binary data would be truncated in table '%s.dbo.T', "
                                                   "column 'B'. Truncated value: 'abc'." % self.db)])

    def test_overflow_is_8115_not_a_fault(self):
        overflow = "Arithmetic overflow error converting expression to data type %s."
        for expr, typ in (("2147483647 + 1", "int"), ("CAST(9223372036854775807 AS bigint) + 1", "bigint"),
                          ("CAST(1e300 AS float) * CAST(1e300 AS float)", "float")):
            with self.subTest(expr=expr):
                r = tsql(self.server, "SELECT %s AS v\nSELECT 1 AS after_it\ngo\n" % expr)
                self.assertEqual(r.messages(), [(8115, 16, overflow % typ)])
                self.assertEqual(r.rows()[-2:], [["after_it"], ["1"]])


class ProtocolErrorTest(unittest.TestCase):
    """An RPC whose bytes break the protocol gets SQL Server's 80xx error; the connection goes on (Errors
    8000 - 8999)."""

    def test_malformed_rpcs_are_answered_and_the_connection_stays(self):
        server = sqlclients.Server()
        c = tdsclient.Client(server.host, server.port)
        self.addCleanup(c.close)
        c.prelogin(tdsclient.ENCRYPT_NOT_SUP)
        self.assertEqual(c.login(server.user, server.password).errors, [])
        name = "sp_executesql".encode("utf-16-le")
        stmt = struct.pack("<B", 5) + "@stmt".encode("utf-16-le")
        cases = {
            8004: struct.pack("<H", 2) + b"\x00\xd8\x41\x00" + b"\x00\x00",          # a lone surrogate in the name
            8005: struct.pack("<H", len(name) // 2) + name + b"\x00\x00" + b"\x09\x00",  # a name cut short
            8009: struct.pack("<H", len(name) // 2) + name + b"\x00\x00" + stmt + b"\x00\x99",
            8016: struct.pack("<H", len(name) // 2) + name + b"\x00\x00" + stmt + b"\x00\x26\x04\x04\x01\x00",
        }
        for number, body in cases.items():
            with self.subTest(error=number):
                reply = c.rpc(body)
                self.assertEqual(reply.numbers(), [number])
                self.assertEqual(reply.errors[0][1], 16)
                self.assertTrue(reply.errors[0][2].startswith("The incoming tabular data stream (TDS) remote "
                                                              "procedure call (RPC) protocol stream is incorrect."))
                alive = c.batch("PRINT 'alive'")
                self.assertEqual((alive.errors, alive.infos), ([], [(0, "alive")]))


if __name__ == "__main__":
    sqlclients.main()
