"""Logins and server roles: who may do what, who sees which principals."""

from . import catalog
from .errors import SqlError


def sees_all_logins(session):
    """ALTER ANY LOGIN (sysadmin, securityadmin) shows every login; others see themselves and sa."""
    return session.is_member("securityadmin")


def visible_logins(server, session):
    """The logins the session may see, by principal_id: every one with ALTER ANY LOGIN, else only its own
    login and the system login sa."""
    logins = sorted(server.logins.values(), key=lambda l: l.principal_id)
    if sees_all_logins(session):
        return logins
    return [l for l in logins if l is session.login or l.name == "sa"]


def _require(access, role, error):
    if not access.session.is_member(role):
        raise error


def _policy_ok(password):
    if len(password) < 8:
        return False
    kinds = [any(c.islower() for c in password), any(c.isupper() for c in password),
             any(c.isdigit() for c in password), any(not c.isalnum() for c in password)]
    return sum(kinds) >= 3


def add_login(access, name, password, defdb, language, check_policy=False):
    server = access.server
    _require(access, "securityadmin", SqlError(15247))
    if not name or len(name) > 128 or "\\" in name:
        raise SqlError(15007, name or "")
    if server.login(name) is not None or any(server.fold(r) == server.fold(name) for r in catalog.ROLE_IDS):
        raise SqlError(15025, name)       # server roles are server principals too, public included
    db = server.database(defdb or "master")
    if db is None:
        raise SqlError(15010, defdb)
    lang = server.language(language) if language else server.language("us_english")
    if lang is None:
        raise SqlError(15033, language)
    if check_policy and not _policy_ok(password or ""):
        raise SqlError(15118)
    server.add_login(name, password or "", db.name, lang[1])


def drop_login(access, name):
    server = access.server
    login = server.login(name)
    if not access.session.is_member("securityadmin") or login is None or login.name == "sa":
        raise SqlError(15151, "drop", "login", name)
    for other in server.live_sessions():
        if other.login is login:
            raise SqlError(15434, text="Could not drop login '%s' as the user is currently logged in." % name)
    del server.logins[server.fold(login.name)]
    server.dirty = True


SELF_OPTIONS = {"PASSWORD", "OLD_PASSWORD", "DEFAULT_DATABASE", "DEFAULT_LANGUAGE"}


def alter_login(access, name, opts, wrong_old_password=None):
    """ALTER LOGIN: everything is checked before anything changes.

    A login may change its own password (with OLD_PASSWORD), default database and language; the rest, and
    other logins, need ALTER ANY LOGIN (securityadmin), and a sysadmin's password, name or state needs
    sysadmin. wrong_old_password: the error for an OLD_PASSWORD that does not match (sp_password has its
    own)."""
    server, session = access.server, access.session
    login = server.login(name or "")
    refused = SqlError(15151, "alter", "login", name)
    if login is None:
        raise refused
    admin = session.is_member("securityadmin")
    if not admin and (login is not session.login or set(opts) - SELF_OPTIONS or
                      ("PASSWORD" in opts and "OLD_PASSWORD" not in opts)):
        raise refused
    if "sysadmin" in login.roles and not session.is_member("sysadmin") and set(opts) & {"PASSWORD", "NAME",
                                                                                       "ENABLE"}:
        raise refused
    if "OLD_PASSWORD" in opts and not login.check_password(opts["OLD_PASSWORD"]):
        raise wrong_old_password or refused
    db = lang = None
    if "DEFAULT_DATABASE" in opts:
        db = server.database(opts["DEFAULT_DATABASE"])
        if db is None:
            raise SqlError(15010, opts["DEFAULT_DATABASE"])
    if "DEFAULT_LANGUAGE" in opts:
        lang = server.language(opts["DEFAULT_LANGUAGE"])
        if lang is None:
            raise SqlError(15033, opts["DEFAULT_LANGUAGE"])
    new_name = opts.get("NAME")
    if new_name is not None:
        if login.name == "sa":
            raise SqlError(40517, "ALTER LOGIN sa WITH NAME")    # sa is known by its name here
        if not new_name or len(new_name) > 128 or "\\" in new_name:
            raise SqlError(15007, new_name)
        other = server.login(new_name)
        if (other is not None and other is not login) or any(server.fold(r) == server.fold(new_name)
                                                              for r in catalog.ROLE_IDS):
            raise SqlError(15025, new_name)
    if "PASSWORD" in opts:
        login.set_password(opts["PASSWORD"])
    if db is not None:
        login.default_database = db.name
    if lang is not None:
        login.default_language = lang[1]
    if "ENABLE" in opts:
        login.disabled = not opts["ENABLE"]
    if new_name is not None:
        for d in server.databases.values():
            if server.fold(d.owner) == server.fold(login.name):
                d.owner = new_name
        del server.logins[server.fold(login.name)]
        login.name = new_name
        server.logins[server.fold(new_name)] = login
    login.modified = catalog.now()
    server.dirty = True


