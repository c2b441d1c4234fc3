"""T-SQL tokenizer."""

import decimal

from .errors import SqlError

# Words that SQL Server reserves; near one of them a syntax error reads "near the keyword".
RESERVED = set("""ADD ALL ALTER AND ANY AS ASC AUTHORIZATION BACKUP BEGIN BETWEEN BREAK BROWSE BULK BY CASCADE
CASE CHECK CHECKPOINT CLOSE CLUSTERED COALESCE COLLATE COLUMN COMMIT COMPUTE CONSTRAINT CONTAINS CONTAINSTABLE
CONTINUE CONVERT CREATE CROSS CURRENT CURRENT_DATE CURRENT_TIME CURRENT_TIMESTAMP CURRENT_USER CURSOR DATABASE
DBCC DEALLOCATE DECLARE DEFAULT DELETE DENY DESC DISK DISTINCT DISTRIBUTED DOUBLE DROP DUMP ELSE END ERRLVL
ESCAPE EXCEPT EXEC EXECUTE EXISTS EXIT EXTERNAL FETCH FILE FILLFACTOR FOR FOREIGN FREETEXT FREETEXTTABLE FROM
FULL FUNCTION GOTO GRANT GROUP HAVING HOLDLOCK IDENTITY IDENTITY_INSERT IDENTITYCOL IF IN INDEX INNER INSERT
INTERSECT INTO IS JOIN KEY KILL LEFT LIKE LINENO LOAD MERGE NATIONAL NOCHECK NONCLUSTERED NOT NULL NULLIF OF
OFF OFFSETS ON OPEN OPENDATASOURCE OPENQUERY OPENROWSET OPENXML OPTION OR ORDER OUTER OVER PERCENT PIVOT PLAN
PRECISION PRIMARY PRINT PROC PROCEDURE PUBLIC RAISERROR READ READTEXT RECONFIGURE REFERENCES REPLICATION
RESTORE RESTRICT RETURN REVERT REVOKE RIGHT ROLLBACK ROWCOUNT ROWGUIDCOL RULE SAVE SCHEMA SELECT
SESSION_USER SET SETUSER SHUTDOWN SOME STATISTICS SYSTEM_USER TABLE TABLESAMPLE TEXTSIZE THEN TO TOP TRAN
TRANSACTION TRIGGER TRUNCATE TRY_CONVERT TSEQUAL UNION UNIQUE UNPIVOT UPDATE UPDATETEXT USE USER VALUES
VARYING VIEW WAITFOR WHEN WHERE WHILE WITH WRITETEXT""".split())


class Tok:
    """kind: ID (plain name), QID (bracketed or double-quoted name), VAR (@x or @@x), NUM, STR, NSTR,
    BIN (0x...), OP, EOF. value: the name, number, text or operator; text: the source text."""

    __slots__ = ("kind", "value", "text", "pos", "line")

    def __init__(self, kind, value, text, pos, line):
        self.kind = kind
        self.value = value
        self.text = text
        self.pos = pos
        self.line = line

    def __repr__(self):
        return "Tok(%s, %r)" % (self.kind, self.value)

    @property
    def upper(self):
        """The word in upper case when it is a plain ASCII name, else None."""
        if self.kind == "ID" and self.value.isascii():
            return self.value.upper()
        return None

    def is_word(self, *words):
        return self.upper in words

    def is_op(self, *ops):
        return self.kind == "OP" and self.value in ops

    @property
    def reserved(self):
        return self.upper in RESERVED


_OPS3 = ("!<>",)
_OPS2 = ("<>", "!=", "<=", ">=", "!<", "!>", "::", "+=", "-=", "*=", "/=")
_OPS1 = "=<>+-*/%(),.;~&|^!:"


def _is_name_start(ch):
    return ch.isalpha() or ch in "_#"


def _is_name_char(ch):
    return ch.isalnum() or ch in "_#@$"


