"""The server's state: databases with their tables, logins, server roles and languages.

All of it lives in memory. With a state file it is loaded at start and written again, atomically, after
every request that changed it.
"""

import base64
import contextlib
import datetime
import decimal
import hashlib
import json
import os
import secrets
import tempfile
import threading

from . import sqltypes
from .sqltypes import SqlType

FIXED_ROLES = ["sysadmin", "securityadmin", "serveradmin", "setupadmin", "processadmin", "diskadmin",
               "dbcreator", "bulkadmin"]
# principal_id of public and the fixed roles, as SQL Server numbers them.
ROLE_IDS = {"public": 2, "sysadmin": 3, "securityadmin": 4, "serveradmin": 5, "setupadmin": 6,
            "processadmin": 7, "diskadmin": 8, "dbcreator": 9, "bulkadmin": 10}
SYSTEM_DATABASES = ["master", "tempdb", "model", "msdb"]

# syslanguages: langid, name, alias, lcid, dateformat, datefirst, months, shortmonths, days, msglangid
LANGUAGES = [
    (0, "us_english", "English", 1033, "mdy", 7,
     "January,February,March,April,May,June,July,August,September,October,November,December",
     "Jan,Feb,Mar,Apr,May,Jun,Jul,Aug,Sep,Oct,Nov,Dec",
     "Monday,Tuesday,Wednesday,Thursday,Friday,Saturday,Sunday", 1033),
    (1, "Deutsch", "German", 1031, "dmy", 1,
     "Januar,Februar,März,April,Mai,Juni,Juli,August,September,Oktober,November,Dezember",
     "Jan,Feb,Mrz,Apr,Mai,Jun,Jul,Aug,Sep,Okt,Nov,Dez",
     "Montag,Dienstag,Mittwoch,Donnerstag,Freitag,Samstag,Sonntag", 1031),
    (2, "Français", "French", 1036, "dmy", 1,
     "janvier,février,mars,avril,mai,juin,juillet,août,septembre,octobre,novembre,décembre",
     "janv,févr,mars,avr,mai,juin,juil,août,sept,oct,nov,déc",
     "lundi,mardi,mercredi,jeudi,vendredi,samedi,dimanche", 1036),
    (22, "Türkçe", "Turkish", 1055, "dmy", 1,
     "Ocak,Şubat,Mart,Nisan,Mayıs,Haziran,Temmuz,Ağustos,Eylül,Ekim,Kasım,Aralık",
     "Oca,Şub,Mar,Nis,May,Haz,Tem,Ağu,Eyl,Eki,Kas,Ara",
     "Pazartesi,Salı,Çarşamba,Perşembe,Cuma,Cumartesi,Pazar", 1033),
    (23, "British", "British English", 2057, "dmy", 1,
     "January,February,March,April,May,June,July,August,September,October,November,December",
     "Jan,Feb,Mar,Apr,May,Jun,Jul,Aug,Sep,Oct,Nov,Dec",
     "Monday,Tuesday,Wednesday,Thursday,Friday,Saturday,Sunday", 1033),
]


def now():
    return sqltypes.round_datetime(datetime.datetime.now())


class Column:
    def __init__(self, name, type_, nullable=True, identity=None, default=None, collation=None):
        self.name = name
        self.type = type_
        self.nullable = nullable
        self.identity = identity          # (seed, step) or None
        self.default = default            # name of the default constraint bound to the column, or None
        self.collation = collation        # Collation of char data

    def to_json(self):
        return {"name": self.name, "type": self.type.to_json(), "nullable": self.nullable,
                "identity": self.identity, "default": self.default}


class Index:
    def __init__(self, name, index_id, columns, unique=False, clustered=False, kind=None, filegroup="PRIMARY"):
        self.name = name
        self.index_id = index_id
        self.columns = columns            # column names
        self.unique = unique
        self.clustered = clustered
        self.kind = kind                  # None for CREATE INDEX, "PK" or "UQ" for a key constraint
        self.filegroup = filegroup

    def to_json(self):
        return dict(self.__dict__)


class DbObject:
    """A row of sysobjects: a user table, a key constraint or a default constraint."""

    def __init__(self, name, object_id, xtype, parent_id=0, created=None, definition=None, column=None):
        self.name = name
        self.id = object_id
        self.xtype = xtype                # U, PK, UQ, D
        self.parent_id = parent_id
        self.created = created or now()
        self.definition = definition      # default constraints: the text SQL Server keeps, e.g. ((0))
        self.column = column              # default constraints: the column name

    def to_json(self):
        d = dict(self.__dict__)
        d["created"] = self.created.isoformat()
        return d


