"""Data types, collations and value conversion of the stand-in server.

Values inside the engine are plain Python objects: None (NULL), int (integer types and bit), float,
decimal.Decimal (numeric), datetime.datetime, str (every character type) and bytes (binary types and
image). Rows of user tables keep char/varchar/text data as bytes in the code page of the database
collation, like SQL Server does; they are turned into str when an expression reads them.
"""

import datetime
import decimal
import re
import threading
import unicodedata
import uuid

from .errors import SqlError

# ---------------------------------------------------------------------------------------------------------
# Collations


class Collation:
    def __init__(self, name, lcid, flags, sort_id, codepage, turkish):
        self.name = name
        self.lcid = lcid
        self.flags = flags        # byte 2 high nibble: 1 ignore case, 2 ignore accent, 4 kana, 8 width
        self.sort_id = sort_id
        self.codepage = codepage
        self.turkish = turkish

    def wire(self):
        """The five collation bytes of TDS."""
        return bytes([self.lcid & 0xFF, (self.lcid >> 8) & 0xFF,
                      ((self.lcid >> 16) & 0x0F) | (self.flags << 4), 0, self.sort_id])

    def encode(self, text):
        """Text to bytes of the code page. A character the code page lacks is stored as Windows' best fit
        does it: the letter without its accent or dot (İ -> I, Ş -> S, ı -> i), else '?'."""
        try:
            return text.encode(self.codepage)
        except UnicodeEncodeError:
            return "".join(_best_fit(c, self.codepage) for c in text).encode(self.codepage, errors="replace")

    def sort_key(self, text):
        """Key that orders and compares text as the collation does: case-insensitive, accent-sensitive;
        under Turkish rules the letters come in the Turkish alphabet's order (... C Ç D ... G Ğ H I İ J ...
        O Ö P ... S Ş T U Ü V ...), I and ı being one letter and İ and i another."""
        primary, secondary = [], []
        for c in text:
            p, a = _weights(c, self.turkish)
            primary.append(p)
            secondary.append(a)
        return tuple(primary), tuple(secondary)

    def decode(self, data):
        return data.decode(self.codepage, errors="replace")

    def fold(self, text):
        return fold(text, self.turkish)


COLLATIONS = {c.name.lower(): c for c in [
    Collation("Turkish_CI_AS", 0x041F, 0xD, 0, "cp1254", True),
    Collation("Latin1_General_CI_AS", 0x0409, 0xD, 0, "cp1252", False),
    Collation("SQL_Latin1_General_CP1_CI_AS", 0x0409, 0xD, 52, "cp1252", False),
]}

# Code pages of collations that clients send with their parameters (LCID -> code page).
_LCID_CODEPAGES = {0x041F: "cp1254", 0x0409: "cp1252", 0x0407: "cp1252", 0x040C: "cp1252",
                   0x0419: "cp1251", 0x0408: "cp1253", 0x0415: "cp1250", 0x0405: "cp1250",
                   0x0411: "cp932", 0x0804: "cp936", 0x0412: "cp949", 0x0404: "cp950"}


def codepage_of_wire_collation(raw):
    """Python codec of a five-byte TDS collation."""
    if len(raw) < 5:
        return "cp1252"
    if raw[3] & 0x04:
        return "utf-8"
    if raw[4]:
        return "cp1252"   # the SQL_* collations that clients send are Latin1 ones
    lcid = raw[0] | (raw[1] << 8) | ((raw[2] & 0x0F) << 16)
    return _LCID_CODEPAGES.get(lcid, "cp1252")


_TURKISH_LETTERS = "abcçdefgğhıijklmnoöpqrsştuüvwxyz"
_OTHER_LETTERS = "abcdefghijklmnopqrstuvwxyz"
_BEST_FIT_EXTRA = {"ı": "i", "ø": "o", "Ø": "O", "đ": "d", "Đ": "D", "ł": "l", "Ł": "L", "ß": "ss"}


def _best_fit(c, codepage):
    try:
        c.encode(codepage)
        return c
    except UnicodeEncodeError:
        pass
    if c in _BEST_FIT_EXTRA:
        return _BEST_FIT_EXTRA[c]
    base = "".join(ch for ch in unicodedata.normalize("NFD", c) if not unicodedata.combining(ch))
    try:
        base.encode(codepage)
        return base or "?"
    except UnicodeEncodeError:
        return "?"


