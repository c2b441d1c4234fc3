"""Data types: declarations SQL Server refuses, and the types beyond the wizard's own (uniqueidentifier,
time, datetimeoffset, rowversion) as clients read them."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sqlclients  # noqa: E402
from sqlclients import isql, tedious  # noqa: E402


class TypeTest(sqlclients.DatabaseCase):
    PREFIX = "KTYPE"


class TypeRefusalTest(TypeTest):
    """Lengths, precisions and scales a type cannot have reject the batch (decimal and numeric, float, int,
    time; Errors 1000-1999, 2000-2999)."""

    def test_impossible_declarations_are_refused_and_nothing_is_made(self):
        cases = [
            ("A decimal(39, 2) NULL", 2750, "Column or parameter #2: Specified column precision 39 is greater than "
                                            "the maximum precision of 38."),
            ("A decimal(5, 6) NULL", 2751, "Column or parameter #2: Specified column scale 6 is greater than the "
                                           "specified precision of 5."),
            ("A float(54) NULL", 2750, "Column or parameter #2: Specified column precision 54 is greater than the "
                                       "maximum precision of 53."),
            ("A int(4) NULL", 2716, "Column, parameter, or variable #2: Cannot specify a column width on data "
                                    "type int."),
            ("A time(8) NULL", 1002, "Line 1: Specified scale 8 is invalid."),
            ("A nosuchtype NULL", 2715, "Column, parameter, or variable #2: Cannot find data type nosuchtype."),
            ("A varchar(-1) NULL", 102, "Incorrect syntax near '-'."),
        ]
        for column, number, text in cases:
            with self.subTest(column=column):
                r = self.in_db("CREATE TABLE BAD (K int NULL, %s)\nSELECT 1 AS ran" % column)
                self.assertEqual([(n, t) for n, _, t in r.messages()], [(number, text)])
                self.assertEqual(r.rows(), [])
        r = self.in_db("SELECT count(*) AS n FROM sys.tables WHERE name = 'BAD'")
        self.assertEqual(r.rows(), [["n"], ["0"]])


class NewTypeTest(TypeTest):
    """uniqueidentifier, time(n), datetimeoffset(n) and rowversion, stored and sent with their own TDS types
    (uniqueidentifier, time, datetimeoffset, rowversion pages)."""

    SETUP = ("CREATE TABLE YENI (N int NOT NULL, G uniqueidentifier NULL, T time(3) NULL, O datetimeoffset(2) NULL, "
             "RV rowversion)\nINSERT INTO YENI (N, G, T, O) VALUES (1, '{6f9619ff-8b86-d011-b42d-00c04fc964ff}', "
             "'13:45:30.1234567', '2024-05-01 10:00:00.129 +03:00')\nINSERT INTO YENI (N) VALUES (2)")

    def test_values_convert_as_sql_server_shows_them(self):
        r = self.in_db("SELECT G, CONVERT(varchar(20), T) AS T, CONVERT(varchar(40), O) AS O, "
                       "CONVERT(varchar(30), CAST(O AS datetime2(0)), 120) AS L FROM YENI WHERE N = 1")
        self.assertEqual(r.messages(), [], r.stderr)
        self.assertEqual(r.rows(), [["G", "T", "O", "L"], ["6F9619FF-8B86-D011-B42D-00C04FC964FF", "13:45:30.123",
                                                           "2024-05-01 10:00:00.13 +03:00", "2024-05-01 10:00:00"]])
        r = self.in_db("INSERT INTO YENI (N, G) VALUES (3, 'not a guid')\nSELECT 1 AS ran")
        self.assertEqual(r.numbers(), [8169])
        self.assertEqual(r.rows(), [])

    def test_rowversion_is_given_by_the_server_and_changes_with_each_update(self):
        r = self.in_db("SELECT CAST(RV AS bigint) AS v FROM YENI WHERE N = 2\nUPDATE YENI SET T = '08:00' WHERE N = 2\n"
                       "SELECT CAST(RV AS bigint) AS v FROM YENI WHERE N = 2\n"
                       "SELECT count(DISTINCT RV) AS d, count(*) AS n FROM YENI")
        self.assertEqual(r.messages(), [], r.stderr)
        rows = r.rows()
        self.assertLess(int(rows[1][0]), int(rows[3][0]))
        self.assertEqual(rows[4:], [["d", "n"], ["2", "2"]])
        r = self.in_db("INSERT INTO YENI (N, RV) VALUES (4, 0x01)\ngo\nUPDATE YENI SET RV = 0x01\ngo\n"
                       "ALTER TABLE YENI ADD RV2 timestamp")
        self.assertEqual(r.numbers(), [273, 272, 2738])

    def test_clients_read_the_tds_types(self):
        sqlclients.need("isql")
        r = isql(self.server, ["SELECT G, T, O FROM YENI WHERE N = 1"], extra_dsn="Database = %s\n" % self.db)
        lines = [line for line in r.stdout.splitlines() if line.strip()]
        self.assertEqual(lines[-1], "6F9619FF-8B86-D011-B42D-00C04FC964FF\t13:45:30.123\t2024-05-01 10:00:00.13 +03:00",
                         r.stdout + r.stderr)
        out = tedious(self.server, ["USE %s\nSELECT G, T, O, RV FROM YENI WHERE N = 1" % self.db])
        batch, = out["batches"]
        self.assertEqual(batch["errors"], [])
        (guid, time, offset, version), = batch["rows"]
        self.assertEqual(guid.upper(), "6F9619FF-8B86-D011-B42D-00C04FC964FF")
        # tedious gives time as a date on 1970-01-01 UTC and datetimeoffset as the UTC instant
        self.assertEqual(time, "1970-01-01T13:45:30.123Z")
        self.assertEqual(offset, "2024-05-01T07:00:00.130Z")
        self.assertEqual(len(version["data"]), 8)


if __name__ == "__main__":
    sqlclients.main()
