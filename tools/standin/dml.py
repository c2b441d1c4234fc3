"""INSERT, UPDATE and DELETE: defaults, identity, storing values, keys and their uniqueness."""

from . import parser as P, sqltypes
from .errors import SqlError
from .ddl import parse_default
from .session import CMD_DELETE, CMD_INSERT, CMD_UPDATE, Env, Scope


def row_values(db, table):
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


class Rows:
    """INSERT, UPDATE and DELETE, and what they share with data definition: values stored as a column keeps
    them, defaults, rowversions and the keys of unique indexes."""

    def __init__(self, session, reply, access, expressions, queries):
        self.session = session
        self.server = session.server
        self.reply = reply
        self.access = access
        self.expressions = expressions
        self.queries = queries

    # -- rows ---------------------------------------------------------------------------------------------

    def default_value(self, db, table, col):
        if col.default is None:
            return None
        obj = db.find_object(col.default)
        expr = parse_default(obj.definition)
        return self.expressions.eval_scalar(expr, Scope(1)), self.expressions.expr_type(expr, Scope(1))

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
                    raise SqlError(2628, "%s.dbo.%s" % (db.name, table.name), col.name, db.collation.decode(data[:typ.length]))
                data = data[:typ.length]
            if typ.name == "char" and len(data) < typ.length:
                data += b" " * (typ.length - len(data))
            return data
        if typ.name in ("nchar", "nvarchar"):
            trimmed = value.rstrip(" ")
            if typ.length >= 0 and len(trimmed) > typ.length:
                raise SqlError(2628, "%s.dbo.%s" % (db.name, table.name), col.name, value[:typ.length])
            value = value[:typ.length] if typ.length >= 0 else value
            if typ.name == "nchar":
                value = value.ljust(typ.length)
            return value
        if typ.name in ("binary", "varbinary") and typ.length >= 0 and len(value) > typ.length:
            raise SqlError(2628, "%s.dbo.%s" % (db.name, table.name), col.name, value[:typ.length].hex())
        return value

    def next_rowversion(self, db):
        """The database's next rowversion (@@DBTS + 1), eight bytes, most significant first."""
        db.dbts = max(db.dbts or 0, 2000, *self._rowversions(db)) + 1
        return db.dbts.to_bytes(8, "big")

    @staticmethod
    def _rowversions(db):
        if db.dbts is not None:
            return ()
        # first use since the state was loaded: carry on above what the rows hold
        return tuple(int.from_bytes(row[k], "big") for t in db.tables.values()
                     for k, c in enumerate(t.columns) if c.type.name == "timestamp" for row in t.rows if row[k])

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
        src = self.queries.resolve(stmt.table, for_write=True)
        db, table = src.db, src.table
        self.access.require_object_permission(db, table, "INSERT")
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
            plan = self.queries.bind_select(stmt.select, scope)
            out_cols, rows = self.queries.run_select(plan, scope)
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
                                   (self.expressions.eval_scalar(e, scope), self.expressions.expr_type(e, scope))
                                   for e in row])
            if stmt.default_values:
                positions = []
        new_rows = []
        for typed in self.session.rowcount_limited(typed_rows):
            row = [None] * len(cols)
            given = {}
            for idx, item in zip(positions, typed):
                if len(item) == 3:
                    continue  # DEFAULT
                given[idx] = item
            for i, col in enumerate(cols):
                if col.type.name == "timestamp":
                    if i in given:
                        raise SqlError(273)
                    row[i] = self.next_rowversion(db)
                elif col.identity:
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
        self.reply.done(scope, 0, CMD_INSERT, len(new_rows))

    def matching_rows(self, src, where, scope):
        """Stored rows of a table whose values meet a WHERE condition."""
        values = row_values(src.db, src.table)
        src.rows = values
        env = Env([src])
        if where is not None:
            self.queries.bind_expr(where, env)
        out = []
        for stored, vals in zip(src.table.rows, values):
            env.current[0] = vals
            if where is None or self.expressions.truth(where, env, scope):
                out.append((stored, vals))
        return self.session.rowcount_limited(out), env

    def do_Update(self, stmt, scope):
        src = self.queries.resolve(stmt.table, for_write=True)
        db, table = src.db, src.table
        self.access.require_object_permission(db, table, "UPDATE")
        targets = []
        for name, value in stmt.assignments:
            idx = table.column_index(name, db.collation)
            if idx < 0:
                raise SqlError(207, name)
            if table.columns[idx].identity:
                raise SqlError(8102, table.columns[idx].name)
            if table.columns[idx].type.name == "timestamp":
                raise SqlError(272)
            targets.append((idx, value))
        matches, env = self.matching_rows(src, stmt.where, scope)
        for _, value in targets:
            if not isinstance(value, P.Default):
                self.queries.bind_expr(value, env)
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
                    new[idx] = self.store(db, table, col, self.expressions.eval(value, env, scope),
                                          self.expressions.expr_type(value, scope, env), "UPDATE")
            for idx, col in enumerate(table.columns):
                if col.type.name == "timestamp":
                    new[idx] = self.next_rowversion(db)      # every change of a row gives it a new version
            replacements.append((stored, new))
        self.check_unique(db, table, [n for _, n in replacements], [s for s, _ in replacements])
        for stored, new in replacements:
            stored[:] = new
        if replacements:
            self.server.dirty = True
        self.session.rowcount = len(replacements)
        self.reply.done(scope, 0, CMD_UPDATE, len(replacements))

    def do_Delete(self, stmt, scope):
        src = self.queries.resolve(stmt.table, for_write=True)
        self.access.require_object_permission(src.db, src.table, "DELETE")
        matches, _ = self.matching_rows(src, stmt.where, scope)
        gone = {id(stored) for stored, _ in matches}
        src.table.rows[:] = [r for r in src.table.rows if id(r) not in gone]
        if gone:
            self.server.dirty = True
        self.session.rowcount = len(gone)
        self.reply.done(scope, 0, CMD_DELETE, len(gone))
