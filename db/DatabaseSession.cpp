#include "db/DatabaseSession.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

#include "db/ConnectionString.h"
#include "shell/ServerBrowser.h"
#include "base/Text.h"

namespace kurdb::db {

using namespace odbc;

namespace {

// Reads one batch's results to the end. Server errors do not stop the reading: the server runs
// the rest of the batch anyway, and reading on keeps every error message and avoids cancelling
// the batch by freeing the statement early.
class BatchReader {
public:
    BatchReader(OdbcEngine& engine, SQLHSTMT stmt, bool keepRows)
        : engine_(engine), api_(engine.Api()), stmt_(stmt), keepRows_(keepRows) {}

    std::vector<ResultSet> Run(std::u16string& sql) {
        if (sql.size() > static_cast<std::size_t>(std::numeric_limits<SQLINTEGER>::max()))
            throw EDBEngineError("SQL cümlesi çok uzun");
        SQLRETURN rc = api_.SQLExecDirectW(stmt_, sql.data(), static_cast<SQLINTEGER>(sql.size()));
        for (int guard = 0; guard < 1000000; ++guard) {
            if (rc == SQL_NO_DATA) break;
            if (Succeeded(rc)) {
                if (!ReadResult()) break;
            } else if (rc == SQL_ERROR) {
                if (!NoteError(rc)) break;
            } else {
                // SQL_NEED_DATA, SQL_STILL_EXECUTING, SQL_INVALID_HANDLE: nothing this layer asked
                // for; report what the driver says and stop.
                NoteError(rc);
                break;
            }
            rc = api_.SQLMoreResults(stmt_);
        }
        if (failed_) throw EDBEngineError(std::move(errors_), firstRc_);
        return std::move(results_);
    }

private:
    // Keeps the records of a failed call; true when they are all the server's own (a statement
    // error, after which the batch goes on), false for client or connection trouble.
    bool NoteError(SQLRETURN rc) {
        if (!failed_) firstRc_ = rc;
        failed_ = true;
        auto records = engine_.Diagnostics(SQL_HANDLE_STMT, stmt_);
        const bool serverOnly =
            !records.empty() && std::all_of(records.begin(), records.end(), [](const DiagRecord& r) {
                return r.nativeError != 0 && r.sqlState.rfind("08", 0) != 0;
            });
        for (auto& r : records) errors_.push_back(std::move(r));
        return serverOnly;
    }

    // False when reading met trouble that is not a server's statement error.
    bool ReadResult() {
        SQLSMALLINT count = 0;
        const SQLRETURN rc = api_.SQLNumResultCols(stmt_, &count);
        if (!Succeeded(rc)) return NoteError(rc);
        if (count <= 0 || !keepRows_ || failed_) return true;  // SQLMoreResults discards rows
        ResultSet result;
        for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(count); ++c)
            result.columns.push_back(ColumnName(c));
        for (;;) {
            const SQLRETURN f = api_.SQLFetch(stmt_);
            if (f == SQL_NO_DATA) break;
            if (!Succeeded(f)) {
                if (!NoteError(f)) return false;
                break;
            }
            ResultSet::Row row;
            for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(count); ++c) row.push_back(Value(c));
            result.rows.push_back(std::move(row));
        }
        results_.push_back(std::move(result));
        return true;
    }

    std::string ColumnName(SQLUSMALLINT column) {
        SQLWCHAR name[256] = {};
        SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        const SQLRETURN rc =
            api_.SQLDescribeColW(stmt_, column, name, 256, &length, &type, &size, &digits, &nullable);
        if (!Succeeded(rc)) engine_.Raise(SQL_HANDLE_STMT, stmt_, rc);
        const auto n = static_cast<std::size_t>(std::clamp<SQLSMALLINT>(length, 0, 255));
        return text::Utf16ToUtf8(std::u16string_view(name, n));
    }

