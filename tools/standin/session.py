"""A session (one connection's login, database, language and SET options) and what runs inside it:
scopes, the signals that end statements, batches and procedures, the sources and plans of queries."""


# DONE status bits
DONE_FINAL, DONE_MORE, DONE_ERROR, DONE_COUNT = 0x00, 0x01, 0x02, 0x10
# DONE current command
CMD_SELECT, CMD_INSERT, CMD_DELETE, CMD_UPDATE = 0xC1, 0xC3, 0xC4, 0xC5


# SET options the stand-in honours (ON and OFF); see the parser for QUOTED_IDENTIFIER and PARSEONLY, exec_stmt for
# XACT_ABORT.
MODELLED_ON_OFF = {"NOCOUNT", "QUOTED_IDENTIFIER", "CONCAT_NULL_YIELDS_NULL", "NOEXEC", "PARSEONLY", "XACT_ABORT"}
# Options only accepted with the value that is already in force for every session (what ODBC drivers and
# tedious send at login); the other value would change behaviour the stand-in does not model.
SET_DEFAULTS = {"ANSI_NULLS": True, "ANSI_WARNINGS": True, "ANSI_PADDING": True, "ANSI_NULL_DFLT_ON": True,
                "ANSI_NULL_DFLT_OFF": False, "IMPLICIT_TRANSACTIONS": False, "CURSOR_CLOSE_ON_COMMIT": False,
                "NUMERIC_ROUNDABORT": False, "ARITHIGNORE": False, "FMTONLY": False, "SHOWPLAN_ALL": False,
                "SHOWPLAN_TEXT": False, "SHOWPLAN_XML": False, "STATISTICS": False, "FORCEPLAN": False,
                "NO_BROWSETABLE": False, "REMOTE_PROC_TRANSACTIONS": False}
# ARITHABORT: with ANSI_WARNINGS ON (always, here) SQL Server behaves as with ARITHABORT ON, whatever it
# is set to, so both values change nothing.
SET_DEFAULTS_ANY = {"ARITHABORT"}


class Session:
    """One connection: its login, current database, language and SET options."""

    def __init__(self, server, login, spid, database, language):
        self.server = server
        self.login = login
        self.spid = spid
        self.database = database
        self.language = language          # syslanguages row
        self.options = {"NOCOUNT": False, "QUOTED_IDENTIFIER": True, "TEXTSIZE": 4096,
                        "DATEFORMAT": language[4], "DATEFIRST": language[5], "CONCAT_NULL_YIELDS_NULL": True,
                        "ROWCOUNT": 0, "NOEXEC": False, "PARSEONLY": False, "XACT_ABORT": False,
                        "LOCK_TIMEOUT": -1, "TRANSACTION ISOLATION LEVEL": "READ COMMITTED"}
        self.prepared = {}                # handle -> (declarations, text)
        self.next_handle = 1
        self.last_identity = None
        self.rowcount = 0
        self.error = 0
        # Set by the connection: whether its client has closed its end, and a way to close it from here.
        self.peer_gone = lambda: False
        self.disconnect = lambda: None

    def failed(self, number):
        """A statement ended with error number: @@ERROR gives it and @@ROWCOUNT 0 to the next statement."""
        self.error = number
        self.rowcount = 0

    def rowcount_limited(self, rows):
        """SET ROWCOUNT n: a statement stops after n rows (SELECT, INSERT, UPDATE and DELETE alike)."""
        limit = self.options["ROWCOUNT"]
        return rows[:limit] if limit else rows

    def is_member(self, role):
        return "sysadmin" in self.login.roles or role in self.login.roles

    @property
    def db(self):
        return self.server.database(self.database)


class Scope:
    """A batch, or the text run by sp_executesql, EXEC() or a prepared statement: its own variables."""

    def __init__(self, depth, proc=""):
        self.vars = {}                    # folded name -> [name, type, value]
        self.depth = depth
        self.proc = proc


class Abort(Exception):
    """An error that ends more than its statement; it was already sent to the client."""

    def __init__(self, error):
        super().__init__(error.text)
        self.error = error


class ReturnSignal(Exception):
    def __init__(self, value):
        super().__init__()
        self.value = value


class Source:
    """A table or view in FROM: the names it answers to, its columns and its rows (as values)."""

    def __init__(self, names, columns, rows, table=None):
        self.names = names                # list of name parts tuples it can be qualified with
        self.columns = columns
        self.rows = rows
        self.table = table


class Env:
    """Column lookup while a query runs: current row of each source, parent query's Env for correlation."""

    def __init__(self, sources, parent=None):
        self.sources = sources
        self.parent = parent
        self.current = [None] * len(sources)
        self.group = None
        self.outputs = None               # projected values, for ORDER BY aliases


class Plan:
    def __init__(self, select, env, tree):
        self.select = select
        self.env = env
        self.tree = tree                  # FROM tree of source indexes
        self.items = None                 # expanded select list: (expr, name, type, nullable, assign)


class Deferred(Exception):
    """A table of the statement does not exist yet: its names are checked when it runs."""
