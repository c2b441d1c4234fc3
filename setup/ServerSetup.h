#pragma once
// The server steps of the first page, free of any window: the engine's registry settings, the
// client library, the application login and the companies database. The wizard window calls
// them from its handlers and gives them its report log.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "db/Components.h"
#include "shell/Platform.h"
#include "shell/Registry.h"

namespace kurdb::setup {

// Appends one line to the report log.
using LogFn = std::function<void(std::string_view)>;

// The engine's shared settings, below HKEY_LOCAL_MACHINE\SOFTWARE\.
inline constexpr std::string_view kEngineSettingsKey = "Borland\\Database Engine\\Settings\\System\\INIT";
struct EngineSetting {
    std::string_view name;
    std::string_view required;
};
inline constexpr std::array<EngineSetting, 6> kEngineSettings{{
    {"MAXBUFSIZE", "32768"},
    {"MAXFILEHANDLES", "128"},
    {"MEMSIZE", "128"},
    {"MINBUFSIZE", "64"},
    {"SHAREDMEMLOCATION", "0x5BDE"},
    {"SHAREDMEMSIZE", "16384"},
}};

// When the settings key opens with full access, reads each setting in order and writes the
// required text where the value differs from it (letter case counts). Nothing, and no report,
// when the key is missing or does not open for writing. Registry errors ("Invalid data type",
// "Failed to set data") pass to the caller.
void CorrectEngineSettings(IRegistry& registry);

// The client library's path: the system directory with a trailing separator + "ntwdblib.dll";
// "" where the platform has no system directory.
std::string ClientLibraryPath(const IPlatform& platform);

// Writes the client library carried by the program to `path` unless a file is there already.
// Nothing for an empty path (no system directory). False when no file is at `path` and this
// build carries no client library to put there. Throws EPlatformError "Cannot create file ..."
// when the file cannot be made.
bool PlaceClientLibrary(const std::string& path);

// The report line for a client library that is neither on the machine nor in the program.
inline constexpr std::string_view kClientLibraryMissing = "ntwdblib.dll bulunamadı, kurulması gerekiyor!";

// The fixed server roles the application login is given, in the order they are granted.
inline constexpr std::array<std::string_view, 8> kServerRoles{"sysadmin",      "diskadmin",   "dbcreator",
                                                              "securityadmin", "serveradmin", "setupadmin",
                                                              "processadmin",  "bulkadmin"};

// The language every application login gets as its default.
inline constexpr std::string_view kLoginLanguage = "Turkish";

// The application login's existence check, creation or language update, and its roles.
class LoginProvisioning {
public:
    LoginProvisioning(db::Components& db, LogFn log, std::string applicationLogin,
                      std::string applicationPassword);

    // Finds the application login (QUserBul); creates it with the application password, default
    // database master and language Turkish when it is missing and `createFlag` is exactly 1,
    // otherwise sets its default language to Turkish; then grants the eight roles in order.
    // `loginName` is used only in the log lines. The first error of a statement passes to the
    // caller; lines logged before it stay.
    void ProvisionLogin(const std::string& loginName, std::uint8_t createFlag);

private:
    // Grants `roleName` to `loginName` and logs it.
    void AddRoleMember(const std::string& loginName, const std::string& roleName);

    db::Components& db_;
    LogFn log_;
    std::string login_;
    std::string password_;
};

// The one edition whose companies database gets the extended schema (and whose program group,
// settings and window differ in small ways).
inline constexpr int kSchemaEdition = 18;

// What the companies database of one edition is made of.
struct CompaniesDatabase {
    int edition = 0;
    std::string name;
    int moduleCount = 0;
    std::array<std::string, 12> modules;
};

// What a look at the server found of the companies database that the creation makes.
enum class Completeness {
    Complete,    // every object is there
    Incomplete,  // something is missing: running the creation again makes it
    Unread,      // the connected login may not read the catalogue; taken as complete
};

// The tables that a schema script creates ("CREATE TABLE [dbo].[NAME]"), in order.
std::vector<std::string> TablesCreatedBy(const db::SqlTemplate& script);

// Looks, on the open connection, for every object the creation makes in `target` (which must
// exist): FIRMALAR with its two indexes, each module table with its primary key PK_<name>, in
// edition 18 the extended schema's tables, and the login `login` with a default database the
// server holds, the default language Turkish and all eight server roles. Only a sysadmin sees
// all of that; for any other login the answer is Unread. Leaves the companies database current.
// Errors of the statements pass to the caller.
Completeness CheckCompaniesDatabase(db::Components& db, const CompaniesDatabase& target,
                                    const std::string& login);

// A line of an embedded statement file (resources/sql/<file>.sql) that the creation and the check
// replace whole: its index from 0 and the text the file holds there. The unit tests hold every
// file to these texts, so a line that moves in a .sql file fails them instead of sending a
// batch with the wrong line replaced.
struct ReplacedLine {
    std::string_view file;
    int index;
    std::string_view original;
};
inline constexpr ReplacedLine kCreateDatabaseLine{"QCreateFirmaDB", 3, "  CREATE DATABASE FirmaDB"};
inline constexpr ReplacedLine kCompaniesTableUseLine{"QCreateFirmalar", 0, "use FirmaDB"};
inline constexpr ReplacedLine kModuleUseLine{"QCreateModulGun", 0, "use FirmaDB  --0"};
inline constexpr ReplacedLine kModuleTableLine{"QCreateModulGun", 6, "[dbo].[GUNCELALVEN]  --6"};
inline constexpr ReplacedLine kModuleKeyTableLine{"QCreateModulGun", 14, "[dbo].[GUNCELALVEN]  --14"};
inline constexpr ReplacedLine kModuleKeyNameLine{"QCreateModulGun", 16, "[PK_GUNCELALVEN]   --16"};
inline constexpr ReplacedLine kCheckUseLine{"QFirmaTam", 0, "use FirmaDB  --0"};
inline constexpr std::array<ReplacedLine, 7> kReplacedLines{
    kCreateDatabaseLine, kCompaniesTableUseLine, kModuleUseLine, kModuleTableLine,
    kModuleKeyTableLine, kModuleKeyNameLine,     kCheckUseLine};

// Puts `text` in place of the line that `line` names. Throws EProgramFault when `statement` is
// not the file that the line belongs to.
void ReplaceLine(db::SqlTemplate& statement, const ReplacedLine& line, std::string text);

// Names the module table that `QCreateModulGun` makes: `module` on its marker, its table lines
// and its key's name (PK_<module>).
void NameModuleTable(db::SqlTemplate& statement, const std::string& module);

// Creates the companies database on the open connection, each object only when missing:
//  A. the database and its FIRMALAR table (an error logs "Hata:" + message and goes on with B);
//  B. `provisionLogin` (an error logs "Hata:" + message and goes on with C);
//  C. one module table per slot in order, each logged; an error passes to the caller at once;
//  D. in edition 18 the extended schema script, on the database C left current ("Tablolar
//     oluşturuldu.", or "Tablolar Hata:" + message).
void CreateCompaniesDatabase(db::Components& db, const CompaniesDatabase& target, const LogFn& log,
                             const std::function<void()>& provisionLogin);

}  // namespace kurdb::setup
