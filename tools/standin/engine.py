"""Runs T-SQL batches and procedure calls of one connection against the server state.

Results go to a sink (the TDS token writer) as they are produced: column descriptions, rows, DONE tokens,
messages and environment changes.
"""

import copy
import datetime
import decimal
import re
import secrets

from . import catalog, catalogviews, parser as P, procs, sqltypes
from .catalogviews import ColInfo
from .errors import BATCH, COMPILE, SCOPE, STATEMENT, SqlError
from .sqltypes import SqlType

# DONE status bits
DONE_FINAL, DONE_MORE, DONE_ERROR, DONE_COUNT = 0x00, 0x01, 0x02, 0x10
# DONE current command
CMD_SELECT, CMD_INSERT, CMD_DELETE, CMD_UPDATE = 0xC1, 0xC3, 0xC4, 0xC5

VERSION_TEXT = ("Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64) \n\tKurdb stand-in server "
                "\n\tDeveloper Edition (64-bit) on Linux")
PRODUCT_VERSION = "16.0.1000.6"


# SET options the stand-in honours (ON and OFF); see run_text for NOEXEC and PARSEONLY, exec_stmt for
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


_DEFAULT_CACHE = {}


def parse_default(definition):
    expr = _DEFAULT_CACHE.get(definition)
    if expr is None:
        expr = P.Parser(definition).expr()
        _DEFAULT_CACHE[definition] = expr
    return expr


def default_definition(expr):
    """The text SQL Server keeps for a default: ((0)), (getdate()), (NULL), ('x')."""
    if isinstance(expr, P.Lit):
        if expr.value is None:
            return "(NULL)"
        if isinstance(expr.value, str):
            prefix = "N" if expr.type is not None and expr.type.is_unicode else ""
            return "(%s'%s')" % (prefix, expr.value.replace("'", "''"))
        if isinstance(expr.value, bytes):
            return "((0x%s))" % expr.value.hex().upper()
        return "((%s))" % expr.value
    if isinstance(expr, P.Unary) and isinstance(expr.operand, P.Lit):
        return "((%s%s))" % (expr.op, expr.operand.value)
    if isinstance(expr, P.Func) and not expr.args:
        return "(%s())" % expr.name.lower()
    raise SqlError(40517, "DEFAULT expression")