def _weights(c, turkish):
    """(primary, accent) weights of one character: punctuation and blanks before digits before letters."""
    lower = fold(c, turkish)
    letters = _TURKISH_LETTERS if turkish else _OTHER_LETTERS
    k = letters.find(lower) if len(lower) == 1 else -1
    if k >= 0:
        return 1000 + k * 10, 0
    decomposed = unicodedata.normalize("NFD", lower)
    base = decomposed[0] if decomposed else lower
    accent = sum(ord(ch) for ch in decomposed[1:])
    if turkish and base == "i" and accent:
        base = "i"                  # î: the dotted i with a circumflex
    k = letters.find(base)
    if k >= 0:
        return 1000 + k * 10, accent
    if base.isdigit():
        return 500 + int(unicodedata.digit(base, 0)), accent
    if base.isalpha():
        return 2000 + ord(base), accent      # letters of other scripts after the Latin ones
    return ord(base) % 500, accent


def fold(text, turkish=True):
    """Key for case-insensitive comparison. Under Turkish rules I pairs with dotless ı and İ with i."""
    if turkish:
        text = text.replace("I", "ı").replace("İ", "i")
    return text.lower()


# ---------------------------------------------------------------------------------------------------------
# Types

CHAR_TYPES = {"char", "varchar", "text"}
NCHAR_TYPES = {"nchar", "nvarchar", "ntext", "sysname"}
STRING_TYPES = CHAR_TYPES | NCHAR_TYPES
BINARY_TYPES = {"binary", "varbinary", "image", "timestamp"}
INT_TYPES = {"tinyint": (0, 255), "smallint": (-32768, 32767), "int": (-2 ** 31, 2 ** 31 - 1),
             "bigint": (-2 ** 63, 2 ** 63 - 1), "bit": (0, 1)}
EXACT_TYPES = {"numeric", "decimal", "money", "smallmoney"}
FLOAT_TYPES = {"float", "real"}
DATE_TYPES = {"datetime", "smalldatetime", "date", "datetime2"}
SIZED_TYPES = {"char", "varchar", "nchar", "nvarchar", "binary", "varbinary"}
SCALED_TYPES = {"time", "datetime2", "datetimeoffset"}       # (n): digits of the fraction of a second
OTHER_TYPES = {"uniqueidentifier", "time", "datetimeoffset", "timestamp"}
LOB_TYPES = {"text", "ntext", "image"}
ALL_TYPES = STRING_TYPES | BINARY_TYPES | set(INT_TYPES) | EXACT_TYPES | FLOAT_TYPES | DATE_TYPES | OTHER_TYPES
TYPE_ALIASES = {"integer": "int", "double": "float", "dec": "decimal", "character": "char", "rowversion": "timestamp"}

# Data type precedence: of two operands the one with the higher rank decides the result type.
_PRECEDENCE = ["binary", "varbinary", "image", "char", "varchar", "text", "nchar", "nvarchar", "sysname",
               "uniqueidentifier", "timestamp", "ntext", "bit", "tinyint", "smallint", "int", "bigint",
               "smallmoney", "money", "decimal", "numeric", "real", "float", "time", "date", "smalldatetime",
               "datetime", "datetime2", "datetimeoffset"]
PRECEDENCE = {name: i for i, name in enumerate(_PRECEDENCE)}


