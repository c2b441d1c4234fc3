"""System tables and catalog views, computed from the server state when a query reads them."""

from . import catalog, security, sqltypes
from .sqltypes import (BIT, DATETIME, INT, SMALLINT, SYSNAME, TINYINT, SqlType, char, nvarchar,
                       varbinary, varchar)


class ColInfo:
    __slots__ = ("name", "type", "nullable", "identity")

    def __init__(self, name, type_, nullable=True, identity=False):
        self.name = name
        self.type = type_
        self.nullable = nullable
        self.identity = identity


SYSTYPE_IDS = {"uniqueidentifier": 36, "time": 41, "datetimeoffset": 43, "timestamp": 189, "tinyint": 48, "smallint": 52, "int": 56, "bigint": 127, "bit": 104, "float": 62, "real": 59,
               "datetime": 61, "smalldatetime": 58, "date": 40, "datetime2": 42, "numeric": 108,
               "decimal": 106, "money": 60, "smallmoney": 122, "char": 175, "varchar": 167, "nchar": 239,
               "nvarchar": 231, "text": 35, "ntext": 99, "image": 34, "binary": 173, "varbinary": 165}
SCHEMAS = [("dbo", 1), ("guest", 2), ("INFORMATION_SCHEMA", 3), ("sys", 4)]

# sysobjects of every database also lists some system tables.
SYSTEM_TABLES = [("sysrscols", 3), ("sysrowsets", 5), ("sysclones", 6), ("sysallocunits", 7),
                 ("sysfiles1", 8)]
XTYPE_DESC = {"U": ("U", "USER_TABLE"), "PK": ("K", "PRIMARY_KEY_CONSTRAINT"),
              "UQ": ("K", "UNIQUE_CONSTRAINT"), "D": ("D", "DEFAULT_CONSTRAINT"), "S": ("S", "SYSTEM_TABLE")}


def _pad2(x):
    return x.ljust(2)


def _objects(db, server, session):
    """The user objects of a database that the session's user may see (security.sees_objects)."""
    if not security.sees_objects(server, session.login, db):
        return []
    return sorted(db.objects.values(), key=lambda o: o.id)


def sysobjects(server, db, session):
    cols = [ColInfo("name", SYSNAME, False), ColInfo("id", INT, False), ColInfo("xtype", char(2), False),
            ColInfo("uid", SMALLINT), ColInfo("info", SMALLINT), ColInfo("status", INT),
            ColInfo("base_schema_ver", INT), ColInfo("replinfo", INT), ColInfo("parent_obj", INT, False),
            ColInfo("crdate", DATETIME, False), ColInfo("ftcatid", SMALLINT), ColInfo("schema_ver", INT),
            ColInfo("stats_schema_ver", INT), ColInfo("type", char(2)), ColInfo("userstat", SMALLINT),
            ColInfo("sysstat", SMALLINT), ColInfo("indexdel", SMALLINT), ColInfo("refdate", DATETIME, False),
            ColInfo("version", INT), ColInfo("deltrig", INT), ColInfo("instrig", INT), ColInfo("updtrig", INT),
            ColInfo("seltrig", INT), ColInfo("category", INT), ColInfo("cache", SMALLINT)]
    rows = []
    for name, oid in SYSTEM_TABLES:
        rows.append([name, oid, "S ", 4, 0, 0, 0, 0, 0, db.created, 0, 0, 0, "S ", 0, 1, 0, db.created, 0,
                     0, 0, 0, 0, 2, 0])
    for o in _objects(db, server, session):
        typ = XTYPE_DESC[o.xtype][0]
        rows.append([o.name, o.id, _pad2(o.xtype), 1, 0, 0, 0, 0, o.parent_id, o.created, 0, 0, 0, _pad2(typ),
                     1 if o.xtype == "U" else 0, 3 if o.xtype == "U" else 0, 0, o.created, 0, 0, 0, 0, 0, 0,
                     0])
    return cols, rows


