"""System stored procedures: logins and server roles, sp_executesql and prepared statements."""

from . import catalog, parser as P, security, sqltypes
from .errors import SqlError
from .session import Scope
from .sqltypes import SqlType

REQUIRED = object()
DEFAULT = object()       # the DEFAULT keyword passed as an argument


class Proc:
    def __init__(self, name, params, func, varargs=False):
        self.name = name
        self.params = params          # [(name, type, default or REQUIRED, output)]
        self.func = func
        self.varargs = varargs

    def run(self, ex, scope, values, args, outputs):
        return self.func(ex, scope, values, args, outputs)


def bind_arguments(proc, args):
    """Matches EXEC/RPC arguments to the declared parameters.

    args: [(name or None, value, type, output, target)]. Returns {parameter name lower: value}; for
    procedures with varargs the arguments after the declared ones stay in args for the procedure.
    """
    values = {}
    declared = [p[0].lower() for p in proc.params]
    named_seen = False
    for i, (name, value, typ, output, _) in enumerate(args):
        if name:
            named_seen = True
            key = name.lower()
            if key not in declared:
                if proc.varargs:
                    continue
                raise SqlError(8145, name, proc.name)
            pdef = proc.params[declared.index(key)]
        else:
            if named_seen and not proc.varargs:
                raise SqlError(119, i + 1)
            if i >= len(proc.params):
                if proc.varargs:
                    continue
                raise SqlError(8144, proc.name)
            pdef = proc.params[i]
            key = declared[i]
        if output and not pdef[3]:
            raise SqlError(8162, pdef[0])
        if value is DEFAULT:
            continue
        values[key] = sqltypes.convert(value, pdef[1], typ) if value is not None else None
    for pname, ptype, default, output in proc.params:
        key = pname.lower()
        if key not in values:
            if default is REQUIRED:
                raise SqlError(201, proc.name, pname)
            values[key] = default
    return values


# -- logins and roles ---------------------------------------------------------------------------------------


def sp_addlogin(ex, scope, v, args, outputs):
    security.add_login(ex.access, v["@loginame"], v["@passwd"], v["@defdb"], v["@deflanguage"])
    return 0


def sp_droplogin(ex, scope, v, args, outputs):
    name = v["@loginame"]
    if ex.server.login(name) is None:
        raise SqlError(15007, name)
    security.drop_login(ex.access, name)
    return 0


def sp_defaultlanguage(ex, scope, v, args, outputs):
    server = ex.server
    name = v["@loginame"]
    login = server.login(name)
    is_self = login is not None and login is ex.session.login
    if not is_self and not ex.session.is_member("securityadmin"):
        raise SqlError(15151, "alter", "login", name)
    if login is None:
        raise SqlError(15007, name)
    lang = server.language(v["@language"]) if v["@language"] else server.language("us_english")
    if lang is None:
        raise SqlError(15033, v["@language"])
    login.default_language = lang[1]
    login.modified = catalog.now()
    server.dirty = True
    return 0


def sp_password(ex, scope, v, args, outputs):
    """Changes a password through ALTER LOGIN: one's own with the old password (15211 when it is wrong),
    another's with ALTER ANY LOGIN."""
    name = v["@loginame"]
    if name is None:
        name = ex.session.login.name
    if ex.server.login(name) is None:
        raise SqlError(15007, name)
    opts = {"PASSWORD": v["@new"] or ""}
    if v["@old"] is not None or not ex.session.is_member("securityadmin"):
        opts["OLD_PASSWORD"] = v["@old"] or ""
    security.alter_login(ex.access, name, opts, wrong_old_password=SqlError(15211))
    return 0


def sp_adduser(ex, scope, v, args, outputs):
    """A user for a login in the current database, optionally in a role."""
    db = ex.session.db
    name = v["@name_in_db"] or v["@loginame"]
    security.create_user(ex.access, db, name, v["@loginame"])
    if v["@grpname"] is not None:
        security.alter_db_role(ex.access, db, v["@grpname"], name, True)
    return 0


