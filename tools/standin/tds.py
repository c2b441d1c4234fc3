"""TDS 7.1 to 7.4: packets, PRELOGIN, LOGIN7, requests and the reply token stream."""

import datetime
import decimal
import struct
import uuid
from typing import Any, Callable, Dict, List, Optional, Sequence, Tuple

from . import sqltypes
from .errors import SqlError
from .sqltypes import SqlType

# Packet types
SQL_BATCH, PRE_TDS7_LOGIN, RPC, REPLY, ATTENTION, BULK, TRANSACTION, LOGIN7, SSPI, PRELOGIN = (
    0x01, 0x02, 0x03, 0x04, 0x06, 0x07, 0x0E, 0x10, 0x11, 0x12)
EOM = 0x01
RESET_CONNECTION, RESET_CONNECTION_SKIP_TRAN = 0x08, 0x10   # packet status bits of a pooled client
HEADER = struct.Struct(">BBHHBB")

TDS71, TDS72, TDS73A, TDS73B, TDS74 = 0x71000001, 0x72090002, 0x730A0003, 0x730B0003, 0x74000004
KNOWN_VERSIONS = [TDS71, TDS72, TDS73A, TDS73B, TDS74]
VERSION_NAMES = {TDS71: "7.1", TDS72: "7.2", TDS73A: "7.3A", TDS73B: "7.3B", TDS74: "7.4"}

# Tokens
TOK_COLMETADATA, TOK_ROW, TOK_DONE, TOK_DONEPROC, TOK_DONEINPROC = 0x81, 0xD1, 0xFD, 0xFE, 0xFF
TOK_ERROR, TOK_INFO, TOK_LOGINACK, TOK_ENVCHANGE, TOK_RETURNSTATUS, TOK_RETURNVALUE = (
    0xAA, 0xAB, 0xAD, 0xE3, 0x79, 0xAC)
TOK_FEATUREEXTACK = 0xAE
DONE_KINDS = {"DONE": TOK_DONE, "DONEPROC": TOK_DONEPROC, "DONEINPROC": TOK_DONEINPROC}
DONE_ATTN = 0x20

SERVER_VERSION = (16, 0, 1000)   # major, minor, build

Encoder = Callable[[Any], bytes]   # a value (None for NULL) as the bytes of a column or return value


class ProtocolError(Exception):
    pass


class UnknownType(ProtocolError):
    """A parameter of a type code the protocol does not have (or the stand-in does not read)."""


# =========================================================================================================
# Packets

class PacketIO:
    def __init__(self, sock: Any) -> None:
        self.sock = sock
        self.transport = sock             # recv/sendall: the socket, or TLS records on it
        self.packet_size = 4096
        self.pending = bytearray()
        self.reset_requested = False
        self.tls_active = False           # every packet travels inside TLS records

    def _recv_exact(self, n: int) -> Optional[bytes]:
        while len(self.pending) < n:
            chunk = self.transport.recv(65536)
            if not chunk:
                return None
            self.pending += chunk
        data = bytes(self.pending[:n])
        del self.pending[:n]
        return data

    def has_buffered(self) -> bool:
        return bool(self.pending) or (self.tls_active and self.transport.pending() > 0)

    def start_tls(self, transport: Any) -> None:
        if self.pending:
            raise ProtocolError("data after the TLS handshake that is not TLS")
        self.transport = transport
        self.tls_active = True

    def stop_tls(self) -> None:
        """Back to plain packets, after a LOGIN7 that only the login was to be encrypted for."""
        if self.pending or self.transport.pending() or self.transport.incoming.pending:
            raise ProtocolError("encrypted data after the login that was the only encrypted message")
        self.transport = self.sock
        self.tls_active = False

    def read_packet(self) -> Optional[Tuple[int, int, bytes]]:
        header = self._recv_exact(8)
        if header is None:
            return None
        ptype, status, length, _spid, _pid, _win = HEADER.unpack(header)
        if length < 8:
            raise ProtocolError("bad packet length %d" % length)
        body = self._recv_exact(length - 8)
        if body is None:
            return None
        return ptype, status, body

    def read_message(self) -> Optional[Tuple[int, bytes]]:
        """(type, payload) of the next whole message, or None when the client has gone."""
        first = self.read_packet()
        if first is None:
            return None
        ptype, status, body = first
        self.reset_requested = bool(status & (RESET_CONNECTION | RESET_CONNECTION_SKIP_TRAN))
        parts = [body]
        while not status & EOM:
            nxt = self.read_packet()
            if nxt is None:
                return None
            t, status, body = nxt
            if t == ATTENTION:
                return ATTENTION, b""
            parts.append(body)
        return ptype, b"".join(parts)

    def send_message(self, payload: bytes, ptype: int = REPLY, spid: int = 0) -> None:
        size = max(self.packet_size - 8, 504)
        out = bytearray()
        offset, pid = 0, 1
        while True:
            chunk = payload[offset:offset + size]
            offset += len(chunk)
            last = offset >= len(payload)
            out += HEADER.pack(ptype, EOM if last else 0, len(chunk) + 8, spid, pid & 0xFF, 0)
            out += chunk
            pid += 1
            if last:
                break
        self.transport.sendall(bytes(out))