def sysdatabases(server, db, session):
    cols = [ColInfo("name", SYSNAME), ColInfo("dbid", SMALLINT), ColInfo("sid", varbinary(85)),
            ColInfo("mode", SMALLINT), ColInfo("status", INT), ColInfo("status2", INT),
            ColInfo("crdate", DATETIME, False), ColInfo("reserved", DATETIME, False), ColInfo("category", INT),
            ColInfo("cmptlevel", TINYINT, False), ColInfo("filename", nvarchar(260)), ColInfo("version", SMALLINT)]
    rows = []
    for d in sorted(server.databases.values(), key=lambda d: d.dbid):
        owner = server.login(d.owner)
        # the file name only for dbcreator and sysadmin (CREATE ANY DATABASE)
        filename = "/var/opt/mssql/data/%s.mdf" % d.name if session.is_member("dbcreator") else None
        rows.append([d.name, d.dbid, owner.sid if owner else b"\x01", 0, 65544, 1090520064, d.created,
                     d.created, 0, 160, filename, 957])
    return cols, rows


def _role_flags(login):
    return [1 if r in login.roles else 0 for r in
            ("sysadmin", "securityadmin", "serveradmin", "setupadmin", "processadmin", "diskadmin",
             "dbcreator", "bulkadmin")]


def syslogins(server, db, session):
    cols = [ColInfo("sid", varbinary(85)), ColInfo("status", SMALLINT), ColInfo("createdate", DATETIME, False),
            ColInfo("updatedate", DATETIME, False), ColInfo("accdate", DATETIME, False), ColInfo("totcpu", INT),
            ColInfo("totio", INT), ColInfo("spacelimit", INT), ColInfo("timelimit", INT),
            ColInfo("resultlimit", INT), ColInfo("name", SYSNAME, False), ColInfo("dbname", SYSNAME),
            ColInfo("password", SYSNAME), ColInfo("language", SYSNAME), ColInfo("denylogin", INT),
            ColInfo("hasaccess", INT), ColInfo("isntname", INT), ColInfo("isntgroup", INT),
            ColInfo("isntuser", INT)] + [ColInfo(r, INT) for r in (
                "sysadmin", "securityadmin", "serveradmin", "setupadmin", "processadmin", "diskadmin",
                "dbcreator", "bulkadmin")] + [ColInfo("loginname", SYSNAME)]
    rows = []
    for l in security.visible_logins(server, session):
        rows.append([l.sid, 9, l.created, l.modified, l.modified, 0, 0, 0, 0, 0, l.name, l.default_database,
                     None, l.default_language, 0, 1, 0, 0, 0] + _role_flags(l) + [l.name])
    return cols, rows


def syslanguages(server, db, session):
    cols = [ColInfo("langid", SMALLINT, False), ColInfo("dateformat", SqlType("nchar", 3), False),
            ColInfo("datefirst", TINYINT, False), ColInfo("upgrade", INT), ColInfo("name", SYSNAME, False),
            ColInfo("alias", SYSNAME, False), ColInfo("months", nvarchar(372)),
            ColInfo("shortmonths", nvarchar(132)), ColInfo("days", nvarchar(217)), ColInfo("lcid", INT, False),
            ColInfo("msglangid", SMALLINT, False)]
    rows = [[l[0], l[4], l[5], 0, l[1], l[2], l[6], l[7], l[8], l[3], l[9]] for l in catalog.LANGUAGES]
    return cols, rows


def sys_databases(server, db, session):
    cols = [ColInfo("name", SYSNAME), ColInfo("database_id", INT, False), ColInfo("source_database_id", INT),
            ColInfo("owner_sid", varbinary(85)), ColInfo("create_date", DATETIME, False),
            ColInfo("compatibility_level", TINYINT, False), ColInfo("collation_name", SYSNAME),
            ColInfo("state", TINYINT), ColInfo("state_desc", nvarchar(60)), ColInfo("is_read_only", BIT)]
    rows = []
    for d in sorted(server.databases.values(), key=lambda d: d.dbid):
        owner = server.login(d.owner)
        rows.append([d.name, d.dbid, None, owner.sid if owner else b"\x01", d.created, 160, d.collation.name,
                     0, "ONLINE", 0])
    return cols, rows