class Table:
    def __init__(self, obj, columns):
        self.obj = obj
        self.columns = columns
        self.rows = []
        self.indexes = []
        self.identity_last = None         # last identity value handed out

    @property
    def name(self):
        return self.obj.name

    def column_index(self, name, collation):
        key = collation.fold(name)
        for i, col in enumerate(self.columns):
            if collation.fold(col.name) == key:
                return i
        return -1

    def has_lob(self):
        return any(c.type.is_lob for c in self.columns)


# Fixed database roles and their principal ids (sys.database_principals); the stand-in models the first
# four, the others are refused where a statement names them.
DB_ROLE_IDS = {"db_owner": 16384, "db_accessadmin": 16385, "db_securityadmin": 16386, "db_ddladmin": 16387,
               "db_backupoperator": 16389, "db_datareader": 16390, "db_datawriter": 16391,
               "db_denydatareader": 16392, "db_denydatawriter": 16393}
MODELLED_DB_ROLES = ("db_owner", "db_ddladmin", "db_datareader", "db_datawriter")
# Databases whose guest user may connect, as on a new SQL Server instance.
GUEST_DATABASES = ("master", "tempdb", "msdb")


class DbUser:
    """A user of a database: its name, the login it stands for (by SID) and its fixed database roles."""

    def __init__(self, name, principal_id, sid, roles=()):
        self.name = name
        self.principal_id = principal_id
        self.sid = sid                    # bytes; None for dbo and guest, which are not stored
        self.roles = set(roles)

    def to_json(self):
        return {"name": self.name, "principal_id": self.principal_id, "sid": self.sid.hex(),
                "roles": sorted(self.roles)}

    @staticmethod
    def from_json(d):
        return DbUser(d["name"], d["principal_id"], bytes.fromhex(d["sid"]), d["roles"])


DBO = DbUser("dbo", 1, None, {"db_owner"})
GUEST = DbUser("guest", 2, None)


class Database:
    def __init__(self, name, dbid, collation, owner="sa", created=None):
        self.name = name
        self.dbid = dbid
        self.collation = collation
        self.owner = owner
        self.created = created or now()
        self.objects = {}                 # folded name -> DbObject
        self.tables = {}                  # object id -> Table
        self.user_access = "MULTI_USER"   # or SINGLE_USER (ALTER DATABASE ... SET)
        self.dbts = None                  # last rowversion given out; None: not known since the load
        self.users = {}                   # folded name -> DbUser (dbo and guest are implied)
        self.next_user_id = 5             # 1 dbo, 2 guest, 3 INFORMATION_SCHEMA, 4 sys

    def find_object(self, name):
        return self.objects.get(self.collation.fold(name))

    def find_table(self, name):
        obj = self.find_object(name)
        if obj is not None and obj.xtype == "U":
            return self.tables[obj.id]
        return None

    def object_by_id(self, object_id):
        for obj in self.objects.values():
            if obj.id == object_id:
                return obj
        return None


class Login:
    def __init__(self, name, principal_id, password, default_database="master", default_language="us_english",
                 created=None, sid=None, salt=None, password_hash=None):
        self.name = name
        self.principal_id = principal_id
        self.sid = sid or secrets.token_bytes(16)
        self.salt = salt or secrets.token_bytes(8)
        self.password_hash = password_hash or self._hash(password)
        self.default_database = default_database
        self.default_language = default_language
        self.roles = set()                # fixed server roles, lower case
        self.disabled = False             # ALTER LOGIN ... DISABLE: it cannot log in (18470)
        self.created = created or now()
        self.modified = self.created

    def _hash(self, password):
        return hashlib.sha256(self.salt + (password or "").encode("utf-8")).hexdigest()

    def check_password(self, password):
        return secrets.compare_digest(self._hash(password), self.password_hash)

    def set_password(self, password):
        self.password_hash = self._hash(password)


