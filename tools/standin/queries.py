"""SELECT: name resolution, binding, joins, grouping, ordering and the rows it returns."""

from . import catalogviews, parser as P, sqltypes
from .catalogviews import ColInfo
from .errors import SCOPE, SqlError
from .nodes import group_key, has_aggregate, tree_indexes, walk, walk_outside_aggregates
from .dml import row_values
from .session import CMD_SELECT, Deferred, Env, Plan, Source


class Queries:
    """SELECT statements and the queries inside other statements: tables and views named, column names
    bound, rows joined, filtered, grouped and ordered. Values come from `expressions`."""

    def __init__(self, session, reply, access, expressions):
        self.session = session
        self.server = session.server
        self.reply = reply
        self.access = access
        self.expressions = expressions

    # -- queries ------------------------------------------------------------------------------------------

    def do_Select(self, stmt, scope):
        plan = self.bind_select(stmt, scope)
        columns, rows = self.run_select(plan, scope)
        rows = self.session.rowcount_limited(rows)
        assigns = [item for item in plan.items if item[4] is not None]
        if assigns:
            if len(assigns) != len(plan.items):
                raise SqlError(141, text="A SELECT statement that assigns a value to a variable must not be "
                                         "combined with data-retrieval operations.", severity=15)
            for row in rows:
                for (expr, name, typ, nullable, var), value in zip(plan.items, row):
                    v = self.expressions.variable(var, scope)
                    v[2] = self.expressions.assign_value(value, v[1], typ)
            self.session.rowcount = len(rows)
            self.reply.done(scope, 0, CMD_SELECT)   # an assignment reports no row count
            return
        self.reply.sink.columns(columns)
        cut = [k for k, c in enumerate(columns) if c.type.name in ("text", "ntext", "image") or
               (c.type.name in ("varchar", "nvarchar", "varbinary") and c.type.length == -1)]
        size = self.session.options["TEXTSIZE"]
        for row in rows:
            for k in cut:             # SET TEXTSIZE: large values are returned cut to that many bytes
                v = row[k]
                if v is not None:
                    row = list(row)
                    row[k] = v[:size // 2] if columns[k].type.name in ("ntext", "nvarchar") else v[:size]
            self.reply.sink.row(row)
        self.session.rowcount = len(rows)
        self.reply.done(scope, 0, CMD_SELECT, len(rows))

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
            self.access.check_access(db)
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
                    raise Deferred()
                if node.alias is not None:
                    src.names = [(node.alias,)]
                    src.aliased = True
                if src.table is not None and not compile_only:
                    self.access.require_object_permission(src.db, src.table, "SELECT")
                if src.table is not None and src.rows is None:
                    src.rows = [] if compile_only else row_values(src.db, src.table)
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
                typ = self.expressions.expr_type(item[2], scope, env)
                items.append((item[2], None, typ, True, item[1]))
                continue
            expr, alias = item[1], item[2]
            self.bind_expr(expr, env, compile_only)
            typ = self.expressions.expr_type(expr, scope, env)
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
        for node in walk(expr, into_subqueries=False):
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
        grouped = bool(sel.group) or any(has_aggregate(i[0]) for i in plan.items if i[0] is not None)
        plan.grouped = grouped
        if not grouped:
            return
        keys = {c.bound for g in sel.group for c in walk(g) if isinstance(c, P.Col)}
        exprs = [i[0] for i in plan.items] + [e for e, _ in sel.order] + ([sel.having] if sel.having else [])
        for expr in exprs:
            for col in walk_outside_aggregates(expr):
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
        right_idx = tree_indexes(right)
        left_idx = tree_indexes(left)
        out = []
        matched_right = set()
        for lr in lrows:
            hit = False
            for ri, rr in enumerate(rrows):
                combo = [a if a is not None else b for a, b in zip(lr, rr)]
                if on is not None:
                    env.current = combo
                    if not self.expressions.truth(on, env, scope):
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
                if self.expressions.truth(sel.where, env, scope):
                    kept.append(combo)
            combos = kept
        if getattr(plan, "grouped", False):
            groups = {}
            order = []
            for combo in combos:
                env.current = combo
                key = tuple(group_key(self.expressions.eval(g, env, scope), self.server.fold) for g in sel.group)
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
            if sel.having is not None and not self.expressions.truth(sel.having, env, scope):
                continue
            values = [self.expressions.eval(item[0], env, scope) for item in plan.items]
            env.outputs = values
            keys = [self.order_value(expr, plan, env, scope) for expr, _ in sel.order]
            out.append((values, keys))
        env.group = None
        if sel.distinct:
            seen, unique = set(), []
            for values, keys in out:
                k = tuple(group_key(v, self.server.fold) for v in values)
                if k not in seen:
                    seen.add(k)
                    unique.append((values, keys))
            out = unique
        if sel.order:
            import functools

            def cmp(a, b):
                for (va, vb), (_, desc) in zip(zip(a[1], b[1]), sel.order):
                    c = self.expressions.compare_values(va, vb, nulls_low=True)
                    if c:
                        return -c if desc else c
                return 0
            out.sort(key=functools.cmp_to_key(cmp))
        if sel.top is not None:
            top = self.expressions.eval(sel.top, env, scope)
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
        return self.expressions.eval(expr, env, scope)
