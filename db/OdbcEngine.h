#pragma once
// The "engine" of the wizard: the ODBC driver manager with a SQL Server driver registered in it.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/Engine.h"
#include "db/Errors.h"
#include "db/OdbcApi.h"
#include "db/OdbcLoader.h"
#include "shell/SharedLibrary.h"

namespace kurdb::db {

// SQL Server drivers in order of preference; the first one registered is used.
inline constexpr std::array<std::string_view, 5> kSqlServerDrivers{
    "ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server", "SQL Server Native Client 11.0",
    "FreeTDS", "SQL Server"};

// An ODBC handle freed by its destructor. Copy deleted, move hands the handle over.
class OdbcHandle {
public:
    OdbcHandle() = default;
    OdbcHandle(const odbc::Api& api, odbc::SQLSMALLINT type, odbc::SQLHANDLE handle)
        : api_(&api), type_(type), handle_(handle) {}
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    OdbcHandle(OdbcHandle&& other) noexcept { *this = std::move(other); }
    OdbcHandle& operator=(OdbcHandle&& other) noexcept;
    ~OdbcHandle() { Reset(); }

    odbc::SQLHANDLE Get() const { return handle_; }
    odbc::SQLSMALLINT Type() const { return type_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void Reset();
    // Gives the handle up without freeing it; the caller frees it.
    odbc::SQLHANDLE Release() {
        const odbc::SQLHANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }

private:
    const odbc::Api* api_ = nullptr;
    odbc::SQLSMALLINT type_ = 0;
    odbc::SQLHANDLE handle_ = nullptr;
};

class OdbcEngine final : public IEngine {
public:
    // Loads `driverManagerLibrary` on first use (not here), so that a missing driver manager is
    // reported by the operation that needs it, and a later call tries again.
    explicit OdbcEngine(std::string driverManagerLibrary = DefaultDriverManagerLibrary());
    // Uses a ready entry-point table and loads nothing.
    explicit OdbcEngine(const odbc::Api& api);
    ~OdbcEngine() override;
    OdbcEngine(const OdbcEngine&) = delete;
    OdbcEngine& operator=(const OdbcEngine&) = delete;

    // The entry points. Throws EDBEngineError when the driver manager cannot be loaded or
    // lacks one of them (the message names it).
    const odbc::Api& Api();

    // The ODBC 3 environment handle, allocated once. Throws EDBEngineError.
    odbc::SQLHENV Environment();

    // Names of all drivers registered with the driver manager, in its order.
    std::vector<std::string> RegisteredDrivers();

    // The first registered driver of kSqlServerDrivers. Throws EDBEngineError when none is.
    std::string SqlServerDriver();

    // The engine's version: the ODBC version that the driver manager implements
    // (SQLGetInfoW SQL_ODBC_VER, "03.80.0000" -> 380; unixODBC 2.3 answers "03.52" -> 352).
    // Throws EDBEngineError when the driver manager cannot be loaded or no SQL Server driver
    // is registered.
    std::uint16_t EngineVersion() override;

    // Every diagnostic record of `handle`.
    std::vector<DiagRecord> Diagnostics(odbc::SQLSMALLINT type, odbc::SQLHANDLE handle);

    // Throws EDBEngineError built from the diagnostic records of `handle`.
    [[noreturn]] void Raise(odbc::SQLSMALLINT type, odbc::SQLHANDLE handle, odbc::SQLRETURN rc);

    // A new handle of `type` under `parent`; throws EDBEngineError on failure.
    OdbcHandle Allocate(odbc::SQLSMALLINT type, odbc::SQLHANDLE parent);

    // A call into the driver goes on after its caller gave up on it (a login that never ends):
    // the environment and the driver manager stay as they are for the rest of the process,
    // also after this engine is gone, so that the call can still return into them.
    void KeepForAbandonedCalls() { keepLoaded_ = true; }

private:
    std::string libraryName_;
    std::unique_ptr<SharedLibrary> library_;
    odbc::Api api_{};
    bool haveApi_ = false;
    OdbcHandle environment_;
    std::atomic<bool> keepLoaded_ = false;
};

// "03.52" or "03.80.0000" -> 352 / 380: major * 100 + minor; 0 when the text is not of that form.
std::uint16_t ParseOdbcVersion(std::string_view text);

}  // namespace kurdb::db
