"""TCP listener and the TDS conversation of each connection, one thread per connection."""

import datetime
import decimal
import json
import logging
import os
import select
import socket
import threading
import traceback

from . import engine, parser, procs, security, tds, tls
from .errors import MESSAGES, SqlError
from .session import DONE_ERROR, DONE_MORE, Abort, Scope, Session

log = logging.getLogger("standin")


class Faults:
    """Fault injection: batches that fail, connections that drop, replies that come late."""

    def __init__(self, fail_rules=(), drop_after=None, delay_ms=0, drop_at=(), drop_file=None):
        self.fail_rules = list(fail_rules)    # (text, number, message)
        self.drop_after = drop_after
        self.delay_ms = delay_ms
        self.drop_at = list(drop_at)          # texts: a request containing one closes its connection
        self.drop_file = drop_file
        self.drop_lock = threading.Lock()

    def drop_for(self, text):
        """The --drop-at text that the request's text contains (any case), or None."""
        lowered = text.lower()
        return next((needle for needle in self.drop_at if needle.lower() in lowered), None)

    def drop_counted(self):
        """--drop-file: counts one request down; True for the request the file's number names."""
        if not self.drop_file:
            return False
        with self.drop_lock:
            try:
                with open(self.drop_file, encoding="ascii") as f:
                    left = int(f.read().strip())
            except (OSError, ValueError):
                return False
            if left <= 1:
                os.remove(self.drop_file)
                return left == 1
            with open(self.drop_file + ".tmp", "w", encoding="ascii") as f:
                f.write("%d\n" % (left - 1))
            os.replace(self.drop_file + ".tmp", self.drop_file)
            return False

    def failure_for(self, text):
        lowered = text.lower()
        for needle, number, message in self.fail_rules:
            if needle.lower() in lowered:
                severity = MESSAGES.get(number, (16,))[0] or 16
                return SqlError(number, text=message, severity=severity)
        return None


class Transcript:
    """JSON lines, one per event: connect, login, batch, rpc, attention, disconnect."""

    def __init__(self, path):
        self.lock = threading.Lock()
        self.file = open(path, "a", encoding="utf-8") if path else None

    def write(self, conn, event, **fields):
        if self.file is None:
            return
        record = {"time": datetime.datetime.now().isoformat(timespec="milliseconds"), "conn": conn,
                  "event": event}
        record.update(fields)
        line = json.dumps(record, ensure_ascii=False, default=_jsonable)
        with self.lock:
            self.file.write(line + "\n")
            self.file.flush()

    def close(self):
        if self.file is not None:
            self.file.close()


def _jsonable(value):
    if isinstance(value, bytes):
        return "0x" + value.hex().upper()
    if isinstance(value, (datetime.datetime, datetime.date)):
        return value.isoformat()
    if isinstance(value, decimal.Decimal):
        return str(value)
    return str(value)


# Seconds a connection has from its accept to the end of its login; then it is closed, so a client that
# connects and sends nothing (or drips bytes) cannot hold a thread and a socket for ever.
LOGIN_TIMEOUT = 60