class SqlType:
    """A declared type: name, length (characters or bytes; -1 for max), precision and scale."""

    __slots__ = ("name", "length", "precision", "scale")

    def __init__(self, name, length=None, precision=None, scale=None):
        self.name = name
        self.length = length
        self.precision = precision
        self.scale = scale

    def __repr__(self):
        return self.sql()

    def __eq__(self, other):
        return isinstance(other, SqlType) and (self.name, self.length, self.precision, self.scale) == (
            other.name, other.length, other.precision, other.scale)

    def sql(self):
        if self.name in ("char", "varchar", "nchar", "nvarchar", "binary", "varbinary"):
            return "%s(%s)" % (self.name, "max" if self.length == -1 else self.length)
        if self.name in ("numeric", "decimal"):
            return "%s(%d,%d)" % (self.name, self.precision, self.scale)
        if self.name in SCALED_TYPES:
            return "%s(%d)" % (self.name, self.scale)
        return self.name

    @property
    def is_string(self):
        return self.name in STRING_TYPES

    @property
    def is_unicode(self):
        return self.name in NCHAR_TYPES

    @property
    def is_lob(self):
        return self.name in LOB_TYPES or self.length == -1

    def byte_length(self):
        """max_length as sys.columns shows it."""
        fixed = {"tinyint": 1, "smallint": 2, "int": 4, "bigint": 8, "bit": 1, "float": 8, "real": 4,
                 "datetime": 8, "smalldatetime": 4, "date": 3, "money": 8, "smallmoney": 4,
                 "text": 16, "ntext": 16, "image": 16, "uniqueidentifier": 16, "timestamp": 8}
        if self.name in fixed:
            return fixed[self.name]
        if self.name in SCALED_TYPES:
            return time_bytes(self.scale) + {"time": 0, "datetime2": 3, "datetimeoffset": 5}[self.name]
        if self.name in ("numeric", "decimal"):
            return numeric_storage(self.precision)
        if self.name == "sysname":
            return 256
        if self.length == -1:
            return -1
        if self.name in ("nchar", "nvarchar"):
            return 2 * self.length
        return self.length

    def to_json(self):
        return [self.name, self.length, self.precision, self.scale]

    @staticmethod
    def from_json(data):
        return SqlType(*data)


def time_bytes(scale):
    """Bytes of the time of day of time, datetime2 and datetimeoffset with that many second digits."""
    return 5 if scale is None else 3 if scale <= 2 else 4 if scale <= 4 else 5


def numeric_storage(precision):
    return 5 if precision <= 9 else 9 if precision <= 19 else 13 if precision <= 28 else 17


def make_type(name, args=(), position=1, line=1):
    """Type from a name and its parenthesised arguments (numbers, or 'max'), with SQL Server's defaults.

    None for a name that is no type; arguments a type cannot take are refused with SQL Server's errors
    (position: the column, parameter or variable number they name)."""
    name = TYPE_ALIASES.get(name.lower(), name.lower())
    if name not in ALL_TYPES:
        return None
    if args and args[0] == 0 and name in SIZED_TYPES | {"decimal", "numeric", "float"}:
        raise SqlError(1001, line, 0, line=line)
    if name in SIZED_TYPES:
        length = args[0] if args else 1
        if length == "max":
            if name in ("char", "nchar", "binary"):
                return None
            length = -1
        return SqlType(name, length)
    if name in ("numeric", "decimal"):
        precision = args[0] if args else 18
        scale = args[1] if len(args) > 1 else 0
        if precision == "max" or scale == "max":
            return None
        if precision > 38:
            raise SqlError(2750, position, precision, 38, line=line)
        if scale > precision:
            raise SqlError(2751, position, scale, precision, line=line)
        return SqlType(name, None, precision, scale)
    if name == "float" and args:
        if args[0] == "max" or len(args) > 1:
            return None
        if args[0] > 53:
            raise SqlError(2750, position, args[0], 53, line=line)
        return SqlType("real") if args[0] <= 24 else SqlType("float")
    if name in SCALED_TYPES:
        scale = args[0] if args else 7
        if scale == "max" or len(args) > 1:
            return None
        if scale > 7:
            raise SqlError(1002, line, scale, line=line)
        return SqlType(name, None, None, scale)
    if args:
        raise SqlError(2716, position, name, line=line)
    if name == "sysname":
        return SqlType("nvarchar", 128)
    return SqlType(name)


INT = SqlType("int")
BIGINT = SqlType("bigint")
SMALLINT = SqlType("smallint")
TINYINT = SqlType("tinyint")
BIT = SqlType("bit")
FLOAT = SqlType("float")
DATETIME = SqlType("datetime")
SYSNAME = SqlType("nvarchar", 128)


def nvarchar(n):
    return SqlType("nvarchar", n)


def varchar(n):
    return SqlType("varchar", n)


def char(n):
    return SqlType("char", n)


def varbinary(n):
    return SqlType("varbinary", n)