# =========================================================================================================
# Reading client data

class Reader:
    def __init__(self, data: bytes, pos: int = 0) -> None:
        self.data = data
        self.pos = pos

    def remaining(self) -> int:
        return len(self.data) - self.pos

    def take(self, n: int) -> bytes:
        if self.pos + n > len(self.data):
            raise ProtocolError("message too short")
        chunk = self.data[self.pos:self.pos + n]
        self.pos += n
        return chunk

    def u8(self) -> int:
        return self.take(1)[0]

    def u16(self) -> int:
        return struct.unpack("<H", self.take(2))[0]

    def u32(self) -> int:
        return struct.unpack("<I", self.take(4))[0]

    def u64(self) -> int:
        return struct.unpack("<Q", self.take(8))[0]

    def b_varchar(self) -> str:
        n = self.u8()
        return self.take(2 * n).decode("utf-16-le")

    def us_varchar(self) -> str:
        n = self.u16()
        return self.take(2 * n).decode("utf-16-le")


def prelogin_options(payload: bytes) -> Dict[int, bytes]:
    """{token: data} of a PRELOGIN message."""
    options, pos = {}, 0
    while pos < len(payload) and payload[pos] != 0xFF:
        if pos + 5 > len(payload):
            raise ProtocolError("PRELOGIN option table cut short")
        token, offset, length = struct.unpack(">BHH", payload[pos:pos + 5])
        options[token] = payload[offset:offset + length]
        pos += 5
    return options


def prelogin_reply(encryption: int) -> bytes:
    major, minor, build = SERVER_VERSION
    entries = [(0x00, bytes([major, minor]) + struct.pack(">H", build) + b"\x00\x00"),
               (0x01, bytes([encryption])),
               (0x02, b"\x00"),
               (0x03, b""),
               (0x04, b"\x00")]      # no MARS
    offset = 5 * len(entries) + 1
    table, data = bytearray(), bytearray()
    for token, value in entries:
        table += bytes([token]) + struct.pack(">HH", offset + len(data), len(value))
        data += value
    return bytes(table) + b"\xFF" + bytes(data)


def decode_password(raw: bytes) -> str:
    out = bytearray()
    for b in raw:
        x = b ^ 0xA5
        out.append(((x << 4) & 0xF0) | (x >> 4))
    return out.decode("utf-16-le", errors="replace")


class Login7:
    """What a LOGIN7 message carries (the fields the server reads)."""
    version: int
    packet_size: int
    flags3: int
    hostname: str
    username: str
    password: str
    appname: str
    servername: str
    library: str
    language: str
    database: str
    features: List[Tuple[int, bytes]]      # FEATUREEXT: (feature id, data)
    integrated: bool                       # integrated (Windows) security asked for


