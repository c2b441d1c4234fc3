"""Walking parsed statements and expressions: what they contain, with or without subqueries."""

from . import parser as P


# =========================================================================================================
# Helpers


def walk(node, into_subqueries=True):
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
                stack.extend(select_exprs(n.select))
            continue
        if isinstance(n, P.InList) and isinstance(n.values, P.Subquery):
            stack.append(n.operand)
            if into_subqueries:
                stack.extend(select_exprs(n.values.select))
            else:
                yield n.values
            continue
        for key, value in n.__dict__.items():
            if key in ("bound", "plan", "type"):
                continue
            if isinstance(value, (P.Node, list, tuple)):
                stack.append(value)


def walk_outside_aggregates(node):
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


def has_aggregate(node):
    return any(isinstance(n, P.Func) and n.name in P.AGGREGATES for n in walk(node, into_subqueries=False))


def select_exprs(sel):
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
            out.extend(select_exprs(src.select))
    for s in sel.sources:
        tree(s)
    return [e for e in out if e is not None]


def stmt_exprs(stmt):
    if isinstance(stmt, P.Select):
        return select_exprs(stmt)
    if isinstance(stmt, P.Insert):
        exprs = [e for row in (stmt.rows or []) for e in row]
        return exprs + (select_exprs(stmt.select) if stmt.select is not None else [])
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


def tree_indexes(tree):
    if isinstance(tree, tuple):
        return tree_indexes(tree[1]) + tree_indexes(tree[2])
    return [tree]


def rebind(plan, env):
    """A subquery's plan with the current row of the enclosing query as its parent."""
    plan.env.parent = env
    return plan


def group_key(value, fold):
    if isinstance(value, str):
        return ("s", fold(value.rstrip(" ")))
    return value