# -- database users ----------------------------------------------------------------------------------------

def database_user(server, login, db):
    """The user a login is inside a database, or None when it may not enter it: dbo for sysadmin and the
    database's owner, the user mapped to its SID, else guest where guest may connect."""
    if "sysadmin" in login.roles or server.fold(db.owner) == server.fold(login.name):
        return catalog.DBO
    for user in db.users.values():
        if user.sid == login.sid:
            return user
    if db.name.lower() in catalog.GUEST_DATABASES:
        return catalog.GUEST
    return None


def sees_objects(server, login, db):
    """Whether a login sees the user objects of a database in the catalog and OBJECT_ID: with a fixed
    database role that grants a permission on them, not with CONNECT alone (guest, a user without roles),
    as metadata visibility has it."""
    user = database_user(server, login, db)
    return user is not None and bool(user.roles & set(catalog.MODELLED_DB_ROLES))


def db_role(server, name):
    """The fixed database role of that name, or None; 40517 for one the stand-in does not model."""
    key = server.fold(name or "")
    for role in catalog.DB_ROLE_IDS:
        if server.fold(role) == key:
            if role not in catalog.MODELLED_DB_ROLES:
                raise SqlError(40517, "database role %s" % role)
            return role
    return None


def find_user(db, name):
    """A user of the database by name, dbo and guest included."""
    key = db.collation.fold(name or "")
    for builtin in (catalog.DBO, catalog.GUEST):
        if db.collation.fold(builtin.name) == key:
            return builtin
    return db.users.get(key)


def create_user(access, db, name, login_name):
    """CREATE USER name [FOR LOGIN login] (the login of the same name when none is given)."""
    server = access.server
    if "db_owner" not in access.db_user(db).roles:
        raise SqlError(15247)
    if find_user(db, name) is not None or any(server.fold(r) == server.fold(name)
                                              for r in list(catalog.DB_ROLE_IDS) + ["public"]):
        raise SqlError(15023, name)
    login = server.login(login_name or name)
    if login is None:
        raise SqlError(15007, login_name or name)
    if server.fold(db.owner) == server.fold(login.name) or any(u.sid == login.sid for u in db.users.values()):
        raise SqlError(15063)
    db.users[db.collation.fold(name)] = catalog.DbUser(name, db.next_user_id, login.sid)
    db.next_user_id += 1
    server.dirty = True


def drop_user(access, db, name, if_exists=False):
    user = find_user(db, name)
    if user is None and if_exists:
        return
    if user is None or "db_owner" not in access.db_user(db).roles:
        raise SqlError(15151, "drop", "user", name)
    if user.sid is None:
        raise SqlError(15150, text="Cannot drop the user '%s'." % user.name)
    del db.users[db.collation.fold(user.name)]
    access.server.dirty = True


def alter_db_role(access, db, role_name, member, add):
    """ALTER ROLE ... ADD|DROP MEMBER, sp_addrolemember, sp_droprolemember: fixed roles take members from
    db_owner members only."""
    role = db_role(access.server, role_name)
    if role is None or "db_owner" not in access.db_user(db).roles:
        raise SqlError(15151, "alter", "role", role_name)
    user = find_user(db, member)
    if user is None:
        raise SqlError(15151, "add" if add else "drop", "principal", member)
    if user is catalog.DBO:
        raise SqlError(15405, user.name)
    if user is catalog.GUEST:
        raise SqlError(15151, "add" if add else "drop", "principal", member)
    if add:
        user.roles.add(role)
    else:
        user.roles.discard(role)
    access.server.dirty = True


