"""The wizard's statements for edition 18 and the extended schema script, run twice through tsql.

The statement texts come from resources/sql, bound and line-replaced the way the setup step does it, and
reach the server as language batches on one connection, so the companies database chosen by the module
table statement's USE line is where the script's batches run.
"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sqlclients  # noqa: E402

SQL_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "sql")
TABLES = ["FRT", "MODEL", "ISEMRI", "ISCILIK", "GUNCEL", "FIRKIM", "PARAMSER", "RIGHTS", "PEROKU", "PEROKUM",
          "ISCIUSTA"]
SEEDED = {"FIRKIM", "PARAMSER", "RIGHTS", "ISCIUSTA"}
MODULE = "GUNCELTARSO"


def lines_of(name):
    with open(os.path.join(SQL_DIR, name + ".sql"), encoding="utf-8") as f:
        return f.read().splitlines()


def bind(lines, marker, value):
    return [line.replace(":" + marker, sqlclients.quote(value)) for line in lines]


def creation_script(database):
    """The batches of the creation step, in order, as one tsql script."""
    firma_db = bind(lines_of("QCreateFirmaDB"), "FirmaDB", database)
    firma_db[3] = " CREATE DATABASE " + database
    firmalar = lines_of("QCreateFirmalar")
    firmalar[0] = "USE " + database
    modul = bind(lines_of("QCreateModulGun"), "Modul", MODULE)
    modul[0] = "USE " + database
    modul[6] = "[dbo].[%s]" % MODULE
    modul[14] = "[dbo].[%s]" % MODULE
    modul[16] = "[PK_%s]" % MODULE
    batches = [firma_db, firmalar, modul]
    script = []
    for batch in batches:
        script += batch + ["go"]
    # The script's own separator lines read GO, which tsql takes as its batch end too.
    return "\n".join(script + lines_of("QTarso")) + "\n"


def count_query(database):
    parts = ["SELECT '%s' AS T, count(*) AS N FROM %s.dbo.%s" % (t, database, t) for t in TABLES]
    return "\ngo\n".join(parts) + "\ngo\n"


class ExtendedSchemaTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        sqlclients.need("tsql")
        cls.server = sqlclients.Server()
        cls.database = sqlclients.unique_name("KTARSO")
        cls.first = sqlclients.tsql(cls.server, creation_script(cls.database))
        cls.tables_after_first = cls.user_tables()
        cls.counts_after_first = cls.row_counts()
        cls.second = sqlclients.tsql(cls.server, creation_script(cls.database))
        cls.tables_after_second = cls.user_tables()
        cls.counts_after_second = cls.row_counts()

    @classmethod
    def tearDownClass(cls):
        sqlclients.tsql(cls.server, "use master\ngo\nDROP DATABASE %s\ngo\n" % cls.database)

    @classmethod
    def user_tables(cls):
        r = sqlclients.tsql(cls.server, "SELECT TABLE_NAME FROM %s.INFORMATION_SCHEMA.TABLES "
                                        "WHERE TABLE_TYPE = 'BASE TABLE' ORDER BY TABLE_NAME\ngo\n" % cls.database)
        return sorted(row[0] for row in r.rows()[1:])

    @classmethod
    def row_counts(cls):
        r = sqlclients.tsql(cls.server, count_query(cls.database))
        return {row[0]: int(row[1]) for row in r.rows() if row[0] in TABLES}

    def query(self, sql):
        r = sqlclients.tsql(self.server, "use %s\ngo\n%s\ngo\n" % (self.database, sql))
        self.assertEqual(r.messages(), [], r.stderr)
        return r.rows()

    def test_both_runs_succeed_without_messages(self):
        self.assertEqual(self.first.returncode, 0, self.first.stderr)
        self.assertEqual(self.first.messages(), [])
        self.assertEqual(self.second.messages(), [])

    def test_first_run_creates_eleven_tables_beside_the_companies_and_module_tables(self):
        self.assertEqual(self.tables_after_first, sorted(TABLES + ["FIRMALAR", MODULE]))

    def test_first_run_inserts_exactly_four_seed_rows(self):
        expected = {t: (1 if t in SEEDED else 0) for t in TABLES}
        self.assertEqual(self.counts_after_first, expected)

    def test_second_run_adds_nothing(self):
        self.assertEqual(self.tables_after_second, self.tables_after_first)
        self.assertEqual(self.counts_after_second, self.counts_after_first)

    def test_seed_name_is_stored_in_code_page_1254(self):
        rows = self.query("SELECT CAST(USER_NAME AS varbinary(8)) AS B, LOGIN_NAME FROM RIGHTS\n"
                          "SELECT CAST(ISCI_ADI AS varbinary(8)) AS B FROM ISCIUSTA")
        self.assertEqual(rows[1][0].upper(), "59D64E4554DD43DD")
        self.assertEqual(rows[1][1].rstrip(), "3")
        self.assertEqual(rows[3][0].upper(), "59D64E4554DD43DD")

    def test_module_table_has_a_nonclustered_primary_key(self):
        rows = self.query("SELECT i.name, i.type_desc, i.is_primary_key FROM sys.indexes i "
                          "JOIN sys.objects o ON o.object_id = i.object_id WHERE o.name = '%s' "
                          "AND i.index_id > 0" % MODULE)
        self.assertEqual(rows[1:], [["PK_" + MODULE, "NONCLUSTERED", "1"]])

    def test_defaults_identity_and_unique_index_apply_to_new_rows(self):
        r = sqlclients.tsql(self.server, "\n".join([
            "use %s" % self.database, "go",
            "INSERT INTO ISEMRI(IS_EMRI_NO) VALUES('T000001')",
            "INSERT INTO ISCILIK(ISEMRI_NO, TIP, SIRANO) VALUES('T000001', 'A', 1)",
            "INSERT INTO PEROKU(IENO) VALUES('T000001')",
            "INSERT INTO RIGHTS(LOGIN_NAME) VALUES('3')",
            "SELECT MUSOK_1 + MUSOK_10 AS M, CASE WHEN INS_DATE IS NULL THEN 'no' ELSE 'yes' END AS D FROM ISEMRI",
            "SELECT FIILIORAN FROM ISCILIK",
            "SELECT SIRANO FROM PEROKU",
            "SELECT count(*) AS N FROM RIGHTS",
            "go"]))
        self.assertEqual(r.numbers(), [2601])
        self.assertIn("RIGHTS0", r.messages()[0][2])
        values = r.rows()
        self.assertEqual(values[1], ["0", "yes"])
        self.assertEqual(values[3], ["100"])
        self.assertEqual(values[5], ["1"])
        self.assertEqual(values[7], ["1"])


if __name__ == "__main__":
    sqlclients.main()
