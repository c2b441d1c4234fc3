"""T-SQL parser: a batch of tokens becomes a list of statement nodes.

The whole batch is parsed before any of it runs, so a syntax error rejects the batch as SQL Server does.
"""

from dataclasses import dataclass, field
from decimal import Decimal
from typing import Any, Dict, List, Optional, Sequence, Tuple

from .errors import SqlError, syntax_error
from .lexer import Tok, tokenize
from . import sqltypes


# Syntax-tree nodes: every field declared, compared by identity (a node is a place in one batch), the
# statement and expression trees walked field by field in declaration order (nodes.walk).
_node = dataclass(eq=False, repr=False, kw_only=True)


@_node
class Node:
    def __repr__(self) -> str:
        return "%s(%s)" % (type(self).__name__, ", ".join("%s=%r" % kv for kv in self.__dict__.items()))


Name = List[str]          # a multi-part name: [database, schema, name] or fewer parts, "" for an omitted one


# Statements. Every statement has `line`, the batch line where it starts.
@_node
class Statement(Node):
    line: int = 0


@_node
class Use(Statement):
    database: str


@_node
class CreateDatabase(Statement):
    name: str
    collation: Optional[str]


@_node
class DropObjects(Statement):
    kind: str                            # TABLE, DATABASE, LOGIN or USER
    names: List[Name]
    if_exists: bool


@_node
class DropIndex(Statement):
    items: List[Tuple[Name, str]]        # (table, index name)
    if_exists: bool


@_node
class CreateTable(Statement):
    name: Name
    columns: List["ColumnDef"]
    constraints: List["TableConstraint"]
    filegroup: Optional[str]
    textimage: Optional[str]


@_node
class AlterTableAdd(Statement):
    table: Name
    items: List[Any]                     # ColumnDef and TableConstraint
    nocheck: bool


@_node
class AlterTableDropConstraint(Statement):
    table: Name
    name: str


@_node
class CreateIndex(Statement):
    name: str
    table: Name
    columns: List[str]
    unique: bool
    clustered: bool
    filegroup: Optional[str]


@_node
class Insert(Statement):
    table: Name
    columns: Optional[List[str]]
    rows: List[List["Expr"]]
    select: Optional["Select"]
    default_values: bool


@_node
class Update(Statement):
    table: Name
    assignments: List[Tuple[str, "Expr"]]
    where: Optional["Expr"]


@_node
class Delete(Statement):
    table: Name
    where: Optional["Expr"]


@_node
class Truncate(Statement):
    table: Name


@_node
class Select(Statement):
    distinct: bool
    top: Optional["Expr"]
    items: List[tuple]                   # ("expr", expr, alias), ("assign", variable, expr), ("star", qualifier)
    sources: List[Any]                   # TableRef, Derived and Join trees
    where: Optional["Expr"]
    group: List["Expr"]
    having: Optional["Expr"]
    order: List[Tuple["Expr", bool]]     # (expression, descending)


@_node
class Exec(Statement):
    proc: Optional[Name]                 # a procedure, or
    dynamic: Optional["Expr"]            # the text of EXEC (...)
    args: List[Tuple[Optional[str], "Expr", bool]]      # (name, value, OUTPUT)
    status_var: Optional[str]


@_node
class Declare(Statement):
    items: List[Tuple[str, Any, Optional["Expr"]]]      # (name, SqlType, initial value)


@_node
class SetVar(Statement):
    name: str
    value: "Expr"


@_node
class SetOption(Statement):
    options: List[str]
    value: Any


@_node
class AlterDatabase(Statement):
    name: Optional[str]                  # None: the current database
    access: str
    termination: Optional[str]


@_node
class If(Statement):
    cond: "Expr"
    then: Statement
    other: Optional[Statement]


@_node
class Block(Statement):
    body: List[Statement]


@_node
class Print(Statement):
    value: "Expr"


@_node
class Raiserror(Statement):
    message: "Expr"
    severity: "Expr"
    state: "Expr"
    args: List["Expr"]


@_node
class Return(Statement):
    value: Optional["Expr"]


@_node
class CreateLogin(Statement):
    name: str
    options: Dict[str, Any]


@_node
class AlterLogin(Statement):
    name: str
    options: Dict[str, Any]


@_node
class CreateUser(Statement):
    name: str
    login: Optional[str]                 # None: the login of the same name


@_node
class AlterRole(Statement):
    role: str
    add: bool
    member: str


@_node
class AlterServerRole(Statement):
    role: str
    add: bool
    member: str


# Table elements
@_node
class ColumnDef(Node):
    name: str
    type: Any                            # SqlType
    nullable: Optional[bool]
    identity: Optional[Tuple[int, int]]
    default: Optional[Tuple[Optional[str], "Expr"]]     # (constraint name, expression)
    constraints: List["TableConstraint"]
    collation: Optional[str]


@_node
class TableConstraint(Node):
    kind: str                            # PK, UQ or D
    name: Optional[str]
    columns: List[str] = field(default_factory=list)    # PK, UQ
    clustered: Optional[bool] = None
    filegroup: Optional[str] = None
    expr: Optional["Expr"] = None        # D
    column: Optional[str] = None


# Expressions
@_node
class Expr(Node):
    pass


@_node
class Lit(Expr):
    value: Any
    type: Any                            # SqlType, or None for NULL


@_node
class Var(Expr):
    name: str                            # with @


@_node
class GlobalVar(Expr):
    name: str                            # with @@


@_node
class Col(Expr):
    parts: Name
    bound: Optional[Tuple[int, int, int]] = None        # (outer levels, source, column) once bound


@_node
class Unary(Expr):
    op: str
    operand: Expr


@_node
class Binary(Expr):
    op: str
    left: Expr
    right: Expr


@_node
class Compare(Expr):
    op: str
    left: Expr
    right: Expr


@_node
class And(Expr):
    left: Expr
    right: Expr


@_node
class Or(Expr):
    left: Expr
    right: Expr


@_node
class Not(Expr):
    operand: Expr


@_node
class IsNull(Expr):
    operand: Expr
    negate: bool


@_node
class Like(Expr):
    operand: Expr
    pattern: Expr
    escape: Optional[Expr]
    negate: bool


@_node
class InList(Expr):
    operand: Expr
    values: Any                          # a list of expressions or a Subquery
    negate: bool


@_node
class Between(Expr):
    operand: Expr
    low: Expr
    high: Expr
    negate: bool


@_node
class Exists(Expr):
    select: Select
    plan: Any = None                     # the bound query (session.Plan)


@_node
class Func(Expr):
    name: str                            # upper case
    args: List[Expr]
    star: bool
    distinct: bool