    // One column of the current row as text; SQLGetData in pieces for long values.
    std::optional<std::string> Value(SQLUSMALLINT column) {
        constexpr std::size_t kChars = 2048;
        SQLWCHAR buffer[kChars];
        std::u16string value;
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc =
                api_.SQLGetData(stmt_, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
            if (rc == SQL_NO_DATA) break;  // the previous piece was the last
            if (!Succeeded(rc)) engine_.Raise(SQL_HANDLE_STMT, stmt_, rc);
            if (indicator == SQL_NULL_DATA) return std::nullopt;
            const std::size_t room = kChars - 1;  // one place for the terminating zero
            if (indicator != SQL_NO_TOTAL && indicator >= 0 &&
                static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR) <= room) {
                value.append(buffer, static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR));
                break;
            }
            value.append(buffer, room);
            if (rc == SQL_SUCCESS) break;
        }
        return text::Utf16ToUtf8(value);
    }

    OdbcEngine& engine_;
    const odbc::Api& api_;
    SQLHSTMT stmt_;
    bool keepRows_;
    std::vector<ResultSet> results_;
    std::vector<DiagRecord> errors_;
    bool failed_ = false;
    SQLRETURN firstRc_ = SQL_ERROR;
};

// One SQLDriverConnectW on a thread of its own, so that Connect can stop waiting for it. Drivers
// keep the login timeout only in part: FreeTDS 1.3 keeps it for a server that stalls after its
// pre-login answer or in the TLS handshake, but waits without end for a pre-login answer that
// never comes or comes a byte at a time. An attempt given up on finishes here whenever the
// driver returns: its connection is closed and its handle freed by this thread.
struct ConnectAttempt {
    odbc::Api api;  // a copy: the engine may be gone when an abandoned call returns
    SQLHDBC dbc = nullptr;
    std::u16string connection;  // holds the password; wiped once the driver has it
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    SQLRETURN rc = SQL_ERROR;

    void Run() {
        std::u16string completed(1024, u'\0');
        SQLSMALLINT completedLength = 0;
        const SQLRETURN result = api.SQLDriverConnectW(
            dbc, nullptr, connection.data(), static_cast<SQLSMALLINT>(connection.size()), completed.data(),
            static_cast<SQLSMALLINT>(completed.size()), &completedLength, SQL_DRIVER_NOPROMPT);
        std::fill(completed.begin(), completed.end(), u'\0');
        std::fill(connection.begin(), connection.end(), u'\0');
        const std::lock_guard lock(mutex);
        rc = result;
        done = true;
        if (abandoned) {
            if (Succeeded(result)) api.SQLDisconnect(dbc);
            api.SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        }
        finished.notify_all();
    }
};

bool TimedOut(const std::vector<DiagRecord>& records) {
    return std::any_of(records.begin(), records.end(),
                       [](const DiagRecord& r) { return r.sqlState == "HYT00" || r.sqlState == "HYT01"; });
}

EDBEngineError NoAnswer(const std::string& server) {
    return EDBEngineError(
        Format(Format(texts::kServerNoAnswer, server), std::to_string(kLoginTimeoutSeconds)));
}

}  // namespace

DatabaseSession::DatabaseSession(std::string name, OdbcEngine& engine, IEngine& versionEngine)
    : name_(std::move(name)), engine_(engine), versionEngine_(versionEngine) {}

DatabaseSession::~DatabaseSession() {
    Disconnect();
}

std::vector<std::string> DatabaseSession::ConnectionParameters() const {
    if (!connectedOnce_) return {};
    return {"SERVER NAME=" + settings_.server, "USER NAME=" + settings_.user,
            "PASSWORD=", "LANGDRIVER=", "DATE MODE=1"};
}