def type_of_literal(value, unicode=False):
    if value is None:
        return SqlType("int")
    if isinstance(value, bool):
        return BIT
    if isinstance(value, int):
        return INT if -2 ** 31 <= value < 2 ** 31 else SqlType("numeric", None, max(len(str(abs(value))), 1), 0)
    if isinstance(value, float):
        return FLOAT
    if isinstance(value, decimal.Decimal):
        sign, digits, exp = value.as_tuple()
        scale = max(-exp, 0)
        return SqlType("numeric", None, max(len(digits), scale, 1), scale)
    if isinstance(value, str):
        return SqlType("nvarchar" if unicode else "varchar", max(len(value), 1))
    if isinstance(value, bytes):
        return SqlType("varbinary", max(len(value), 1))
    if isinstance(value, datetime.datetime):
        return DATETIME
    raise TypeError(value)


def result_type(a, b):
    """Type of an arithmetic or concatenation result of two operands."""
    if a is None:
        return b
    if b is None:
        return a
    winner = a if PRECEDENCE.get(a.name, 0) >= PRECEDENCE.get(b.name, 0) else b
    if winner.is_string and a.is_string and b.is_string:
        la, lb = a.length or 0, b.length or 0
        length = -1 if la == -1 or lb == -1 else min(la + lb, 8000 if winner.name in CHAR_TYPES else 4000)
        name = "nvarchar" if winner.is_unicode else "varchar"
        return SqlType(name, length)
    return winner


# ---------------------------------------------------------------------------------------------------------
# Conversion

_EPOCH = datetime.datetime(1900, 1, 1)

_DATE_PATTERNS = [
    (re.compile(r"^(\d{4})(\d{2})(\d{2})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2})(?:[.:](\d{1,7}))?)?)?$"), "ymd"),
    (re.compile(r"^(\d{4})-(\d{1,2})-(\d{1,2})(?:[T\s]+(\d{1,2}):(\d{2})(?::(\d{2})(?:\.(\d{1,7}))?)?)?$"), "ymd"),
    (re.compile(r"^(\d{1,2})[./-](\d{1,2})[./-](\d{4})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2})(?:\.(\d{1,7}))?)?)?$"), "dmy"),
]


_SESSION = threading.local()


def set_dateformat(order):
    """The DATEFORMAT of the session this thread serves (SET DATEFORMAT, SET LANGUAGE, the login's language)."""
    _SESSION.dateformat = order


def parse_datetime(text, dateformat=None):
    """A string as datetime. yyyymmdd is always year, month, day; in the other numeric forms month and day
    come in the order of DATEFORMAT, also after a leading year (so '2024-02-01' is 2 January under dmy,
    as for SQL Server's datetime)."""
    if dateformat is None:
        dateformat = getattr(_SESSION, "dateformat", "mdy")
    month_first = dateformat.replace("y", "") == "md"
    text = text.strip()
    for k, (pattern, order) in enumerate(_DATE_PATTERNS):
        m = pattern.match(text)
        if not m:
            continue
        g = m.groups()
        if k == 0 or (order == "ymd" and month_first):
            y, mo, d = int(g[0]), int(g[1]), int(g[2])
        elif order == "ymd":
            y, d, mo = int(g[0]), int(g[1]), int(g[2])
        elif month_first:
            mo, d, y = int(g[0]), int(g[1]), int(g[2])
        else:
            d, mo, y = int(g[0]), int(g[1]), int(g[2])
        hh, mm, ss = int(g[3] or 0), int(g[4] or 0), int(g[5] or 0)
        frac = g[6] or "0"
        micro = int((frac + "000000")[:6])
        try:
            return datetime.datetime(y, mo, d, hh, mm, ss, micro)
        except ValueError:
            break
    raise SqlError(241)


_GUID = re.compile(r"^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$")
_TIME = re.compile(r"^(\d{1,2}):(\d{2})(?::(\d{2})(?:\.(\d{1,7}))?)?\s*(AM|PM)?$", re.I)
_OFFSET = re.compile(r"\s*(?:([+-])(\d{2}):(\d{2})|Z)$", re.I)


def _to_guid(value, source):
    """uniqueidentifier values are kept as upper-case text, 8-4-4-4-12 hexadecimal digits."""
    if isinstance(value, str):
        text = value.strip()
        if text.startswith("{") and text.endswith("}"):
            text = text[1:-1]
        if not _GUID.match(text[:36]):
            raise SqlError(8169)
        return text[:36].upper()
    if isinstance(value, bytes) and len(value) == 16:
        return str(uuid.UUID(bytes_le=value)).upper()
    raise SqlError(529, source.name if source else "int", "uniqueidentifier")


