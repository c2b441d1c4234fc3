"""Sessions end when their client leaves: what a test's clean-up may rely on right after it closed a
connection, and single-user mode for clean-up that must push others out.
"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sqlclients  # noqa: E402
import tdsclient  # noqa: E402
from sqlclients import tsql  # noqa: E402

ROUNDS = 40


class SessionEndTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = sqlclients.Server()

    def connect(self, database="", encryption=tdsclient.ENCRYPT_NOT_SUP):
        c = tdsclient.Client(self.server.host, self.server.port)
        if c.prelogin(encryption) == tdsclient.ENCRYPT_ON:
            c.start_tls()
        r = c.login(self.server.user, self.server.password, database)
        self.assertEqual(r.errors, [])
        return c

    def test_a_database_can_be_dropped_right_after_its_last_user_closed_the_connection(self):
        keeper = self.connect()
        try:
            for encryption in (tdsclient.ENCRYPT_NOT_SUP, tdsclient.ENCRYPT_ON):
                with self.subTest(encryption=encryption):
                    for _ in range(ROUNDS):
                        name = sqlclients.unique_name("KSESS")
                        self.assertEqual(keeper.batch("CREATE DATABASE %s" % name).errors, [])
                        user = self.connect(name, encryption)
                        self.assertEqual(user.batch("SELECT 1 WHERE 1 = 0").errors, [])
                        user.close()
                        self.assertEqual(keeper.batch("DROP DATABASE %s" % name).errors, [])
        finally:
            keeper.close()

    def test_a_login_can_be_dropped_right_after_its_session_closed(self):
        keeper = self.connect()
        try:
            for _ in range(ROUNDS):
                name = sqlclients.unique_name("KSESSL")
                self.assertEqual(keeper.batch("EXEC sp_addlogin '%s', 'Gecici#Parola1'" % name).errors, [])
                c = tdsclient.Client(self.server.host, self.server.port)
                c.prelogin(tdsclient.ENCRYPT_NOT_SUP)
                self.assertEqual(c.login(name, "Gecici#Parola1").errors, [])
                c.close()
                self.assertEqual(keeper.batch("EXEC sp_droplogin '%s'" % name).errors, [])
        finally:
            keeper.close()

    def test_a_database_in_use_is_not_dropped(self):
        name = sqlclients.unique_name("KSESSU")
        keeper = self.connect()
        try:
            keeper.batch("CREATE DATABASE %s" % name)
            user = self.connect(name)
            r = keeper.batch("DROP DATABASE %s" % name)
            self.assertEqual(r.errors, [(3702, 16, 'Cannot drop database "%s" because it is currently in use.'
                                         % name)])
            user.close()
            self.assertEqual(keeper.batch("DROP DATABASE %s" % name).errors, [])
        finally:
            keeper.close()


class SingleUserTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = sqlclients.Server()

    def test_rollback_immediate_closes_the_other_sessions_and_the_database_can_be_dropped(self):
        name = sqlclients.unique_name("KSINGLE")
        r = tsql(self.server, "CREATE DATABASE %s\ngo\n" % name)
        self.assertEqual(r.messages(), [])
        holder = tdsclient.Client(self.server.host, self.server.port)
        try:
            holder.prelogin(tdsclient.ENCRYPT_NOT_SUP)
            self.assertEqual(holder.login(self.server.user, self.server.password, name).errors, [])
            r = tsql(self.server, "ALTER DATABASE %s SET SINGLE_USER WITH NO_WAIT\ngo\n" % name)
            self.assertEqual(r.messages(), [(5070, 16, "Database state cannot be changed while other users are "
                                                       "using the database '%s'" % name)])
            r = tsql(self.server, "ALTER DATABASE %s SET SINGLE_USER WITH ROLLBACK IMMEDIATE\ngo\n"
                     "DROP DATABASE %s\ngo\nSELECT count(*) AS n FROM master..sysdatabases WHERE name = '%s'\ngo\n"
                     % (name, name, name))
            self.assertEqual(r.messages(), [])
            self.assertEqual(r.rows(), [["n"], ["0"]])
            # the holder's connection was closed without warning: its next batch gets no answer
            with self.assertRaises(OSError):
                holder.batch("SELECT 2")
        finally:
            holder.close()

    def test_a_single_user_database_admits_one_session_until_multi_user(self):
        name = sqlclients.unique_name("KSINGLE")
        r = tsql(self.server, "CREATE DATABASE %s\ngo\nALTER DATABASE %s SET SINGLE_USER\ngo\n" % (name, name))
        self.assertEqual(r.messages(), [])
        first = tdsclient.Client(self.server.host, self.server.port)
        try:
            first.prelogin(tdsclient.ENCRYPT_NOT_SUP)
            self.assertEqual(first.login(self.server.user, self.server.password, name).errors, [])
            r = tsql(self.server, "USE %s\ngo\n" % name)
            self.assertIn((924, 14, "Database '%s' is already open and can only have one user at a time." % name),
                          r.messages())
            r = tsql(self.server, "ALTER DATABASE %s SET MULTI_USER\ngo\n" % name)
            self.assertEqual(r.numbers(), [5064])
            self.assertEqual(first.batch("USE master ALTER DATABASE %s SET MULTI_USER" % name).errors, [])
        finally:
            first.close()
        r = tsql(self.server, "USE %s\ngo\nUSE master\ngo\nDROP DATABASE %s\ngo\n" % (name, name))
        self.assertEqual(r.numbers(), [])

    def test_system_databases_stay_multi_user(self):
        r = tsql(self.server, "ALTER DATABASE master SET SINGLE_USER WITH ROLLBACK IMMEDIATE\ngo\n")
        self.assertEqual(r.messages(), [(5058, 16, "Option 'SINGLE_USER' cannot be set in database 'master'.")])


if __name__ == "__main__":
    sqlclients.main()