def parse_login7(payload: bytes) -> Login7:
    r = Reader(payload)
    login = Login7()
    r.u32()
    login.version = r.u32()
    login.packet_size = r.u32()
    r.take(12)
    flags1, flags2, type_flags, flags3 = r.take(4)
    login.flags3 = flags3
    r.take(8)
    fields = []
    for _ in range(9):
        offset, length = r.u16(), r.u16()
        fields.append((offset, length))

    def text(i: int, password: bool = False) -> str:
        offset, length = fields[i]
        raw = payload[offset:offset + 2 * length]
        return decode_password(raw) if password else raw.decode("utf-16-le", errors="replace")

    login.hostname = text(0)
    login.username = text(1)
    login.password = text(2, password=True)
    login.appname = text(3)
    login.servername = text(4)
    login.library = text(6)
    login.language = text(7)
    login.database = text(8)
    login.features = []
    if flags3 & 0x10 and login.version >= TDS74:
        offset = fields[5][0]
        if offset + 4 <= len(payload):
            ext = struct.unpack("<I", payload[offset:offset + 4])[0]
            fr = Reader(payload, ext)
            try:
                while fr.remaining():
                    fid = fr.u8()
                    if fid == 0xFF:
                        break
                    flen = fr.u32()
                    login.features.append((fid, fr.take(flen)))
            except ProtocolError:
                pass
    login.integrated = bool(flags2 & 0x80)
    return login


def negotiate_version(client_version: int) -> int:
    """The TDS version to answer with: the client's, at most 7.4, at least 7.1."""
    best = TDS71
    for v in KNOWN_VERSIONS:
        if v <= client_version:
            best = v
    return best


def skip_all_headers(r: Reader, version: int) -> None:
    if version >= TDS72 and r.remaining() >= 4:
        total = struct.unpack("<I", r.data[r.pos:r.pos + 4])[0]
        if 4 <= total <= r.remaining():
            r.take(total)


def parse_sql_batch(payload: bytes, version: int) -> str:
    r = Reader(payload)
    skip_all_headers(r, version)
    return payload[r.pos:].decode("utf-16-le", errors="replace")


class RpcCall:
    def __init__(self) -> None:
        self.name: Optional[str] = None
        self.proc_id: Optional[int] = None
        self.params: List[Tuple[str, Any, SqlType, bool]] = []      # (name, value, type, output)
        self.error: Optional[SqlError] = None        # SqlError when its bytes break the protocol


def parse_rpc(payload: bytes, version: int) -> List[RpcCall]:
    """One or more RPC calls of a request (batched calls are separated by 0x80 or 0xFF).

    A call whose bytes do not follow the protocol ends the list: it carries the error SQL Server answers
    for such a stream (8004, 8005, 8009, 8016) and the calls before it still run."""
    r = Reader(payload)
    skip_all_headers(r, version)
    calls = []
    while r.remaining():
        call = RpcCall()
        calls.append(call)
        try:
            n = r.u16()
            if n == 0xFFFF:
                call.proc_id = r.u16()
            else:
                call.name = r.take(2 * n).decode("utf-16-le")
            r.u16()  # option flags
        except (ProtocolError, UnicodeDecodeError):
            call.name, call.error = call.name or "", SqlError(8004)
            break
        if not _read_params(r, call):
            break
    return calls