std::string DatabaseSession::ReachableServer(const std::string& driver, const std::string& server) {
    if (!IsFreeTdsDriver(driver)) return server;  // Microsoft's drivers ask the Browser themselves
    const ServerName name = ParseServerName(server);
    if (name.instance.empty() || !name.port.empty()) return server;  // a port wins: no question
    // FreeTDS would ask too, but waits longer than a login may take and then names neither the
    // instance nor the server.
    const auto port = FindInstancePort(FreeTdsHost(name.computer), name.instance);
    if (!port) {
        throw EDBEngineError(Format(Format(texts::kInstanceNotFound, name.instance),
                                    name.computer.empty() ? "(local)" : name.computer));
    }
    return name.computer + "," + std::to_string(*port);
}

void DatabaseSession::Connect(const std::string& server, const std::string& user,
                              const std::string& password) {
    if (IsConnected()) throw EDatabaseError(name_, texts::kDatabaseOpen);
    CheckServerName(server);
    settings_ = {server, user};
    connectedOnce_ = true;

    const auto& api = engine_.Api();
    SQLHENV env = engine_.Environment();
    const std::string driver = engine_.SqlServerDriver();
    std::u16string connection =
        text::Utf8ToUtf16(BuildConnectionString(driver, ReachableServer(driver, server), user, password));
    if (connection.size() >= static_cast<std::size_t>(std::numeric_limits<SQLSMALLINT>::max()))
        throw EDBEngineError("Bağlantı bilgileri çok uzun");

    OdbcHandle dbc = engine_.Allocate(SQL_HANDLE_DBC, env);
    // An unreachable server gives its error within the login timeout instead of holding the
    // window for the driver's own, often much longer, wait. A driver that refuses the
    // attribute keeps its default.
    api.SQLSetConnectAttrW(dbc.Get(), SQL_ATTR_LOGIN_TIMEOUT,
                           reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(kLoginTimeoutSeconds)), 0);
    const auto attempt = std::make_shared<ConnectAttempt>();
    attempt->api = api;
    attempt->dbc = dbc.Get();
    attempt->connection = std::move(connection);
    std::fill(connection.begin(), connection.end(), u'\0');
    std::thread([attempt] { attempt->Run(); }).detach();

    std::unique_lock lock(attempt->mutex);
    const auto deadline = std::chrono::seconds(kLoginTimeoutSeconds + kLoginMarginSeconds);
    if (!attempt->finished.wait_for(lock, deadline, [&] { return attempt->done; })) {
        // The attempt frees the handle when the driver returns; the driver may need the engine
        // until then.
        attempt->abandoned = true;
        static_cast<void>(dbc.Release());
        lock.unlock();
        engine_.KeepForAbandonedCalls();
        throw NoAnswer(server);
    }
    const SQLRETURN rc = attempt->rc;
    lock.unlock();
    if (!Succeeded(rc)) {
        if (TimedOut(engine_.Diagnostics(SQL_HANDLE_DBC, dbc.Get()))) throw NoAnswer(server);
        engine_.Raise(SQL_HANDLE_DBC, dbc.Get(), rc);
    }
    dbc_ = std::move(dbc);
}

void DatabaseSession::Disconnect() {
    if (!IsConnected()) return;
    // A member may detach itself while being released; walk a copy.
    const auto members = members_;
    for (ISessionMember* member : members) member->ReleaseOnDisconnect();
    engine_.Api().SQLDisconnect(dbc_.Get());  // a broken link fails here; the handle goes anyway
    dbc_.Reset();
}

std::vector<ResultSet> DatabaseSession::RunBatch(const std::string& sql, bool keepRows) {
    if (!IsConnected()) throw EDatabaseError(name_, texts::kNotConnected);
    OdbcHandle stmt = engine_.Allocate(SQL_HANDLE_STMT, dbc_.Get());
    std::u16string text = text::Utf8ToUtf16(sql);
    return BatchReader(engine_, stmt.Get(), keepRows).Run(text);
}

void DatabaseSession::Attach(ISessionMember& member) {
    if (std::find(members_.begin(), members_.end(), &member) == members_.end()) members_.push_back(&member);
}

void DatabaseSession::Detach(ISessionMember& member) {
    members_.erase(std::remove(members_.begin(), members_.end(), &member), members_.end());
}

}  // namespace kurdb::db