def sp_addrolemember(ex, scope, v, args, outputs):
    security.alter_db_role(ex.access, ex.session.db, v["@rolename"], v["@membername"], True)
    return 0


def sp_droprolemember(ex, scope, v, args, outputs):
    security.alter_db_role(ex.access, ex.session.db, v["@rolename"], v["@membername"], False)
    return 0


def sp_defaultdb(ex, scope, v, args, outputs):
    server = ex.server
    login = server.login(v["@loginame"])
    if login is None or (login is not ex.session.login and not ex.session.is_member("securityadmin")):
        raise SqlError(15151, "alter", "login", v["@loginame"])
    db = server.database(v["@defdb"])
    if db is None:
        raise SqlError(15010, v["@defdb"])
    login.default_database = db.name
    server.dirty = True
    return 0


def sp_addsrvrolemember(ex, scope, v, args, outputs):
    security.add_role_member(ex.access, v["@loginame"], v["@rolename"], via_procedure=True)
    return 0


def sp_dropsrvrolemember(ex, scope, v, args, outputs):
    security.drop_role_member(ex.access, v["@loginame"], v["@rolename"])
    return 0


# -- dynamic SQL and prepared statements --------------------------------------------------------------------

def _run_parameterized(ex, scope, text, declarations, args, first, outputs):
    """Runs text in a scope of its own with the declared parameters bound from args[first:]."""
    try:
        decls = P.parse_param_declarations(declarations or "")
    except SqlError as e:
        e.text = e.text
        raise
    inner = Scope(scope.depth, "")
    fold = ex.server.fold
    index = {fold(n): i for i, (n, _, _) in enumerate(decls)}
    for name, typ, _ in decls:
        inner.vars[fold(name)] = [name, typ, None]
    bound_to = {}
    position = 0
    for k, (name, value, vtype, output, target) in enumerate(args[first:], first):
        if name:
            i = index.get(fold(name))
            if i is None:
                raise SqlError(8145, name, "sp_executesql")
        else:
            i = position
            if i >= len(decls):
                raise SqlError(8144, "sp_executesql")
        position += 1
        pname, ptype, pout = decls[i]
        if output and not pout:
            raise SqlError(8162, pname)
        if value is not DEFAULT:
            inner.vars[fold(pname)][2] = ex.expressions.assign_value(value, ptype, vtype)
        bound_to[k] = fold(pname)
    for name, typ, _ in decls:
        if fold(name) not in bound_to.values():
            raise SqlError(8178, text="The parameterized query '(%s)%s' expects the parameter '%s', which was "
                                      "not supplied." % (declarations, text[:40], name))
    old_db = ex.session.database
    try:
        status = ex.run_text(text or "", inner, declared=[n for n, _, _ in decls])
    finally:
        ex.restore_database(old_db)
    for k, key in bound_to.items():
        if args[k][3]:
            outputs.append((k, inner.vars[key][2]))
    return status


def sp_executesql(ex, scope, v, args, outputs):
    if not args:
        raise SqlError(201, "sp_executesql", "@statement")
    stmt = args[0][1]
    params = args[1][1] if len(args) > 1 else None
    if stmt is None:
        return 0
    return _run_parameterized(ex, scope, str(stmt), params, args, 2, outputs)


def _new_handle(ex, declarations, text):
    handle = ex.session.next_handle
    ex.session.next_handle += 1
    ex.session.prepared[handle] = (declarations, text)
    return handle


def sp_prepare(ex, scope, v, args, outputs):
    handle = _new_handle(ex, v["@params"], v["@stmt"])
    outputs.append((0, handle))
    return 0


def sp_prepexec(ex, scope, v, args, outputs):
    handle = _new_handle(ex, v["@params"], v["@stmt"])
    outputs.append((0, handle))
    return _run_parameterized(ex, scope, v["@stmt"], v["@params"], args, 3, outputs)


