#pragma once
// The one connection of the wizard, `dbFirma`: five parameter lines, one ODBC connection handle,
// and the components registered on it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/ConnectionState.h"
#include "db/OdbcEngine.h"
#include "db/StatementConnection.h"

namespace kurdb::db {

// What a connection is opened with, besides the password.
struct ConnectionSettings {
    std::string server;
    std::string user;
};

// Seconds a login may take before Connect gives up: the usual default of SQL Server's clients.
inline constexpr int kLoginTimeoutSeconds = 15;
// What Connect allows beyond it before it stops waiting for a driver that does not keep it.
inline constexpr int kLoginMarginSeconds = 2;

class DatabaseSession final : public IConnectionState, public IStatementConnection {
public:
    // `engine` carries the connection and `versionEngine` answers EngineVersion; both must outlive
    // the session.
    DatabaseSession(std::string name, OdbcEngine& engine, IEngine& versionEngine);
    ~DatabaseSession() override;
    DatabaseSession(const DatabaseSession&) = delete;
    DatabaseSession& operator=(const DatabaseSession&) = delete;

    const std::string& Name() const { return name_; }

    // The server and user of the last Connect (both empty before the first). The password is
    // held only while Connect runs.
    const ConnectionSettings& Settings() const { return settings_; }

    // The engine's parameter list of the last Connect, in order: "SERVER NAME=" + server,
    // "USER NAME=" + user, "PASSWORD=" (its value is not kept), "LANGDRIVER=", "DATE MODE=1".
    // Empty before the first Connect.
    std::vector<std::string> ConnectionParameters() const;

    // Takes the settings (values verbatim) and opens the connection from them through the
    // preferred SQL Server driver, without any dialog. The connection's current database is
    // then the login's default database.
    // Throws EDatabaseError "<name>: Bu işlem açık veritabanında gerçekleştirilemez" when
    // already open (the settings stay as they were); EDBEngineError when the driver manager or a
    // SQL Server driver is missing or the server refuses (the connection stays closed, the new
    // settings stay). A server that has not completed the login within kLoginTimeoutSeconds (and
    // kLoginMarginSeconds more at most, whatever the driver does) gives EDBEngineError with
    // texts::kServerNoAnswer.
    void Connect(const std::string& server, const std::string& user, const std::string& password);

    // Releases the rows of every registered template, drops every procedure preparation, and
    // closes the connection. Nothing when closed. Never throws.
    void Disconnect();

    bool IsConnected() const override { return static_cast<bool>(dbc_); }

    // The version of the engine the suite needs (see IEngine). Throws EDBEngineError.
    std::uint16_t EngineVersion() { return versionEngine_.EngineVersion(); }

    // IStatementConnection: one SQLExecDirectW per batch on the one connection handle, so a `use`
    // in a batch stays in force for the batches after it.
    std::vector<ResultSet> RunBatch(const std::string& sql, bool keepRows) override;
    void Attach(ISessionMember& member) override;
    void Detach(ISessionMember& member) override;

private:
    // The server name the driver is given: with FreeTDS, "host\instance" without a port becomes
    // "host,port" from the SQL Server Browser's answer. Throws EDBEngineError naming the
    // instance and the server when no Browser answers for it.
    static std::string ReachableServer(const std::string& driver, const std::string& server);

    std::string name_;
    OdbcEngine& engine_;
    IEngine& versionEngine_;
    ConnectionSettings settings_;
    bool connectedOnce_ = false;
    std::vector<ISessionMember*> members_;
    OdbcHandle dbc_;
};

}  // namespace kurdb::db