class SharedLock:
    """The server lock. `with lock:` holds it alone, to change the state; `with lock.shared():` holds it
    beside other readers, to read it (a SELECT, a login). Readers never wait for each other, so a long
    query holds up no login and no other query; a change waits until the readers are done.

    Reentrant: the thread that holds it alone may take it again either way, a reader may read again. A
    reader that asks to hold it alone is a fault of the caller (it would wait for itself) and raises."""

    def __init__(self):
        self._cond = threading.Condition(threading.Lock())
        self._owner = None                # thread holding it alone
        self._depth = 0
        self._readers = {}                # thread id -> depth

    def __enter__(self):
        me = threading.get_ident()
        with self._cond:
            if self._owner == me:
                self._depth += 1
                return self
            if me in self._readers:
                raise RuntimeError("a reader of the server state asked to change it")
            while self._owner is not None or self._readers:
                self._cond.wait()
            self._owner, self._depth = me, 1
        return self

    def __exit__(self, *exc):
        with self._cond:
            self._depth -= 1
            if self._depth == 0:
                self._owner = None
                self._cond.notify_all()

    @contextlib.contextmanager
    def shared(self):
        me = threading.get_ident()
        with self._cond:
            if self._owner == me:
                self._depth += 1
            else:
                while self._owner is not None:
                    self._cond.wait()
                self._readers[me] = self._readers.get(me, 0) + 1
        try:
            yield self
        finally:
            with self._cond:
                if self._owner == me:
                    self._depth -= 1
                else:
                    self._readers[me] -= 1
                    if not self._readers[me]:
                        del self._readers[me]
                        self._cond.notify_all()


