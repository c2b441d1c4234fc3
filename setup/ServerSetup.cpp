#include "setup/ServerSetup.h"

#include <algorithm>
#include <utility>

#include "base/Exception.h"
#include "shell/Files.h"
#include "shell/Payloads.h"

namespace kurdb::setup {

void CorrectEngineSettings(IRegistry& registry) {
    const std::string key(kEngineSettingsKey);
    if (!RegKeyExists(registry, key)) return;
    for (const EngineSetting& setting : kEngineSettings) {
        const std::string name(setting.name);
        if (RegReadString(registry, key, name) != setting.required)
            RegWriteString(registry, key, name, std::string(setting.required));
    }
}

std::string ClientLibraryPath(const IPlatform& platform) {
    const std::string system = platform.SystemDirectory();
    if (system.empty()) return {};
    return NativePathRules().IncludeTrailingSeparator(system) + std::string(kClientLibraryPayload);
}

bool PlaceClientLibrary(const std::string& path) {
    if (path.empty()) return true;
    if (WritePayloadIfAbsent(kClientLibraryPayload, path)) return true;
    return files::IsFile(path);
}

LoginProvisioning::LoginProvisioning(db::Components& db, LogFn log, std::string applicationLogin,
                                     std::string applicationPassword)
    : db_(db),
      log_(std::move(log)),
      login_(std::move(applicationLogin)),
      password_(std::move(applicationPassword)) {}

void LoginProvisioning::ProvisionLogin(const std::string& loginName, std::uint8_t createFlag) {
    // 1. Does the login exist? A count of 2 or more counts as found, like 1.
    db_.QUserBul.SetParam("Uadi", login_);
    db_.QUserBul.OpenRows();
    const bool found = db_.QUserBul.FieldAsInteger("VAR") > 0;
    db_.QUserBul.CloseRows();
    if (found) {
        log_("Sql Kullanıcısı Mevcut :" + loginName);
        createFlag = 0;
    }

    // 2. The language is always Turkish: the server's own name for its language 22 would not
    //    change what is sent, so it is not asked for.
    const std::string language(kLoginLanguage);

    // 3. Create, or bring an existing login to Turkish.
    if (createFlag == 1) {
        db_.StoredProcAdLog.SetParam("@loginame", login_);
        db_.StoredProcAdLog.SetParam("@passwd", password_);
        db_.StoredProcAdLog.SetParam("@defdb", "master");
        db_.StoredProcAdLog.SetParam("@deflanguage", language);
        db_.StoredProcAdLog.Prepare();
        db_.StoredProcAdLog.Execute();
        log_("Sql Kullanıcısı Açıldı :" + loginName);
    } else {
        db_.StoredProcDil.SetParam("@loginame", login_);
        db_.StoredProcDil.SetParam("@language", language);
        db_.StoredProcDil.Prepare();
        db_.StoredProcDil.Execute();
    }

    // 4. The roles, in order.
    for (const std::string_view role : kServerRoles) AddRoleMember(login_, std::string(role));
}

void LoginProvisioning::AddRoleMember(const std::string& loginName, const std::string& roleName) {
    db_.StoredPrAdSvrRol.SetParam("@loginame", loginName);
    db_.StoredPrAdSvrRol.SetParam("@rolename", roleName);
    db_.StoredPrAdSvrRol.Prepare();
    db_.StoredPrAdSvrRol.Execute();
    log_(loginName + " kullanıcısına " + roleName + " rolü verildi");
}

void ReplaceLine(db::SqlTemplate& statement, const ReplacedLine& line, std::string text) {
    if (statement.Name() != line.file)
        throw EProgramFault("the line " + std::to_string(line.index) + " of " + std::string(line.file) +
                            " replaced in " + statement.Name());
    statement.SetLine(line.index, std::move(text));
}

void NameModuleTable(db::SqlTemplate& statement, const std::string& module) {
    statement.SetParam("Modul", module);
    ReplaceLine(statement, kModuleTableLine, "[dbo].[" + module + "]");
    ReplaceLine(statement, kModuleKeyTableLine, "[dbo].[" + module + "]");
    ReplaceLine(statement, kModuleKeyNameLine, "[PK_" + module + "]");
}

void CreateCompaniesDatabase(db::Components& db, const CompaniesDatabase& target, const LogFn& log,
                             const std::function<void()>& provisionLogin) {
    const std::string& name = target.name;

    // A. The database and its companies table.
    try {
        db.QCreateFirmaDB.SetParam("FirmaDB", name);
        ReplaceLine(db.QCreateFirmaDB, kCreateDatabaseLine, " CREATE DATABASE " + name);
        db.QCreateFirmaDB.Execute();
        ReplaceLine(db.QCreateFirmalar, kCompaniesTableUseLine, "USE " + name);
        db.QCreateFirmalar.Execute();
    } catch (const Exception& e) {
        log(std::string("Hata:") + e.what());
    }

    // B. The application login.
    try {
        provisionLogin();
    } catch (const Exception& e) {
        log(std::string("Hata:") + e.what());
    }

    // C. One versioned table per program of the suite. Not guarded: without them the suite
    //    cannot run, so an error ends the creation and is shown.
    ReplaceLine(db.QCreateModulGun, kModuleUseLine, "USE " + name);
    for (int slot = 0; slot < target.moduleCount; ++slot) {
        const std::string& module = target.modules[static_cast<std::size_t>(slot)];
        NameModuleTable(db.QCreateModulGun, module);
        db.QCreateModulGun.Execute();
        log(module + " tablosu oluşturuldu.");
    }

    // D. Edition 18's larger schema, in the database that C's "USE" line made current.
    if (target.edition == kSchemaEdition) {
        try {
            db.RunScript(db.QTarso);
            log("Tablolar oluşturuldu.");
        } catch (const Exception& e) {
            log(std::string("Tablolar Hata:") + e.what());
        }
    }
}

std::vector<std::string> TablesCreatedBy(const db::SqlTemplate& script) {
    static constexpr std::string_view kCreate = "CREATE TABLE [dbo].[";
    std::vector<std::string> tables;
    for (const std::string& line : script.Lines()) {
        const auto at = line.find(kCreate);
        if (at == std::string::npos) continue;
        const auto start = at + kCreate.size();
        const auto end = line.find(']', start);
        if (end != std::string::npos) tables.push_back(line.substr(start, end - start));
    }
    return tables;
}

namespace {

// The names as one text that CHARINDEX can search: ",A,B,".
std::string NameList(const std::vector<std::string>& names) {
    std::string list = ",";
    for (const std::string& name : names) list += name + ",";
    return list;
}

}  // namespace

Completeness CheckCompaniesDatabase(db::Components& db, const CompaniesDatabase& target,
                                    const std::string& login) {
    db.QFirmaOku.OpenRows();
    const bool readable = db.QFirmaOku.FieldAsInteger("OKUR") == 1;
    db.QFirmaOku.CloseRows();
    if (!readable) return Completeness::Unread;

    std::vector<std::string> modules;  // each name once: a slot may repeat another's table
    for (int slot = 0; slot < target.moduleCount; ++slot) {
        const std::string& module = target.modules[static_cast<std::size_t>(slot)];
        if (std::find(modules.begin(), modules.end(), module) == modules.end()) modules.push_back(module);
    }
    const std::vector<std::string> schema =
        target.edition == kSchemaEdition ? TablesCreatedBy(db.QTarso) : std::vector<std::string>{};
    ReplaceLine(db.QFirmaTam, kCheckUseLine, "USE " + target.name);
    db.QFirmaTam.SetParam("Moduller", NameList(modules));
    db.QFirmaTam.SetParam("Tablolar", NameList(schema));
    db.QFirmaTam.SetParam("Login", login);
    db.QFirmaTam.OpenRows();
    const bool complete = db.QFirmaTam.FieldAsInteger("FIRMALAR") == 2 &&
                          db.QFirmaTam.FieldAsInteger("MODUL") == static_cast<int>(modules.size()) &&
                          db.QFirmaTam.FieldAsInteger("SEMA") == static_cast<int>(schema.size()) &&
                          db.QFirmaTam.FieldAsInteger("KULLANICI") == 1;
    db.QFirmaTam.CloseRows();
    return complete ? Completeness::Complete : Completeness::Incomplete;
}

}  // namespace kurdb::setup