def _principal_cols(extra=()):
    return [ColInfo("name", SYSNAME, False), ColInfo("principal_id", INT, False), ColInfo("sid", varbinary(85)),
            ColInfo("type", char(1), False), ColInfo("type_desc", nvarchar(60)), ColInfo("is_disabled", INT),
            ColInfo("create_date", DATETIME, False), ColInfo("modify_date", DATETIME, False),
            ColInfo("default_database_name", SYSNAME), ColInfo("default_language_name", SYSNAME),
            ColInfo("credential_id", INT), ColInfo("owning_principal_id", INT),
            ColInfo("is_fixed_role", BIT, False)] + list(extra)


def server_principals(server, db, session):
    rows = []
    created = server.logins["sa"].created
    for role, pid in sorted(catalog.ROLE_IDS.items(), key=lambda kv: kv[1]):
        rows.append([role, pid, bytes([pid]), "R", "SERVER_ROLE", None, created, created, None, None, None,
                     1, 0 if role == "public" else 1])
    for l in security.visible_logins(server, session):
        rows.append([l.name, l.principal_id, l.sid, "S", "SQL_LOGIN", int(l.disabled), l.created, l.modified,
                     l.default_database, l.default_language, None, None, 0])
    rows.sort(key=lambda r: r[1])
    return _principal_cols(), rows


def sql_logins(server, db, session):
    cols, rows = server_principals(server, db, session)
    cols = cols + [ColInfo("is_policy_checked", BIT), ColInfo("is_expiration_checked", BIT)]
    return cols, [r + [0, 0] for r in rows if r[3] == "S"]


def server_role_members(server, db, session):
    cols = [ColInfo("role_principal_id", INT, False), ColInfo("member_principal_id", INT, False)]
    rows = []
    # one's own memberships; all of them with securityadmin (or sysadmin)
    members = security.visible_logins(server, session) if security.sees_all_logins(session) else [session.login]
    for l in members:
        for role in sorted(l.roles, key=lambda r: catalog.ROLE_IDS[r]):
            rows.append([catalog.ROLE_IDS[role], l.principal_id])
    rows.sort()
    return cols, rows


def database_principals(server, db, session):
    cols = [ColInfo("name", SYSNAME, False), ColInfo("principal_id", INT, False), ColInfo("type", char(1), False),
            ColInfo("type_desc", nvarchar(60)), ColInfo("default_schema_name", SYSNAME),
            ColInfo("create_date", DATETIME, False), ColInfo("modify_date", DATETIME, False),
            ColInfo("owning_principal_id", INT), ColInfo("sid", varbinary(85)), ColInfo("is_fixed_role", BIT, False)]
    owner = server.login(db.owner)
    rows = [["dbo", 1, "S", "SQL_USER", "dbo", db.created, db.created, None, owner.sid if owner else b"\x01", 0],
            ["guest", 2, "S", "SQL_USER", "guest", db.created, db.created, None, b"\x00", 0],
            ["INFORMATION_SCHEMA", 3, "S", "SQL_USER", None, db.created, db.created, None, None, 0],
            ["sys", 4, "S", "SQL_USER", None, db.created, db.created, None, None, 0],
            ["public", 0, "R", "DATABASE_ROLE", None, db.created, db.created, 1, b"\x01\x05" + b"\x00" * 6, 0]]
    for u in db.users.values():
        rows.append([u.name, u.principal_id, "S", "SQL_USER", "dbo", db.created, db.created, None, u.sid, 0])
    for role, pid in catalog.DB_ROLE_IDS.items():
        rows.append([role, pid, "R", "DATABASE_ROLE", None, db.created, db.created, 1, None, 1])
    rows.sort(key=lambda r: r[1])
    return cols, rows