def _fraction(micro, scale):
    """Microseconds rounded to the second digits a time type keeps."""
    step = 10 ** max(6 - (7 if scale is None else scale), 0)
    return (micro + step // 2) // step * step


def _to_time(value, scale, source):
    if isinstance(value, datetime.datetime):
        value = value.time()
    elif isinstance(value, str):
        m = _TIME.match(value.strip())
        if m:
            hh, mm, ss = int(m.group(1)), int(m.group(2)), int(m.group(3) or 0)
            if m.group(5):
                if not 1 <= hh <= 12:
                    raise SqlError(241)
                hh = hh % 12 + (12 if m.group(5).upper() == "PM" else 0)
            if hh > 23 or mm > 59 or ss > 59:
                raise SqlError(241)
            value = datetime.time(hh, mm, ss, int(((m.group(4) or "") + "000000")[:6]))
        else:
            value = parse_datetime(value).time()
    elif not isinstance(value, datetime.time):
        raise SqlError(529, source.name if source else "int", "time")
    micro = _fraction(value.microsecond, scale)
    full = datetime.datetime.combine(_EPOCH.date(), value.replace(microsecond=0)) + datetime.timedelta(
        microseconds=micro)
    return full.time()


def _to_datetimeoffset(value, scale, source):
    if isinstance(value, str):
        text = value.strip()
        m = _OFFSET.search(text)
        zone = datetime.timezone.utc
        if m:
            if m.group(1):
                minutes = int(m.group(2)) * 60 + int(m.group(3))
                if minutes > 14 * 60:
                    raise SqlError(241)
                zone = datetime.timezone(datetime.timedelta(minutes=-minutes if m.group(1) == "-" else minutes))
            text = text[:m.start()]
        value = parse_datetime(text).replace(tzinfo=zone)
    elif isinstance(value, datetime.datetime):
        if value.tzinfo is None:
            value = value.replace(tzinfo=datetime.timezone.utc)
    else:
        raise SqlError(529, source.name if source else "int", "datetimeoffset")
    micro = _fraction(value.microsecond, scale)
    return value.replace(microsecond=0) + datetime.timedelta(microseconds=micro)


def round_datetime(value):
    """datetime keeps 1/300 s."""
    ticks = round(value.microsecond * 300 / 1_000_000)
    return value.replace(microsecond=0) + datetime.timedelta(microseconds=ticks * 1_000_000 / 300)


def datetime_wire(value):
    """(days since 1900-01-01, 1/300 s ticks since midnight) of a datetime value."""
    delta = value - _EPOCH
    midnight = value.replace(hour=0, minute=0, second=0, microsecond=0)
    secs = (value - midnight).total_seconds()
    return delta.days, int(round(secs * 300))


def datetime_from_wire(days, ticks):
    return _EPOCH + datetime.timedelta(days=days, seconds=ticks / 300.0)


def format_value(value, scale=None):
    """A value as text, the way CONVERT(varchar, value) shows it; scale: the second digits of a time or
    datetimeoffset (7 when not known)."""
    if value is None:
        return None
    if scale is not None and (isinstance(value, datetime.time) or
                              isinstance(value, datetime.datetime) and value.tzinfo is not None):
        head, _, rest = format_value(value).partition(".")
        digits, blank, zone = rest.partition(" ")
        return head + ("." + digits[:scale] if scale else "") + blank + zone
    if isinstance(value, bool):
        return "1" if value else "0"
    if isinstance(value, float):
        if value == int(value) and abs(value) < 1e15:
            return str(int(value))
        return repr(value)
    if isinstance(value, datetime.time):
        return value.strftime("%H:%M:%S.") + "%07d" % (value.microsecond * 10)
    if isinstance(value, datetime.datetime) and value.tzinfo is not None:
        offset = int(value.utcoffset().total_seconds()) // 60
        return "%s.%07d %s%02d:%02d" % (value.strftime("%Y-%m-%d %H:%M:%S"), value.microsecond * 10,
                                       "-" if offset < 0 else "+", abs(offset) // 60, abs(offset) % 60)
    if isinstance(value, datetime.datetime):
        months = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]
        hour = value.hour % 12 or 12
        return "%s %2d %d %2d:%02d%s" % (months[value.month - 1], value.day, value.year, hour, value.minute,
                                          "AM" if value.hour < 12 else "PM")
    if isinstance(value, bytes):
        return value.decode("latin-1")
    return str(value)


def convert(value, target, source=None, style=None, collation=None):
    """Converts a value to the target type as CAST/CONVERT and assignment do."""
    if value is None:
        return None
    name = target.name
    try:
        if name in INT_TYPES:
            if isinstance(value, str):
                text = value.strip()
                if name == "bit" and text.lower() in ("true", "false"):
                    return 1 if text.lower() == "true" else 0
                if not re.match(r"^[+-]?\d+$", text):
                    raise SqlError(245, source.name if source else "varchar", value, name)
                result = int(text)
            elif isinstance(value, bytes):
                result = int.from_bytes(value[-8:], "big", signed=False) if value else 0
            elif isinstance(value, datetime.datetime):
                raise SqlError(529, "datetime", name)
            else:
                result = int(value)  # floats and decimals truncate toward zero
            if name == "bit":
                return 1 if result else 0
            low, high = INT_TYPES[name]
            if not low <= result <= high:
                raise SqlError(8115, "expression", name)
            return result
        if name in FLOAT_TYPES:
            if isinstance(value, str):
                try:
                    return float(value.strip())
                except ValueError:
                    raise SqlError(8114, source.name if source else "varchar", "float") from None
            if isinstance(value, datetime.datetime):
                delta = value - _EPOCH
                return delta.days + delta.seconds / 86400.0
            return float(value)
        if name in EXACT_TYPES:
            if isinstance(value, str):
                try:
                    dec = decimal.Decimal(value.strip())
                except decimal.InvalidOperation:
                    raise SqlError(8114, source.name if source else "varchar", name) from None
            else:
                dec = decimal.Decimal(value) if not isinstance(value, float) else decimal.Decimal(repr(value))
            scale = target.scale if target.scale is not None else 4 if "money" in name else 0
            dec = dec.quantize(decimal.Decimal(1).scaleb(-scale), rounding=decimal.ROUND_HALF_UP)
            precision = target.precision or 19
            if len(dec.as_tuple().digits) > precision and dec != 0:
                raise SqlError(8115, "numeric" if isinstance(value, decimal.Decimal) else "expression", name)
            return dec
        if name == "uniqueidentifier":
            return _to_guid(value, source)
        if name == "time":
            return _to_time(value, target.scale, source)
        if name == "datetimeoffset":
            return _to_datetimeoffset(value, target.scale, source)
        if name in DATE_TYPES:
            if isinstance(value, datetime.time):
                value = datetime.datetime.combine(_EPOCH.date(), value)
            if isinstance(value, datetime.datetime) and value.tzinfo is not None:
                value = value.replace(tzinfo=None)       # the offset's local date and time
            if isinstance(value, datetime.datetime):
                return round_datetime(value) if name == "datetime" else value
            if isinstance(value, str):
                return round_datetime(parse_datetime(value))
            if isinstance(value, (int, float, decimal.Decimal)):
                return round_datetime(_EPOCH + datetime.timedelta(days=float(value)))
            raise SqlError(529, source.name if source else "varbinary", name)
        if name in STRING_TYPES:
            if isinstance(value, bytes):
                if source is not None and source.name == "image":
                    raise SqlError(529, "image", name)
                return (collation.decode(value) if collation and name in CHAR_TYPES else
                        value.decode("utf-16-le", errors="replace") if name in NCHAR_TYPES else
                        value.decode("latin-1"))
            text = format_value(value, source.scale if source is not None and source.name in SCALED_TYPES else
                                None) if not isinstance(value, str) else value
            if name in CHAR_TYPES and collation is not None:
                text = collation.decode(collation.encode(text))
            return text
        if name in BINARY_TYPES:
            if isinstance(value, bytes):
                return value
            if isinstance(value, str):
                if source is not None and source.is_unicode:
                    return value.encode("utf-16-le")
                return (collation.encode(value) if collation else value.encode("latin-1", errors="replace"))
            if isinstance(value, int):
                size = {"tinyint": 1, "smallint": 2, "bigint": 8}.get(source.name if source else "int", 4)
                return (value & ((1 << (8 * size)) - 1)).to_bytes(size, "big")
            raise SqlError(529, source.name if source else "float", name)
    except (OverflowError, ValueError, decimal.InvalidOperation):
        raise SqlError(8115, "expression", name) from None
    raise SqlError(206, source.name if source else "?", name)