@_node
class Cast(Expr):
    operand: Expr
    type: Any                            # SqlType
    style: Optional[Expr]
    try_: bool


@_node
class Case(Expr):
    operand: Optional[Expr]
    whens: List[Tuple[Expr, Expr]]
    other: Optional[Expr]


@_node
class Subquery(Expr):
    select: Select
    plan: Any = None


@_node
class Default(Expr):
    """The DEFAULT keyword as a value."""


# FROM sources
@_node
class TableRef(Node):
    parts: Name
    alias: Optional[str]


@_node
class Derived(Node):
    select: Select
    alias: str


@_node
class Join(Node):
    kind: str                            # INNER, LEFT, RIGHT, FULL or CROSS
    left: Any
    right: Any
    on: Optional[Expr]


AGGREGATES = {"COUNT", "SUM", "MIN", "MAX", "AVG", "COUNT_BIG"}

UNSUPPORTED_STATEMENTS = {"COMMIT", "ROLLBACK", "SAVE", "WHILE", "GOTO", "WAITFOR", "MERGE", "GRANT", "DENY",
                          "REVOKE", "BACKUP", "RESTORE", "DBCC", "OPEN", "FETCH", "CLOSE", "DEALLOCATE",
                          "BREAK", "CONTINUE", "KILL", "SHUTDOWN", "CHECKPOINT", "RECONFIGURE",
                          "BULK", "READTEXT", "WRITETEXT", "UPDATETEXT", "SETUSER", "REVERT", "THROW"}


def name_text(parts: Sequence[str]) -> str:
    """A multi-part name as SQL Server writes it in messages: parts joined by dots, no brackets."""
    return ".".join(parts)