def database_role_members(server, db, session):
    cols = [ColInfo("role_principal_id", INT, False), ColInfo("member_principal_id", INT, False)]
    rows = [[catalog.DB_ROLE_IDS["db_owner"], 1]]
    for u in sorted(db.users.values(), key=lambda u: u.principal_id):
        rows += [[catalog.DB_ROLE_IDS[r], u.principal_id] for r in sorted(u.roles, key=catalog.DB_ROLE_IDS.get)]
    return cols, rows


def sys_schemas(server, db, session):
    cols = [ColInfo("name", SYSNAME, False), ColInfo("schema_id", INT, False), ColInfo("principal_id", INT)]
    return cols, [[n, i, 1 if i == 1 else i] for n, i in SCHEMAS]


def _object_cols(extra=()):
    return [ColInfo("name", SYSNAME, False), ColInfo("object_id", INT, False), ColInfo("principal_id", INT),
            ColInfo("schema_id", INT, False), ColInfo("parent_object_id", INT, False),
            ColInfo("type", char(2)), ColInfo("type_desc", nvarchar(60)), ColInfo("create_date", DATETIME, False),
            ColInfo("modify_date", DATETIME, False), ColInfo("is_ms_shipped", BIT, False),
            ColInfo("is_published", BIT, False), ColInfo("is_schema_published", BIT, False)] + list(extra)


def _object_row(o):
    return [o.name, o.id, None, 1, o.parent_id, _pad2(o.xtype), XTYPE_DESC[o.xtype][1], o.created, o.created,
            0, 0, 0]


def sys_objects(server, db, session):
    return _object_cols(), [_object_row(o) for o in _objects(db, server, session)]


def sys_tables(server, db, session):
    cols = _object_cols([ColInfo("lob_data_space_id", INT, False), ColInfo("max_column_id_used", INT, False),
                         ColInfo("uses_ansi_nulls", BIT)])
    rows = []
    for o in _objects(db, server, session):
        if o.xtype == "U":
            t = db.tables[o.id]
            rows.append(_object_row(o) + [1 if t.has_lob() else 0, len(t.columns), 1])
    return cols, rows


def sys_key_constraints(server, db, session):
    cols = _object_cols([ColInfo("unique_index_id", INT), ColInfo("is_system_named", BIT, False)])
    rows = []
    for o in _objects(db, server, session):
        if o.xtype in ("PK", "UQ"):
            t = db.tables[o.parent_id]
            ix = next(i for i in t.indexes if db.collation.fold(i.name) == db.collation.fold(o.name))
            rows.append(_object_row(o) + [ix.index_id, 0])
    return cols, rows


def sys_default_constraints(server, db, session):
    cols = _object_cols([ColInfo("parent_column_id", INT, False), ColInfo("definition", nvarchar(4000)),
                         ColInfo("is_system_named", BIT, False)])
    rows = []
    for o in _objects(db, server, session):
        if o.xtype == "D":
            t = db.tables[o.parent_id]
            rows.append(_object_row(o) + [t.column_index(o.column, db.collation) + 1, o.definition, 0])
    return cols, rows


def _user_tables(db, server, session):
    return [db.tables[o.id] for o in _objects(db, server, session) if o.xtype == "U"]


def sys_columns(server, db, session):
    cols = [ColInfo("object_id", INT, False), ColInfo("name", SYSNAME), ColInfo("column_id", INT, False),
            ColInfo("system_type_id", TINYINT, False), ColInfo("user_type_id", INT, False),
            ColInfo("max_length", SMALLINT, False), ColInfo("precision", TINYINT, False),
            ColInfo("scale", TINYINT, False), ColInfo("collation_name", SYSNAME), ColInfo("is_nullable", BIT),
            ColInfo("is_ansi_padded", BIT, False), ColInfo("is_rowguidcol", BIT, False),
            ColInfo("is_identity", BIT, False), ColInfo("is_computed", BIT, False),
            ColInfo("default_object_id", INT, False)]
    rows = []
    for t in _user_tables(db, server, session):
        for i, c in enumerate(t.columns, 1):
            tid = SYSTYPE_IDS[c.type.name]
            default = db.find_object(c.default) if c.default else None
            precision, scale = _precision_scale(c.type)
            rows.append([t.obj.id, c.name, i, tid, tid, c.type.byte_length(), precision, scale,
                         db.collation.name if c.type.is_string else None, 1 if c.nullable else 0,
                         1 if c.type.is_string or c.type.name in ("binary", "varbinary") else 0, 0,
                         1 if c.identity else 0, 0, default.id if default else 0])
    return cols, rows