class Server:
    """The whole server state, guarded by `lock` (a SharedLock): statements that change it run one at a
    time, reading ones side by side."""

    def __init__(self, sa_password, collation, state_file=None, name="KURDB-STANDIN"):
        self.lock = SharedLock()
        self.save_lock = threading.Lock()     # one writer of the state file at a time
        self.login_lock = threading.Lock()    # one login at a time (they read beside queries)
        self.collation = collation
        self.name = name
        self.state_file = state_file
        self.databases = {}
        self.logins = {}
        self.next_object_id = 245575913
        self.next_principal_id = 256
        self.dirty = False
        self.sessions = {}                # spid -> session, for "database in use"
        self.instance = None              # name of a named instance, None for the default one
        loaded = state_file and os.path.exists(state_file) and self._load(state_file)
        if not loaded:
            for i, name_ in enumerate(SYSTEM_DATABASES, 1):
                self.databases[name_] = Database(name_, i, collation)
        sa = self.logins.get("sa")
        if sa is None:
            sa = Login("sa", 1, sa_password, sid=b"\x01")
            sa.roles.add("sysadmin")
            self.logins["sa"] = sa
        else:
            sa.set_password(sa_password)

    # -- lookups -----------------------------------------------------------------------------------------
    def fold(self, text):
        return self.collation.fold(text)

    def database(self, name):
        return self.databases.get(self.fold(name))

    def login(self, name):
        return self.logins.get(self.fold(name))

    def new_object_id(self):
        self.next_object_id += 16 * 1000 + 7
        return self.next_object_id

    def language(self, name):
        """syslanguages row by name or alias, or None."""
        key = self.fold(name or "")
        for row in LANGUAGES:
            if self.fold(row[1]) == key or self.fold(row[2]) == key:
                return row
        return None

    def language_by_id(self, langid):
        for row in LANGUAGES:
            if row[0] == langid:
                return row
        return None

    def live_sessions(self):
        """The sessions whose client is still connected.

        A client that closed its connection has no session any more, even when its connection's thread has
        not read the end of the stream yet: each session is asked here whether its peer has gone, and one
        that has is ended on the spot. So a DROP DATABASE sent right after another connection closed never
        sees that connection's session still in the database.
        """
        for spid, session in list(self.sessions.items()):
            if session.peer_gone():
                self.end_session(spid)
        return list(self.sessions.values())

    def end_session(self, spid):
        self.sessions.pop(spid, None)

    def sessions_in(self, db, but=None):
        """Live sessions other than `but` whose current database is db."""
        key = self.fold(db.name)
        return [s for s in self.live_sessions() if s is not but and self.fold(s.database) == key]

    def add_database(self, name, owner):
        dbid = max(db.dbid for db in self.databases.values()) + 1
        db = Database(name, dbid, self.collation, owner)
        self.databases[self.fold(name)] = db
        self.dirty = True
        return db

    def add_login(self, name, password, default_database, default_language):
        login = Login(name, self.next_principal_id, password, default_database, default_language)
        self.next_principal_id += 1
        self.logins[self.fold(name)] = login
        self.dirty = True
        return login

    # -- persistence -------------------------------------------------------------------------------------
    def save(self):
        """Writes the state file, replacing it in one step, when a state file was given."""
        if not self.state_file or not self.dirty:
            self.dirty = False
            return
        data = {
            "version": 1,
            "collation": self.collation.name,
            "next_object_id": self.next_object_id,
            "next_principal_id": self.next_principal_id,
            "logins": [{"name": l.name, "principal_id": l.principal_id, "sid": l.sid.hex(), "salt": l.salt.hex(),
                        "password_hash": l.password_hash, "default_database": l.default_database,
                        "default_language": l.default_language, "roles": sorted(l.roles),
                        "created": l.created.isoformat(), "disabled": l.disabled} for l in self.logins.values()],
            "databases": [self._db_json(db) for db in self.databases.values()],
        }
        folder = os.path.dirname(os.path.abspath(self.state_file))
        fd, tmp = tempfile.mkstemp(prefix=".standin-state-", dir=folder)
        with os.fdopen(fd, "w", encoding="utf-8") as f:
            json.dump(data, f, indent=1, default=_json_value)
        os.replace(tmp, self.state_file)
        self.dirty = False

    def _db_json(self, db):
        return {
            "name": db.name, "dbid": db.dbid, "owner": db.owner, "created": db.created.isoformat(),
            "user_access": db.user_access,
            "users": [u.to_json() for u in db.users.values()], "next_user_id": db.next_user_id,
            "objects": [o.to_json() for o in db.objects.values()],
            "tables": [{"id": t.obj.id, "columns": [c.to_json() for c in t.columns],
                        "indexes": [i.to_json() for i in t.indexes], "identity_last": t.identity_last,
                        "rows": [[_json_value(v) for v in row] for row in t.rows]} for t in db.tables.values()],
        }

    def _load(self, path):
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        self.next_object_id = data["next_object_id"]
        self.next_principal_id = data["next_principal_id"]
        for l in data["logins"]:
            login = Login(l["name"], l["principal_id"], None, l["default_database"], l["default_language"],
                          created=datetime.datetime.fromisoformat(l["created"]), sid=bytes.fromhex(l["sid"]),
                          salt=bytes.fromhex(l["salt"]), password_hash=l["password_hash"])
            login.roles = set(l["roles"])
            login.disabled = l.get("disabled", False)
            self.logins[self.fold(login.name)] = login
        for d in data["databases"]:
            db = Database(d["name"], d["dbid"], self.collation, d["owner"],
                          datetime.datetime.fromisoformat(d["created"]))
            db.user_access = d.get("user_access", "MULTI_USER")
            db.users = {self.fold(u["name"]): DbUser.from_json(u) for u in d.get("users", [])}
            db.next_user_id = d.get("next_user_id", 5)
            for o in d["objects"]:
                obj = DbObject(o["name"], o["id"], o["xtype"], o["parent_id"],
                               datetime.datetime.fromisoformat(o["created"]), o["definition"], o["column"])
                db.objects[db.collation.fold(obj.name)] = obj
            for t in d["tables"]:
                obj = db.object_by_id(t["id"])
                cols = [Column(c["name"], SqlType.from_json(c["type"]), c["nullable"],
                               tuple(c["identity"]) if c["identity"] else None, c["default"], db.collation)
                        for c in t["columns"]]
                table = Table(obj, cols)
                table.indexes = [Index(**i) for i in t["indexes"]]
                table.identity_last = t["identity_last"]
                table.rows = [[_from_json_value(v) for v in row] for row in t["rows"]]
                db.tables[obj.id] = table
            self.databases[self.fold(db.name)] = db
        return True


def _json_value(value):
    if isinstance(value, bytes):
        return {"b": base64.b64encode(value).decode("ascii")}
    if isinstance(value, datetime.datetime):
        return {"dt": value.isoformat()}
    if isinstance(value, datetime.time):
        return {"t": value.isoformat()}
    if isinstance(value, decimal.Decimal):
        return {"dec": str(value)}
    if isinstance(value, (SqlType,)):
        return value.to_json()
    return value


def _from_json_value(value):
    if isinstance(value, dict):
        if "b" in value:
            return base64.b64decode(value["b"])
        if "dt" in value:
            return datetime.datetime.fromisoformat(value["dt"])
        if "t" in value:
            return datetime.time.fromisoformat(value["t"])
        if "dec" in value:
            return decimal.Decimal(value["dec"])
    return value