class StandinServer:
    def __init__(self, state, host="127.0.0.1", port=0, faults=None, transcript=None, encryption=None,
                 login_timeout=LOGIN_TIMEOUT):
        self.state = state
        self.login_timeout = login_timeout
        self.encryption = encryption or tls.Encryption("off")
        self.faults = faults or Faults()
        self.transcript = transcript or Transcript(None)
        self.sock = socket.socket(socket.AF_INET6 if ":" in host else socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind((host, port))
        self.sock.listen(32)
        self.port = self.sock.getsockname()[1]
        self.connections = set()
        self.conn_lock = threading.Lock()
        self.next_spid = 51
        self.stopping = threading.Event()
        self.thread = None

    def start(self):
        self.thread = threading.Thread(target=self._accept_loop, name="accept", daemon=True)
        self.thread.start()

    def _accept_loop(self):
        while not self.stopping.is_set():
            try:
                sock, addr = self.sock.accept()
            except OSError:
                break
            with self.conn_lock:
                spid = self.next_spid
                self.next_spid += 1
                if self.next_spid > 32000:
                    self.next_spid = 51
            conn = Connection(self, sock, addr, spid)
            with self.conn_lock:
                self.connections.add(conn)
            threading.Thread(target=conn.run, name="conn-%d" % spid, daemon=True).start()

    def stop(self):
        self.stopping.set()
        try:
            self.sock.close()
        except OSError:
            pass
        with self.conn_lock:
            conns = list(self.connections)
        for conn in conns:
            conn.close()
        with self.state.lock:
            self.state.save()
        self.transcript.close()
        self.encryption.close()


class Connection:
    def __init__(self, server, sock, addr, spid):
        self.server = server
        self.state = server.state
        self.sock = sock
        self.raw = sock                   # the TCP socket itself, also while TLS wraps it
        self.closed = False
        self.addr = addr
        self.spid = spid
        self.io = tds.PacketIO(sock)
        self.encryption = tls.PLAIN       # what PRELOGIN settled: plain, login or full
        self.session = None
        self.version = tds.TDS74
        self.requests = 0

    def peer_gone(self):
        """True once the client has closed its end of the connection.

        Looks at the socket without taking anything from it: the end of the stream, a reset, or (on a fully
        encrypted connection) a TLS alert such as close_notify waiting to be read all mean the client is
        gone, whether or not this connection's thread has noticed yet. Data that is a request means it is
        still there.
        """
        if self.closed:
            return True
        try:
            data = socket.socket.recv(self.raw, 5, socket.MSG_PEEK | socket.MSG_DONTWAIT)
        except (BlockingIOError, InterruptedError):
            return False
        except OSError:
            return True
        if not data:
            return True
        return self.io.tls_active and data[0] == 0x15     # TLS record type 21: alert

    def close(self):
        self.closed = True
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        try:
            self.sock.close()
        except OSError:
            pass

    def run(self):
        peer = "%s:%s" % (self.addr[0], self.addr[1])
        self.server.transcript.write(self.spid, "connect", peer=peer)
        log.info("connection %d from %s", self.spid, peer)
        deadline = threading.Timer(self.server.login_timeout, self._login_expired)
        deadline.daemon = True
        deadline.start()
        try:
            logged_in = self.login()
            deadline.cancel()
            if logged_in and not self.closed:
                self.serve()
        except (OSError, tds.ProtocolError) as e:
            log.info("connection %d: %s", self.spid, e)
        except Exception:  # a fault of the stand-in outside a request: logged, the connection is closed
            log.error("connection %d: internal error\n%s", self.spid, traceback.format_exc())
        finally:
            self.closed = True
            with self.state.lock.shared():       # the session registry is not the state readers read
                self.state.end_session(self.spid)
            with self.server.conn_lock:
                self.server.connections.discard(self)
            self.close()
            self.server.transcript.write(self.spid, "disconnect")
            log.info("connection %d closed", self.spid)

    def _login_expired(self):
        """The login was not done in time: the connection is closed, whatever stage it reached."""
        if self.session is None and not self.closed:
            self.server.transcript.write(self.spid, "login_timeout", seconds=self.server.login_timeout)
            log.info("connection %d: no login within %s s: closed", self.spid, self.server.login_timeout)
            self.close()

    # -- login --------------------------------------------------------------------------------------------

    def login(self):
        msg = self.io.read_message()
        if msg is None:
            return False
        if msg[0] == tds.PRELOGIN:
            options = tds.prelogin_options(msg[1])
            asked = options.get(0x01, b"\x02")[:1] or b"\x02"
            answer, then = tls.decide(self.server.encryption.mode, asked[0])
            self.encryption = then
            if answer is not None:
                self.io.send_message(tds.prelogin_reply(answer))
            if then == tls.REFUSE:
                log.info("connection %d: encryption 0x%02X asked for, answered %s: closed", self.spid, asked[0],
                         "nothing" if answer is None else "0x%02X" % answer)
                return False
            if then in (tls.LOGIN_ONLY, tls.FULL):
                self.io.start_tls(tls.handshake(self.io, self.server.encryption.context))
            msg = self.io.read_message()
            if msg is None:
                return False
            if then == tls.LOGIN_ONLY:
                self.io.stop_tls()
        if msg[0] != tds.LOGIN7:
            raise tds.ProtocolError("expected LOGIN7, got packet type 0x%02X" % msg[0])
        lg = tds.parse_login7(msg[1])
        self.version = tds.negotiate_version(lg.version)
        size = lg.packet_size or 4096
        self.io.packet_size = min(max(size, 512), 32767)
        state = self.state
        w = tds.TokenWriter(self.version, state.collation, state.name)
        # beside running queries; one login at a time, so two cannot both take a single-user database
        with state.lock.shared(), state.login_lock:
            failure = None
            login = state.login(lg.username)
            if lg.integrated or login is None or not login.check_password(lg.password):
                failure = []
            elif login.disabled:
                failure = [SqlError(18470, lg.username)]      # the client is told why, alone
            else:
                requested = lg.database
                db = state.database(requested or login.default_database)
                if db is None or not self._can_open(login, db):
                    failure = [SqlError(4060, requested)] if requested else [SqlError(4064)]
                elif db.user_access == "SINGLE_USER" and state.sessions_in(db):
                    failure = [SqlError(924, db.name)]
                    failure += [SqlError(4060, requested)] if requested else [SqlError(4064)]
            if failure is not None:
                if not failure or failure[0].number != 18470:
                    failure.append(SqlError(18456, lg.username))
                for e in failure:
                    w.message(e.number, e.state, e.severity, e.text, 1, "", True)
                w.done("DONE", DONE_ERROR, 0, 0)
                self.io.send_message(w.finish())
                self.server.transcript.write(self.spid, "login", user=lg.username, ok=False,
                                             encryption=self.encryption,
                                             tds=tds.VERSION_NAMES[self.version], app=lg.appname,
                                             errors=[e.number for e in failure])
                log.info("connection %d: login failed for %r", self.spid, lg.username)
                return False
            language = state.language(lg.language) if lg.language else None
            language = language or state.language(login.default_language) or state.language("us_english")
            self.session = self._new_session(login, db.name, language)
            self.initial = (db.name, language)
        w.env_change(1, db.name, "master")
        w.message(5701, 2, 0, "Changed database context to '%s'." % db.name, 1, "", False)
        w.env_change(7, state.collation.wire(), b"")
        w.env_change(2, language[1], "")
        w.message(5703, 1, 0, "Changed language setting to %s." % language[1], 1, "", False)
        w.loginack(self.version)
        if any(fid == 0x0A for fid, _ in lg.features):
            w.featureextack([(0x0A, b"\x01")])
        w.env_change(4, str(self.io.packet_size), str(self.io.packet_size))
        w.done("DONE", 0, 0, 0)
        self.io.send_message(w.finish())
        self.server.transcript.write(self.spid, "login", user=login.name, ok=True, database=db.name,
                                     encryption=self.encryption,
                                     language=language[1], tds=tds.VERSION_NAMES[self.version], app=lg.appname,
                                     packet_size=self.io.packet_size)
        log.info("connection %d: %s logged in (TDS %s, %s)", self.spid, login.name,
                 tds.VERSION_NAMES[self.version], lg.appname)
        return True

    def _new_session(self, login, database, language):
        session = Session(self.state, login, self.spid, database, language)
        session.peer_gone = self.peer_gone
        session.disconnect = self.close
        self.state.sessions[self.spid] = session
        return session

    def _can_open(self, login, db):
        return security.database_user(self.state, login, db) is not None

    # -- requests -----------------------------------------------------------------------------------------

    def serve(self):
        faults = self.server.faults
        while True:
            msg = self.io.read_message()
            if msg is None:
                return
            ptype, payload = msg
            if ptype == tds.ATTENTION:
                self.server.transcript.write(self.spid, "attention")
                self.io.send_message(tds.done_message(tds.DONE_ATTN, self.version))
                continue
            self.requests += 1
            if faults.drop_after is not None and self.requests > faults.drop_after:
                self.server.transcript.write(self.spid, "dropped", after=faults.drop_after)
                log.info("connection %d: dropped after %d requests", self.spid, faults.drop_after)
                return
            if faults.drop_counted():
                self.server.transcript.write(self.spid, "dropped", file=faults.drop_file)
                log.info("connection %d: dropped as %s said", self.spid, faults.drop_file)
                return
            w = tds.TokenWriter(self.version, self.state.collation, self.state.name)
            if self.io.reset_requested:
                self.reset_session(w)
            if ptype == tds.SQL_BATCH:
                text = tds.parse_sql_batch(payload, self.version)
                if self._drop_at(text):
                    return
                self.batch(text, w)
                reply = w.finish("DONE")
            elif ptype == tds.RPC:
                calls = tds.parse_rpc(payload, self.version)
                if self._drop_at("\n".join(t for call in calls for t in call_texts(call))):
                    return
                self.rpc(calls, w)
                reply = w.finish("DONEPROC")
            elif ptype == tds.TRANSACTION:
                e = SqlError(40517, "transaction manager request")
                w.message(e.number, 1, e.severity, e.text, 1, "", True)
                w.done("DONE", DONE_ERROR, 0, 0)
                reply = w.finish()
                self.server.transcript.write(self.spid, "transaction", outcome=self._outcome(w))
            else:
                raise tds.ProtocolError("unexpected packet type 0x%02X" % ptype)
            if faults.delay_ms and self._attention_during_delay(faults.delay_ms / 1000.0):
                self.server.transcript.write(self.spid, "attention")
                self.io.send_message(tds.done_message(0, self.version))
                self.io.send_message(tds.done_message(tds.DONE_ATTN, self.version))
                continue
            self.io.send_message(reply)

    def _drop_at(self, text):
        """--drop-at: a request with one of its texts closes the connection unanswered, before it runs."""
        needle = self.server.faults.drop_for(text)
        if needle is None:
            return False
        self.server.transcript.write(self.spid, "dropped", at=needle)
        log.info("connection %d: dropped at a request containing %r", self.spid, needle)
        return True

    def reset_session(self, w):
        """A pooled client reuses the connection: back to the database, language and options of the login."""
        with self.state.lock.shared():
            old = self.session
            db = self.state.database(self.initial[0]) or self.state.database("master")
            self.session = self._new_session(old.login, db.name, self.initial[1])
        w.env_change(18, "", "")
        self.server.transcript.write(self.spid, "reset", database=db.name)

    def _attention_during_delay(self, seconds):
        """Waits out the reply delay; True when the client cancelled meanwhile."""
        if not self.io.has_buffered():
            ready, _, _ = select.select([self.raw], [], [], seconds)
            if not ready:
                return False
        msg = self.io.read_message()
        if msg is None:
            raise OSError("client closed the connection")
        if msg[0] != tds.ATTENTION:
            raise tds.ProtocolError("request 0x%02X sent before the previous reply" % msg[0])
        return True

    def _outcome(self, w):
        return {"ok": not w.errors,
                "errors": [{"number": n, "severity": s, "message": t} for n, s, t in w.errors],
                "rowcounts": w.counts}

    def _run(self, w, action, description):
        """Runs one request; an internal fault becomes an error the client sees.

        The request takes the server lock only for its statements, one at a time (see the executor), so a
        long batch does not hold up logins or the statements of other connections."""
        state = self.state
        try:
            action()
        except Abort:
            pass
        except SqlError as e:
            w.message(e.number, e.state, e.severity, e.text, e.line or 1, e.proc, True)
            w.done("DONE", DONE_ERROR | DONE_MORE, 0, 0)
        except Exception:  # a fault of the stand-in itself: report it, keep serving
            log.error("connection %d: internal error in %s\n%s", self.spid, description,
                      traceback.format_exc())
            w.message(50000, 1, 16, "Internal error in the stand-in server: %s" %
                      traceback.format_exc(limit=1).strip().splitlines()[-1], 1, "", True)
            w.done("DONE", DONE_ERROR | DONE_MORE, 0, 0)
        if state.dirty:
            with state.lock.shared(), state.save_lock:
                try:
                    state.save()
                except OSError as e:
                    log.error("cannot write the state file: %s", e)

    def batch(self, text, w):
        database = self.session.database
        log.debug("connection %d batch: %s", self.spid, text)
        failure = self.server.faults.failure_for(text)
        if failure is not None:
            w.message(failure.number, 1, failure.severity, failure.text, 1, "", True)
            w.done("DONE", DONE_ERROR, 0, 0)
        else:
            ex = engine.Executor(self.session, w)
            self._run(w, lambda: ex.run_batch(text), "a batch")
        self.server.transcript.write(self.spid, "batch", database=database, text=text,
                                     injected=failure is not None, outcome=self._outcome(w))

    def rpc(self, calls, w):
        for call in calls:
            name = call_texts(call)[0]
            database = self.session.database
            log.debug("connection %d rpc %s %r", self.spid, name, call.params)
            failure = self.server.faults.failure_for("\n".join(call_texts(call)))
            if call.error is not None:
                # bytes that break the protocol: the error SQL Server gives, and the connection goes on
                e = call.error
                w.message(e.number, e.state, e.severity, e.text, 1, "", True)
                w.done("DONEPROC", DONE_ERROR | DONE_MORE, 0, 0)
            elif failure is not None:
                w.message(failure.number, 1, failure.severity, failure.text, 1, "", True)
                w.done("DONEPROC", DONE_ERROR | DONE_MORE, 0, 0)
            else:
                ex = engine.Executor(self.session, w)
                self._run(w, lambda: run_rpc(ex, name, call.params), "an RPC")
            self.server.transcript.write(
                self.spid, "rpc", database=database, proc=name, injected=failure is not None,
                params=[{"name": n, "value": v, "output": o} for n, v, _, o in call.params],
                outcome=self._outcome(w))


def call_texts(call):
    """The texts of an RPC call that fault injection looks at: its procedure's name (or the name of its
    procedure id) and its string parameters."""
    name = call.name if call.name is not None else procs.PROC_IDS.get(call.proc_id, "#%s" % call.proc_id)
    return [name] + [v for _, v, _, _ in call.params if isinstance(v, str)]


def run_rpc(ex, name, params):
    """One RPC call: the procedure's results, RETURNSTATUS, a RETURNVALUE per OUTPUT parameter, DONEPROC."""
    scope = Scope(0)
    try:
        parts = parser.parse_name(name.strip())
    except SqlError:
        parts = [name]
    args = [(n or None, v, t, o, None) for n, v, t, o in params]
    try:
        status, outputs = ex.call_procedure(parts, args, scope, 1, rpc=True)
    except SqlError as e:
        ex.reply.emit_error(e, scope)
        ex.sink.done("DONEPROC", DONE_ERROR | DONE_MORE, 0, 0)
        return
    except Abort:
        ex.sink.done("DONEPROC", DONE_ERROR | DONE_MORE, 0, 0)
        return
    for k, value in outputs:
        n, _, typ, _ = params[k]
        ex.sink.return_value(k, n, typ, value)
    ex.sink.done("DONEPROC", DONE_MORE, 0, 0)