def _precision_scale(t):
    precision = {"tinyint": 3, "smallint": 5, "int": 10, "bigint": 19, "bit": 1, "float": 53, "real": 24,
                 "datetime": 23, "smalldatetime": 16, "money": 19, "smallmoney": 10}.get(t.name, 0)
    scale = {"datetime": 3, "money": 4, "smallmoney": 4}.get(t.name, 0)
    if t.name in ("numeric", "decimal"):
        precision, scale = t.precision, t.scale
    if t.name in sqltypes.SCALED_TYPES:
        scale = 7 if t.scale is None else t.scale
        precision = {"time": 8, "datetime2": 19, "datetimeoffset": 26}[t.name] + (scale and scale + 1)
    if t.name == "date":
        precision = 10
    return precision, scale


def sys_types(server, db, session):
    cols = [ColInfo("name", SYSNAME, False), ColInfo("system_type_id", TINYINT, False),
            ColInfo("user_type_id", INT, False), ColInfo("schema_id", INT, False),
            ColInfo("max_length", SMALLINT, False), ColInfo("precision", TINYINT, False),
            ColInfo("scale", TINYINT, False), ColInfo("is_nullable", BIT), ColInfo("is_user_defined", BIT, False)]
    rows = []
    for name, tid in sorted(SYSTYPE_IDS.items(), key=lambda kv: kv[1]):
        typ = SqlType(name, 8000 if name in ("char", "varchar", "binary", "varbinary") else
                      4000 if name in ("nchar", "nvarchar") else None, 38 if name in ("numeric", "decimal")
                      else None, 38 if name in ("numeric", "decimal") else 7 if name in sqltypes.SCALED_TYPES else None)
        precision, scale = _precision_scale(typ)
        rows.append([name, tid, tid, 4, typ.byte_length(), precision, scale, 1, 0])
    rows.append(["sysname", 231, 256, 4, 256, 0, 0, 0, 0])
    return cols, rows


def sys_indexes(server, db, session):
    cols = [ColInfo("object_id", INT, False), ColInfo("name", SYSNAME), ColInfo("index_id", INT, False),
            ColInfo("type", TINYINT, False), ColInfo("type_desc", nvarchar(60)), ColInfo("is_unique", BIT),
            ColInfo("data_space_id", INT), ColInfo("ignore_dup_key", BIT), ColInfo("is_primary_key", BIT),
            ColInfo("is_unique_constraint", BIT), ColInfo("fill_factor", TINYINT, False),
            ColInfo("is_padded", BIT), ColInfo("is_disabled", BIT), ColInfo("is_hypothetical", BIT),
            ColInfo("allow_row_locks", BIT), ColInfo("allow_page_locks", BIT), ColInfo("has_filter", BIT),
            ColInfo("filter_definition", nvarchar(4000))]
    rows = []
    for t in _user_tables(db, server, session):
        if not any(i.clustered for i in t.indexes):
            rows.append([t.obj.id, None, 0, 0, "HEAP", 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, None])
        for i in sorted(t.indexes, key=lambda i: i.index_id):
            rows.append([t.obj.id, i.name, i.index_id, 1 if i.clustered else 2,
                         "CLUSTERED" if i.clustered else "NONCLUSTERED", 1 if i.unique else 0, 1, 0,
                         1 if i.kind == "PK" else 0, 1 if i.kind == "UQ" else 0, 0, 0, 0, 0, 1, 1, 0, None])
    return cols, rows