def _read_params(r: Reader, call: RpcCall) -> bool:
    """Reads the parameters of a call up to its end; False when they break the protocol (call.error)."""
    while r.remaining():
        peek = r.data[r.pos]
        if peek in (0x80, 0xFE, 0xFF):
            r.pos += 1
            return True
        k = len(call.params) + 1
        try:
            name = r.b_varchar()
            status = r.u8()
        except (ProtocolError, UnicodeDecodeError):
            call.error = SqlError(8005, k)
            return False
        code = r.data[r.pos] if r.remaining() else 0
        try:
            typ, info = read_type_info(r)
            value = read_value(r, typ, info)
        except UnknownType:
            call.error = SqlError(8009, k, name, "%02X" % code)
            return False
        except (ProtocolError, UnicodeDecodeError, ValueError, ArithmeticError, IndexError, KeyError, struct.error):
            call.error = SqlError(8016, k, name, "%02X" % code)
            return False
        call.params.append((name, value, typ, bool(status & 0x01)))
    return True


FIXED_TYPES = {0x30: ("tinyint", 1), 0x34: ("smallint", 2), 0x38: ("int", 4), 0x7F: ("bigint", 8),
               0x32: ("bit", 1), 0x3B: ("real", 4), 0x3E: ("float", 8), 0x3D: ("datetime", 8),
               0x3A: ("smalldatetime", 4), 0x3C: ("money", 8), 0x7A: ("smallmoney", 4), 0x1F: ("null", 0)}


def read_type_info(r: Reader) -> Tuple[SqlType, Dict[str, Any]]:
    """(SqlType, info dict) of a TYPE_INFO the client sent."""
    t = r.u8()
    info = {"code": t}
    if t in FIXED_TYPES:
        name, size = FIXED_TYPES[t]
        info["size"] = size
        return SqlType(name if name != "null" else "int"), info
    if t in (0x26, 0x68, 0x6D, 0x6F, 0x6E, 0x24):
        size = r.u8()
        info["size"] = size
        name = {0x26: {1: "tinyint", 2: "smallint", 4: "int", 8: "bigint"}.get(size, "int"), 0x68: "bit",
                0x6D: "real" if size == 4 else "float", 0x6F: "smalldatetime" if size == 4 else "datetime",
                0x6E: "smallmoney" if size == 4 else "money", 0x24: "uniqueidentifier"}[t]
        if t == 0x24:
            return SqlType("nvarchar", 36), info
        return SqlType(name), info
    if t in (0x6A, 0x6C, 0x37, 0x3F):
        size, precision, scale = r.u8(), r.u8(), r.u8()
        info["size"] = size
        return SqlType("decimal" if t in (0x6A, 0x37) else "numeric", None, precision, scale), info
    if t == 0x28:
        return SqlType("date"), info
    if t in (0x29, 0x2A, 0x2B):
        info["scale"] = r.u8()
        return SqlType("datetime2" if t != 0x29 else "nvarchar", None if t != 0x29 else 16), info
    if t in (0xA7, 0xAF, 0xE7, 0xEF, 0x27, 0x2F, 0xA5, 0xAD, 0x25, 0x2D):
        if t in (0x27, 0x2F, 0x25, 0x2D):
            maxlen = r.u8()
        else:
            maxlen = r.u16()
        info["maxlen"] = maxlen
        if t in (0xA7, 0xAF, 0xE7, 0xEF):
            info["collation"] = r.take(5)
        name = {0xA7: "varchar", 0x27: "varchar", 0xAF: "char", 0x2F: "char", 0xE7: "nvarchar", 0xEF: "nchar",
                0xA5: "varbinary", 0x25: "varbinary", 0xAD: "binary", 0x2D: "binary"}[t]
        if maxlen == 0xFFFF:
            return SqlType(name, -1), info
        length = maxlen // 2 if name in ("nvarchar", "nchar") else maxlen
        return SqlType(name, max(length, 1)), info
    if t in (0x23, 0x63, 0x22):
        info["maxlen"] = r.u32()
        if t != 0x22:
            info["collation"] = r.take(5)
        return SqlType({0x23: "text", 0x63: "ntext", 0x22: "image"}[t]), info
    raise UnknownType("unsupported parameter type 0x%02X" % t)