def sp_execute(ex, scope, v, args, outputs):
    handle = v["@handle"]
    entry = ex.session.prepared.get(handle)
    if entry is None:
        raise SqlError(8179, handle)
    return _run_parameterized(ex, scope, entry[1], entry[0], args, 1, outputs)


def sp_unprepare(ex, scope, v, args, outputs):
    if ex.session.prepared.pop(v["@handle"], None) is None:
        raise SqlError(8179, v["@handle"])
    return 0


S = sqltypes.SYSNAME
NTEXT = SqlType("nvarchar", -1)
PROCEDURES = {p.name: p for p in [
    Proc("sp_addlogin", [("@loginame", S, REQUIRED, False), ("@passwd", S, None, False),
                         ("@defdb", S, "master", False), ("@deflanguage", S, None, False),
                         ("@sid", sqltypes.varbinary(16), None, False), ("@encryptopt", sqltypes.varchar(20), None,
                                                                          False)], sp_addlogin),
    Proc("sp_droplogin", [("@loginame", S, REQUIRED, False)], sp_droplogin),
    Proc("sp_defaultlanguage", [("@loginame", S, REQUIRED, False), ("@language", S, None, False)],
         sp_defaultlanguage),
    Proc("sp_adduser", [("@loginame", S, REQUIRED, False), ("@name_in_db", S, None, False),
                        ("@grpname", S, None, False)], sp_adduser),
    Proc("sp_addrolemember", [("@rolename", S, REQUIRED, False), ("@membername", S, REQUIRED, False)],
         sp_addrolemember),
    Proc("sp_droprolemember", [("@rolename", S, REQUIRED, False), ("@membername", S, REQUIRED, False)],
         sp_droprolemember),
    Proc("sp_password", [("@old", S, None, False), ("@new", S, None, False), ("@loginame", S, None, False)],
         sp_password),
    Proc("sp_defaultdb", [("@loginame", S, REQUIRED, False), ("@defdb", S, REQUIRED, False)], sp_defaultdb),
    Proc("sp_addsrvrolemember", [("@loginame", S, REQUIRED, False), ("@rolename", S, None, False)],
         sp_addsrvrolemember),
    Proc("sp_dropsrvrolemember", [("@loginame", S, REQUIRED, False), ("@rolename", S, None, False)],
         sp_dropsrvrolemember),
    Proc("sp_executesql", [], sp_executesql, varargs=True),
    Proc("sp_prepare", [("@handle", sqltypes.INT, None, True), ("@params", NTEXT, None, False),
                        ("@stmt", NTEXT, REQUIRED, False), ("@options", sqltypes.INT, 1, False)], sp_prepare),
    Proc("sp_prepexec", [("@handle", sqltypes.INT, None, True), ("@params", NTEXT, None, False),
                         ("@stmt", NTEXT, REQUIRED, False)], sp_prepexec, varargs=True),
    Proc("sp_execute", [("@handle", sqltypes.INT, REQUIRED, False)], sp_execute, varargs=True),
    Proc("sp_unprepare", [("@handle", sqltypes.INT, REQUIRED, False)], sp_unprepare),
]}

# RPC procedure ids of the TDS protocol.
PROC_IDS = {10: "sp_executesql", 11: "sp_prepare", 12: "sp_execute", 13: "sp_prepexec", 15: "sp_unprepare"}


# Procedures that run T-SQL text of the caller's: they take the server lock statement by statement.
TEXT_RUNNERS = {"sp_executesql", "sp_prepexec", "sp_execute", "sp_prepare", "sp_unprepare"}


def find(parts, fold):
    """A procedure by its (possibly qualified) name: name, dbo.name, sys.name, db.dbo.name, db..name."""
    if len(parts) > 3:
        return None
    if len(parts) >= 2 and parts[-2] and fold(parts[-2]) not in (fold("dbo"), fold("sys")):
        return None
    name = parts[-1].rstrip(" ")
    for key, proc in PROCEDURES.items():
        if fold(key) == fold(name):
            return proc
    return None
