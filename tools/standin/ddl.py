"""Databases, tables, columns, defaults, keys and indexes: CREATE, ALTER and DROP."""

import copy
import secrets

from . import catalog, parser as P, security, sqltypes
from .errors import SqlError
from .session import Scope


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


class Definitions:
    """CREATE, ALTER and DROP of databases, tables, keys, defaults and indexes, and TRUNCATE. Tables are found
    through `queries`, defaults evaluated by `expressions`, existing rows checked against a new key by
    `rows`."""

    def __init__(self, session, reply, access, expressions, queries, rows):
        self.session = session
        self.server = session.server
        self.reply = reply
        self.access = access
        self.expressions = expressions
        self.queries = queries
        self.rows = rows

    # -- databases and logins -----------------------------------------------------------------------------

    def do_CreateDatabase(self, stmt, scope):
        if not self.session.is_member("dbcreator"):
            raise SqlError(262, "CREATE DATABASE", "master")
        if stmt.collation is not None and stmt.collation.lower() != self.server.collation.name.lower():
            raise SqlError(40517, "COLLATE " + stmt.collation)
        if self.server.database(stmt.name) is not None:
            raise SqlError(1801, stmt.name)
        self.server.add_database(stmt.name, self.session.login.name)
        self.reply.done(scope)

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
        self.reply.done(scope)

    def do_DropObjects(self, stmt, scope):
        for parts in stmt.names:
            if stmt.kind == "DATABASE":
                self.drop_database(parts, stmt.if_exists)
            elif stmt.kind == "LOGIN":
                security.drop_login(self.access, parts[-1])
            elif stmt.kind == "USER":
                security.drop_user(self.access, self.session.db, parts[-1], stmt.if_exists)
            else:
                self.drop_table(parts, stmt.if_exists)
        self.reply.done(scope)

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
        src = self.queries.resolve(parts, for_write=True, quiet=True)
        if src is None or src.table is None or not self.access.may_alter(src.db):
            if if_exists and (src is None or src.table is None):
                return
            raise SqlError(3701, "table", P.name_text(parts))
        db, table = src.db, src.table
        for key, obj in list(db.objects.items()):
            if obj.id == table.obj.id or obj.parent_id == table.obj.id:
                del db.objects[key]
        del db.tables[table.obj.id]
        self.server.dirty = True

    # -- tables -------------------------------------------------------------------------------------------

    def target_database(self, parts):
        """Database and name of an object to create: [db.][schema.]name with schema dbo."""
        db = self.session.db
        if len(parts) == 3 and parts[0]:
            db = self.server.database(parts[0])
            if db is None:
                raise SqlError(911, parts[0])
            self.access.check_access(db)
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
        self.access.require_create_table(db)
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
            if cd.type.name == "timestamp" and sum(c.type.name == "timestamp" for c in columns) > 1:
                raise SqlError(2738, name, cd.name)
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
        self.reply.done(scope)

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
        if typ.name == "timestamp":
            nullable = False          # a rowversion always has a value, whatever the definition says
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
        value = self.expressions.eval_scalar(parse_default(definition), Scope(1))
        sqltypes.convert(value, col.type, self.expressions.expr_type(parse_default(definition), Scope(1)),
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
            key = self.rows.key_of(table, row, positions)
            if key in seen:
                raise SqlError(1505, "dbo." + table.name, index.name, self.rows.key_text(table, row, positions),
                               also=[SqlError(1750)] if index.kind else [])
            seen.add(key)

    def alterable_table(self, parts, error):
        """The database and table that `parts` names, when this login may alter it; otherwise `error`
        with the name as written, the same for a table that is missing and one that is not the login's
        to change (SQL Server tells neither apart)."""
        src = self.queries.resolve(parts, for_write=True, quiet=True)
        if src is None or src.table is None or not self.access.may_alter(src.db):
            raise SqlError(error, P.name_text(parts))
        return src.db, src.table

    def do_AlterTableAdd(self, stmt, scope):
        db, table = self.alterable_table(stmt.table, 4902)
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
        self.reply.done(scope)

    def add_column(self, db, table, cd, pending):
        if table.column_index(cd.name, db.collation) >= 0:
            raise SqlError(2705, cd.name, table.name)
        col = self.new_column(cd, table.name, db)
        if col.identity and any(c.identity for c in table.columns):
            raise SqlError(2744, table.name)
        if col.type.name == "timestamp" and any(c.type.name == "timestamp" for c in table.columns):
            raise SqlError(2738, table.name, col.name)
        table.columns.append(col)
        if cd.default is not None:
            pending.update(self.make_default(db, table, cd.default[0], cd.default[1], cd.name, pending))
        if (not col.nullable and table.rows and col.default is None and col.identity is None and
                col.type.name != "timestamp"):
            raise SqlError(4901, col.name, table.name)
        dv = self.rows.default_value(db, table, col) if not col.nullable else None
        for row in table.rows:
            if col.type.name == "timestamp":
                row.append(self.rows.next_rowversion(db))
                continue
            row.append(self.rows.store(db, table, col, dv[0], dv[1], "ALTER TABLE") if dv else None)
        for c in cd.constraints:
            pending.update(self.make_key(db, table, c, pending))

    def do_AlterTableDropConstraint(self, stmt, scope):
        db, table = self.alterable_table(stmt.table, 4902)
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
        self.reply.done(scope)

    def do_CreateIndex(self, stmt, scope):
        db, table = self.alterable_table(stmt.table, 1088)
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
        self.reply.done(scope)

    def do_DropIndex(self, stmt, scope):
        for table_parts, name in stmt.items:
            src = self.queries.resolve(table_parts, for_write=True, quiet=True)
            fold = self.server.fold
            index = None
            if src is not None and src.table is not None and self.access.may_alter(src.db):
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
        self.reply.done(scope)

    def do_Truncate(self, stmt, scope):
        src = self.queries.resolve(stmt.table, for_write=True)
        if not self.access.may_alter(src.db):
            raise SqlError(1088, P.name_text(stmt.table))
        src.table.rows.clear()
        src.table.identity_last = None
        self.server.dirty = True
        self.reply.done(scope)