def sys_index_columns(server, db, session):
    cols = [ColInfo("object_id", INT, False), ColInfo("index_id", INT, False),
            ColInfo("index_column_id", INT, False), ColInfo("column_id", INT, False),
            ColInfo("key_ordinal", TINYINT, False), ColInfo("partition_ordinal", TINYINT, False),
            ColInfo("is_descending_key", BIT), ColInfo("is_included_column", BIT)]
    rows = []
    for t in _user_tables(db, server, session):
        for i in sorted(t.indexes, key=lambda i: i.index_id):
            for k, name in enumerate(i.columns, 1):
                rows.append([t.obj.id, i.index_id, k, t.column_index(name, db.collation) + 1, k, 0, 0, 0])
    return cols, rows


def sys_filegroups(server, db, session):
    cols = [ColInfo("name", SYSNAME, False), ColInfo("data_space_id", INT, False), ColInfo("type", char(2)),
            ColInfo("type_desc", nvarchar(60)), ColInfo("is_default", BIT), ColInfo("is_system", BIT)]
    return cols, [["PRIMARY", 1, "FG", "ROWS_FILEGROUP", 1, 0]]


def _is_cols(*names):
    return [ColInfo(n, nvarchar(128)) for n in names]


def is_tables(server, db, session):
    cols = _is_cols("TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME") + [ColInfo("TABLE_TYPE", varchar(10))]
    return cols, [[db.name, "dbo", t.name, "BASE TABLE"] for t in _user_tables(db, server, session)]


def is_columns(server, db, session):
    cols = (_is_cols("TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME") +
            [ColInfo("ORDINAL_POSITION", INT), ColInfo("COLUMN_DEFAULT", nvarchar(4000)),
             ColInfo("IS_NULLABLE", varchar(3)), ColInfo("DATA_TYPE", nvarchar(128)),
             ColInfo("CHARACTER_MAXIMUM_LENGTH", INT), ColInfo("CHARACTER_OCTET_LENGTH", INT),
             ColInfo("NUMERIC_PRECISION", TINYINT), ColInfo("NUMERIC_PRECISION_RADIX", SMALLINT),
             ColInfo("NUMERIC_SCALE", INT), ColInfo("DATETIME_PRECISION", SMALLINT)] +
            _is_cols("CHARACTER_SET_CATALOG", "CHARACTER_SET_SCHEMA", "CHARACTER_SET_NAME",
                     "COLLATION_CATALOG", "COLLATION_SCHEMA", "COLLATION_NAME", "DOMAIN_CATALOG",
                     "DOMAIN_SCHEMA", "DOMAIN_NAME"))
    rows = []
    for t in _user_tables(db, server, session):
        for i, c in enumerate(t.columns, 1):
            typ = c.type
            default = db.find_object(c.default) if c.default else None
            char_len = octet = None
            if typ.name in ("char", "varchar", "binary", "varbinary"):
                char_len = octet = typ.length
            elif typ.name in ("nchar", "nvarchar"):
                char_len, octet = typ.length, typ.length * 2
            elif typ.name in ("text", "image"):
                char_len = octet = 2147483647
            elif typ.name == "ntext":
                char_len, octet = 1073741823, 2147483646
            if typ.length == -1:
                char_len, octet = -1, -1
            precision = radix = scale = dt_precision = None
            if typ.name in ("tinyint", "smallint", "int", "bigint", "numeric", "decimal", "money",
                            "smallmoney"):
                precision, scale = _precision_scale(typ)
                radix = 10
            elif typ.name in ("float", "real"):
                precision, _ = _precision_scale(typ)
                radix = 2
            elif typ.name in ("datetime", "smalldatetime"):
                dt_precision = 3 if typ.name == "datetime" else 0
            charset = collation = None
            if typ.is_string:
                charset = "UNICODE" if typ.is_unicode else db.collation.codepage
                collation = db.collation.name
            rows.append([db.name, "dbo", t.name, c.name, i, default.definition if default else None,
                         "YES" if c.nullable else "NO", typ.name, char_len, octet, precision, radix, scale,
                         dt_precision, None, None, charset, None, None, collation, None, None, None])
    return cols, rows