def _read_plp(r: Reader) -> Optional[bytes]:
    total = r.u64()
    if total == 0xFFFFFFFFFFFFFFFF:
        return None
    chunks = []
    while True:
        n = r.u32()
        if n == 0:
            break
        chunks.append(r.take(n))
    return b"".join(chunks)


def _decode_chars(data: bytes, typ: SqlType, info: Dict[str, Any]) -> Any:
    if typ.name in ("nvarchar", "nchar", "ntext"):
        return data.decode("utf-16-le", errors="replace")
    if typ.name in ("varchar", "char", "text"):
        return data.decode(sqltypes.codepage_of_wire_collation(info.get("collation", b"")), errors="replace")
    return data


def read_value(r: Reader, typ: SqlType, info: Dict[str, Any]) -> Any:
    t = info["code"]
    if t == 0x1F:
        return None
    if t in FIXED_TYPES or t in (0x26, 0x68, 0x6D, 0x6F, 0x6E, 0x24):
        size = info["size"] if t in FIXED_TYPES else r.u8()
        if size == 0:
            return None
        raw = r.take(size)
        if t in (0x30, 0x34, 0x38, 0x7F, 0x26, 0x32, 0x68):
            signed = t not in (0x30,) and not (t == 0x26 and size == 1)
            return int.from_bytes(raw, "little", signed=signed)
        if t in (0x3B, 0x3E, 0x6D):
            return struct.unpack("<f" if size == 4 else "<d", raw)[0]
        if t in (0x3D, 0x3A, 0x6F):
            if size == 4:
                days, minutes = struct.unpack("<HH", raw)
                return datetime.datetime(1900, 1, 1) + datetime.timedelta(days=days, minutes=minutes)
            days, ticks = struct.unpack("<iI", raw)
            return sqltypes.datetime_from_wire(days, ticks)
        if t in (0x3C, 0x7A, 0x6E):
            if size == 4:
                return decimal.Decimal(struct.unpack("<i", raw)[0]) / 10000
            hi, lo = struct.unpack("<iI", raw)
            return decimal.Decimal((hi << 32) | lo) / 10000
        if t == 0x24:
            a, b, c = struct.unpack("<IHH", raw[:8])
            return "%08X-%04X-%04X-%s-%s" % (a, b, c, raw[8:10].hex().upper(), raw[10:].hex().upper())
    if t in (0x6A, 0x6C, 0x37, 0x3F):
        size = r.u8()
        if size == 0:
            return None
        raw = r.take(size)
        magnitude = int.from_bytes(raw[1:], "little")
        value = decimal.Decimal(magnitude).scaleb(-typ.scale)
        return value if raw[0] == 1 else -value
    if t == 0x28:
        size = r.u8()
        if size == 0:
            return None
        days = int.from_bytes(r.take(3), "little")
        return datetime.datetime(1, 1, 1) + datetime.timedelta(days=days)
    if t in (0x29, 0x2A, 0x2B):
        size = r.u8()
        if size == 0:
            return None
        raw = r.take(size)
        scale = info["scale"]
        tlen = 3 if scale <= 2 else 4 if scale <= 4 else 5
        units = int.from_bytes(raw[:tlen], "little")
        seconds = units / (10 ** scale)
        if t == 0x29:
            return str(datetime.timedelta(seconds=seconds))
        days = int.from_bytes(raw[tlen:tlen + 3], "little")
        return datetime.datetime(1, 1, 1) + datetime.timedelta(days=days, seconds=seconds)
    if t in (0xA7, 0xAF, 0xE7, 0xEF, 0xA5, 0xAD):
        if info["maxlen"] == 0xFFFF:
            data = _read_plp(r)
        else:
            n = r.u16()
            data = None if n == 0xFFFF else r.take(n)
        return None if data is None else _decode_chars(data, typ, info)
    if t in (0x27, 0x2F, 0x25, 0x2D):
        n = r.u8()
        data = None if n == 0xFF else r.take(n)
        return None if data is None else _decode_chars(data, typ, info)
    if t in (0x23, 0x63, 0x22):
        n = r.u32()
        if n == 0xFFFFFFFF:
            return None
        return _decode_chars(r.take(n), typ, info)
    raise ProtocolError("unsupported parameter type 0x%02X" % t)


