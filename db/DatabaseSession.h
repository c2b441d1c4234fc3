#pragma once
// The one connection of the wizard, `dbFirma`: five parameter lines, one ODBC connection handle,
// and the components registered on it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/ConnectionState.h"
#include "db/OdbcEngine.h"
#include "db/StatementHost.h"

namespace kurdb::db {

// Seconds a login may take before Connect gives up: the usual default of SQL Server's clients.
inline constexpr int kLoginTimeoutSeconds = 15;

class DatabaseSession final : public IConnectionState, public IStatementHost {
public:
    // `engine` carries the connection and `versionEngine` answers EngineVersion; both must outlive
    // the session.
    DatabaseSession(std::string name, OdbcEngine& engine, IEngine& versionEngine);
    ~DatabaseSession() override;
    DatabaseSession(const DatabaseSession&) = delete;
    DatabaseSession& operator=(const DatabaseSession&) = delete;

    const std::string& Name() const { return name_; }

    // The parameter lines of the last Connect, in order: "SERVER NAME=" + server,
    // "USER NAME=" + user, "PASSWORD=" + password, "LANGDRIVER=", "DATE MODE=1". Empty
    // before the first Connect.
    const std::vector<std::string>& Params() const { return params_; }

    // Replaces the parameter lines (values verbatim) and opens the connection from them through
    // the preferred SQL Server driver, without any dialog. The connection's current database is
    // then the login's default database.
    // Throws EDatabaseError "<name>: Bu işlem açık veritabanında gerçekleştirilemez" when
    // already open (the lines stay as they were); EDBEngineError when the driver manager or a
    // SQL Server driver is missing or the server refuses (the connection stays closed, the new
    // lines stay).
    void Connect(const std::string& server, const std::string& user, const std::string& password);

    // Releases the rows of every registered template, drops every procedure preparation, and
    // closes the connection. Nothing when closed. Never throws.
    void Disconnect();

    bool IsConnected() const override { return static_cast<bool>(dbc_); }

    // The version of the engine the suite needs (see IEngine). Throws EDBEngineError.
    std::uint16_t EngineVersion() { return versionEngine_.EngineVersion(); }

    // IStatementHost: one SQLExecDirectW per batch on the one connection handle, so a `use`
    // in a batch stays in force for the batches after it.
    std::vector<ResultSet> RunBatch(const std::string& sql, bool keepRows) override;
    void Attach(ISessionMember& member) override;
    void Detach(ISessionMember& member) override;

private:
    std::string ParamValue(std::string_view key) const;
    // The server name the driver is given: with FreeTDS, "host\instance" without a port becomes
    // "host,port" from the SQL Server Browser's answer. Throws EDBEngineError naming the
    // instance and the server when no Browser answers for it.
    static std::string ReachableServer(const std::string& driver, const std::string& server);

    std::string name_;
    OdbcEngine& engine_;
    IEngine& versionEngine_;
    std::vector<std::string> params_;
    std::vector<ISessionMember*> members_;
    OdbcHandle dbc_;
};

}  // namespace kurdb::db
