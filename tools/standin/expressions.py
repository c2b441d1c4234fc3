"""Evaluating expressions: values, comparison under the collation, arithmetic, aggregates, types."""

import datetime
import decimal
import math
from typing import List, Optional, Protocol, Tuple

from . import parser as P, sqltypes
from .errors import COMPILE, SqlError
from .sqltypes import SqlType
from .functions import FUNCTIONS, GLOBAL_TYPES, GLOBALS, datetime_style, like_regex
from .nodes import group_key, rebind
from .session import Env, Plan, Scope, Source


class Selects(Protocol):
    """What expressions need of queries: subqueries bound and run, tables named by functions."""

    def bind_expr(self, expr: P.Expr, env: Env, compile_only: bool = False) -> None: ...

    def run_select(self, plan: Plan, scope: Scope) -> Tuple[list, list]: ...

    def resolve(self, parts: List[str], for_write: bool = False, quiet: bool = False) -> Optional[Source]: ...


class Expressions:
    """Values of expressions in a session: variables, comparison under the collation, arithmetic, aggregates,
    built-in functions (which get this object) and result types. Subqueries go to `queries`, which the
    executor sets once both exist (a query evaluates expressions, an expression may hold a query)."""

    def __init__(self, session, access):
        self.session = session
        self.server = session.server
        self.access = access
        self.queries: Optional[Selects] = None

    # =====================================================================================================
    # Variables

    def variable(self, name, scope):
        """A declared variable of the scope as [name, type, value], or 137."""
        var = scope.vars.get(self.server.fold(name))
        if var is None:
            raise SqlError(137, name, reach=COMPILE)
        return var

    def assign_value(self, value, typ, source_type=None):
        """A value converted for a variable of type typ."""
        value = sqltypes.convert(value, typ, source_type, collation=self.server.collation)
        if value is not None and typ.is_string and typ.length not in (None, -1) and len(value) > typ.length:
            value = value[:typ.length]    # assignment to a variable truncates silently
        return value

    # =====================================================================================================
    # Expressions

    def eval_scalar(self, expr, scope):
        env = Env([])
        self.queries.bind_expr(expr, env)
        return self.eval(expr, env, scope)

    def eval_condition(self, expr, scope):
        env = Env([])
        self.queries.bind_expr(expr, env)
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
            _, rows = self.queries.run_select(rebind(node.plan, env), scope)
            return bool(rows)
        if t is P.Subquery:
            cols, rows = self.queries.run_select(rebind(node.plan, env), scope)
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
                v = datetime_style(v, self.eval(node.style, env, scope))
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
                _, rows = self.queries.run_select(rebind(node.values.plan, env), scope)
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
            regex = like_regex(self.server.fold(str(pat)), esc)
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
        value = self._arith(node, env, scope)
        if isinstance(value, float) and not math.isfinite(value):
            raise SqlError(8115, "expression", "float")
        if isinstance(value, int) and not isinstance(value, bool):
            self.check_int_range(value, self.expr_type(node, scope, env))
        return value

    @staticmethod
    def check_int_range(value, typ):
        """An integer result outside its type's range is an arithmetic overflow (8115), as SQL Server has it."""
        limits = sqltypes.INT_TYPES.get(typ.name) if typ is not None else None
        if limits is not None and typ.name != "bit" and not limits[0] <= value <= limits[1]:
            raise SqlError(8115, "expression", typ.name)

    def _arith(self, node, env, scope):
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
                k = group_key(v, self.server.fold)
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
            total = sum(values[1:], values[0])
            if isinstance(total, int) and not isinstance(total, bool):
                self.check_int_range(total, self.expr_type(node, scope, env))
            return total
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