class Executor:
    def __init__(self, session, sink):
        self.session = session
        self.server = session.server
        self.sink = sink
        sqltypes.set_dateformat(session.options["DATEFORMAT"])

    # =====================================================================================================
    # Entry points

    def run_batch(self, text):
        """A SQL batch request."""
        scope = Scope(0)
        try:
            self.run_text(text, scope)
        except Abort:
            pass

    def run_text(self, text, scope, declared=()):
        """Parses and runs a batch text in a scope. Returns 0, or the number of the error that ended it.

        Raises Abort for an error that ends the whole request from a nested scope.
        """
        try:
            # Parsing needs no shared state: a long batch is parsed while other sessions work.
            stmts = self.parse_only(P.parse_batch(text, self.session.options["QUOTED_IDENTIFIER"]))
            with self.server.lock:
                self.check_batch(stmts, scope, declared)
        except SqlError as e:
            self.emit_error(e, scope)
            self.done(scope, DONE_ERROR)
            self.session.error = e.number
            return e.number
        try:
            for stmt in stmts:
                self.run_statement(stmt, scope)
        except ReturnSignal:
            pass
        except Abort as a:
            if a.error.reach == BATCH and scope.depth > 0:
                raise
            return a.error.number
        return 0

    def parse_only(self, stmts):
        """The statements to compile and run. SET PARSEONLY takes effect while the batch is parsed: the
        statements after SET PARSEONLY ON (or all, while it is on) are only parsed, up to SET PARSEONLY OFF."""
        opts, kept = self.session.options, []
        for stmt in stmts:
            if isinstance(stmt, P.SetOption) and stmt.options == ["PARSEONLY"]:
                opts["PARSEONLY"] = bool(stmt.value)
            elif not opts["PARSEONLY"]:
                kept.append(stmt)
        return kept

    # =====================================================================================================
    # Messages and DONE tokens

    def emit_error(self, e, scope, line=None):
        for err in [e] + e.also:
            self.sink.message(err.number, err.state, err.severity, err.text, err.line or line or 1,
                              err.proc or scope.proc, err.severity > 10)

    def info(self, number, *args, scope=None, line=1):
        e = SqlError(number, *args)
        self.sink.message(number, 1, 0, e.text, line, scope.proc if scope else "", False)

    def done(self, scope, status=0, cmd=0, count=None):
        if count is not None and not self.session.options["NOCOUNT"]:
            status |= DONE_COUNT
        self.sink.done("DONE" if scope.depth == 0 else "DONEINPROC", status | DONE_MORE, cmd, count or 0)

    # =====================================================================================================
    # Compile-time checks: variables declared before use, built-in function names, and columns of
    # tables that exist when the batch starts (the others are checked when their statement runs).

    def check_batch(self, stmts, scope, declared):
        names = {self.server.fold(n) for n in declared} | set(scope.vars)
        state = {"db": self.session.database}
        for stmt in stmts:
            self.check_stmt(stmt, names, state)

    def check_stmt(self, stmt, names, state):
        fold = self.server.fold
        if isinstance(stmt, P.Declare):
            for name, typ, init in stmt.items:
                if init is not None:
                    self.check_expr(init, names, stmt.line)
                key = fold(name)
                if key in names:
                    raise SqlError(134, name, line=stmt.line)
                names.add(key)
            return
        if isinstance(stmt, P.Use):
            if self.server.database(stmt.database) is not None:
                state["db"] = stmt.database
            return
        if isinstance(stmt, P.Block):
            for s in stmt.body:
                self.check_stmt(s, names, state)
            return
        if isinstance(stmt, P.If):
            self.check_expr(stmt.cond, names, stmt.line)
            self.check_stmt(stmt.then, names, state)
            if stmt.other is not None:
                self.check_stmt(stmt.other, names, state)
            return
        if isinstance(stmt, (P.SetVar,)):
            if fold(stmt.name) not in names:
                raise SqlError(137, stmt.name, line=stmt.line)
        if isinstance(stmt, P.Exec) and stmt.status_var and fold(stmt.status_var) not in names:
            raise SqlError(137, stmt.status_var, line=stmt.line)
        if isinstance(stmt, P.Select):
            for item in stmt.items:
                if item[0] == "assign" and fold(item[1]) not in names:
                    raise SqlError(137, item[1], line=stmt.line)
        for expr in _stmt_exprs(stmt):
            self.check_expr(expr, names, stmt.line)
        if isinstance(stmt, (P.Select, P.Insert, P.Update, P.Delete)):
            self.compile_bind(stmt, state["db"])

    def check_expr(self, expr, names, line):
        for node in _walk(expr):
            if isinstance(node, P.Var) and self.server.fold(node.name) not in names:
                raise SqlError(137, node.name, line=line)
            if isinstance(node, P.Func) and node.name not in FUNCTIONS and node.name not in P.AGGREGATES:
                raise SqlError(195, node.name.lower(), "built-in function name", line=line)
            if isinstance(node, P.GlobalVar) and node.name not in GLOBALS:
                raise SqlError(137, node.name, line=line)

    def compile_bind(self, stmt, dbname):
        """Binds column names when every table of the statement already exists: 207 rejects the batch."""
        saved = self.session.database
        self.session.database = dbname if self.server.database(dbname) else saved
        try:
            if isinstance(stmt, P.Select):
                self.bind_select(stmt, None, compile_only=True)
            else:
                target = self.resolve(stmt.table, for_write=False, quiet=True)
                if target is None or target.table is None:
                    return
                if isinstance(stmt, P.Insert):
                    for name in stmt.columns or []:
                        if target.table.column_index(name, self.server.collation) < 0:
                            raise SqlError(207, name, line=stmt.line, reach=COMPILE)
                    if stmt.select is not None:
                        self.bind_select(stmt.select, None, compile_only=True)
                else:
                    env = Env([target])
                    if isinstance(stmt, P.Update):
                        for name, value in stmt.assignments:
                            if target.table.column_index(name, self.server.collation) < 0:
                                raise SqlError(207, name, line=stmt.line, reach=COMPILE)
                            self.bind_expr(value, env, compile_only=True)
                    if stmt.where is not None:
                        self.bind_expr(stmt.where, env, compile_only=True)
        except _Deferred:
            pass
        except SqlError as e:
            if e.number in (207, 209):
                e.reach = COMPILE
                e.line = stmt.line
                raise
        finally:
            self.session.database = saved

    # =====================================================================================================
    # Statements

    def run_statement(self, stmt, scope):
        """Runs one statement holding the server lock: statements of different sessions interleave, each
        one sees the others' finished statements (no transactions), and nobody waits for a whole batch."""
        try:
            with self.server.lock:
                self.exec_stmt(stmt, scope)
        except (ReturnSignal, Abort):
            raise
        except SqlError as e:
            if (e.reach == STATEMENT and self.session.options["XACT_ABORT"] and
                    not isinstance(stmt, P.Raiserror)):
                e.reach = BATCH               # XACT_ABORT ON: a run-time error ends the whole batch
            self.emit_error(e, scope, stmt.line)
            self.done(scope, DONE_ERROR)
            self.session.error = e.number
            if e.reach != STATEMENT:
                raise Abort(e) from None

    def exec_stmt(self, stmt, scope):
        if self.session.options["NOEXEC"] and not (isinstance(stmt, P.SetOption) and "NOEXEC" in stmt.options):
            return                            # NOEXEC ON: compiled with the batch, not run
        handler = getattr(self, "do_" + type(stmt).__name__)
        self.session.error = 0
        handler(stmt, scope)

    def do_Block(self, stmt, scope):
        for s in stmt.body:
            self.run_statement(s, scope)

    def do_If(self, stmt, scope):
        cond = self.eval_condition(stmt.cond, scope)
        if cond:
            self.run_statement(stmt.then, scope)
        elif stmt.other is not None:
            self.run_statement(stmt.other, scope)

    def do_Return(self, stmt, scope):
        value = self.eval_scalar(stmt.value, scope) if stmt.value is not None else 0
        self.done(scope)
        raise ReturnSignal(value)

    def do_Print(self, stmt, scope):
        value = self.eval_scalar(stmt.value, scope)
        text = "" if value is None else value if isinstance(value, str) else sqltypes.format_value(value)
        self.sink.message(0, 1, 0, text, stmt.line, scope.proc, False)
        self.done(scope)

    def do_Raiserror(self, stmt, scope):
        msg = self.eval_scalar(stmt.message, scope)
        severity = int(self.eval_scalar(stmt.severity, scope) or 0)
        state = int(self.eval_scalar(stmt.state, scope) or 1)
        args = [self.eval_scalar(a, scope) for a in stmt.args]
        number = 50000
        if isinstance(msg, int):
            number = msg
            msg = "Error %d, severity %d, state %d was raised, but no message with that error number was " \
                  "found in sys.messages." % (msg, severity, state)
        else:
            msg = _printf(str(msg), args)
        if severity <= 10:
            self.sink.message(number, state, severity, msg, stmt.line, scope.proc, False)
            self.done(scope)
            return
        raise SqlError(number, text=msg, severity=min(severity, 18), state=state, line=stmt.line)

    def do_Declare(self, stmt, scope):
        for name, typ, init in stmt.items:
            value = None
            if init is not None:
                value = self.assign_value(self.eval_scalar(init, scope), typ, self.expr_type(init, scope))
            scope.vars[self.server.fold(name)] = [name, typ, value]

    def do_SetVar(self, stmt, scope):
        var = self.variable(stmt.name, scope)
        var[2] = self.assign_value(self.eval_scalar(stmt.value, scope), var[1], self.expr_type(stmt.value, scope))

    def variable(self, name, scope):
        var = scope.vars.get(self.server.fold(name))
        if var is None:
            raise SqlError(137, name, reach=COMPILE)
        return var

    def assign_value(self, value, typ, source_type=None):
        value = sqltypes.convert(value, typ, source_type, collation=self.server.collation)
        if value is not None and typ.is_string and typ.length not in (None, -1) and len(value) > typ.length:
            value = value[:typ.length]    # assignment to a variable truncates silently
        return value

    def do_SetOption(self, stmt, scope):
        opts = self.session.options
        for name in stmt.options:
            value = stmt.value
            if isinstance(value, P.Var):
                value = self.variable(value.name, scope)[2]
            if name == "LANGUAGE":
                lang = self.server.language(str(value))
                if lang is None:
                    raise SqlError(2738, text="The language '%s' does not exist." % value, severity=16)
                old = self.session.language
                self.session.language = lang
                opts["DATEFORMAT"], opts["DATEFIRST"] = lang[4], lang[5]
                sqltypes.set_dateformat(lang[4])
                self.sink.env_change(2, lang[1], old[1])
                self.info(5703, lang[1], scope=scope, line=stmt.line)
            elif name == "DATEFORMAT":
                fmt = str(value).lower()
                if fmt not in ("mdy", "dmy", "ymd", "ydm", "myd", "dym"):
                    raise SqlError(2741, text="SET DATEFORMAT date order '%s' is not supported." % value)
                opts[name] = fmt
                sqltypes.set_dateformat(fmt)
            elif name == "DATEFIRST":
                if not isinstance(value, int) or not 1 <= value <= 7:
                    raise SqlError(40517, "SET DATEFIRST %s" % value, reach=STATEMENT)
                opts[name] = value
            elif name in ("TEXTSIZE", "ROWCOUNT"):
                if not isinstance(value, int) or value < 0:
                    raise SqlError(40517, "SET %s %s" % (name, value), reach=STATEMENT)
                opts[name] = (4096 if value == 0 else value) if name == "TEXTSIZE" else value
            elif name == "LOCK_TIMEOUT":
                # no statement of the stand-in ever waits for a lock another session holds
                if not isinstance(value, int) or value < -1:
                    raise SqlError(40517, "SET LOCK_TIMEOUT %s" % value, reach=STATEMENT)
                opts[name] = value
            elif name == "TRANSACTION ISOLATION LEVEL":
                # without transactions every statement sees the committed state of all others
                if value == "SNAPSHOT":
                    raise SqlError(40517, "SET TRANSACTION ISOLATION LEVEL SNAPSHOT", reach=STATEMENT)
                opts[name] = value
            elif name in MODELLED_ON_OFF:
                opts[name] = value
            elif name in SET_DEFAULTS_ANY or (name in SET_DEFAULTS and SET_DEFAULTS[name] == value):
                pass              # the value it already has and keeps: nothing changes
            else:
                raise SqlError(40517, "SET %s %s" % (name, "ON" if value else "OFF") if isinstance(value, bool)
                               else "SET %s" % name, reach=STATEMENT)
        self.done(scope)

    def do_Use(self, stmt, scope):
        db = self.server.database(stmt.database)
        if db is None:
            raise SqlError(911, stmt.database, line=stmt.line)
        self.check_access(db)
        if db.user_access == "SINGLE_USER" and self.server.sessions_in(db, but=self.session):
            raise SqlError(924, db.name, line=stmt.line)
        old = self.session.database
        self.session.database = db.name
        self.sink.env_change(1, db.name, old)
        self.info(5701, db.name, scope=scope, line=stmt.line)
        self.done(scope)

    def check_access(self, db):
        s = self.session
        if "sysadmin" in s.login.roles or db.name.lower() in ("master", "tempdb", "msdb"):
            return
        if self.server.fold(db.owner) == self.server.fold(s.login.name):
            return
        raise SqlError(916, s.login.name, db.name)

    # -- databases and logins -----------------------------------------------------------------------------

    def do_CreateDatabase(self, stmt, scope):
        if not self.session.is_member("dbcreator"):
            raise SqlError(262)
        if stmt.collation is not None and stmt.collation.lower() != self.server.collation.name.lower():
            raise SqlError(40517, "COLLATE " + stmt.collation)
        if self.server.database(stmt.name) is not None:
            raise SqlError(1801, stmt.name)
        self.server.add_database(stmt.name, self.session.login.name)
        self.done(scope)

    def do_AlterDatabase(self, stmt, scope):
        server, me = self.server, self.session
        db = server.database(stmt.name) if stmt.name is not None else me.db
        if db is None:
            raise SqlError(5011, stmt.name)
        if not (me.is_member("dbcreator") or server.fold(db.owner) == server.fold(me.login.name)):
            raise SqlError(5011, db.name)
        if db.name.lower() in catalog.SYSTEM_DATABASES:
            raise SqlError(5058, stmt.access, db.name)
        others = server.sessions_in(db, but=me)
        if others and db.user_access == "SINGLE_USER":
            raise SqlError(5064, db.name)
        if others and stmt.access == "SINGLE_USER":
            if stmt.termination == "NO_WAIT":
                raise SqlError(5070, db.name)
            if stmt.termination is None:
                # SQL Server waits here until the others have left; the stand-in does not wait.
                raise SqlError(40517, "ALTER DATABASE SET SINGLE_USER without ROLLBACK IMMEDIATE or NO_WAIT "
                                      "while other sessions use the database")
            for other in others:          # ROLLBACK IMMEDIATE: their connections close without warning
                other.disconnect()
                server.end_session(other.spid)
        if db.user_access != stmt.access:
            db.user_access = stmt.access
            server.dirty = True
        self.done(scope)

    def do_DropObjects(self, stmt, scope):
        for parts in stmt.names:
            if stmt.kind == "DATABASE":
                self.drop_database(parts, stmt.if_exists)
            elif stmt.kind == "LOGIN":
                procs.drop_login(self, parts[-1])
            else:
                self.drop_table(parts, stmt.if_exists)
        self.done(scope)

    def drop_database(self, parts, if_exists):
        name = parts[-1]
        db = self.server.database(name)
        if db is None or len(parts) > 1:
            if if_exists:
                return
            raise SqlError(3701, "database", name)
        if not (self.session.is_member("dbcreator") or
                self.server.fold(db.owner) == self.server.fold(self.session.login.name)):
            raise SqlError(3701, "database", name)
        if db.name.lower() in catalog.SYSTEM_DATABASES:
            raise SqlError(3708, db.name)
        if self.server.sessions_in(db):
            raise SqlError(3702, db.name)
        del self.server.databases[self.server.fold(db.name)]
        self.server.dirty = True

    def drop_table(self, parts, if_exists):
        src = self.resolve(parts, for_write=True, quiet=True)
        if src is None or src.table is None:
            if if_exists:
                return
            raise SqlError(3701, "table", P.name_text(parts))
        db, table = src.db, src.table
        for key, obj in list(db.objects.items()):
            if obj.id == table.obj.id or obj.parent_id == table.obj.id:
                del db.objects[key]
        del db.tables[table.obj.id]
        self.server.dirty = True

    def do_CreateLogin(self, stmt, scope):
        opts = stmt.options
        procs.add_login(self, stmt.name, opts.get("PASSWORD", ""), opts.get("DEFAULT_DATABASE", "master"),
                        opts.get("DEFAULT_LANGUAGE"), check_policy=opts.get("CHECK_POLICY", True))
        self.done(scope)

    def do_AlterLogin(self, stmt, scope):
        login = self.server.login(stmt.name)
        if not self.session.is_member("securityadmin") or login is None:
            if login is not None and self.server.fold(login.name) == self.server.fold(self.session.login.name) \
                    and set(stmt.options) <= {"PASSWORD", "DEFAULT_LANGUAGE", "DEFAULT_DATABASE"}:
                pass
            else:
                raise SqlError(15151, "alter", "login", stmt.name)
        for key, value in stmt.options.items():
            if key == "PASSWORD":
                login.set_password(value)
            elif key == "DEFAULT_DATABASE":
                if self.server.database(value) is None:
                    raise SqlError(15010, value)
                login.default_database = self.server.database(value).name
            elif key == "DEFAULT_LANGUAGE":
                lang = self.server.language(value)
                if lang is None:
                    raise SqlError(15033, value)
                login.default_language = lang[1]
            elif key == "NAME":
                raise SqlError(40517, "ALTER LOGIN WITH NAME")
        login.modified = catalog.now()
        self.server.dirty = True
        self.done(scope)

    def do_AlterServerRole(self, stmt, scope):
        if stmt.add:
            procs.add_role_member(self, stmt.member, stmt.role)
        else:
            procs.drop_role_member(self, stmt.member, stmt.role)
        self.done(scope)

    # -- tables -------------------------------------------------------------------------------------------

    def target_database(self, parts):
        """Database and name of an object to create: [db.][schema.]name with schema dbo."""
        db = self.session.db
        if len(parts) == 3 and parts[0]:
            db = self.server.database(parts[0])
            if db is None:
                raise SqlError(911, parts[0])
            self.check_access(db)
        if len(parts) >= 2 and parts[-2] and self.server.fold(parts[-2]) != self.server.fold("dbo"):
            raise SqlError(2760, parts[-2])
        if len(parts) > 3:
            raise SqlError(117, text="The object name '%s' contains more than the maximum number of prefixes. "
                                     "The maximum is 2." % P.name_text(parts), severity=15)
        if parts[-1].startswith("#"):
            raise SqlError(40517, "temporary table")
        return db, parts[-1]

    def check_filegroup(self, name):
        if name is not None and self.server.fold(name) != self.server.fold("PRIMARY"):
            raise SqlError(1921, name)

    def do_CreateTable(self, stmt, scope):
        db, name = self.target_database(stmt.name)
        fold = db.collation.fold
        if db.find_object(name) is not None:
            raise SqlError(2714, name)
        self.check_filegroup(stmt.filegroup)
        columns, seen = [], set()
        constraints = list(stmt.constraints)
        defaults = []
        for cd in stmt.columns:
            if fold(cd.name) in seen:
                raise SqlError(2705, cd.name, name)
            seen.add(fold(cd.name))
            columns.append(self.new_column(cd, name, db))
            constraints.extend(cd.constraints)
            if cd.default is not None:
                defaults.append((cd.default[0], cd.default[1], cd.name))
        if sum(1 for c in columns if c.identity) > 1:
            raise SqlError(2744, name)
        if stmt.textimage is not None:
            self.check_filegroup(stmt.textimage)
            if not any(c.type.is_lob for c in columns):
                raise SqlError(1709)
        for c in constraints:
            if c.kind == "PK":
                for col_name in c.columns:
                    for col in columns:
                        if fold(col.name) == fold(col_name):
                            col.nullable = False
        obj = catalog.DbObject(name, self.server.new_object_id(), "U")
        table = catalog.Table(obj, columns)
        # Constraints are checked on a table that is not yet in the database; nothing is kept on error.
        new_objects = {fold(name): obj}
        for cname, expr, col_name in defaults:
            new_objects.update(self.make_default(db, table, cname, expr, col_name, new_objects))
        for c in constraints:
            new_objects.update(self.make_key(db, table, c, new_objects))
        db.objects.update(new_objects)
        db.tables[obj.id] = table
        self.server.dirty = True
        self.done(scope)

    def new_column(self, cd, table_name, db):
        typ = cd.type
        if typ.length is not None and typ.length > 8000 and typ.name in ("char", "varchar", "binary", "varbinary"):
            raise SqlError(131, typ.length, cd.name)
        if typ.length is not None and typ.length > 4000 and typ.name in ("nchar", "nvarchar"):
            raise SqlError(2717, text="The size (%d) given to the parameter '%s' exceeds the maximum allowed (4000)."
                           % (typ.length, cd.name))
        if cd.identity is not None:
            if typ.name not in ("tinyint", "smallint", "int", "bigint") and not (
                    typ.name in ("numeric", "decimal") and typ.scale == 0) or cd.nullable:
                raise SqlError(2749, cd.name)
        nullable = cd.nullable if cd.nullable is not None else cd.identity is None
        return catalog.Column(cd.name, typ, nullable, cd.identity, None, db.collation)

    def make_default(self, db, table, cname, expr, col_name, pending):
        fold = db.collation.fold
        idx = table.column_index(col_name, db.collation)
        if idx < 0 or table.columns[idx].identity:
            raise SqlError(1752, col_name, table.name, also=[SqlError(1750)])
        col = table.columns[idx]
        if col.default is not None:
            raise SqlError(1781, also=[SqlError(1750)])
        if cname is None:
            cname = "DF__%s__%s__%s" % (table.name[:9], col.name[:5], secrets.token_hex(4).upper())
        if db.find_object(cname) is not None or fold(cname) in pending:
            raise SqlError(2714, cname, also=[SqlError(1750)])
        definition = default_definition(expr)
        # The default must convert to the column's type; a bad one fails now, not at the first insert.
        value = self.eval_scalar(parse_default(definition), Scope(1))
        sqltypes.convert(value, col.type, self.expr_type(parse_default(definition), Scope(1)),
                         collation=db.collation)
        col.default = cname
        obj = catalog.DbObject(cname, self.server.new_object_id(), "D", table.obj.id, definition=definition,
                               column=col.name)
        return {fold(cname): obj}

    def make_key(self, db, table, c, pending):
        fold = db.collation.fold
        kind = c.kind
        if kind == "PK" and any(i.kind == "PK" for i in table.indexes):
            raise SqlError(1779, table.name, also=[SqlError(1750)])
        cols = []
        for col_name in c.columns:
            idx = table.column_index(col_name, db.collation)
            if idx < 0:
                raise SqlError(1911, col_name, also=[SqlError(1750)])
            cols.append(table.columns[idx])
        if kind == "PK":
            for col in cols:
                if col.nullable:
                    raise SqlError(8111, table.name, also=[SqlError(1750)])
        self.check_filegroup(c.filegroup)
        name = c.name or "%s__%s__%s" % (kind, table.name[:8], secrets.token_hex(8).upper())
        if db.find_object(name) is not None or fold(name) in pending:
            raise SqlError(2714, name, also=[SqlError(1750)])
        clustered = c.clustered
        has_clustered = next((i for i in table.indexes if i.clustered), None)
        if clustered is None:
            clustered = kind == "PK" and has_clustered is None
        if clustered and has_clustered is not None:
            raise SqlError(1902, table.name, has_clustered.name, also=[SqlError(1750)])
        index = self.new_index(table, name, [col.name for col in cols], True, clustered, kind)
        self.check_unique_existing(db, table, index)
        table.indexes.append(index)
        obj = catalog.DbObject(name, self.server.new_object_id(), kind, table.obj.id)
        return {fold(name): obj}

    def new_index(self, table, name, columns, unique, clustered, kind):
        if clustered:
            index_id = 1
        else:
            index_id = max([i.index_id for i in table.indexes] + [1]) + 1
        return catalog.Index(name, index_id, columns, unique, clustered, kind)

    def check_unique_existing(self, db, table, index):
        if not index.unique:
            return
        positions = [table.column_index(n, db.collation) for n in index.columns]
        seen = set()
        for row in table.rows:
            key = self.key_of(table, row, positions)
            if key in seen:
                raise SqlError(1505, "dbo." + table.name, index.name, self.key_text(table, row, positions),
                               also=[SqlError(1750)] if index.kind else [])
            seen.add(key)

    def do_AlterTableAdd(self, stmt, scope):
        src = self.resolve(stmt.table, for_write=True, quiet=True)
        if src is None or src.table is None:
            raise SqlError(4902, P.name_text(stmt.table))
        db, table = src.db, src.table
        saved_columns = [copy.copy(c) for c in table.columns]
        saved_indexes = list(table.indexes)
        saved_rows = [list(r) for r in table.rows] if any(
            isinstance(i, P.ColumnDef) for i in stmt.items) else None
        pending = {}
        try:
            for item in stmt.items:
                if isinstance(item, P.ColumnDef):
                    self.add_column(db, table, item, pending)
                elif item.kind == "D":
                    pending.update(self.make_default(db, table, item.name, item.expr, item.column, pending))
                else:
                    pending.update(self.make_key(db, table, item, pending))
        except SqlError:
            table.columns[:] = saved_columns
            table.indexes[:] = saved_indexes
            if saved_rows is not None:
                table.rows[:] = saved_rows
            raise
        db.objects.update(pending)
        self.server.dirty = True
        self.done(scope)

    def add_column(self, db, table, cd, pending):
        if table.column_index(cd.name, db.collation) >= 0:
            raise SqlError(2705, cd.name, table.name)
        col = self.new_column(cd, table.name, db)
        if col.identity and any(c.identity for c in table.columns):
            raise SqlError(2744, table.name)
        table.columns.append(col)
        if cd.default is not None:
            pending.update(self.make_default(db, table, cd.default[0], cd.default[1], cd.name, pending))
        if not col.nullable and table.rows and col.default is None and col.identity is None:
            raise SqlError(4901, col.name, table.name)
        dv = self.default_value(db, table, col) if not col.nullable else None
        for row in table.rows:
            row.append(self.store(db, table, col, dv[0], dv[1], "ALTER TABLE") if dv else None)
        for c in cd.constraints:
            pending.update(self.make_key(db, table, c, pending))

    def do_AlterTableDropConstraint(self, stmt, scope):
        src = self.resolve(stmt.table, for_write=True, quiet=True)
        if src is None or src.table is None:
            raise SqlError(4902, P.name_text(stmt.table))
        db, table = src.db, src.table
        obj = db.find_object(stmt.name)
        if obj is None or obj.parent_id != table.obj.id:
            raise SqlError(3728, stmt.name, also=[SqlError(3727, text="Could not drop constraint. See previous "
                                                                     "errors.")])
        del db.objects[db.collation.fold(obj.name)]
        if obj.xtype == "D":
            for col in table.columns:
                if col.default and db.collation.fold(col.default) == db.collation.fold(obj.name):
                    col.default = None
        else:
            table.indexes = [i for i in table.indexes if db.collation.fold(i.name) != db.collation.fold(obj.name)]
        self.server.dirty = True
        self.done(scope)

    def do_CreateIndex(self, stmt, scope):
        src = self.resolve(stmt.table, for_write=True, quiet=True)
        if src is None or src.table is None:
            raise SqlError(1088, P.name_text(stmt.table))
        db, table = src.db, src.table
        fold = db.collation.fold
        if any(fold(i.name) == fold(stmt.name) for i in table.indexes):
            raise SqlError(1913, stmt.name, table.name)
        names = []
        for col_name in stmt.columns:
            idx = table.column_index(col_name, db.collation)
            if idx < 0:
                raise SqlError(1911, col_name)
            if table.columns[idx].type.is_lob:
                raise SqlError(1919, text="Column '%s' in table '%s' is of a type that is invalid for use as a "
                                          "key column in an index." % (col_name, table.name))
            names.append(table.columns[idx].name)
        self.check_filegroup(stmt.filegroup)
        existing = next((i for i in table.indexes if i.clustered), None)
        if stmt.clustered and existing is not None:
            raise SqlError(1902, table.name, existing.name)
        index = self.new_index(table, stmt.name, names, stmt.unique, bool(stmt.clustered), None)
        self.check_unique_existing(db, table, index)
        table.indexes.append(index)
        self.server.dirty = True
        self.done(scope)

    def do_DropIndex(self, stmt, scope):
        for table_parts, name in stmt.items:
            src = self.resolve(table_parts, for_write=True, quiet=True)
            fold = self.server.fold
            index = None
            if src is not None and src.table is not None:
                index = next((i for i in src.table.indexes if fold(i.name) == fold(name)), None)
            if index is None:
                if stmt.if_exists:
                    continue
                raise SqlError(3701, "index", P.name_text(list(table_parts) + [name]))
            if index.kind:
                raise SqlError(3723, text="An explicit DROP INDEX is not allowed on index '%s.%s'. It is being "
                                          "used for %s constraint enforcement." % (
                                              src.table.name, index.name,
                                              "PRIMARY KEY" if index.kind == "PK" else "UNIQUE KEY"))
            src.table.indexes.remove(index)
            self.server.dirty = True
        self.done(scope)

    def do_Truncate(self, stmt, scope):
        src = self.resolve(stmt.table, for_write=True)
        src.table.rows.clear()
        src.table.identity_last = None
        self.server.dirty = True
        self.done(scope)

    # -- rows ---------------------------------------------------------------------------------------------

    def default_value(self, db, table, col):
        if col.default is None:
            return None
        obj = db.find_object(col.default)
        expr = parse_default(obj.definition)
        return self.eval_scalar(expr, Scope(1)), self.expr_type(expr, Scope(1))

    def store(self, db, table, col, value, source_type, verb):
        """A value converted to the column type and encoded as the row keeps it."""
        if value is None:
            if not col.nullable:
                raise SqlError(515, col.name, "%s.dbo.%s" % (db.name, table.name), verb)
            return None
        value = sqltypes.convert(value, col.type, source_type, collation=db.collation)
        typ = col.type
        if typ.name in sqltypes.CHAR_TYPES:
            data = db.collation.encode(value)
            if typ.name != "text" and len(data) > typ.length >= 0:
                # Blanks past the declared length are cut silently; anything else is refused.
                if data[typ.length:].strip(b" "):
                    raise SqlError(2628, table.name, col.name, db.collation.decode(data[:typ.length]))
                data = data[:typ.length]
            if typ.name == "char" and len(data) < typ.length:
                data += b" " * (typ.length - len(data))
            return data
        if typ.name in ("nchar", "nvarchar"):
            trimmed = value.rstrip(" ")
            if typ.length >= 0 and len(trimmed) > typ.length:
                raise SqlError(2628, table.name, col.name, value[:typ.length])
            value = value[:typ.length] if typ.length >= 0 else value
            if typ.name == "nchar":
                value = value.ljust(typ.length)
            return value
        if typ.name in ("binary", "varbinary") and typ.length >= 0 and len(value) > typ.length:
            raise SqlError(2628, table.name, col.name, value[:typ.length].hex())
        return value

    def row_values(self, db, table):
        """Rows of a user table as values: char data decoded from the database code page."""
        decoders = []
        for col in table.columns:
            if col.type.name in sqltypes.CHAR_TYPES:
                decoders.append(db.collation.decode)
            else:
                decoders.append(None)
        out = []
        for row in table.rows:
            out.append([v if d is None or v is None else d(v) for v, d in zip(row, decoders)])
        return out

    def key_of(self, table, row, positions):
        key = []
        for p in positions:
            v = row[p]
            if isinstance(v, bytes) and table.columns[p].type.name in sqltypes.CHAR_TYPES:
                v = table.columns[p].collation.decode(v)
            if isinstance(v, str):
                v = self.server.fold(v.rstrip(" "))
            key.append(v)
        return tuple(key)

    def key_text(self, table, row, positions):
        parts = []
        for p in positions:
            v = row[p]
            if v is None:
                parts.append("<NULL>")
                continue
            if isinstance(v, bytes) and table.columns[p].type.name in sqltypes.CHAR_TYPES:
                v = table.columns[p].collation.decode(v)
            parts.append(v if isinstance(v, str) else sqltypes.format_value(v) if not isinstance(v, bytes)
                         else "0x" + v.hex().upper())
        return ", ".join(parts)

    def check_unique(self, db, table, new_rows, replaced=()):
        """Unique indexes and key constraints over the table's rows plus new_rows (minus replaced)."""
        for index in table.indexes:
            if not index.unique:
                continue
            positions = [table.column_index(n, db.collation) for n in index.columns]
            seen = set()
            skip = {id(r) for r in replaced}
            for row in table.rows:
                if id(row) not in skip:
                    seen.add(self.key_of(table, row, positions))
            for row in new_rows:
                key = self.key_of(table, row, positions)
                if key in seen:
                    text = self.key_text(table, row, positions)
                    if index.kind:
                        raise SqlError(2627, "PRIMARY KEY" if index.kind == "PK" else "UNIQUE KEY", index.name,
                                       "dbo." + table.name, text)
                    raise SqlError(2601, "dbo." + table.name, index.name, text)
                seen.add(key)

    def do_Insert(self, stmt, scope):
        src = self.resolve(stmt.table, for_write=True)
        db, table = src.db, src.table
        cols = table.columns
        if stmt.columns is not None:
            positions = []
            for name in stmt.columns:
                idx = table.column_index(name, db.collation)
                if idx < 0:
                    raise SqlError(207, name)
                if idx in positions:
                    raise SqlError(264, cols[idx].name)
                positions.append(idx)
            for idx in positions:
                if cols[idx].identity:
                    raise SqlError(544, table.name)
        else:
            positions = [i for i, c in enumerate(cols) if not c.identity]
        if stmt.select is not None:
            plan = self.bind_select(stmt.select, scope)
            out_cols, rows = self.run_select(plan, scope)
            if len(out_cols) != len(positions):
                raise SqlError(213 if stmt.columns is None else 120 if len(out_cols) < len(positions) else 121,
                               text=None if stmt.columns is None else
                               "The select list for the INSERT statement contains %s items than the insert list. "
                               "The number of SELECT values must match the number of INSERT columns." % (
                                   "fewer" if len(out_cols) < len(positions) else "more"), severity=15)
            typed_rows = [[(v, c.type) for v, c in zip(row, out_cols)] for row in rows]
        else:
            typed_rows = []
            for row in stmt.rows:
                if stmt.default_values:
                    typed_rows.append([])
                    continue
                if len(row) != len(positions):
                    if stmt.columns is None:
                        if any(c.identity for c in cols) and len(row) == len(cols):
                            raise SqlError(8101, table.name)
                        raise SqlError(213)
                    raise SqlError(109 if len(row) < len(positions) else 110)
                typed_rows.append([(None, None, True) if isinstance(e, P.Default) else
                                   (self.eval_scalar(e, scope), self.expr_type(e, scope))
                                   for e in row])
            if stmt.default_values:
                positions = []
        new_rows = []
        for typed in self.rowcount_limited(typed_rows):
            row = [None] * len(cols)
            given = {}
            for idx, item in zip(positions, typed):
                if len(item) == 3:
                    continue  # DEFAULT
                given[idx] = item
            for i, col in enumerate(cols):
                if col.identity:
                    seed, step = col.identity
                    table.identity_last = seed if table.identity_last is None else table.identity_last + step
                    row[i] = table.identity_last
                    self.session.last_identity = table.identity_last
                elif i in given:
                    row[i] = self.store(db, table, col, given[i][0], given[i][1], "INSERT")
                else:
                    dv = self.default_value(db, table, col)
                    row[i] = self.store(db, table, col, dv[0] if dv else None, dv[1] if dv else None, "INSERT")
            new_rows.append(row)
        self.check_unique(db, table, new_rows)
        table.rows.extend(new_rows)
        self.server.dirty = True
        self.session.rowcount = len(new_rows)
        self.done(scope, 0, CMD_INSERT, len(new_rows))

    def matching_rows(self, src, where, scope):
        """Stored rows of a table whose values meet a WHERE condition."""
        values = self.row_values(src.db, src.table)
        src.rows = values
        env = Env([src])
        if where is not None:
            self.bind_expr(where, env)
        out = []
        for stored, vals in zip(src.table.rows, values):
            env.current[0] = vals
            if where is None or self.truth(where, env, scope):
                out.append((stored, vals))
        return self.rowcount_limited(out), env

    def rowcount_limited(self, rows):
        """SET ROWCOUNT n: a statement stops after n rows (SELECT, INSERT, UPDATE and DELETE alike)."""
        limit = self.session.options["ROWCOUNT"]
        return rows[:limit] if limit else rows

    def do_Update(self, stmt, scope):
        src = self.resolve(stmt.table, for_write=True)
        db, table = src.db, src.table
        targets = []
        for name, value in stmt.assignments:
            idx = table.column_index(name, db.collation)
            if idx < 0:
                raise SqlError(207, name)
            if table.columns[idx].identity:
                raise SqlError(8102, table.columns[idx].name)
            targets.append((idx, value))
        matches, env = self.matching_rows(src, stmt.where, scope)
        for _, value in targets:
            if not isinstance(value, P.Default):
                self.bind_expr(value, env)
        replacements = []
        for stored, vals in matches:
            env.current[0] = vals
            new = list(stored)
            for idx, value in targets:
                col = table.columns[idx]
                if isinstance(value, P.Default):
                    dv = self.default_value(db, table, col)
                    new[idx] = self.store(db, table, col, dv[0] if dv else None, dv[1] if dv else None, "UPDATE")
                else:
                    new[idx] = self.store(db, table, col, self.eval(value, env, scope),
                                          self.expr_type(value, scope, env), "UPDATE")
            replacements.append((stored, new))
        self.check_unique(db, table, [n for _, n in replacements], [s for s, _ in replacements])
        for stored, new in replacements:
            stored[:] = new
        if replacements:
            self.server.dirty = True
        self.session.rowcount = len(replacements)
        self.done(scope, 0, CMD_UPDATE, len(replacements))

    def do_Delete(self, stmt, scope):
        src = self.resolve(stmt.table, for_write=True)
        matches, _ = self.matching_rows(src, stmt.where, scope)
        gone = {id(stored) for stored, _ in matches}
        src.table.rows[:] = [r for r in src.table.rows if id(r) not in gone]
        if gone:
            self.server.dirty = True
        self.session.rowcount = len(gone)
        self.done(scope, 0, CMD_DELETE, len(gone))

    # -- queries ------------------------------------------------------------------------------------------

    def do_Select(self, stmt, scope):
        plan = self.bind_select(stmt, scope)
        columns, rows = self.run_select(plan, scope)
        rows = self.rowcount_limited(rows)
        assigns = [item for item in plan.items if item[4] is not None]
        if assigns:
            if len(assigns) != len(plan.items):
                raise SqlError(141, text="A SELECT statement that assigns a value to a variable must not be "
                                         "combined with data-retrieval operations.", severity=15)
            for row in rows:
                for (expr, name, typ, nullable, var), value in zip(plan.items, row):
                    v = self.variable(var, scope)
                    v[2] = self.assign_value(value, v[1], typ)
            self.session.rowcount = len(rows)
            self.done(scope, 0, CMD_SELECT)   # an assignment reports no row count
            return
        self.sink.columns(columns)
        cut = [k for k, c in enumerate(columns) if c.type.name in ("text", "ntext", "image") or
               (c.type.name in ("varchar", "nvarchar", "varbinary") and c.type.length == -1)]
        size = self.session.options["TEXTSIZE"]
        for row in rows:
            for k in cut:             # SET TEXTSIZE: large values are returned cut to that many bytes
                v = row[k]
                if v is not None:
                    row = list(row)
                    row[k] = v[:size // 2] if columns[k].type.name in ("ntext", "nvarchar") else v[:size]
            self.sink.row(row)
        self.session.rowcount = len(rows)
        self.done(scope, 0, CMD_SELECT, len(rows))

    def resolve(self, parts, for_write=False, quiet=False):
        """A table or view named by 1 to 3 parts, as a Source, or 208 (None when quiet)."""
        fold = self.server.fold
        name_txt = P.name_text(parts)
        db = self.session.db
        if len(parts) > 3:
            if quiet:
                return None
            raise SqlError(208, name_txt)
        schema = parts[-2] if len(parts) >= 2 else ""
        if len(parts) == 3 and parts[0]:
            db = self.server.database(parts[0])
            if db is None:
                if quiet:
                    return None
                raise SqlError(208, name_txt)
            self.check_access(db)
        name = parts[-1]
        if schema == "" or fold(schema) == fold("dbo"):
            table = db.find_table(name)
            if table is not None:
                src = Source([tuple(parts)], [
                    ColInfo(c.name, c.type, c.nullable, bool(c.identity)) for c in table.columns], None, table)
                src.db = db
                return src
        view = catalogviews.find_view(schema, name, fold)
        if view is not None:
            if for_write:
                raise SqlError(259)
            func, _ = view
            cols, rows = func(self.server, db, self.session)
            src = Source([tuple(parts)], cols, rows)
            src.db = db
            return src
        if quiet:
            return None
        raise SqlError(208, name_txt)

    def bind_select(self, sel, scope, parent=None, compile_only=False):
        """Resolves the sources of a SELECT and binds every column name in it."""
        sources = []

        def build(node):
            if isinstance(node, P.TableRef):
                src = self.resolve(node.parts, quiet=compile_only)
                if src is None:
                    raise _Deferred()
                if node.alias is not None:
                    src.names = [(node.alias,)]
                    src.aliased = True
                if src.table is not None and src.rows is None:
                    src.rows = [] if compile_only else self.row_values(src.db, src.table)
                sources.append(src)
                return len(sources) - 1
            if isinstance(node, P.Derived):
                inner = self.bind_select(node.select, scope, parent, compile_only)
                cols, rows = ([ColInfo(i[1] or "", i[2], i[3]) for i in inner.items], []) if compile_only \
                    else self.run_select(inner, scope)
                for c in cols:
                    if not c.name:
                        raise SqlError(8155, text="No column name was " "specified for a column of '%s'." % node.alias)
                src = Source([(node.alias,)], cols, rows)
                src.aliased = True
                sources.append(src)
                return len(sources) - 1
            left = build(node.left)
            right = build(node.right)
            return (node.kind, left, right, node.on)

        trees = [build(s) for s in sel.sources]
        env = Env(sources, parent)
        for tree in trees:
            self._bind_tree(tree, env, compile_only)
        plan = Plan(sel, env, trees)
        items = []
        for item in sel.items:
            if item[0] == "star":
                matched = False
                for si, src in enumerate(sources):
                    if item[1] is None or self._qualifies(src, item[1]):
                        matched = True
                        for ci, col in enumerate(src.columns):
                            ref = P.Col(parts=[col.name])
                            ref.bound = (0, si, ci)
                            items.append((ref, col.name, col.type, col.nullable, None))
                if not matched:
                    if item[1] is not None:
                        raise SqlError(107, text="The column prefix '%s' does not match with a table name or alias "
                                                 "name used in the query." % P.name_text(item[1]))
                    raise SqlError(263, text="Must specify table to select from.")
                continue
            if item[0] == "assign":
                self.bind_expr(item[2], env, compile_only)
                typ = self.expr_type(item[2], scope, env)
                items.append((item[2], None, typ, True, item[1]))
                continue
            expr, alias = item[1], item[2]
            self.bind_expr(expr, env, compile_only)
            typ = self.expr_type(expr, scope, env)
            name = alias if alias is not None else expr.parts[-1] if isinstance(expr, P.Col) else ""
            nullable = True
            if isinstance(expr, P.Col):
                col = self._column_of(expr, env)
                nullable = col.nullable
                name = alias if alias is not None else col.name
            elif isinstance(expr, P.Func) and expr.name in ("COUNT", "COUNT_BIG"):
                nullable = False
            items.append((expr, name, typ, nullable, None))
        plan.items = items
        if sel.where is not None:
            self.bind_expr(sel.where, env, compile_only)
        for g in sel.group:
            self.bind_expr(g, env, compile_only)
        if sel.having is not None:
            self.bind_expr(sel.having, env, compile_only)
        aliases = {self.server.fold(i[1]) for i in items if i[1]}
        for expr, desc in sel.order:
            if isinstance(expr, P.Col) and len(expr.parts) == 1 and self.server.fold(expr.parts[0]) in aliases:
                expr.bound = None
                continue
            if isinstance(expr, P.Lit) and isinstance(expr.value, int):
                continue
            self.bind_expr(expr, env, compile_only)
        if sel.top is not None:
            self.bind_expr(sel.top, env, compile_only)
        self.check_grouping(plan)
        return plan

    def _bind_tree(self, tree, env, compile_only):
        if isinstance(tree, tuple):
            self._bind_tree(tree[1], env, compile_only)
            self._bind_tree(tree[2], env, compile_only)
            if tree[3] is not None:
                self.bind_expr(tree[3], env, compile_only)

    def _qualifies(self, src, qualifier):
        fold = self.server.fold
        q = [fold(p) for p in qualifier]
        for names in src.names:
            n = [fold(p) for p in names]
            if getattr(src, "aliased", False):
                if q == n:
                    return True
                continue
            # A table can be qualified by its name, or by its name with schema and database as written.
            if q[-1] != n[-1]:
                continue
            if len(q) == 1 or q == n or (len(q) == 2 and q[0] in ("dbo", "sys", "") and len(n) >= 1):
                return True
            if len(q) <= len(n) and n[-len(q):] == q:
                return True
        return False

    def _column_of(self, col, env):
        depth, si, ci = col.bound
        e = env
        for _ in range(depth):
            e = e.parent
        return e.sources[si].columns[ci]

    def bind_expr(self, expr, env, compile_only=False):
        for node in _walk(expr, into_subqueries=False):
            if isinstance(node, P.Col):
                node.bound = self.bind_column(node, env)
            elif isinstance(node, (P.Subquery, P.Exists)):
                node.plan = self.bind_select(node.select, None, env, compile_only)

    def bind_column(self, col, env):
        fold = self.server.fold
        name = fold(col.parts[-1])
        qualifier = col.parts[:-1]
        depth = 0
        e = env
        while e is not None:
            found = None
            for si, src in enumerate(e.sources):
                if qualifier and not self._qualifies(src, qualifier):
                    continue
                for ci, c in enumerate(src.columns):
                    if fold(c.name) == name:
                        if found is not None:
                            raise SqlError(209, col.parts[-1])
                        found = (depth, si, ci)
            if found is not None:
                return found
            e = e.parent
            depth += 1
        if qualifier and not any(self._qualifies(s, qualifier) for s in env.sources):
            raise SqlError(4104, text="The multi-part identifier \"%s\" could not be bound." % P.name_text(
                col.parts), severity=16, reach=SCOPE)
        raise SqlError(207, col.parts[-1])

    def check_grouping(self, plan):
        sel = plan.select
        grouped = bool(sel.group) or any(_has_aggregate(i[0]) for i in plan.items if i[0] is not None)
        plan.grouped = grouped
        if not grouped:
            return
        keys = {c.bound for g in sel.group for c in _walk(g) if isinstance(c, P.Col)}
        exprs = [i[0] for i in plan.items] + [e for e, _ in sel.order] + ([sel.having] if sel.having else [])
        for expr in exprs:
            for col in _walk_outside_aggregates(expr):
                if isinstance(col, P.Col) and getattr(col, "bound", None) and col.bound[0] == 0 \
                        and col.bound not in keys:
                    raise SqlError(8120, "%s.%s" % (plan.env.sources[col.bound[1]].names[0][-1],
                                                    plan.env.sources[col.bound[1]].columns[col.bound[2]].name))

    def join_rows(self, tree, env, scope):
        """Combined rows of a FROM tree: lists with one row (or None) per source."""
        n = len(env.sources)
        if not isinstance(tree, tuple):
            out = []
            for row in env.sources[tree].rows:
                combo = [None] * n
                combo[tree] = row
                out.append(combo)
            return out
        kind, left, right, on = tree
        lrows = self.join_rows(left, env, scope)
        rrows = self.join_rows(right, env, scope)
        right_idx = _tree_indexes(right)
        left_idx = _tree_indexes(left)
        out = []
        matched_right = set()
        for lr in lrows:
            hit = False
            for ri, rr in enumerate(rrows):
                combo = [a if a is not None else b for a, b in zip(lr, rr)]
                if on is not None:
                    env.current = combo
                    if not self.truth(on, env, scope):
                        continue
                hit = True
                matched_right.add(ri)
                out.append(combo)
            if not hit and kind in ("LEFT", "FULL"):
                combo = list(lr)
                for i in right_idx:
                    combo[i] = [None] * len(env.sources[i].columns)
                out.append(combo)
        if kind in ("RIGHT", "FULL"):
            for ri, rr in enumerate(rrows):
                if ri not in matched_right:
                    combo = list(rr)
                    for i in left_idx:
                        combo[i] = [None] * len(env.sources[i].columns)
                    out.append(combo)
        return out

    def run_select(self, plan, scope):
        """(columns, rows) of a bound SELECT."""
        sel, env = plan.select, plan.env
        if plan.tree:
            combos = None
            for tree in plan.tree:
                rows = self.join_rows(tree, env, scope)
                if combos is None:
                    combos = rows
                else:
                    combos = [[a if a is not None else b for a, b in zip(x, y)] for x in combos for y in rows]
        else:
            combos = [[]]
        if sel.where is not None:
            kept = []
            for combo in combos:
                env.current = combo
                if self.truth(sel.where, env, scope):
                    kept.append(combo)
            combos = kept
        if getattr(plan, "grouped", False):
            groups = {}
            order = []
            for combo in combos:
                env.current = combo
                key = tuple(_group_key(self.eval(g, env, scope), self.server.fold) for g in sel.group)
                if key not in groups:
                    groups[key] = []
                    order.append(key)
                groups[key].append(combo)
            units = [groups[k] for k in order]
            if not sel.group and not units:
                units = [[]]
        else:
            units = [[c] for c in combos]
        out = []
        for unit in units:
            env.group = unit
            env.current = unit[0] if unit else [[None] * len(s.columns) for s in env.sources]
            if sel.having is not None and not self.truth(sel.having, env, scope):
                continue
            values = [self.eval(item[0], env, scope) for item in plan.items]
            env.outputs = values
            keys = [self.order_value(expr, plan, env, scope) for expr, _ in sel.order]
            out.append((values, keys))
        env.group = None
        if sel.distinct:
            seen, unique = set(), []
            for values, keys in out:
                k = tuple(_group_key(v, self.server.fold) for v in values)
                if k not in seen:
                    seen.add(k)
                    unique.append((values, keys))
            out = unique
        if sel.order:
            import functools

            def cmp(a, b):
                for (va, vb), (_, desc) in zip(zip(a[1], b[1]), sel.order):
                    c = self.compare_values(va, vb, nulls_low=True)
                    if c:
                        return -c if desc else c
                return 0
            out.sort(key=functools.cmp_to_key(cmp))
        if sel.top is not None:
            top = self.eval(sel.top, env, scope)
            out = out[:max(int(top or 0), 0)]
        columns = [ColInfo(i[1] or "", i[2] or sqltypes.INT, i[3]) for i in plan.items]
        return columns, [v for v, _ in out]

    def order_value(self, expr, plan, env, scope):
        if isinstance(expr, P.Lit) and isinstance(expr.value, int):
            pos = expr.value
            if not 1 <= pos <= len(plan.items):
                raise SqlError(108, text="The ORDER BY position number %d is out of range of the number of items "
                                         "in the select list." % pos, severity=15)
            return env.outputs[pos - 1]
        if isinstance(expr, P.Col) and getattr(expr, "bound", None) is None:
            key = self.server.fold(expr.parts[0])
            for i, item in enumerate(plan.items):
                if item[1] and self.server.fold(item[1]) == key:
                    return env.outputs[i]
        return self.eval(expr, env, scope)

    # -- procedures ---------------------------------------------------------------------------------------

    def do_Exec(self, stmt, scope):
        if stmt.proc is None:
            text = self.eval_scalar(stmt.dynamic, scope)
            inner = Scope(scope.depth + 1)
            old_db = self.session.database
            try:
                self.run_text("" if text is None else str(text), inner)
            finally:
                self.restore_database(old_db)
            return
        args = []
        for name, value, output in stmt.args:
            if isinstance(value, P.Default):
                args.append((name, procs.DEFAULT, None, output, None))
                continue
            val = self.eval_scalar(value, scope)
            typ = self.expr_type(value, scope)
            target = value.name if isinstance(value, P.Var) else None
            if output and target is None:
                raise SqlError(179, text="Cannot use the OUTPUT option when passing a constant to a stored "
                                         "procedure.", severity=15)
            args.append((name, val, typ, output, target))
        status, outputs = self.call_procedure(stmt.proc, args, scope, stmt.line)
        for k, value in outputs:
            target = args[k][4]
            if target is not None:
                var = self.variable(target, scope)
                var[2] = self.assign_value(value, var[1])
        if stmt.status_var is not None:
            var = self.variable(stmt.status_var, scope)
            var[2] = self.assign_value(status, var[1])

    def call_procedure(self, parts, args, scope, line, rpc=False):
        """Runs a system procedure. Returns (status, [(argument index, value)] for OUTPUT arguments)."""
        proc = procs.find(parts, self.server.fold)
        if proc is None:
            raise SqlError(2812, P.name_text(parts))
        inner = Scope(scope.depth + 1, proc.name)
        outputs = []
        try:
            values = procs.bind_arguments(proc, args)
            if proc.name in procs.TEXT_RUNNERS:
                status = proc.run(self, inner, values, args, outputs)    # each statement locks for itself
            else:
                with self.server.lock:
                    status = proc.run(self, inner, values, args, outputs)
        except Abort as a:
            if a.error.reach == BATCH:
                raise
            status = a.error.number if proc.name == "sp_executesql" else 1
        except SqlError as e:
            e.proc = e.proc or proc.name
            if e.reach == BATCH:
                raise
            self.emit_error(e, inner, line)
            self.session.error = e.number
            status = 1
        if status is None:
            status = 0
        self.sink.return_status(status)
        if not rpc:
            self.sink.done("DONEPROC", DONE_MORE, 0xE0, 0)
        return status, outputs

    def restore_database(self, old):
        with self.server.lock:
            self._restore_database(old)

    def _restore_database(self, old):
        if self.server.fold(self.session.database) != self.server.fold(old):
            new = self.session.database
            self.session.database = old if self.server.database(old) else "master"
            self.sink.env_change(1, self.session.database, new)

    # =====================================================================================================
    # Expressions

    def eval_scalar(self, expr, scope):
        env = Env([])
        self.bind_expr(expr, env)
        return self.eval(expr, env, scope)

    def eval_condition(self, expr, scope):
        env = Env([])
        self.bind_expr(expr, env)
        return self.truth(expr, env, scope)

    def truth(self, expr, env, scope):
        return self.eval(expr, env, scope) is True

    def column_value(self, node, env):
        depth, si, ci = node.bound
        e = env
        for _ in range(depth):
            e = e.parent
        row = e.current[si]
        return None if row is None else row[ci]

    def eval(self, node, env, scope):
        t = type(node)
        if t is P.Lit:
            return node.value
        if t is P.Col:
            return self.column_value(node, env)
        if t is P.Var:
            return self.variable(node.name, scope)[2]
        if t is P.GlobalVar:
            return GLOBALS[node.name](self)
        if t is P.Compare:
            return self.compare(node.op, node.left, node.right, env, scope)
        if t is P.And:
            a = self.eval(node.left, env, scope)
            if a is False:
                return False
            b = self.eval(node.right, env, scope)
            if b is False:
                return False
            return True if a is True and b is True else None
        if t is P.Or:
            a = self.eval(node.left, env, scope)
            if a is True:
                return True
            b = self.eval(node.right, env, scope)
            if b is True:
                return True
            return False if a is False and b is False else None
        if t is P.Not:
            a = self.eval(node.operand, env, scope)
            return None if a is None else not a
        if t is P.IsNull:
            v = self.eval(node.operand, env, scope)
            return (v is not None) if node.negate else (v is None)
        if t is P.Exists:
            _, rows = self.run_select(_rebind(node.plan, env), scope)
            return bool(rows)
        if t is P.Subquery:
            cols, rows = self.run_select(_rebind(node.plan, env), scope)
            if len(cols) != 1:
                raise SqlError(116, text="Only one expression can be specified in the select list when the "
                                         "subquery is not introduced with EXISTS.", reach=COMPILE)
            if len(rows) > 1:
                raise SqlError(512)
            return rows[0][0] if rows else None
        if t is P.Binary:
            return self.arith(node, env, scope)
        if t is P.Unary:
            v = self.eval(node.operand, env, scope)
            if v is None:
                return None
            if isinstance(v, str):
                v = sqltypes.convert(v, sqltypes.INT, sqltypes.varchar(len(v)))
            if node.op == "-":
                return -v
            if node.op == "~":
                return ~int(v)
            return v
        if t is P.Func:
            if node.name in P.AGGREGATES:
                return self.aggregate(node, env, scope)
            return FUNCTIONS[node.name][0](self, node, env, scope)
        if t is P.Cast:
            v = self.eval(node.operand, env, scope)
            source = self.expr_type(node.operand, scope, env)
            if node.style is not None and isinstance(v, datetime.datetime) and node.type.is_string:
                v = _datetime_style(v, self.eval(node.style, env, scope))
            try:
                v = sqltypes.convert(v, node.type, source, collation=self.server.collation)
            except SqlError:
                if node.try_:
                    return None
                raise
            if v is not None and node.type.length not in (None, -1) and isinstance(v, (str, bytes)):
                if node.type.name in sqltypes.CHAR_TYPES and isinstance(v, str):
                    data = self.server.collation.encode(v)[:node.type.length]
                    v = self.server.collation.decode(data)
                    if node.type.name == "char":
                        v = v.ljust(node.type.length)
                else:
                    v = v[:node.type.length]
                    if node.type.name == "nchar":
                        v = v.ljust(node.type.length)
                    elif node.type.name == "binary":
                        v = v.ljust(node.type.length, b"\x00")
            return v
        if t is P.Case:
            if node.operand is not None:
                base = self.eval(node.operand, env, scope)
                for cond, result in node.whens:
                    if self.compare_values(base, self.eval(cond, env, scope)) == 0 and base is not None:
                        return self.eval(result, env, scope)
            else:
                for cond, result in node.whens:
                    if self.truth(cond, env, scope):
                        return self.eval(result, env, scope)
            return self.eval(node.other, env, scope) if node.other is not None else None
        if t is P.InList:
            v = self.eval(node.operand, env, scope)
            if isinstance(node.values, P.Subquery):
                _, rows = self.run_select(_rebind(node.values.plan, env), scope)
                candidates = [r[0] for r in rows]
            else:
                candidates = [self.eval(e, env, scope) for e in node.values]
            if v is None:
                return None
            unknown = False
            for c in candidates:
                if c is None:
                    unknown = True
                elif self.compare_values(v, c) == 0:
                    return not node.negate
            return None if unknown else node.negate
        if t is P.Between:
            v = self.eval(node.operand, env, scope)
            lo = self.eval(node.low, env, scope)
            hi = self.eval(node.high, env, scope)
            if v is None or lo is None or hi is None:
                return None
            inside = self.compare_values(v, lo) >= 0 and self.compare_values(v, hi) <= 0
            return inside != node.negate
        if t is P.Like:
            v = self.eval(node.operand, env, scope)
            pat = self.eval(node.pattern, env, scope)
            esc = self.eval(node.escape, env, scope) if node.escape is not None else None
            if v is None or pat is None:
                return None
            if not isinstance(v, str):
                v = sqltypes.format_value(v)
            regex = _like_regex(self.server.fold(str(pat)), esc)
            return bool(regex.match(self.server.fold(v))) != node.negate
        if t is P.Default:
            raise SqlError(102, "DEFAULT")
        raise SqlError(40517, type(node).__name__)

    def compare(self, op, left, right, env, scope):
        a = self.eval(left, env, scope)
        b = self.eval(right, env, scope)
        if a is None or b is None:
            return None
        c = self.compare_values(a, b, self.expr_type(left, scope, env), self.expr_type(right, scope, env))
        return {"=": c == 0, "<>": c != 0, "<": c < 0, ">": c > 0, "<=": c <= 0, ">=": c >= 0}[op]

    def compare_values(self, a, b, ta=None, tb=None, nulls_low=False):
        if a is None or b is None:
            if not nulls_low:
                return 1
            return (a is not None) - (b is not None)
        if isinstance(a, str) and isinstance(b, str):
            key = self.server.collation.sort_key
            fa, fb = key(a.rstrip(" ")), key(b.rstrip(" "))
            return (fa > fb) - (fa < fb)
        if isinstance(a, str) != isinstance(b, str):
            # The string side converts to the type of the other side.
            if isinstance(a, str):
                a = self._coerce(a, b, ta)
            else:
                b = self._coerce(b, a, tb)
        if isinstance(a, bytes) != isinstance(b, bytes):
            a = a if isinstance(a, bytes) else sqltypes.convert(a, sqltypes.varbinary(8000), ta)
            b = b if isinstance(b, bytes) else sqltypes.convert(b, sqltypes.varbinary(8000), tb)
        if isinstance(a, datetime.datetime) != isinstance(b, datetime.datetime):
            a = a if isinstance(a, datetime.datetime) else sqltypes.convert(a, sqltypes.DATETIME)
            b = b if isinstance(b, datetime.datetime) else sqltypes.convert(b, sqltypes.DATETIME)
        return (a > b) - (a < b)

    def _coerce(self, text, other, text_type):
        source = text_type if text_type is not None else sqltypes.varchar(len(text))
        if isinstance(other, datetime.datetime):
            return sqltypes.convert(text, sqltypes.DATETIME, source)
        if isinstance(other, float):
            return sqltypes.convert(text, sqltypes.FLOAT, source)
        if isinstance(other, decimal.Decimal):
            return sqltypes.convert(text, SqlType("numeric", None, 38, 10), source)
        if isinstance(other, bytes):
            return sqltypes.convert(text, sqltypes.varbinary(8000), source)
        return sqltypes.convert(text, sqltypes.BIGINT if abs(other) >= 2 ** 31 else sqltypes.INT, source)

    def arith(self, node, env, scope):
        a = self.eval(node.left, env, scope)
        b = self.eval(node.right, env, scope)
        op = node.op
        if op == "+" and (isinstance(a, str) or isinstance(b, str)) and (
                a is None or isinstance(a, str)) and (b is None or isinstance(b, str)):
            if a is None or b is None:
                return None if self.session.options["CONCAT_NULL_YIELDS_NULL"] else (a or "") + (b or "")
            return a + b
        if op == "+" and isinstance(a, bytes) and isinstance(b, bytes):
            return a + b
        if a is None or b is None:
            return None
        ta, tb = self.expr_type(node.left, scope, env), self.expr_type(node.right, scope, env)
        if isinstance(a, str):
            a = self._coerce(a, b, ta)
        if isinstance(b, str):
            b = self._coerce(b, a, tb)
        if isinstance(a, datetime.datetime) or isinstance(b, datetime.datetime):
            if op == "+":
                base, days = (a, b) if isinstance(a, datetime.datetime) else (b, a)
                return sqltypes.round_datetime(base + datetime.timedelta(days=float(days)))
            if op == "-" and isinstance(a, datetime.datetime) and not isinstance(b, datetime.datetime):
                return sqltypes.round_datetime(a - datetime.timedelta(days=float(b)))
            if op == "-":
                return sqltypes.round_datetime(datetime.datetime(1900, 1, 1) + (a - b))
            raise SqlError(8117, text="Operand data type datetime is invalid for %s operator." % {
                "*": "multiply", "/": "divide", "%": "modulo"}.get(op, op))
        if isinstance(a, float) or isinstance(b, float):
            a, b = float(a), float(b)
        elif isinstance(a, decimal.Decimal) or isinstance(b, decimal.Decimal):
            a, b = decimal.Decimal(a), decimal.Decimal(b)
        try:
            if op == "+":
                return a + b
            if op == "-":
                return a - b
            if op == "*":
                return a * b
            if op in ("/", "%") and b == 0:
                raise SqlError(8134)
            if op == "/":
                if isinstance(a, int) and isinstance(b, int):
                    q = abs(a) // abs(b)
                    return q if (a >= 0) == (b >= 0) else -q
                return a / b
            if op == "%":
                if isinstance(a, int) and isinstance(b, int):
                    r = abs(a) % abs(b)
                    return r if a >= 0 else -r
                return decimal.Decimal(a) % decimal.Decimal(b) if not isinstance(a, float) else a % b
            if op in ("&", "|", "^"):
                a, b = int(a), int(b)
                return a & b if op == "&" else a | b if op == "|" else a ^ b
        except decimal.InvalidOperation:
            raise SqlError(8115, "expression", "numeric") from None
        raise SqlError(102, op)

    def aggregate(self, node, env, scope):
        rows = env.group if env.group is not None else [env.current]
        saved = env.current
        values = []
        try:
            for combo in rows:
                env.current = combo
                if node.star:
                    values.append(1)
                    continue
                v = self.eval(node.args[0], env, scope)
                if v is not None:
                    values.append(v)
        finally:
            env.current = saved
        if node.distinct:
            seen, unique = set(), []
            for v in values:
                k = _group_key(v, self.server.fold)
                if k not in seen:
                    seen.add(k)
                    unique.append(v)
            values = unique
        name = node.name
        if name in ("COUNT", "COUNT_BIG"):
            return len(values)
        if not values:
            return None
        if name == "SUM":
            return sum(values[1:], values[0])
        if name == "AVG":
            total = sum(values[1:], values[0])
            if isinstance(total, int):
                return int(total / len(values))
            return total / len(values)
        best = values[0]
        for v in values[1:]:
            c = self.compare_values(v, best)
            if (name == "MIN" and c < 0) or (name == "MAX" and c > 0):
                best = v
        return best

    def expr_type(self, node, scope, env=None):
        """The SQL type of an expression's result, or None for an untyped NULL."""
        t = type(node)
        if t is P.Lit:
            return node.type
        if t is P.Col:
            if getattr(node, "bound", None) is None:
                return None
            e = env
            depth, si, ci = node.bound
            for _ in range(depth):
                e = e.parent
            return e.sources[si].columns[ci].type
        if t is P.Var:
            var = scope.vars.get(self.server.fold(node.name)) if scope is not None else None
            return var[1] if var is not None else None   # not yet declared while the batch compiles
        if t is P.GlobalVar:
            return GLOBAL_TYPES.get(node.name, sqltypes.INT)
        if t is P.Cast:
            return node.type
        if t is P.Binary:
            ta, tb = self.expr_type(node.left, scope, env), self.expr_type(node.right, scope, env)
            if node.op == "+" or node.op == "-":
                return sqltypes.result_type(ta, tb)
            if ta is not None and ta.is_string and tb is not None and tb.is_string:
                return sqltypes.INT
            return sqltypes.result_type(ta, tb)
        if t is P.Unary:
            return self.expr_type(node.operand, scope, env)
        if t is P.Func:
            if node.name in ("COUNT",):
                return sqltypes.INT
            if node.name == "COUNT_BIG":
                return sqltypes.BIGINT
            if node.name in ("SUM", "AVG"):
                a = self.expr_type(node.args[0], scope, env)
                if a is not None and a.name in ("tinyint", "smallint", "bit"):
                    return sqltypes.INT
                if a is not None and a.name in ("numeric", "decimal"):
                    return SqlType(a.name, None, 38, a.scale)
                return a or sqltypes.INT
            if node.name in ("MIN", "MAX"):
                return self.expr_type(node.args[0], scope, env)
            typ = FUNCTIONS[node.name][1]
            if callable(typ):
                return typ(self, node, scope, env)
            return typ
        if t is P.Subquery:
            plan = getattr(node, "plan", None)
            return plan.items[0][2] if plan is not None and plan.items else None
        if t is P.Case:
            result = None
            for _, r in node.whens:
                result = sqltypes.result_type(result, self.expr_type(r, scope, env))
            if node.other is not None:
                result = sqltypes.result_type(result, self.expr_type(node.other, scope, env))
            return result
        return sqltypes.INT


class _Deferred(Exception):
    """A table of the statement does not exist yet: its names are checked when it runs."""


# =========================================================================================================
# Helpers


def _walk(node, into_subqueries=True):
    """Every expression node below node (itself included)."""
    if node is None:
        return
    stack = [node]
    while stack:
        n = stack.pop()
        if isinstance(n, list):
            stack.extend(n)
            continue
        if isinstance(n, tuple):
            stack.extend(x for x in n if isinstance(x, (P.Node, list, tuple)))
            continue
        if not isinstance(n, P.Node):
            continue
        yield n
        if isinstance(n, (P.Subquery, P.Exists)):
            if into_subqueries:
                stack.extend(_select_exprs(n.select))
            continue
        if isinstance(n, P.InList) and isinstance(n.values, P.Subquery):
            stack.append(n.operand)
            if into_subqueries:
                stack.extend(_select_exprs(n.values.select))
            else:
                yield n.values
            continue
        for key, value in n.__dict__.items():
            if key in ("bound", "plan", "type"):
                continue
            if isinstance(value, (P.Node, list, tuple)):
                stack.append(value)


def _walk_outside_aggregates(node):
    if node is None:
        return
    stack = [node]
    while stack:
        n = stack.pop()
        if isinstance(n, P.Func) and n.name in P.AGGREGATES:
            continue
        if isinstance(n, (P.Subquery, P.Exists)):
            continue
        if isinstance(n, list):
            stack.extend(n)
            continue
        if isinstance(n, tuple):
            stack.extend(x for x in n if isinstance(x, (P.Node, list, tuple)))
            continue
        if not isinstance(n, P.Node):
            continue
        yield n
        for key, value in n.__dict__.items():
            if key in ("bound", "plan", "type"):
                continue
            if isinstance(value, (P.Node, list, tuple)):
                stack.append(value)


def _has_aggregate(node):
    return any(isinstance(n, P.Func) and n.name in P.AGGREGATES for n in _walk(node, into_subqueries=False))


def _select_exprs(sel):
    out = []
    for item in sel.items:
        if item[0] == "expr":
            out.append(item[1])
        elif item[0] == "assign":
            out.append(item[2])
    out.extend([sel.where, sel.having, sel.top] + list(sel.group) + [e for e, _ in sel.order])

    def tree(src):
        if isinstance(src, P.Join):
            tree(src.left)
            tree(src.right)
            out.append(src.on)
        elif isinstance(src, P.Derived):
            out.extend(_select_exprs(src.select))
    for s in sel.sources:
        tree(s)
    return [e for e in out if e is not None]


def _stmt_exprs(stmt):
    if isinstance(stmt, P.Select):
        return _select_exprs(stmt)
    if isinstance(stmt, P.Insert):
        exprs = [e for row in (stmt.rows or []) for e in row]
        return exprs + (_select_exprs(stmt.select) if stmt.select is not None else [])
    if isinstance(stmt, P.Update):
        return [v for _, v in stmt.assignments] + ([stmt.where] if stmt.where is not None else [])
    if isinstance(stmt, P.Delete):
        return [stmt.where] if stmt.where is not None else []
    if isinstance(stmt, (P.SetVar, P.Print)):
        return [stmt.value]
    if isinstance(stmt, P.Return):
        return [stmt.value] if stmt.value is not None else []
    if isinstance(stmt, P.Exec):
        return [v for _, v, _ in stmt.args] + ([stmt.dynamic] if stmt.dynamic is not None else [])
    if isinstance(stmt, P.Raiserror):
        return [stmt.message, stmt.severity, stmt.state] + list(stmt.args)
    if isinstance(stmt, P.SetOption) and isinstance(stmt.value, P.Var):
        return [stmt.value]
    return []


def _tree_indexes(tree):
    if isinstance(tree, tuple):
        return _tree_indexes(tree[1]) + _tree_indexes(tree[2])
    return [tree]


def _rebind(plan, env):
    """A subquery's plan with the current row of the enclosing query as its parent."""
    plan.env.parent = env
    return plan


def _group_key(value, fold):
    if isinstance(value, str):
        return ("s", fold(value.rstrip(" ")))
    return value


def _like_regex(pattern, escape):
    out, i = ["^"], 0
    while i < len(pattern):
        ch = pattern[i]
        if escape and ch == escape and i + 1 < len(pattern):
            out.append(re.escape(pattern[i + 1]))
            i += 2
            continue
        if ch == "%":
            out.append(".*")
        elif ch == "_":
            out.append(".")
        elif ch == "[":
            j = pattern.find("]", i + 1)
            if j < 0:
                out.append(re.escape(ch))
            else:
                body = pattern[i + 1:j]
                if body.startswith("^"):
                    body = "^" + body[1:].replace("\\", "\\\\")
                else:
                    body = body.replace("\\", "\\\\")
                out.append("[" + body + "]")
                i = j
        else:
            out.append(re.escape(ch))
        i += 1
    out.append(r"\Z")
    return re.compile("".join(out), re.S)


_STYLES = {101: "%m/%d/%Y", 1: "%m/%d/%y", 103: "%d/%m/%Y", 3: "%d/%m/%y", 104: "%d.%m.%Y", 4: "%d.%m.%y",
           105: "%d-%m-%Y", 5: "%d-%m-%y", 108: "%H:%M:%S", 8: "%H:%M:%S", 110: "%m-%d-%Y", 10: "%m-%d-%y",
           111: "%Y/%m/%d", 11: "%y/%m/%d", 112: "%Y%m%d", 12: "%y%m%d", 120: "%Y-%m-%d %H:%M:%S",
           20: "%Y-%m-%d %H:%M:%S", 23: "%Y-%m-%d", 126: "%Y-%m-%dT%H:%M:%S"}


def _datetime_style(value, style):
    """CONVERT(char type, datetime, style) for the common styles; others use the default form."""
    if style in (121, 21):
        return value.strftime("%Y-%m-%d %H:%M:%S.") + "%03d" % (value.microsecond // 1000)
    fmt = _STYLES.get(style)
    if fmt is None:
        return sqltypes.format_value(value)
    text = value.strftime(fmt)
    if style == 126 and value.microsecond:
        text += ".%03d" % (value.microsecond // 1000)
    return text


def _printf(fmt, args):
    """RAISERROR's message formatting: %s, %d, %i, %u, %x and %%."""
    out, i, k = [], 0, 0
    while i < len(fmt):
        if fmt[i] == "%" and i + 1 < len(fmt):
            j = i + 1
            while j < len(fmt) and fmt[j] in "-+ #0123456789.hlI":
                j += 1
            if j < len(fmt) and fmt[j] in "sdiuxXo":
                value = args[k] if k < len(args) else None
                k += 1
                out.append("(null)" if value is None else str(value))
                i = j + 1
                continue
            if fmt[i + 1] == "%":
                out.append("%")
                i += 2
                continue
        out.append(fmt[i])
        i += 1
    return "".join(out)


# =========================================================================================================
# Built-in functions: name -> (implementation(executor, node, env, scope), result type or function)


def _args(ex, node, env, scope, count=None):
    if count is not None and len(node.args) not in (count if isinstance(count, tuple) else (count,)):
        raise SqlError(174, node.name.lower(), count if not isinstance(count, tuple) else count[0])
    return [ex.eval(a, env, scope) for a in node.args]


def _arg_type(ex, node, scope, env, i=0):
    return ex.expr_type(node.args[i], scope, env) if len(node.args) > i else None


def f_getdate(ex, node, env, scope):
    _args(ex, node, env, scope, 0)
    return catalog.now()


def f_db_name(ex, node, env, scope):
    args = _args(ex, node, env, scope, (0, 1))
    if not args or args[0] is None:
        return ex.session.database if not args else None
    for db in ex.server.databases.values():
        if db.dbid == int(args[0]):
            return db.name
    return None


def f_db_id(ex, node, env, scope):
    args = _args(ex, node, env, scope, (0, 1))
    db = ex.session.db if not args else ex.server.database(args[0]) if args[0] is not None else None
    return db.dbid if db else None


def f_object_id(ex, node, env, scope):
    args = _args(ex, node, env, scope, (1, 2))
    if args[0] is None:
        return None
    try:
        parts = P.parse_name(str(args[0]))
    except SqlError:
        return None
    if len(parts) > 3:
        return None
    db = ex.session.db
    if len(parts) == 3 and parts[0]:
        db = ex.server.database(parts[0])
        if db is None:
            return None
    if len(parts) >= 2 and parts[-2] and ex.server.fold(parts[-2]) != ex.server.fold("dbo"):
        return None
    obj = db.find_object(parts[-1])
    if obj is None:
        return None
    if len(args) > 1 and args[1] is not None and args[1].strip().upper() != obj.xtype:
        return None
    return obj.id


def f_object_name(ex, node, env, scope):
    args = _args(ex, node, env, scope, (1, 2))
    if args[0] is None:
        return None
    db = ex.session.db
    if len(args) > 1 and args[1] is not None:
        db = next((d for d in ex.server.databases.values() if d.dbid == int(args[1])), None)
        if db is None:
            return None
    obj = db.object_by_id(int(args[0]))
    return obj.name if obj else None


def f_objectproperty(ex, node, env, scope):
    oid, prop = _args(ex, node, env, scope, 2)
    if oid is None or prop is None:
        return None
    db = ex.session.db
    obj = db.object_by_id(int(oid))
    if obj is None:
        return None
    prop = str(prop).lower()
    if prop in ("isusertable", "istable"):
        return 1 if obj.xtype == "U" else 0
    if prop == "isprimarykey":
        return 1 if obj.xtype == "PK" else 0
    if prop == "isuniquecnst":
        return 1 if obj.xtype == "UQ" else 0
    if prop == "isdefaultcnst":
        return 1 if obj.xtype == "D" else 0
    if prop == "isconstraint":
        return 1 if obj.xtype in ("PK", "UQ", "D") else 0
    if prop == "ismsshipped":
        return 0
    if prop == "ownerid" or prop == "schemaid":
        return 1
    if prop == "tablehasprimarykey":
        return None if obj.xtype != "U" else int(any(i.kind == "PK" for i in db.tables[obj.id].indexes))
    if prop == "tablehasidentity":
        return None if obj.xtype != "U" else int(any(c.identity for c in db.tables[obj.id].columns))
    if prop == "tablehastextimage":
        return None if obj.xtype != "U" else int(db.tables[obj.id].has_lob())
    return None


def f_is_srvrolemember(ex, node, env, scope):
    args = _args(ex, node, env, scope, (1, 2))
    role = args[0]
    if role is None:
        return None
    role = "public" if ex.server.fold(str(role)) == ex.server.fold("public") else \
        procs.fixed_role(ex.server, str(role))
    if role is None:
        return None
    login = ex.session.login
    if len(args) > 1:
        if args[1] is None:
            return None
        login = ex.server.login(args[1])
        if login is None:
            return None
        if login is not ex.session.login and not catalogviews.sees_all_logins(ex.session):
            return None           # no permission to view another login's memberships: NULL, as for an unknown one
    if role == "public":
        return 1
    return 1 if role in login.roles else 0


def f_suser_name(ex, node, env, scope):
    args = _args(ex, node, env, scope, (0, 1))
    if args:
        sid = args[0]
        for l in ex.server.logins.values():
            if (isinstance(sid, bytes) and l.sid == sid) or (isinstance(sid, int) and l.principal_id == sid):
                return l.name
        return None
    return ex.session.login.name


def f_user_name(ex, node, env, scope):
    _args(ex, node, env, scope, (0, 1))
    s = ex.session
    db = s.db
    if "sysadmin" in s.login.roles or ex.server.fold(db.owner) == ex.server.fold(s.login.name):
        return "dbo"
    return "guest"


def f_has_dbaccess(ex, node, env, scope):
    name, = _args(ex, node, env, scope, 1)
    db = ex.server.database(name) if name is not None else None
    if db is None:
        return None
    try:
        ex.check_access(db)
        return 1
    except SqlError:
        return 0


def f_isnull(ex, node, env, scope):
    a, b = _args(ex, node, env, scope, 2)
    if a is not None:
        return a
    return sqltypes.convert(b, ex.expr_type(node.args[0], scope, env) or ex.expr_type(node.args[1], scope, env)
                            or sqltypes.INT, ex.expr_type(node.args[1], scope, env)) if b is not None else None


def f_coalesce(ex, node, env, scope):
    if len(node.args) < 2:
        raise SqlError(189, text="The coalesce function requires 2 to 254 arguments.", severity=15)
    for a in node.args:
        v = ex.eval(a, env, scope)
        if v is not None:
            return v
    return None


def f_nullif(ex, node, env, scope):
    a, b = _args(ex, node, env, scope, 2)
    if a is not None and b is not None and ex.compare_values(a, b) == 0:
        return None
    return a


def _text(v):
    return v if isinstance(v, str) else sqltypes.format_value(v)


def f_len(ex, node, env, scope):
    v, = _args(ex, node, env, scope, 1)
    return None if v is None else len(_text(v).rstrip(" "))


def f_datalength(ex, node, env, scope):
    v, = _args(ex, node, env, scope, 1)
    if v is None:
        return None
    t = ex.expr_type(node.args[0], scope, env)
    if isinstance(v, bytes):
        return len(v)
    if isinstance(v, str):
        if t is not None and t.is_unicode:
            return 2 * len(v)
        return len(ex.server.collation.encode(v))
    return t.byte_length() if t is not None else 4


def f_upper(ex, node, env, scope):
    v, = _args(ex, node, env, scope, 1)
    if v is None:
        return None
    v = _text(v)
    if ex.server.collation.turkish:
        v = v.replace("i", "İ").replace("ı", "I")
    return v.upper()


def f_lower(ex, node, env, scope):
    v, = _args(ex, node, env, scope, 1)
    return None if v is None else ex.server.collation.fold(_text(v))


def f_ltrim(ex, node, env, scope):
    v, = _args(ex, node, env, scope, 1)
    return None if v is None else _text(v).lstrip(" ")


def f_rtrim(ex, node, env, scope):
    v, = _args(ex, node, env, scope, 1)
    return None if v is None else _text(v).rstrip(" ")


def f_trim(ex, node, env, scope):
    v, = _args(ex, node, env, scope, 1)
    return None if v is None else _text(v).strip(" ")


def f_substring(ex, node, env, scope):
    v, start, length = _args(ex, node, env, scope, 3)
    if v is None or start is None or length is None:
        return None
    if length < 0:
        raise SqlError(537, text="Invalid length parameter passed to the LEFT or SUBSTRING function.")
    begin = max(int(start), 1) - 1
    end = max(int(start) + int(length) - 1, 0)
    return v[begin:end] if isinstance(v, (str, bytes)) else _text(v)[begin:end]


def f_left(ex, node, env, scope):
    v, n = _args(ex, node, env, scope, 2)
    if v is None or n is None:
        return None
    return _text(v)[:max(int(n), 0)]


def f_right(ex, node, env, scope):
    v, n = _args(ex, node, env, scope, 2)
    if v is None or n is None:
        return None
    n = max(int(n), 0)
    return _text(v)[-n:] if n else ""


def f_replace(ex, node, env, scope):
    v, a, b = _args(ex, node, env, scope, 3)
    if v is None or a is None or b is None:
        return None
    if a == "":
        return _text(v)
    return re.sub(re.escape(a), lambda m: b, _text(v), flags=re.I)


def f_charindex(ex, node, env, scope):
    args = _args(ex, node, env, scope, (2, 3))
    needle, hay = args[0], args[1]
    if needle is None or hay is None:
        return None
    start = int(args[2]) - 1 if len(args) > 2 and args[2] else 0
    fold = ex.server.fold
    return fold(_text(hay)).find(fold(_text(needle)), max(start, 0)) + 1


def f_concat(ex, node, env, scope):
    return "".join("" if v is None else _text(v) for v in [ex.eval(a, env, scope) for a in node.args])


def f_abs(ex, node, env, scope):
    v, = _args(ex, node, env, scope, 1)
    return None if v is None else abs(v)


def f_quotename(ex, node, env, scope):
    args = _args(ex, node, env, scope, (1, 2))
    if args[0] is None:
        return None
    q = args[1] if len(args) > 1 and args[1] else "["
    close = {"[": "]", "]": "]", "'": "'", '"': '"', "(": ")", ")": ")"}.get(q)
    if close is None:
        return None
    opener = "[" if q == "]" else "(" if q == ")" else q
    return opener + args[0].replace(close, close + close) + close


def f_serverproperty(ex, node, env, scope):
    prop, = _args(ex, node, env, scope, 1)
    prop = (prop or "").lower()
    return {"productversion": PRODUCT_VERSION, "productlevel": "RTM", "edition": "Developer Edition (64-bit)",
            "engineedition": "3", "servername": ex.server.name, "machinename": ex.server.name,
            "collation": ex.server.collation.name, "instancename": None, "isintegratedsecurityonly": "0",
            "productmajorversion": "16"}.get(prop)


def f_scope_identity(ex, node, env, scope):
    _args(ex, node, env, scope, 0)
    v = ex.session.last_identity
    return None if v is None else decimal.Decimal(v)


def f_ident_current(ex, node, env, scope):
    name, = _args(ex, node, env, scope, 1)
    src = ex.resolve(P.parse_name(name), quiet=True) if name else None
    if src is None or src.table is None:
        return None
    t = src.table
    if t.identity_last is None:
        col = next((c for c in t.columns if c.identity), None)
        return None if col is None else decimal.Decimal(col.identity[0])
    return decimal.Decimal(t.identity_last)


def _date_part(part):
    def f(ex, node, env, scope):
        v, = _args(ex, node, env, scope, 1)
        if v is None:
            return None
        if not isinstance(v, datetime.datetime):
            v = sqltypes.convert(v, sqltypes.DATETIME)
        return getattr(v, part)
    return f


def _same_as_arg(ex, node, scope, env):
    return _arg_type(ex, node, scope, env) or sqltypes.varchar(8000)


def _string_result(ex, node, scope, env):
    t = _arg_type(ex, node, scope, env)
    if t is not None and t.is_string:
        return SqlType("nvarchar" if t.is_unicode else "varchar", t.length if t.name not in ("text", "ntext")
                       else 8000 if t.name == "text" else 4000)
    return sqltypes.varchar(8000)


def _isnull_type(ex, node, scope, env):
    return _arg_type(ex, node, scope, env) or _arg_type(ex, node, scope, env, 1) or sqltypes.INT


def _coalesce_type(ex, node, scope, env):
    result = None
    for a in node.args:
        result = sqltypes.result_type(result, ex.expr_type(a, scope, env))
    return result or sqltypes.INT


FUNCTIONS = {
    "GETDATE": (f_getdate, sqltypes.DATETIME),
    "GETUTCDATE": (lambda ex, n, e, s: sqltypes.round_datetime(datetime.datetime.utcnow()), sqltypes.DATETIME),
    "SYSDATETIME": (f_getdate, sqltypes.DATETIME),
    "DB_NAME": (f_db_name, sqltypes.SYSNAME),
    "DB_ID": (f_db_id, sqltypes.SMALLINT),
    "OBJECT_ID": (f_object_id, sqltypes.INT),
    "OBJECT_NAME": (f_object_name, sqltypes.SYSNAME),
    "OBJECTPROPERTY": (f_objectproperty, sqltypes.INT),
    "IS_SRVROLEMEMBER": (f_is_srvrolemember, sqltypes.INT),
    "SUSER_NAME": (f_suser_name, sqltypes.SYSNAME),
    "SUSER_SNAME": (f_suser_name, sqltypes.SYSNAME),
    "USER_NAME": (f_user_name, sqltypes.SYSNAME),
    "HAS_DBACCESS": (f_has_dbaccess, sqltypes.INT),
    "ISNULL": (f_isnull, _isnull_type),
    "COALESCE": (f_coalesce, _coalesce_type),
    "NULLIF": (f_nullif, _same_as_arg),
    "LEN": (f_len, sqltypes.INT),
    "DATALENGTH": (f_datalength, sqltypes.INT),
    "UPPER": (f_upper, _string_result),
    "LOWER": (f_lower, _string_result),
    "LTRIM": (f_ltrim, _string_result),
    "RTRIM": (f_rtrim, _string_result),
    "TRIM": (f_trim, _string_result),
    "SUBSTRING": (f_substring, _string_result),
    "LEFT": (f_left, _string_result),
    "RIGHT": (f_right, _string_result),
    "REPLACE": (f_replace, _string_result),
    "CHARINDEX": (f_charindex, sqltypes.INT),
    "CONCAT": (f_concat, sqltypes.nvarchar(4000)),
    "ABS": (f_abs, _same_as_arg),
    "QUOTENAME": (f_quotename, sqltypes.nvarchar(258)),
    "SERVERPROPERTY": (f_serverproperty, sqltypes.nvarchar(128)),
    "SCOPE_IDENTITY": (f_scope_identity, SqlType("numeric", None, 38, 0)),
    "IDENT_CURRENT": (f_ident_current, SqlType("numeric", None, 38, 0)),
    "YEAR": (_date_part("year"), sqltypes.INT),
    "MONTH": (_date_part("month"), sqltypes.INT),
    "DAY": (_date_part("day"), sqltypes.INT),
}

GLOBALS = {
    "@@ROWCOUNT": lambda ex: ex.session.rowcount,
    "@@ERROR": lambda ex: ex.session.error,
    "@@IDENTITY": lambda ex: None if ex.session.last_identity is None else decimal.Decimal(ex.session.last_identity),
    "@@VERSION": lambda ex: VERSION_TEXT,
    "@@SPID": lambda ex: ex.session.spid,
    "@@SERVERNAME": lambda ex: ex.server.name,
    "@@SERVICENAME": lambda ex: "MSSQLSERVER",
    "@@LANGUAGE": lambda ex: ex.session.language[1],
    "@@LANGID": lambda ex: ex.session.language[0],
    "@@TRANCOUNT": lambda ex: 0,
    "@@TEXTSIZE": lambda ex: ex.session.options["TEXTSIZE"],
    "@@LOCK_TIMEOUT": lambda ex: ex.session.options["LOCK_TIMEOUT"],
    "@@DATEFIRST": lambda ex: ex.session.options["DATEFIRST"],
    "@@MAX_PRECISION": lambda ex: 38,
    "@@NESTLEVEL": lambda ex: 0,
    "@@OPTIONS": lambda ex: 5496 if ex.session.options["QUOTED_IDENTIFIER"] else 5240,
}
GLOBAL_TYPES = {"@@VERSION": sqltypes.nvarchar(300), "@@SERVERNAME": sqltypes.SYSNAME,
                "@@SERVICENAME": sqltypes.SYSNAME, "@@LANGUAGE": sqltypes.SYSNAME,
                "@@IDENTITY": SqlType("numeric", None, 38, 0), "@@SPID": sqltypes.SMALLINT,
                "@@LANGID": sqltypes.SMALLINT, "@@DATEFIRST": sqltypes.TINYINT, "@@MAX_PRECISION": sqltypes.TINYINT}