# What each fixed database role may do beyond connecting (db_owner may do everything).
ROLE_PERMISSIONS = {"db_datareader": {"SELECT"}, "db_datawriter": {"INSERT", "UPDATE", "DELETE"},
                    "db_ddladmin": {"CREATE TABLE", "ALTER"}}


def fixed_role(server, name):
    """The fixed server role of that name compared under the server collation, or None (under
    Turkish_CI_AS 'SYSADMIN' is not 'sysadmin': its I is the capital of dotless ı)."""
    key = server.fold(name or "")
    for role in catalog.FIXED_ROLES:
        if server.fold(role) == key:
            return role
    return None


def _role(access, role, action):
    found = fixed_role(access.server, role)
    if found is None:
        raise SqlError(15151, action, "server role", role or "")
    role = found
    if not access.session.is_member(role):
        raise SqlError(15151, action, "server role", role)
    return role


def add_role_member(access, name, role, via_procedure=False):
    role = _role(access, role, "alter")
    login = access.server.login(name or "")
    if login is None:
        if via_procedure:
            raise SqlError(15401, name)
        raise SqlError(15151, "add member", "login", name)
    if login.name == "sa":
        raise SqlError(15405, login.name)   # sa's memberships never change
    if role not in login.roles:
        login.roles.add(role)
        access.server.dirty = True


def drop_role_member(access, name, role):
    role = _role(access, role, "alter")
    login = access.server.login(name or "")
    if login is None:
        raise SqlError(15151, "drop member", "login", name)
    if login.name == "sa":
        raise SqlError(15405, login.name)
    if role in login.roles:
        login.roles.discard(role)
        access.server.dirty = True


class Access:
    """What the session's login may do in a database: access, and permissions through the fixed roles its
    user holds. The principal statements and procedures take it as the acting principal."""

    def __init__(self, session):
        self.session = session
        self.server = session.server

    def check_access(self, db):
        if database_user(self.server, self.session.login, db) is None:
            raise SqlError(916, self.session.login.name, db.name)

    def db_user(self, db):
        user = database_user(self.server, self.session.login, db)
        if user is None:
            raise SqlError(916, self.session.login.name, db.name)
        return user

    def may(self, db, permission):
        """Whether the session's user in db holds a database permission through its fixed roles."""
        roles = self.db_user(db).roles
        return "db_owner" in roles or any(permission in ROLE_PERMISSIONS.get(r, ()) for r in roles)

    def require_object_permission(self, db, table, permission):
        """SELECT, INSERT, UPDATE, DELETE on a table of schema dbo: 229 when the user lacks it."""
        if not self.may(db, permission):
            raise SqlError(229, permission, table.name, db.name, "dbo")

    def require_create_table(self, db):
        if not self.may(db, "CREATE TABLE"):
            raise SqlError(262, "CREATE TABLE", db.name)

    def may_alter(self, db):
        """ALTER on the table (ALTER TABLE, indexes, TRUNCATE, DROP): its owner dbo, db_owner, db_ddladmin."""
        return self.may(db, "ALTER")


class Security:
    """Statements on principals: logins, users, server and database roles."""

    def __init__(self, access, reply):
        self.access = access
        self.reply = reply

    def do_CreateUser(self, stmt, scope):
        create_user(self.access, self.access.session.db, stmt.name, stmt.login)
        self.reply.done(scope)

    def do_AlterRole(self, stmt, scope):
        alter_db_role(self.access, self.access.session.db, stmt.role, stmt.member, stmt.add)
        self.reply.done(scope)

    def do_CreateLogin(self, stmt, scope):
        opts = stmt.options
        add_login(self.access, stmt.name, opts.get("PASSWORD", ""), opts.get("DEFAULT_DATABASE", "master"),
                  opts.get("DEFAULT_LANGUAGE"), check_policy=opts.get("CHECK_POLICY", True))
        self.reply.done(scope)

    def do_AlterLogin(self, stmt, scope):
        alter_login(self.access, stmt.name, stmt.options)
        self.reply.done(scope)

    def do_AlterServerRole(self, stmt, scope):
        if stmt.add:
            add_role_member(self.access, stmt.member, stmt.role)
        else:
            drop_role_member(self.access, stmt.member, stmt.role)
        self.reply.done(scope)