def is_table_constraints(server, db, session):
    cols = _is_cols("CONSTRAINT_CATALOG", "CONSTRAINT_SCHEMA", "CONSTRAINT_NAME", "TABLE_CATALOG",
                    "TABLE_SCHEMA", "TABLE_NAME") + [ColInfo("CONSTRAINT_TYPE", varchar(11)),
                                                     ColInfo("IS_DEFERRABLE", varchar(2)),
                                                     ColInfo("INITIALLY_DEFERRED", varchar(2))]
    rows = []
    for o in _objects(db, server, session):
        if o.xtype in ("PK", "UQ"):
            t = db.tables[o.parent_id]
            rows.append([db.name, "dbo", o.name, db.name, "dbo", t.name,
                         "PRIMARY KEY" if o.xtype == "PK" else "UNIQUE", "NO", "NO"])
    return cols, rows


def is_key_column_usage(server, db, session):
    cols = _is_cols("CONSTRAINT_CATALOG", "CONSTRAINT_SCHEMA", "CONSTRAINT_NAME", "TABLE_CATALOG",
                    "TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME") + [ColInfo("ORDINAL_POSITION", INT)]
    rows = []
    for o in _objects(db, server, session):
        if o.xtype in ("PK", "UQ"):
            t = db.tables[o.parent_id]
            ix = next(i for i in t.indexes if db.collation.fold(i.name) == db.collation.fold(o.name))
            for k, name in enumerate(ix.columns, 1):
                rows.append([db.name, "dbo", o.name, db.name, "dbo", t.name, name, k])
    return cols, rows


# (schema, name) -> (function, server-wide). Schema "" stands for the old system tables, which a query may
# name with no schema, with dbo or with sys.
VIEWS = {
    ("", "sysobjects"): (sysobjects, False),
    ("", "sysdatabases"): (sysdatabases, True),
    ("", "syslogins"): (syslogins, True),
    ("", "syslanguages"): (syslanguages, True),
    ("sys", "databases"): (sys_databases, True),
    ("sys", "server_principals"): (server_principals, True),
    ("sys", "sql_logins"): (sql_logins, True),
    ("sys", "server_role_members"): (server_role_members, True),
    ("sys", "schemas"): (sys_schemas, False),
    ("sys", "database_principals"): (database_principals, False),
    ("sys", "database_role_members"): (database_role_members, False),
    ("sys", "objects"): (sys_objects, False),
    ("sys", "tables"): (sys_tables, False),
    ("sys", "columns"): (sys_columns, False),
    ("sys", "types"): (sys_types, False),
    ("sys", "indexes"): (sys_indexes, False),
    ("sys", "index_columns"): (sys_index_columns, False),
    ("sys", "key_constraints"): (sys_key_constraints, False),
    ("sys", "default_constraints"): (sys_default_constraints, False),
    ("sys", "filegroups"): (sys_filegroups, False),
    ("sys", "data_spaces"): (sys_filegroups, False),
    ("INFORMATION_SCHEMA", "TABLES"): (is_tables, False),
    ("INFORMATION_SCHEMA", "COLUMNS"): (is_columns, False),
    ("INFORMATION_SCHEMA", "TABLE_CONSTRAINTS"): (is_table_constraints, False),
    ("INFORMATION_SCHEMA", "KEY_COLUMN_USAGE"): (is_key_column_usage, False),
}


def find_view(schema, name, fold):
    """The view for a schema and name as written (folded with the server collation), or None."""
    s, n = fold(schema), fold(name)
    for (vs, vn), entry in VIEWS.items():
        if fold(vn) != n:
            continue
        if vs == "" and s in ("", "dbo", "sys"):
            return entry
        if vs and fold(vs) == s:
            return entry
    return None