class Parser:
    def __init__(self, text: str, quoted_identifier: bool = True, parseonly: bool = False) -> None:
        self.toks = tokenize(text, quoted_identifier)
        self.parseonly = parseonly
        self.i = 0

    # -- token helpers ----------------------------------------------------------------------------------
    def peek(self, k: int = 0) -> Tok:
        return self.toks[min(self.i + k, len(self.toks) - 1)]

    def next(self) -> Tok:
        tok = self.toks[self.i]
        if tok.kind != "EOF":
            self.i += 1
        return tok

    def error(self, tok: Optional[Tok] = None) -> SqlError:
        tok = tok or self.peek()
        if tok.kind == "EOF":
            # At the end of the batch SQL Server points at the last token it read.
            tok = self.toks[self.i - 1] if self.i > 0 else tok
        text = tok.value if tok.kind in ("ID", "QID", "STR", "NSTR") else tok.text
        return syntax_error(text, tok.reserved, tok.line)

    def at_word(self, *words: str) -> bool:
        return self.peek().upper in words

    def accept_word(self, *words: str) -> Optional[str]:
        if self.peek().upper in words:
            return self.next().upper
        return None

    def expect_word(self, *words: str) -> str:
        if self.peek().upper not in words:
            raise self.error()
        return self.next().upper

    def at_op(self, *ops: str) -> bool:
        return self.peek().is_op(*ops)

    def accept_op(self, *ops: str) -> Optional[str]:
        if self.peek().is_op(*ops):
            return self.next().value
        return None

    def expect_op(self, op: str) -> Tok:
        if not self.peek().is_op(op):
            raise self.error()
        return self.next()

    def unsupported(self, what: str) -> SqlError:
        return SqlError(40517, what, line=self.peek().line)

    def ident(self) -> str:
        """One name part: a plain name that is not reserved, or a bracketed one."""
        tok = self.peek()
        if tok.kind == "QID" or (tok.kind == "ID" and not tok.reserved):
            self.next()
            return tok.value
        raise self.error()

    def key_columns(self) -> List[str]:
        """(col [ASC|DESC], ...) of a key or an index: the column names."""
        self.expect_op("(")
        columns = []
        while True:
            columns.append(self.ident())
            self.accept_word("ASC", "DESC")
            if not self.accept_op(","):
                break
        self.expect_op(")")
        return columns

    def multipart(self) -> Name:
        """name, a.b, a.b.c, a..c: a list of parts, '' for an omitted one."""
        parts = [self.ident()]
        while self.at_op("."):
            self.next()
            while self.at_op("."):
                self.next()
                parts.append("")
            parts.append(self.ident())
        if len(parts) > 4:
            raise self.error()
        return parts

    def int_literal(self) -> int:
        sign = -1 if self.accept_op("-") else 1
        tok = self.next()
        if tok.kind != "NUM" or not isinstance(tok.value, int):
            raise self.error(tok)
        return sign * tok.value

    # -- batches and statements -------------------------------------------------------------------------
    def parse_batch(self) -> List[Statement]:
        stmts = []
        while True:
            while self.accept_op(";"):
                pass
            if self.peek().kind == "EOF":
                return stmts
            stmts.append(self.statement(first=not stmts))

    def statement(self, first: bool = False) -> Statement:
        stmt = self._statement(first)
        if isinstance(stmt, SetOption) and "QUOTED_IDENTIFIER" in stmt.options:
            # applied as the parser meets it: the rest of the batch reads "..." under the new setting
            self.quoted_identifier(stmt.value)
        if isinstance(stmt, SetOption) and stmt.options == ["PARSEONLY"]:
            self.parseonly = bool(stmt.value)       # also applied as the parser meets it, at any depth
            return Block(body=[], line=stmt.line)
        if self.parseonly:
            return Block(body=[], line=stmt.line)   # only parsed: nothing of it is compiled or run
        return stmt

    def quoted_identifier(self, on: Any) -> None:
        for tok in self.toks[self.i:]:
            if tok.kind in ("QID", "STR") and tok.text.startswith('"'):
                tok.kind = "QID" if on else "STR"

    def _statement(self, first: bool = False) -> Statement:
        tok = self.peek()
        word = tok.upper
        line = tok.line
        handler = {
            "SELECT": self.select_statement, "INSERT": self.insert, "UPDATE": self.update,
            "DELETE": self.delete, "CREATE": self.create, "ALTER": self.alter, "DROP": self.drop,
            "USE": self.use, "IF": self.if_statement, "BEGIN": self.begin, "EXEC": self.exec_statement,
            "EXECUTE": self.exec_statement, "DECLARE": self.declare, "SET": self.set_statement,
            "PRINT": self.print_statement, "RAISERROR": self.raiserror, "RETURN": self.return_statement,
            "TRUNCATE": self.truncate,
        }.get(word)
        if handler is not None:
            node = handler()
        elif word in UNSUPPORTED_STATEMENTS:
            raise self.unsupported(word)
        elif first and (tok.kind == "QID" or (tok.kind == "ID" and not tok.reserved)):
            # A procedure name that opens a batch runs the procedure, EXEC being implied.
            node = self.exec_body()
        elif tok.is_op("("):
            node = self.select_statement()
        else:
            raise self.error()
        node.line = line
        return node

    def use(self) -> Use:
        self.next()
        tok = self.peek()
        if tok.kind in ("ID", "QID"):
            self.next()
            return Use(database=tok.value)
        raise self.error()

    def if_statement(self) -> If:
        self.next()
        cond = self.expr()
        then = self.statement()
        other = None
        while self.accept_op(";"):
            pass
        if self.accept_word("ELSE"):
            other = self.statement()
        return If(cond=cond, then=then, other=other)

    def begin(self) -> Block:
        self.next()
        if self.at_word("TRAN", "TRANSACTION", "TRY", "DISTRIBUTED", "CATCH"):
            raise self.unsupported("BEGIN " + self.peek().upper)
        body = []
        while True:
            while self.accept_op(";"):
                pass
            if self.accept_word("END"):
                return Block(body=body)
            if self.peek().kind == "EOF":
                raise self.error()
            body.append(self.statement())

    def return_statement(self) -> Return:
        self.next()
        value = None
        if self.peek().kind in ("NUM", "VAR") or self.at_op("(", "-"):
            value = self.expr()
        return Return(value=value)

    def print_statement(self) -> Print:
        self.next()
        return Print(value=self.expr())

    def raiserror(self) -> Raiserror:
        self.next()
        self.expect_op("(")
        args = [self.expr()]
        while self.accept_op(","):
            args.append(self.expr())
        self.expect_op(")")
        if len(args) < 3:
            raise self.error()
        if self.accept_word("WITH"):
            self.expect_word("NOWAIT", "LOG", "SETERROR")
            while self.accept_op(","):
                self.expect_word("NOWAIT", "LOG", "SETERROR")
        return Raiserror(message=args[0], severity=args[1], state=args[2], args=args[3:])

    def declare(self) -> Declare:
        self.next()
        items = []
        while True:
            tok = self.next()
            if tok.kind != "VAR" or tok.value.startswith("@@"):
                raise self.error(tok)
            self.accept_word("AS")
            if self.at_word("TABLE", "CURSOR"):
                raise self.unsupported("DECLARE " + self.peek().upper)
            typ = self.data_type(len(items) + 1)
            init = None
            if self.accept_op("="):
                init = self.expr()
            items.append((tok.value, typ, init))
            if not self.accept_op(","):
                return Declare(items=items)

    SET_ON_OFF = {"ANSI_NULLS", "ANSI_WARNINGS", "ANSI_PADDING", "ANSI_NULL_DFLT_ON", "ANSI_NULL_DFLT_OFF",
                  "ANSI_DEFAULTS", "CONCAT_NULL_YIELDS_NULL", "QUOTED_IDENTIFIER", "ARITHABORT",
                  "ARITHIGNORE", "NOCOUNT", "IMPLICIT_TRANSACTIONS", "XACT_ABORT", "CURSOR_CLOSE_ON_COMMIT",
                  "NUMERIC_ROUNDABORT", "NOEXEC", "PARSEONLY", "FMTONLY", "SHOWPLAN_ALL", "SHOWPLAN_TEXT",
                  "SHOWPLAN_XML", "STATISTICS", "FORCEPLAN", "REMOTE_PROC_TRANSACTIONS", "NO_BROWSETABLE",
                  "OFFSETS"}
    SET_VALUE = {"TEXTSIZE", "LANGUAGE", "DATEFORMAT", "DATEFIRST", "LOCK_TIMEOUT", "ROWCOUNT",
                 "DEADLOCK_PRIORITY", "QUERY_GOVERNOR_COST_LIMIT", "CONTEXT_INFO"}

    def set_statement(self) -> Statement:
        self.next()
        tok = self.peek()
        if tok.kind == "VAR" and not tok.value.startswith("@@"):
            self.next()
            op = self.accept_op("=", "+=", "-=", "*=", "/=")
            if op is None:
                raise self.error()
            value = self.expr()
            if op != "=":
                value = Binary(op=op[0], left=Var(name=tok.value), right=value)
            return SetVar(name=tok.value, value=value)
        word = tok.upper
        if word == "TRANSACTION":
            self.next()
            self.expect_word("ISOLATION")
            self.expect_word("LEVEL")
            words = []
            while self.at_word("READ", "UNCOMMITTED", "COMMITTED", "REPEATABLE", "SNAPSHOT", "SERIALIZABLE"):
                words.append(self.next().upper)
            if not words:
                raise self.error()
            return SetOption(options=["TRANSACTION ISOLATION LEVEL"], value=" ".join(words))
        if word in self.SET_VALUE:
            self.next()
            val = self.next()
            if val.kind == "OP" and val.value == "-":
                val = self.next()
                return SetOption(options=[word], value=-val.value)
            if val.kind in ("NUM", "STR", "NSTR", "ID", "QID", "VAR", "BIN"):
                return SetOption(options=[word], value=val.value if val.kind != "VAR" else Var(name=val.value))
            raise self.error(val)
        if word == "IDENTITY_INSERT":
            raise self.unsupported("IDENTITY_INSERT")
        if word in self.SET_ON_OFF:
            options = []
            while True:
                opt = self.next().upper
                if opt not in self.SET_ON_OFF:
                    raise self.error(self.toks[self.i - 1])
                if opt == "STATISTICS":
                    self.expect_word("IO", "TIME", "PROFILE", "XML")
                options.append(opt)
                if not self.accept_op(","):
                    break
            value = self.expect_word("ON", "OFF")
            return SetOption(options=options, value=value == "ON")
        if tok.kind == "ID" and not tok.reserved:
            raise SqlError(195, tok.value, "SET option", line=tok.line)
        raise self.error()

    def exec_statement(self) -> Exec:
        self.next()
        if self.at_op("("):
            self.next()
            value = self.expr()
            self.expect_op(")")
            return Exec(proc=None, dynamic=value, args=[], status_var=None)
        return self.exec_body()

    def exec_body(self) -> Exec:
        status_var = None
        if self.peek().kind == "VAR" and self.peek(1).is_op("="):
            status_var = self.next().value
            self.next()
        proc = self.multipart()
        args = []
        if self.peek().kind in ("EOF",) or self.at_op(";"):
            return Exec(proc=proc, dynamic=None, args=args, status_var=status_var)
        if self.starts_argument():
            while True:
                name = None
                if self.peek().kind == "VAR" and self.peek(1).is_op("="):
                    name = self.next().value
                    self.next()
                value = self.exec_argument()
                output = bool(self.accept_word("OUTPUT", "OUT"))
                args.append((name, value, output))
                if not self.accept_op(","):
                    break
        return Exec(proc=proc, dynamic=None, args=args, status_var=status_var)

    def starts_argument(self) -> bool:
        tok = self.peek()
        if tok.kind in ("VAR", "NUM", "STR", "NSTR", "BIN", "QID"):
            return True
        if tok.is_op("-", "+"):
            return True
        if tok.upper in ("NULL", "DEFAULT"):
            return True
        return tok.kind == "ID" and not tok.reserved and not self.peek(1).is_op("(")

    def exec_argument(self) -> Expr:
        tok = self.peek()
        if tok.upper == "DEFAULT":
            self.next()
            return Default()
        if tok.kind == "ID" and tok.upper not in ("NULL",):
            # An unquoted word passed to a procedure is a character string.
            self.next()
            return Lit(value=tok.value, type=sqltypes.type_of_literal(tok.value, True))
        if tok.kind == "QID":
            self.next()
            return Lit(value=tok.value, type=sqltypes.type_of_literal(tok.value, True))
        return self.unary()

    # -- data definition --------------------------------------------------------------------------------
    def create(self) -> Statement:
        self.next()
        if self.accept_word("DATABASE"):
            name = self.ident()
            collation = None
            if self.accept_word("COLLATE"):
                collation = self.ident()
            if self.at_word("ON", "CONTAINMENT", "WITH", "FOR", "AS", "LOG"):
                raise self.unsupported("CREATE DATABASE " + self.peek().upper)
            return CreateDatabase(name=name, collation=collation)
        if self.accept_word("TABLE"):
            return self.create_table()
        if self.accept_word("LOGIN"):
            return self.create_login()
        if self.accept_word("USER"):
            name = self.ident()
            login = None
            if self.accept_word("FOR", "FROM"):
                self.expect_word("LOGIN")
                login = self.ident()
            elif self.at_word("WITHOUT", "FROM", "FOR"):
                raise self.unsupported("CREATE USER " + self.peek().upper)
            if self.accept_word("WITH"):
                self.expect_word("DEFAULT_SCHEMA")
                self.expect_op("=")
                schema = self.ident()
                if schema.lower() != "dbo":
                    raise self.unsupported("DEFAULT_SCHEMA = " + schema)
            return CreateUser(name=name, login=login)
        unique = bool(self.accept_word("UNIQUE"))
        clustered = self.clustered()
        if self.accept_word("INDEX"):
            return self.create_index(unique, clustered)
        if unique or clustered is not None:
            raise self.error()
        if self.peek().upper is not None and self.peek().kind == "ID":
            raise self.unsupported("CREATE " + self.peek().upper)
        raise self.error()

    def clustered(self) -> Optional[bool]:
        word = self.accept_word("CLUSTERED", "NONCLUSTERED")
        return None if word is None else word == "CLUSTERED"

    def filegroup(self) -> Optional[str]:
        """ON <filegroup> after a table or index; returns the name or None."""
        if self.accept_word("ON"):
            tok = self.peek()
            if tok.upper == "DEFAULT" or tok.kind == "STR":
                self.next()
                return "PRIMARY" if tok.upper == "DEFAULT" else tok.value
            name = self.ident()
            if self.at_op("("):
                raise self.unsupported("partition scheme")
            return name
        return None

    # Index options whose given value is what the stand-in does anyway: full pages, no padding, an
    # error for a duplicate key, no replacement of an existing index, statistics kept up to date,
    # row and page locks allowed. Where and how fast the index is built (SORT_IN_TEMPDB, MAXDOP)
    # is not kept with the index. Any other value changes what the stand-in does not model.
    MODELLED_INDEX_OPTIONS = {
        "FILLFACTOR": ("0",), "PAD_INDEX": ("OFF",), "IGNORE_DUP_KEY": ("OFF",), "DROP_EXISTING": ("OFF",),
        "STATISTICS_NORECOMPUTE": ("OFF",), "ALLOW_ROW_LOCKS": ("ON",), "ALLOW_PAGE_LOCKS": ("ON",),
        "SORT_IN_TEMPDB": ("ON", "OFF"), "ONLINE": ("OFF",), "MAXDOP": None,
    }
    INDEX_OPTIONS = tuple(MODELLED_INDEX_OPTIONS) + ("DATA_COMPRESSION", "OPTIMIZE_FOR_SEQUENTIAL_KEY",
                                                     "RESUMABLE", "MAX_DURATION", "XML_COMPRESSION")

    def index_options(self) -> None:
        """WITH (...) or the older WITH FILLFACTOR = n after a key or an index. An option whose value
        would change what the stand-in does is refused as not supported, never ignored."""
        if not (self.at_word("WITH") and (self.peek(1).is_op("(") or self.peek(1).upper in self.INDEX_OPTIONS)):
            return
        self.next()
        paren = self.accept_op("(")
        while True:
            name = self.expect_word(*self.INDEX_OPTIONS)
            if name not in self.MODELLED_INDEX_OPTIONS:
                raise self.unsupported(name)
            self.expect_op("=")
            tok = self.next()
            if tok.kind not in ("ID", "NUM") or (tok.kind == "ID" and tok.upper not in ("ON", "OFF")):
                raise self.error(tok)
            values = self.MODELLED_INDEX_OPTIONS[name]
            if values is not None and str(tok.upper if tok.kind == "ID" else tok.value) not in values:
                raise self.unsupported("%s = %s" % (name, tok.upper if tok.kind == "ID" else tok.value))
            if not self.accept_op(","):
                break
        if paren:
            self.expect_op(")")

    def create_table(self) -> CreateTable:
        name = self.multipart()
        self.expect_op("(")
        columns, constraints = [], []
        while True:
            if self.at_word("CONSTRAINT", "PRIMARY", "UNIQUE", "FOREIGN", "CHECK", "INDEX"):
                constraints.append(self.table_constraint())
            else:
                columns.append(self.column_def(len(columns) + 1))
            if self.accept_op(","):
                if self.at_op(")"):
                    break  # SQL Server accepts a comma before the closing parenthesis
                continue
            break
        self.expect_op(")")
        filegroup = self.filegroup()
        textimage = None
        if self.accept_word("TEXTIMAGE_ON"):
            tok = self.peek()
            if tok.upper == "DEFAULT":
                self.next()
                textimage = "PRIMARY"
            else:
                textimage = self.ident()
        return CreateTable(name=name, columns=columns, constraints=constraints, filegroup=filegroup,
                           textimage=textimage)

    def data_type(self, position: int = 1) -> sqltypes.SqlType:
        tok = self.peek()
        if tok.kind not in ("ID", "QID"):
            raise self.error()
        self.next()
        parts = [tok.value]
        while self.at_op("."):
            self.next()
            parts.append(self.ident())
        type_name = parts[-1]
        if len(parts) > 1 and parts[0].lower() not in ("sys", "dbo"):
            raise SqlError(2715, position, name_text(parts), line=tok.line)
        if type_name.lower() == "double" and self.accept_word("PRECISION"):
            type_name = "float"
        if type_name.lower() in ("national", "character") or self.at_word("VARYING"):
            raise self.unsupported(type_name.upper())
        args = []
        if self.at_op("("):
            self.next()
            while True:
                arg = self.peek()
                if arg.upper == "MAX":
                    self.next()
                    args.append("max")
                else:
                    if arg.kind != "NUM" or not isinstance(arg.value, int):
                        raise self.error(arg)    # varchar(-1), float(1.5): not a length
                    args.append(self.next().value)
                if not self.accept_op(","):
                    break
            self.expect_op(")")
        typ = sqltypes.make_type(type_name, args, position, tok.line)
        if typ is None:
            raise SqlError(2715, position, type_name, line=tok.line)
        return typ

    def column_def(self, position: int = 1) -> ColumnDef:
        name = self.ident()
        typ = self.data_type(position)
        col = ColumnDef(name=name, type=typ, nullable=None, identity=None, default=None, constraints=[],
                        collation=None)
        while True:
            if self.accept_word("COLLATE"):
                col.collation = self.ident()
            elif self.at_word("NOT") and self.peek(1).upper == "NULL":
                self.next()
                self.next()
                col.nullable = False
            elif self.accept_word("NULL"):
                col.nullable = True
            elif self.accept_word("IDENTITY"):
                seed, step = 1, 1
                if self.accept_op("("):
                    seed = self.int_literal()
                    self.expect_op(",")
                    step = self.int_literal()
                    self.expect_op(")")
                col.identity = (seed, step)
            elif self.accept_word("ROWGUIDCOL"):
                pass
            elif self.at_word("CONSTRAINT", "DEFAULT", "PRIMARY", "UNIQUE", "CHECK", "REFERENCES", "FOREIGN"):
                cname = None
                if self.accept_word("CONSTRAINT"):
                    cname = self.ident()
                if self.accept_word("DEFAULT"):
                    col.default = (cname, self.default_expr())
                elif self.at_word("PRIMARY", "UNIQUE"):
                    kind = "PK" if self.next().upper == "PRIMARY" else "UQ"
                    if kind == "PK":
                        self.expect_word("KEY")
                    clustered = self.clustered()
                    self.index_options()
                    fg = self.filegroup()
                    col.constraints.append(TableConstraint(kind=kind, name=cname, columns=[name],
                                                           clustered=clustered, filegroup=fg))
                else:
                    raise self.unsupported(self.peek().upper)
            else:
                return col

    def default_expr(self) -> Expr:
        """The value of a DEFAULT: a constant, NULL, a function such as getdate(), in any parentheses."""
        return self.unary()

    def table_constraint(self, allow_default_for: Any = False) -> TableConstraint:
        name = None
        if self.accept_word("CONSTRAINT"):
            name = self.ident()
        word = self.peek().upper
        if word in ("PRIMARY", "UNIQUE"):
            self.next()
            kind = "PK" if word == "PRIMARY" else "UQ"
            if kind == "PK":
                self.expect_word("KEY")
            clustered = self.clustered()
            columns = self.key_columns()
            self.index_options()
            fg = self.filegroup()
            return TableConstraint(kind=kind, name=name, columns=columns, clustered=clustered, filegroup=fg)
        if word == "DEFAULT" and allow_default_for:
            self.next()
            expr = self.default_expr()
            self.expect_word("FOR")
            column = self.ident()
            if self.accept_word("WITH"):
                self.expect_word("VALUES")
            return TableConstraint(kind="D", name=name, expr=expr, column=column)
        if word in ("FOREIGN", "CHECK", "INDEX"):
            raise self.unsupported(word)
        raise self.error()

    def create_index(self, unique: bool, clustered: Optional[bool]) -> CreateIndex:
        name = self.ident()
        self.expect_word("ON")
        table = self.multipart()
        columns = self.key_columns()
        if self.at_word("INCLUDE", "WHERE"):
            raise self.unsupported(self.peek().upper)
        self.index_options()
        fg = self.filegroup()
        return CreateIndex(name=name, table=table, columns=columns, unique=unique, clustered=clustered,
                           filegroup=fg)

    def create_login(self) -> CreateLogin:
        name = self.ident()
        if self.at_word("FROM"):
            raise self.unsupported("CREATE LOGIN FROM")
        self.expect_word("WITH")
        self.expect_word("PASSWORD")
        self.expect_op("=")
        tok = self.next()
        if tok.kind not in ("STR", "NSTR"):
            raise self.error(tok)
        options = {"PASSWORD": tok.value}
        if self.at_word("MUST_CHANGE", "HASHED"):
            raise self.unsupported(self.peek().upper)
        while self.accept_op(","):
            options.update([self.login_option()])
        return CreateLogin(name=name, options=options)

    def login_option(self) -> Tuple[str, Any]:
        key = self.expect_word("DEFAULT_DATABASE", "DEFAULT_LANGUAGE", "CHECK_POLICY", "CHECK_EXPIRATION",
                               "PASSWORD", "SID", "NAME")
        self.expect_op("=")
        tok = self.next()
        if key in ("CHECK_POLICY", "CHECK_EXPIRATION"):
            if tok.upper not in ("ON", "OFF"):
                raise self.error(tok)
            return key, tok.upper == "ON"
        if key == "SID":
            raise self.unsupported("SID")
        if tok.kind not in ("ID", "QID", "STR", "NSTR") or (tok.kind == "ID" and tok.reserved):
            raise self.error(tok)
        if key == "PASSWORD" and tok.kind not in ("STR", "NSTR"):
            raise self.error(tok)
        return key, tok.value

    def alter(self) -> Statement:
        self.next()
        if self.accept_word("TABLE"):
            name = self.multipart()
            nocheck = False
            if self.accept_word("WITH"):
                nocheck = self.expect_word("CHECK", "NOCHECK") == "NOCHECK"
            if self.accept_word("ADD"):
                items = []
                while True:
                    if self.at_word("CONSTRAINT", "PRIMARY", "UNIQUE", "DEFAULT", "FOREIGN", "CHECK"):
                        items.append(self.table_constraint(allow_default_for=True))
                    else:
                        items.append(self.column_def(sum(isinstance(i, ColumnDef) for i in items) + 1))
                    if not self.accept_op(","):
                        break
                return AlterTableAdd(table=name, items=items, nocheck=nocheck)
            if self.accept_word("DROP"):
                if self.accept_word("CONSTRAINT"):
                    return AlterTableDropConstraint(table=name, name=self.ident())
                raise self.unsupported("ALTER TABLE DROP " + (self.peek().upper or ""))
            raise self.unsupported("ALTER TABLE " + (self.peek().upper or ""))
        if self.accept_word("DATABASE"):
            return self.alter_database()
        if self.accept_word("SERVER"):
            self.expect_word("ROLE")
            role = self.ident()
            action = self.expect_word("ADD", "DROP")
            self.expect_word("MEMBER")
            member = self.ident()
            return AlterServerRole(role=role, add=action == "ADD", member=member)
        if self.accept_word("ROLE"):
            role = self.ident()
            action = self.accept_word("ADD", "DROP")
            if action is None:
                raise self.unsupported("ALTER ROLE " + (self.peek().upper or ""))
            self.expect_word("MEMBER")
            return AlterRole(role=role, add=action == "ADD", member=self.ident())
        if self.accept_word("LOGIN"):
            name = self.ident()
            state = self.accept_word("ENABLE", "DISABLE")
            if state is not None:
                return AlterLogin(name=name, options={"ENABLE": state == "ENABLE"})
            self.expect_word("WITH")
            options = {}
            while True:
                key, value = self.login_option()
                options[key] = value
                if key == "PASSWORD" and self.accept_word("OLD_PASSWORD"):
                    self.expect_op("=")
                    tok = self.next()
                    if tok.kind not in ("STR", "NSTR"):
                        raise self.error(tok)
                    options["OLD_PASSWORD"] = tok.value
                if self.at_word("MUST_CHANGE", "UNLOCK", "HASHED"):
                    raise self.unsupported(self.peek().upper)
                if not self.accept_op(","):
                    break
            return AlterLogin(name=name, options=options)
        raise self.unsupported("ALTER " + (self.peek().upper or ""))

    def alter_database(self) -> AlterDatabase:
        """ALTER DATABASE name|CURRENT SET SINGLE_USER|MULTI_USER [WITH ROLLBACK IMMEDIATE|NO_WAIT]."""
        name = None if self.accept_word("CURRENT") else self.ident()
        if not self.accept_word("SET"):
            raise self.unsupported("ALTER DATABASE " + (self.peek().upper or ""))
        access = self.accept_word("SINGLE_USER", "MULTI_USER")
        if access is None:
            raise self.unsupported("ALTER DATABASE SET " + (self.peek().upper or self.peek().text))
        termination = None
        if self.accept_word("WITH"):
            if self.accept_word("NO_WAIT"):
                termination = "NO_WAIT"
            else:
                self.expect_word("ROLLBACK")
                if not self.accept_word("IMMEDIATE"):
                    raise self.unsupported("ROLLBACK AFTER")
                termination = "ROLLBACK IMMEDIATE"
        return AlterDatabase(name=name, access=access, termination=termination)

    def drop(self) -> Statement:
        self.next()
        kind = self.accept_word("TABLE", "DATABASE", "LOGIN", "INDEX", "USER")
        if kind is None:
            raise self.unsupported("DROP " + (self.peek().upper or ""))
        if_exists = False
        if kind not in ("LOGIN",) and self.at_word("IF") and self.peek(1).upper == "EXISTS":
            self.next()
            self.next()
            if_exists = True
        if kind == "INDEX":
            items = []
            while True:
                parts = self.multipart()
                if self.accept_word("ON"):
                    items.append((self.multipart(), parts[-1]))
                elif len(parts) >= 2:
                    items.append((parts[:-1], parts[-1]))
                else:
                    raise self.error()
                if not self.accept_op(","):
                    return DropIndex(items=items, if_exists=if_exists)
        names = [self.multipart()]
        while kind not in ("LOGIN", "USER") and self.accept_op(","):
            names.append(self.multipart())
        return DropObjects(kind=kind, names=names, if_exists=if_exists)

    def truncate(self) -> Truncate:
        self.next()
        self.expect_word("TABLE")
        return Truncate(table=self.multipart())

    # -- data manipulation ------------------------------------------------------------------------------
    def insert(self) -> Insert:
        self.next()
        self.accept_word("INTO")
        table = self.multipart()
        columns = None
        if self.at_op("("):
            self.next()
            columns = [self.ident()]
            while self.accept_op(","):
                columns.append(self.ident())
            self.expect_op(")")
        if self.accept_word("DEFAULT"):
            self.expect_word("VALUES")
            return Insert(table=table, columns=columns, rows=[[]], select=None, default_values=True)
        if self.accept_word("VALUES"):
            rows = []
            while True:
                self.expect_op("(")
                row = [self.value_or_default()]
                while self.accept_op(","):
                    row.append(self.value_or_default())
                self.expect_op(")")
                rows.append(row)
                if not self.accept_op(","):
                    break
            return Insert(table=table, columns=columns, rows=rows, select=None, default_values=False)
        if self.at_word("SELECT") or self.at_op("("):
            return Insert(table=table, columns=columns, rows=None, select=self.query(),
                          default_values=False)
        if self.at_word("EXEC", "EXECUTE"):
            raise self.unsupported("INSERT EXEC")
        raise self.error()

    def value_or_default(self) -> Expr:
        if self.accept_word("DEFAULT"):
            return Default()
        return self.expr()

    def update(self) -> Update:
        self.next()
        if self.at_word("TOP"):
            raise self.unsupported("UPDATE TOP")
        table = self.multipart()
        self.expect_word("SET")
        assignments = []
        while True:
            tok = self.peek()
            if tok.kind == "VAR":
                raise self.unsupported("UPDATE SET @variable")
            parts = self.multipart()
            op = self.accept_op("=", "+=", "-=")
            if op is None:
                raise self.error()
            value = self.value_or_default()
            if op != "=":
                value = Binary(op=op[0], left=Col(parts=parts), right=value)
            assignments.append((parts[-1], value))
            if not self.accept_op(","):
                break
        if self.at_word("FROM"):
            raise self.unsupported("UPDATE FROM")
        where = self.expr() if self.accept_word("WHERE") else None
        return Update(table=table, assignments=assignments, where=where)

    def delete(self) -> Delete:
        self.next()
        if self.at_word("TOP"):
            raise self.unsupported("DELETE TOP")
        self.accept_word("FROM")
        table = self.multipart()
        if self.at_word("FROM"):
            raise self.unsupported("DELETE FROM ... FROM")
        where = self.expr() if self.accept_word("WHERE") else None
        return Delete(table=table, where=where)

    # -- queries ----------------------------------------------------------------------------------------
    def select_statement(self) -> Select:
        return self.query()

    def query(self) -> Select:
        """A SELECT, possibly in parentheses, with ORDER BY."""
        if self.at_op("("):
            self.next()
            q = self.query()
            self.expect_op(")")
            return q
        q = self.select_core()
        if self.at_word("UNION", "EXCEPT", "INTERSECT"):
            raise self.unsupported(self.peek().upper)
        if self.accept_word("ORDER"):
            self.expect_word("BY")
            order = []
            while True:
                e = self.expr()
                desc = self.accept_word("ASC", "DESC") == "DESC"
                order.append((e, desc))
                if not self.accept_op(","):
                    break
            q.order = order
        if self.at_word("FOR", "OPTION"):
            raise self.unsupported(self.peek().upper)
        return q

    def select_core(self) -> Select:
        self.expect_word("SELECT")
        distinct = self.accept_word("DISTINCT", "ALL") == "DISTINCT"
        top = None
        if self.accept_word("TOP"):
            if self.accept_op("("):
                top = self.expr()
                self.expect_op(")")
            else:
                top = Lit(value=self.int_literal(), type=sqltypes.INT)
            if self.at_word("PERCENT", "WITH"):
                raise self.unsupported("TOP " + self.peek().upper)
        items = [self.select_item()]
        while self.accept_op(","):
            items.append(self.select_item())
        if self.at_word("INTO"):
            raise self.unsupported("SELECT INTO")
        sources = []
        if self.accept_word("FROM"):
            sources.append(self.table_source())
            while self.accept_op(","):
                sources.append(self.table_source())
        where = self.expr() if self.accept_word("WHERE") else None
        group = []
        if self.accept_word("GROUP"):
            self.expect_word("BY")
            group.append(self.expr())
            while self.accept_op(","):
                group.append(self.expr())
        having = self.expr() if self.accept_word("HAVING") else None
        return Select(distinct=distinct, top=top, items=items, sources=sources, where=where, group=group,
                      having=having, order=[])

    def alias(self) -> Optional[str]:
        if self.accept_word("AS"):
            tok = self.next()
            if tok.kind in ("ID", "QID", "STR", "NSTR"):
                return tok.value
            raise self.error(tok)
        tok = self.peek()
        if tok.kind == "QID" or tok.kind == "STR" or (tok.kind == "ID" and not tok.reserved):
            self.next()
            return tok.value
        return None

    def select_item(self) -> tuple:
        tok = self.peek()
        if tok.is_op("*"):
            self.next()
            return ("star", None)
        if tok.kind in ("ID", "QID") and self.peek(1).is_op("."):
            # t.* or db.schema.t.*
            j = self.i
            parts = [self.ident()]
            while self.accept_op("."):
                if self.accept_op("*"):
                    return ("star", parts)
                parts.append(self.ident() if not self.at_op(".") else "")
            self.i = j
        if tok.kind == "VAR" and not tok.value.startswith("@@") and self.peek(1).is_op("=", "+=", "-="):
            self.next()
            op = self.next().value
            value = self.expr()
            if op != "=":
                value = Binary(op=op[0], left=Var(name=tok.value), right=value)
            return ("assign", tok.value, value)
        if (tok.kind in ("QID", "STR") or (tok.kind == "ID" and not tok.reserved)) and self.peek(1).is_op("="):
            self.next()
            self.next()
            return ("expr", self.expr(), tok.value)
        e = self.expr()
        return ("expr", e, self.alias())

    def table_source(self) -> Node:
        left = self.table_primary()
        while True:
            if self.accept_word("CROSS"):
                self.expect_word("JOIN")
                left = Join(kind="CROSS", left=left, right=self.table_primary(), on=None)
                continue
            kind = None
            if self.accept_word("INNER"):
                kind = "INNER"
            elif self.at_word("LEFT", "RIGHT", "FULL") and self.peek(1).upper in ("JOIN", "OUTER"):
                kind = self.next().upper
                self.accept_word("OUTER")
            elif self.at_word("JOIN"):
                kind = "INNER"
            if kind is None:
                return left
            self.expect_word("JOIN")
            right = self.table_primary()
            self.expect_word("ON")
            left = Join(kind=kind, left=left, right=right, on=self.expr())

    def table_primary(self) -> Node:
        if self.at_op("("):
            self.next()
            if self.at_word("SELECT"):
                q = self.query()
                self.expect_op(")")
                alias = self.alias()
                if alias is None:
                    raise self.error()
                return Derived(select=q, alias=alias)
            src = self.table_source()
            self.expect_op(")")
            return src
        parts = self.multipart()
        if self.at_op("("):
            raise self.unsupported("table-valued function")
        alias = self.alias()
        if self.at_word("WITH") and self.peek(1).is_op("("):
            self.next()
            self.next()
            while not self.at_op(")"):
                if self.peek().kind == "EOF":
                    raise self.error()
                self.next()
            self.next()
        return TableRef(parts=parts, alias=alias)

    # -- expressions ------------------------------------------------------------------------------------
    def expr(self) -> Expr:
        left = self.and_expr()
        while self.accept_word("OR"):
            left = Or(left=left, right=self.and_expr())
        return left

    def and_expr(self) -> Expr:
        left = self.not_expr()
        while self.accept_word("AND"):
            left = And(left=left, right=self.not_expr())
        return left

    def not_expr(self) -> Expr:
        if self.accept_word("NOT"):
            return Not(operand=self.not_expr())
        return self.predicate()

    def predicate(self) -> Expr:
        if self.accept_word("EXISTS"):
            self.expect_op("(")
            q = self.query()
            self.expect_op(")")
            return Exists(select=q)
        left = self.additive()
        tok = self.peek()
        if tok.is_op("=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"):
            op = self.next().value
            op = {"!=": "<>", "!<": ">=", "!>": "<="}.get(op, op)
            if self.at_word("ALL", "ANY", "SOME"):
                raise self.unsupported(self.peek().upper)
            return Compare(op=op, left=left, right=self.additive())
        if tok.upper == "IS":
            self.next()
            negate = bool(self.accept_word("NOT"))
            self.expect_word("NULL")
            return IsNull(operand=left, negate=negate)
        negate = False
        if tok.upper == "NOT" and self.peek(1).upper in ("LIKE", "IN", "BETWEEN"):
            self.next()
            negate = True
        if self.accept_word("LIKE"):
            pattern = self.additive()
            escape = self.additive() if self.accept_word("ESCAPE") else None
            return Like(operand=left, pattern=pattern, escape=escape, negate=negate)
        if self.accept_word("IN"):
            self.expect_op("(")
            if self.at_word("SELECT"):
                values = Subquery(select=self.query())
            else:
                values = [self.expr()]
                while self.accept_op(","):
                    values.append(self.expr())
            self.expect_op(")")
            return InList(operand=left, values=values, negate=negate)
        if self.accept_word("BETWEEN"):
            low = self.additive()
            self.expect_word("AND")
            high = self.additive()
            return Between(operand=left, low=low, high=high, negate=negate)
        if negate:
            raise self.error()
        return left

    def additive(self) -> Expr:
        left = self.multiplicative()
        while self.at_op("+", "-", "&", "|", "^"):
            op = self.next().value
            left = Binary(op=op, left=left, right=self.multiplicative())
        return left

    def multiplicative(self) -> Expr:
        left = self.unary()
        while self.at_op("*", "/", "%"):
            op = self.next().value
            left = Binary(op=op, left=left, right=self.unary())
        return left

    def unary(self) -> Expr:
        if self.at_op("-", "+", "~"):
            op = self.next().value
            operand = self.unary()
            if op == "-" and isinstance(operand, Lit) and isinstance(operand.value, (int, float, Decimal)):
                value = -operand.value
                return Lit(value=value, type=sqltypes.type_of_literal(value))
            return Unary(op=op, operand=operand)
        return self.primary()

    NILADIC = {"CURRENT_TIMESTAMP": "GETDATE", "CURRENT_USER": "USER_NAME", "SESSION_USER": "USER_NAME",
               "SYSTEM_USER": "SUSER_SNAME", "USER": "USER_NAME"}

    def primary(self) -> Expr:
        tok = self.peek()
        if tok.kind == "NUM":
            self.next()
            return Lit(value=tok.value, type=sqltypes.type_of_literal(tok.value))
        if tok.kind in ("STR", "NSTR"):
            self.next()
            return Lit(value=tok.value, type=sqltypes.type_of_literal(tok.value, tok.kind == "NSTR"))
        if tok.kind == "BIN":
            self.next()
            return Lit(value=tok.value, type=sqltypes.type_of_literal(tok.value))
        if tok.kind == "VAR":
            self.next()
            if tok.value.startswith("@@"):
                return GlobalVar(name=tok.value.upper())
            return Var(name=tok.value)
        if tok.is_op("("):
            self.next()
            if self.at_word("SELECT"):
                q = self.query()
                self.expect_op(")")
                return Subquery(select=q)
            e = self.expr()
            self.expect_op(")")
            return e
        word = tok.upper
        if word == "NULL":
            self.next()
            return Lit(value=None, type=None)
        if word == "CASE":
            return self.case()
        if word in ("CAST", "TRY_CAST") and self.peek(1).is_op("("):
            self.next()
            self.next()
            operand = self.expr()
            self.expect_word("AS")
            typ = self.data_type()
            self.expect_op(")")
            return Cast(operand=operand, type=typ, style=None, try_=word == "TRY_CAST")
        if word in ("CONVERT", "TRY_CONVERT") and self.peek(1).is_op("("):
            self.next()
            self.next()
            typ = self.data_type()
            self.expect_op(",")
            operand = self.expr()
            style = None
            if self.accept_op(","):
                style = self.expr()
            self.expect_op(")")
            return Cast(operand=operand, type=typ, style=style, try_=word == "TRY_CONVERT")
        if word in self.NILADIC and not self.peek(1).is_op("("):
            self.next()
            return Func(name=self.NILADIC[word], args=[], star=False, distinct=False)
        if tok.kind in ("ID", "QID") and (not tok.reserved or word in ("LEFT", "RIGHT", "COALESCE",
                                                                         "NULLIF", "USER", "IDENTITY")):
            if tok.kind == "ID" and self.peek(1).is_op("("):
                self.next()
                self.next()
                name = tok.value.upper()
                star = distinct = False
                args = []
                if self.at_op("*") and name in ("COUNT", "COUNT_BIG"):
                    self.next()
                    star = True
                elif not self.at_op(")"):
                    if name in AGGREGATES:
                        distinct = self.accept_word("DISTINCT", "ALL") == "DISTINCT"
                    args.append(self.expr())
                    while self.accept_op(","):
                        args.append(self.expr())
                self.expect_op(")")
                if self.at_word("OVER"):
                    raise self.unsupported("OVER")
                return Func(name=name, args=args, star=star, distinct=distinct)
            parts = self.multipart()
            if self.at_op("("):
                raise self.unsupported("user-defined function")
            return Col(parts=parts)
        raise self.error()

    def case(self) -> Case:
        self.next()
        operand = None
        if not self.at_word("WHEN"):
            operand = self.expr()
        whens = []
        while self.accept_word("WHEN"):
            cond = self.expr()
            self.expect_word("THEN")
            whens.append((cond, self.expr()))
        if not whens:
            raise self.error()
        other = self.expr() if self.accept_word("ELSE") else None
        self.expect_word("END")
        return Case(operand=operand, whens=whens, other=other)