# =========================================================================================================
# Reply tokens

def b_varchar(text: str) -> bytes:
    data = text.encode("utf-16-le")
    return bytes([len(data) // 2]) + data


def us_varchar(text: str) -> bytes:
    data = text.encode("utf-16-le")
    return struct.pack("<H", len(data) // 2) + data


def type_info(t: SqlType, version: int, collation: Any) -> Tuple[bytes, Encoder]:
    """TYPE_INFO bytes of a result column or return value, and a function that encodes its values."""
    name = t.name
    coll = collation.wire()
    if name in ("tinyint", "smallint", "int", "bigint"):
        size = {"tinyint": 1, "smallint": 2, "int": 4, "bigint": 8}[name]
        return bytes([0x26, size]), lambda v: b"\x00" if v is None else bytes([size]) + int(v).to_bytes(
            size, "little", signed=name != "tinyint")
    if name == "bit":
        return bytes([0x68, 1]), lambda v: b"\x00" if v is None else b"\x01" + bytes([1 if v else 0])
    if name in ("float", "real"):
        size = 8 if name == "float" else 4
        return bytes([0x6D, size]), lambda v: b"\x00" if v is None else bytes([size]) + struct.pack(
            "<d" if size == 8 else "<f", float(v))
    if name in ("datetime", "smalldatetime", "date", "datetime2"):
        def dt(v: Any) -> bytes:
            if v is None:
                return b"\x00"
            days, ticks = sqltypes.datetime_wire(v)
            return b"\x08" + struct.pack("<iI", days, ticks)
        return bytes([0x6F, 8]), dt
    if name == "uniqueidentifier":
        return b"\x24\x10", lambda v: b"\x00" if v is None else b"\x10" + uuid.UUID(v).bytes_le
    if name == "timestamp":       # rowversion: binary(8) on the wire
        return b"\xAD\x08\x00", lambda v: b"\xFF\xFF" if v is None else struct.pack("<H", len(v)) + v
    if name in ("time", "datetimeoffset"):
        scale = 7 if t.scale is None else t.scale
        if version < TDS73A:
            # clients of TDS 7.1 and 7.2 get these types as text, as SQL Server sends them
            width = 8 + (scale and scale + 1) + (0 if name == "time" else 17)
            return type_info(sqltypes.nvarchar(width), version, collation)[0], \
                lambda v: b"\xFF\xFF" if v is None else us_varchar_bytes(sqltypes.format_value(v, scale))
        size = sqltypes.time_bytes(scale)

        def when(v: Any) -> bytes:
            if v is None:
                return b"\x00"
            if name == "time":
                return bytes([size]) + _time_units(v, scale).to_bytes(size, "little")
            utc = v.astimezone(datetime.timezone.utc).replace(tzinfo=None)
            days = (utc.date() - datetime.date(1, 1, 1)).days
            offset = int(v.utcoffset().total_seconds()) // 60
            return (bytes([size + 5]) + _time_units(utc.time(), scale).to_bytes(size, "little") +
                    days.to_bytes(3, "little") + struct.pack("<h", offset))
        return bytes([0x29 if name == "time" else 0x2B, scale]), when
    if name in ("money", "smallmoney"):
        def money(v: Any) -> bytes:
            if v is None:
                return b"\x00"
            units = int(decimal.Decimal(v) * 10000)
            return b"\x08" + struct.pack("<iI", units >> 32, units & 0xFFFFFFFF)
        return bytes([0x6E, 8]), money
    if name in ("numeric", "decimal"):
        precision, scale = t.precision, t.scale
        size = sqltypes.numeric_storage(precision)

        def num(v: Any) -> bytes:
            if v is None:
                return b"\x00"
            unscaled = int(decimal.Decimal(v).scaleb(scale).to_integral_value(rounding=decimal.ROUND_HALF_UP))
            return bytes([size, 1 if unscaled >= 0 else 0]) + abs(unscaled).to_bytes(size - 1, "little")
        return bytes([0x6C if name == "numeric" else 0x6A, size, precision, scale]), num
    lob = name in ("text", "ntext", "image") or (t.length == -1 and version < TDS72)
    if lob:
        code = {"text": 0x23, "varchar": 0x23, "ntext": 0x63, "nvarchar": 0x63}.get(name, 0x22)
        unicode = code == 0x63
        info = bytes([code]) + struct.pack("<I", 0x7FFFFFFF if code != 0x63 else 0x7FFFFFFE)
        if code != 0x22:
            info += coll
        info += b"\x00" if version >= TDS72 else b"\x00\x00"   # no table name

        def lobval(v: Any) -> bytes:
            if v is None:
                return b"\x00"
            data = _char_bytes(v, unicode, collation)
            return b"\x10" + b"\x00" * 16 + b"\x00" * 8 + struct.pack("<I", len(data)) + data
        return info, lobval
    if name in ("char", "varchar", "nchar", "nvarchar", "binary", "varbinary"):
        code = {"char": 0xAF, "varchar": 0xA7, "nchar": 0xEF, "nvarchar": 0xE7, "binary": 0xAD,
                "varbinary": 0xA5}[name]
        unicode = name in ("nchar", "nvarchar")
        binary = name in ("binary", "varbinary")
        if t.length == -1:
            info = bytes([code]) + b"\xFF\xFF" + (b"" if binary else coll)

            def plp(v: Any) -> bytes:
                if v is None:
                    return b"\xFF" * 8
                data = v if binary else _char_bytes(v, unicode, collation)
                out = struct.pack("<Q", len(data))
                if data:
                    out += struct.pack("<I", len(data)) + data
                return out + b"\x00\x00\x00\x00"
            return info, plp
        maxlen = min(t.length * (2 if unicode else 1), 8000)
        info = bytes([code]) + struct.pack("<H", maxlen) + (b"" if binary else coll)

        def short(v: Any) -> bytes:
            if v is None:
                return b"\xFF\xFF"
            data = v if binary else _char_bytes(v, unicode, collation)
            return struct.pack("<H", len(data)) + data
        return info, short
    raise ProtocolError("no TDS type for %s" % t)


def _time_units(t: datetime.time, scale: int) -> int:
    """Time of day in units of 10^-scale seconds."""
    micro = ((t.hour * 60 + t.minute) * 60 + t.second) * 1_000_000 + t.microsecond
    return micro * 10 ** scale // 1_000_000


def us_varchar_bytes(text: str) -> bytes:
    data = text.encode("utf-16-le")
    return struct.pack("<H", len(data)) + data


def _char_bytes(v: Any, unicode: bool, collation: Any) -> bytes:
    if isinstance(v, bytes):
        return v
    if not isinstance(v, str):
        v = sqltypes.format_value(v)
    return v.encode("utf-16-le") if unicode else collation.encode(v)


class TokenWriter:
    """Collects the tokens of one reply; the engine writes to it through the sink methods."""

    def __init__(self, version: int, collation: Any, server_name: str) -> None:
        self.version = version
        self.collation = collation
        self.server_name = server_name
        self.buf = bytearray()
        self.encoders: Optional[List[Encoder]] = None
        self.last_done: Optional[Tuple[int, str]] = None      # (offset of its status, kind) after a DONE
        self.errors: List[Tuple[int, int, str]] = []           # (number, severity, text) for the transcript
        self.counts: List[int] = []

    def _token(self, data: bytes) -> None:
        self.buf += data
        self.last_done = None

    def env_change(self, kind: int, new: Any, old: Any) -> None:
        if kind == 7:
            body = bytes([7]) + bytes([len(new)]) + new + bytes([len(old)]) + old
        else:
            body = bytes([kind]) + b_varchar(new) + b_varchar(old)
        self._token(bytes([TOK_ENVCHANGE]) + struct.pack("<H", len(body)) + body)

    def message(self, number: int, state: int, severity: int, text: str, line: int, proc: Optional[str],
                is_error: bool) -> None:
        body = struct.pack("<iBB", number, state, severity) + us_varchar(text) + b_varchar(self.server_name) + \
            b_varchar(proc or "") + (struct.pack("<i", line) if self.version >= TDS72 else struct.pack("<H", line))
        self._token(bytes([TOK_ERROR if is_error else TOK_INFO]) + struct.pack("<H", len(body)) + body)
        if is_error:
            self.errors.append((number, severity, text))

    def columns(self, cols: Sequence[Any]) -> None:
        out = bytearray([TOK_COLMETADATA]) + struct.pack("<H", len(cols))
        self.encoders = []
        for c in cols:
            info, enc = type_info(c.type, self.version, self.collation)
            flags = (0x01 if c.nullable else 0x00) | (0x10 if getattr(c, "identity", False) else 0) | 0x08
            out += (struct.pack("<I", 0) if self.version >= TDS72 else struct.pack("<H", 0))
            out += struct.pack("<H", flags) + info + b_varchar(c.name or "")
            self.encoders.append(enc)
        self._token(bytes(out))

    def row(self, values: Sequence[Any]) -> None:
        out = bytearray([TOK_ROW])
        for enc, v in zip(self.encoders, values):
            out += enc(v)
        self._token(bytes(out))

    def done(self, kind: str, status: int, cmd: int, count: int) -> None:
        tok = DONE_KINDS[kind]
        offset = len(self.buf) + 1
        count_fmt = "<Q" if self.version >= TDS72 else "<I"
        self._token(bytes([tok]) + struct.pack("<HH", status, cmd) + struct.pack(count_fmt, count))
        self.last_done = (offset, kind)
        if status & 0x10:
            self.counts.append(count)

    def return_status(self, value: int) -> None:
        self._token(bytes([TOK_RETURNSTATUS]) + struct.pack("<i", value))

    def return_value(self, ordinal: int, name: str, typ: SqlType, value: Any) -> None:
        info, enc = type_info(typ, self.version, self.collation)
        user_type = struct.pack("<I", 0) if self.version >= TDS72 else struct.pack("<H", 0)
        self._token(bytes([TOK_RETURNVALUE]) + struct.pack("<H", ordinal) + b_varchar(name) + b"\x01" +
                    user_type + struct.pack("<H", 0x01) + info + enc(value))

    def loginack(self, version: int, program: str = "Microsoft SQL Server") -> None:
        major, minor, build = SERVER_VERSION
        body = b"\x01" + struct.pack(">I", version) + b_varchar(program) + bytes([major, minor]) + struct.pack(
            ">H", build)
        self._token(bytes([TOK_LOGINACK]) + struct.pack("<H", len(body)) + body)

    def featureextack(self, features: Sequence[Tuple[int, bytes]]) -> None:
        out = bytearray([TOK_FEATUREEXTACK])
        for fid, data in features:
            out += bytes([fid]) + struct.pack("<I", len(data)) + data
        out += b"\xFF"
        self._token(bytes(out))

    def finish(self, final_kind: str = "DONE") -> bytes:
        """The reply bytes, its last DONE without the 'more' bit."""
        if self.last_done is not None:
            offset, kind = self.last_done
            status = struct.unpack_from("<H", self.buf, offset)[0] & ~0x01
            struct.pack_into("<H", self.buf, offset, status)
        else:
            self.done(final_kind, 0, 0, 0)
        return bytes(self.buf)


def done_message(status: int, version: int) -> bytes:
    w = TokenWriter(version, None, "")
    w.done("DONE", status, 0, 0)
    return w.finish()