def tokenize(text, quoted_identifier=True):
    """Splits a batch into tokens, skipping blanks and comments. Raises 105 or 113 on unclosed text."""
    toks = []
    i, n, line = 0, len(text), 1
    while i < n:
        ch = text[i]
        if ch == "\n":
            line += 1
            i += 1
            continue
        if ch.isspace() or ch == "\x00":
            i += 1
            continue
        start, start_line = i, line
        if ch == "-" and text.startswith("--", i):
            j = text.find("\n", i)
            i = n if j < 0 else j
            continue
        if ch == "/" and text.startswith("/*", i):
            depth, i = 1, i + 2
            while i < n and depth:
                if text.startswith("/*", i):
                    depth, i = depth + 1, i + 2
                elif text.startswith("*/", i):
                    depth, i = depth - 1, i + 2
                else:
                    if text[i] == "\n":
                        line += 1
                    i += 1
            if depth:
                raise SqlError(113, line=start_line)
            continue
        if ch in "Nn" and i + 1 < n and text[i + 1] == "'":
            value, i, line = _quoted(text, i + 1, "'", "'", line, start_line)
            toks.append(Tok("NSTR", value, text[start:i], start, start_line))
            continue
        if ch == "'":
            value, i, line = _quoted(text, i, "'", "'", line, start_line)
            toks.append(Tok("STR", value, text[start:i], start, start_line))
            continue
        if ch == "[":
            value, i, line = _quoted(text, i, "[", "]", line, start_line)
            toks.append(Tok("QID", value, text[start:i], start, start_line))
            continue
        if ch == '"':
            value, i, line = _quoted(text, i, '"', '"', line, start_line)
            kind = "QID" if quoted_identifier else "STR"
            toks.append(Tok(kind, value, text[start:i], start, start_line))
            continue
        if ch == "0" and i + 1 < n and text[i + 1] in "xX":
            j = i + 2
            while j < n and text[j] in "0123456789abcdefABCDEF":
                j += 1
            digits = text[i + 2:j]
            if len(digits) % 2:
                digits = "0" + digits
            toks.append(Tok("BIN", bytes.fromhex(digits), text[i:j], start, start_line))
            i = j
            continue
        if ch.isdigit() or (ch == "." and i + 1 < n and text[i + 1].isdigit()):
            j = i
            while j < n and text[j].isdigit():
                j += 1
            is_dec = False
            if j < n and text[j] == ".":
                is_dec = True
                j += 1
                while j < n and text[j].isdigit():
                    j += 1
            is_float = False
            if j < n and text[j] in "eE":
                k = j + 1
                if k < n and text[k] in "+-":
                    k += 1
                if k < n and text[k].isdigit():
                    is_float = True
                    j = k
                    while j < n and text[j].isdigit():
                        j += 1
            raw = text[i:j]
            value = float(raw) if is_float else decimal.Decimal(raw) if is_dec else int(raw)
            toks.append(Tok("NUM", value, raw, start, start_line))
            i = j
            continue
        if ch == "@":
            j = i + 1
            if j < n and text[j] == "@":
                j += 1
            while j < n and _is_name_char(text[j]):
                j += 1
            toks.append(Tok("VAR", text[i:j], text[i:j], start, start_line))
            i = j
            continue
        if _is_name_start(ch):
            j = i + 1
            while j < n and _is_name_char(text[j]):
                j += 1
            toks.append(Tok("ID", text[i:j], text[i:j], start, start_line))
            i = j
            continue
        for op in _OPS3 + _OPS2:
            if text.startswith(op, i):
                toks.append(Tok("OP", op, op, start, start_line))
                i += len(op)
                break
        else:
            if ch in _OPS1:
                toks.append(Tok("OP", ch, ch, start, start_line))
                i += 1
            else:
                raise SqlError(102, ch, line=start_line)
    toks.append(Tok("EOF", None, "", n, line))
    return toks


def _quoted(text, i, opener, closer, line, start_line):
    """Reads a quoted run starting at text[i] == opener; a doubled closer stands for itself."""
    j = i + 1
    parts = []
    while True:
        k = text.find(closer, j)
        if k < 0:
            raise SqlError(105, text[i + 1:], line=start_line)
        parts.append(text[j:k])
        if k + 1 < len(text) and text[k + 1] == closer:
            parts.append(closer)
            j = k + 2
            continue
        value = "".join(parts)
        return value, k + 1, line + text.count("\n", i, k + 1)