def parse_batch(text: str, quoted_identifier: bool = True, parseonly: bool = False) -> Tuple[List[Statement], bool]:
    """The statements of a batch and whether SET PARSEONLY is on after it."""
    p = Parser(text, quoted_identifier, parseonly)
    return p.parse_batch(), p.parseonly


def parse_name(text: str) -> Name:
    """A possibly bracketed multi-part name given as text (OBJECT_ID, procedure names of RPC)."""
    p = Parser(text.strip())
    parts = p.multipart()
    if p.peek().kind != "EOF":
        raise p.error()
    return parts


def parse_param_declarations(text: Optional[str]) -> List[Tuple[str, sqltypes.SqlType, bool]]:
    """'@P1 varchar(10), @P2 int OUTPUT' -> [(name, type, output)]."""
    p = Parser(text or "")
    decls = []
    if p.peek().kind == "EOF":
        return decls
    while True:
        tok = p.next()
        if tok.kind != "VAR":
            raise p.error(tok)
        p.accept_word("AS")
        typ = p.data_type(len(decls) + 1)
        if p.accept_op("="):
            p.unary()
        output = bool(p.accept_word("OUTPUT", "OUT"))
        p.accept_word("READONLY")
        decls.append((tok.value, typ, output))
        if not p.accept_op(","):
            break
    if p.peek().kind != "EOF":
        raise p.error()
    return decls
