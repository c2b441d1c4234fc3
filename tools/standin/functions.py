"""Built-in functions and @@ variables of T-SQL: values and result types."""

import datetime
import decimal
import re
import uuid

from . import catalog, parser as P, security, sqltypes
from .errors import SqlError
from .sqltypes import SqlType


VERSION_TEXT = ("Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64) \n\tKurdb stand-in server "
                "\n\tDeveloper Edition (64-bit) on Linux")
PRODUCT_VERSION = "16.0.1000.6"


def like_regex(pattern, escape):
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


def datetime_style(value, style):
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


def printf_text(fmt, args):
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
# Built-in functions: name -> (implementation(expressions, node, env, scope), result type or function)


def _args(ex, node, env, scope, count=None):
    if count is not None and len(node.args) not in (count if isinstance(count, tuple) else (count,)):
        raise SqlError(174, node.name.lower(), count if not isinstance(count, tuple) else count[0])
    return [ex.eval(a, env, scope) for a in node.args]


def _arg_type(ex, node, scope, env, i=0):
    return ex.expr_type(node.args[i], scope, env) if len(node.args) > i else None


def f_newid(ex, node, env, scope):
    _args(ex, node, env, scope, 0)
    return str(uuid.uuid4()).upper()


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
    if obj is None or not security.sees_objects(ex.server, ex.session.login, db):
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
        security.fixed_role(ex.server, str(role))
    if role is None:
        return None
    login = ex.session.login
    if len(args) > 1:
        if args[1] is None:
            return None
        login = ex.server.login(args[1])
        if login is None:
            return None
        if login is not ex.session.login and not security.sees_all_logins(ex.session):
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
    args = _args(ex, node, env, scope, (0, 1))
    db = ex.session.db
    if args and args[0] is not None:
        for user in [catalog.DBO, catalog.GUEST] + list(db.users.values()):
            if user.principal_id == args[0]:
                return user.name
        return None
    user = security.database_user(ex.server, ex.session.login, db)
    return user.name if user is not None else None


def f_is_member(ex, node, env, scope):
    """IS_MEMBER('db_role'): 1 or 0 for the current user; NULL for a name that is no role."""
    name, = _args(ex, node, env, scope, 1)
    role = security.db_role(ex.server, name) if name is not None else None
    if role is None:
        return None
    user = security.database_user(ex.server, ex.session.login, ex.session.db)
    return int(user is not None and role in user.roles)


def f_has_dbaccess(ex, node, env, scope):
    name, = _args(ex, node, env, scope, 1)
    db = ex.server.database(name) if name is not None else None
    if db is None:
        return None
    try:
        ex.access.check_access(db)
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
    if isinstance(v, int) and not isinstance(v, bool):
        ex.check_int_range(abs(v), ex.expr_type(node.args[0], scope, env))    # abs(-2147483648) overflows
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
            "engineedition": "3", "servername": _server_name(ex), "machinename": ex.server.name,
            "collation": ex.server.collation.name, "instancename": ex.server.instance,
            "isintegratedsecurityonly": "0", "productmajorversion": "16"}.get(prop)


def _server_name(ex):
    """MACHINE, or MACHINE\\INSTANCE for a named instance."""
    return ex.server.name + ("\\" + ex.server.instance if ex.server.instance else "")


def f_scope_identity(ex, node, env, scope):
    _args(ex, node, env, scope, 0)
    v = ex.session.last_identity
    return None if v is None else decimal.Decimal(v)


def f_ident_current(ex, node, env, scope):
    name, = _args(ex, node, env, scope, 1)
    src = ex.queries.resolve(P.parse_name(name), quiet=True) if name else None
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
    "NEWID": (f_newid, SqlType("uniqueidentifier")),
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
    "IS_MEMBER": (f_is_member, sqltypes.INT),
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
    "@@SERVERNAME": _server_name,
    "@@SERVICENAME": lambda ex: ex.server.instance or "MSSQLSERVER",
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
