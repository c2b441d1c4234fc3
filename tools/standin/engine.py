"""Runs T-SQL batches and procedure calls of one connection against the server state.

Results go to a sink (the TDS token writer) as they are produced: column descriptions, rows, DONE tokens,
messages and environment changes. The executor holds one object per concept and hands each the others it
needs: the reply (messages and DONE tokens), access (the login's permissions), expressions, queries, rows
(INSERT, UPDATE, DELETE), definitions (CREATE, ALTER, DROP) and security (principals). A statement of type
X runs in the `do_X` method of the one object that has it. This module holds the batch and statement flow,
SET options and procedure calls.
"""

from . import parser as P, procs, sqltypes
from .ddl import Definitions
from .dml import Rows
from .errors import BATCH, COMPILE, STATEMENT, SqlError
from .expressions import Expressions
from .functions import FUNCTIONS, GLOBALS, printf_text
from .nodes import stmt_exprs, walk
from .queries import Queries
from .reply import Reply
from .security import Access, Security
from .session import (DONE_ERROR, DONE_MORE, MODELLED_ON_OFF, SET_DEFAULTS, SET_DEFAULTS_ANY, Abort, Deferred,
                      Env, ReturnSignal, Scope)


# Statements that read the server state and change only the session's: they run beside each other.
READING = (P.Select, P.Print, P.Declare, P.SetVar, P.SetOption, P.Raiserror, P.Return)


class Executor:
    def __init__(self, session, sink):
        self.session = session
        self.server = session.server
        self.sink = sink
        self.reply = Reply(session, sink)
        self.access = Access(session)
        self.expressions = Expressions(session, self.access)
        self.queries = Queries(session, self.reply, self.access, self.expressions)
        self.expressions.queries = self.queries
        self.rows = Rows(session, self.reply, self.access, self.expressions, self.queries)
        self.definitions = Definitions(session, self.reply, self.access, self.expressions, self.queries, self.rows)
        self.security = Security(self.access, self.reply)
        self.handlers = statement_handlers(self, self.queries, self.rows, self.definitions, self.security)
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
            opts = self.session.options
            stmts, opts["PARSEONLY"] = P.parse_batch(text, opts["QUOTED_IDENTIFIER"], opts["PARSEONLY"])
            with self.server.lock.shared():
                self.check_batch(stmts, scope, declared)
        except SqlError as e:
            self.reply.emit_error(e, scope)
            self.reply.done(scope, DONE_ERROR)
            self.session.failed(e.number)
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
        for expr in stmt_exprs(stmt):
            self.check_expr(expr, names, stmt.line)
        if isinstance(stmt, (P.Select, P.Insert, P.Update, P.Delete)):
            self.compile_bind(stmt, state["db"])

    def check_expr(self, expr, names, line):
        for node in walk(expr):
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
                self.queries.bind_select(stmt, None, compile_only=True)
            else:
                target = self.queries.resolve(stmt.table, for_write=False, quiet=True)
                if target is None or target.table is None:
                    return
                if isinstance(stmt, P.Insert):
                    for name in stmt.columns or []:
                        if target.table.column_index(name, self.server.collation) < 0:
                            raise SqlError(207, name, line=stmt.line, reach=COMPILE)
                    if stmt.select is not None:
                        self.queries.bind_select(stmt.select, None, compile_only=True)
                else:
                    env = Env([target])
                    if isinstance(stmt, P.Update):
                        for name, value in stmt.assignments:
                            if target.table.column_index(name, self.server.collation) < 0:
                                raise SqlError(207, name, line=stmt.line, reach=COMPILE)
                            self.queries.bind_expr(value, env, compile_only=True)
                    if stmt.where is not None:
                        self.queries.bind_expr(stmt.where, env, compile_only=True)
        except Deferred:
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
        one sees the others' finished statements (no transactions), and nobody waits for a whole batch. A
        statement that changes nothing on the server (a SELECT, PRINT, a variable, a SET option) holds it
        shared, beside other readers and logins; a block or an IF takes it for each of its
        statements (and its condition) only."""
        try:
            if isinstance(stmt, (P.Block, P.If)):
                self.exec_stmt(stmt, scope)
            elif isinstance(stmt, READING):
                with self.server.lock.shared():
                    self.exec_stmt(stmt, scope)
            else:
                with self.server.lock:
                    self.exec_stmt(stmt, scope)
        except (ReturnSignal, Abort):
            raise
        except SqlError as e:
            if (e.reach == STATEMENT and self.session.options["XACT_ABORT"] and
                    not isinstance(stmt, P.Raiserror)):
                e.reach = BATCH               # XACT_ABORT ON: a run-time error ends the whole batch
            self.reply.emit_error(e, scope, stmt.line)
            self.reply.done(scope, DONE_ERROR)
            self.session.failed(e.number)
            if e.reach != STATEMENT:
                raise Abort(e) from None

    def exec_stmt(self, stmt, scope):
        if self.session.options["NOEXEC"] and not (isinstance(stmt, P.SetOption) and "NOEXEC" in stmt.options):
            return                            # NOEXEC ON: compiled with the batch, not run
        self.handlers[type(stmt)](stmt, scope)
        # @@ERROR holds the outcome of the statement that ran last, read by the next one; IF clears it once
        # its condition is read, a procedure call leaves what the procedure's last statement set.
        if not isinstance(stmt, (P.Block, P.If, P.Exec)):
            self.session.error = 0
        # @@ROWCOUNT: an assignment counts 1; USE, SET, PRINT and RAISERROR count 0; EXECUTE keeps the
        # count before it; the others set their own count as they run.
        if isinstance(stmt, P.SetVar):
            self.session.rowcount = 1
        elif isinstance(stmt, (P.Use, P.SetOption, P.Print, P.Raiserror)):
            self.session.rowcount = 0

    def do_Block(self, stmt, scope):
        for s in stmt.body:
            self.run_statement(s, scope)

    def do_If(self, stmt, scope):
        with self.server.lock.shared():
            cond = self.expressions.eval_condition(stmt.cond, scope)
        self.session.error = self.session.rowcount = 0     # read once: the branch sees them cleared
        if cond:
            self.run_statement(stmt.then, scope)
        elif stmt.other is not None:
            self.run_statement(stmt.other, scope)

    def do_Return(self, stmt, scope):
        value = self.expressions.eval_scalar(stmt.value, scope) if stmt.value is not None else 0
        self.reply.done(scope)
        raise ReturnSignal(value)

    def do_Print(self, stmt, scope):
        value = self.expressions.eval_scalar(stmt.value, scope)
        text = "" if value is None else value if isinstance(value, str) else sqltypes.format_value(value)
        self.sink.message(0, 1, 0, text, stmt.line, scope.proc, False)
        self.reply.done(scope)

    def do_Raiserror(self, stmt, scope):
        msg = self.expressions.eval_scalar(stmt.message, scope)
        severity = int(self.expressions.eval_scalar(stmt.severity, scope) or 0)
        state = int(self.expressions.eval_scalar(stmt.state, scope) or 1)
        args = [self.expressions.eval_scalar(a, scope) for a in stmt.args]
        number = 50000
        if isinstance(msg, int):
            number = msg
            msg = "Error %d, severity %d, state %d was raised, but no message with that error number was " \
                  "found in sys.messages." % (msg, severity, state)
        else:
            msg = printf_text(str(msg), args)
        if severity <= 10:
            self.sink.message(number, state, severity, msg, stmt.line, scope.proc, False)
            self.reply.done(scope)
            return
        raise SqlError(number, text=msg, severity=min(severity, 18), state=state, line=stmt.line)

    def do_Declare(self, stmt, scope):
        for name, typ, init in stmt.items:
            value = None
            if init is not None:
                value = self.expressions.assign_value(self.expressions.eval_scalar(init, scope), typ, self.expressions.expr_type(init, scope))
            scope.vars[self.server.fold(name)] = [name, typ, value]

    def do_SetVar(self, stmt, scope):
        var = self.expressions.variable(stmt.name, scope)
        var[2] = self.expressions.assign_value(self.expressions.eval_scalar(stmt.value, scope), var[1], self.expressions.expr_type(stmt.value, scope))

    def do_SetOption(self, stmt, scope):
        opts = self.session.options
        for name in stmt.options:
            value = stmt.value
            if isinstance(value, P.Var):
                value = self.expressions.variable(value.name, scope)[2]
            if name == "LANGUAGE":
                lang = self.server.language(str(value))
                if lang is None:
                    raise SqlError(2738, text="The language '%s' does not exist." % value, severity=16)
                old = self.session.language
                self.session.language = lang
                opts["DATEFORMAT"], opts["DATEFIRST"] = lang[4], lang[5]
                sqltypes.set_dateformat(lang[4])
                self.sink.env_change(2, lang[1], old[1])
                self.reply.info(5703, lang[1], scope=scope, line=stmt.line)
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
        self.reply.done(scope)

    def do_Use(self, stmt, scope):
        db = self.server.database(stmt.database)
        if db is None:
            raise SqlError(911, stmt.database, line=stmt.line)
        self.access.check_access(db)
        if db.user_access == "SINGLE_USER" and self.server.sessions_in(db, but=self.session):
            raise SqlError(924, db.name, line=stmt.line)
        old = self.session.database
        self.session.database = db.name
        self.sink.env_change(1, db.name, old)
        self.reply.info(5701, db.name, scope=scope, line=stmt.line)
        self.reply.done(scope)

    # -- procedures ---------------------------------------------------------------------------------------

    def do_Exec(self, stmt, scope):
        if stmt.proc is None:
            text = self.expressions.eval_scalar(stmt.dynamic, scope)
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
            val = self.expressions.eval_scalar(value, scope)
            typ = self.expressions.expr_type(value, scope)
            target = value.name if isinstance(value, P.Var) else None
            if output and target is None:
                raise SqlError(179, text="Cannot use the OUTPUT option when passing a constant to a stored "
                                         "procedure.", severity=15)
            args.append((name, val, typ, output, target))
        status, outputs = self.call_procedure(stmt.proc, args, scope, stmt.line)
        for k, value in outputs:
            target = args[k][4]
            if target is not None:
                var = self.expressions.variable(target, scope)
                var[2] = self.expressions.assign_value(value, var[1])
        if stmt.status_var is not None:
            var = self.expressions.variable(stmt.status_var, scope)
            var[2] = self.expressions.assign_value(status, var[1])

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
                # each statement locks for itself, and sets @@ERROR as it ends: the text reads the value
                # from before the call first, the caller the one its last statement left
                status = proc.run(self, inner, values, args, outputs)
            else:
                with self.server.lock:
                    status = proc.run(self, inner, values, args, outputs)
                self.session.error = 0
        except Abort as a:
            if a.error.reach == BATCH:
                raise
            status = a.error.number if proc.name == "sp_executesql" else 1
        except SqlError as e:
            e.proc = e.proc or proc.name
            if e.reach == BATCH:
                raise
            self.reply.emit_error(e, inner, line)
            self.session.failed(e.number)
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


_HANDLER_NAMES = {}    # (classes of the parts) -> [(statement node type, part index, method name)]


def statement_handlers(*parts):
    """Statement node type -> the method that runs it: `do_<type name>` of the one part that has it."""
    classes = tuple(type(part) for part in parts)
    names = _HANDLER_NAMES.get(classes)
    if names is None:
        names, seen = [], set()
        for k, cls in enumerate(classes):
            for name in dir(cls):
                if name.startswith("do_"):
                    node_type = getattr(P, name[3:])
                    assert node_type not in seen, name
                    seen.add(node_type)
                    names.append((node_type, k, name))
        _HANDLER_NAMES[classes] = names
    return {node_type: getattr(parts[k], name) for node_type, k, name in names}
