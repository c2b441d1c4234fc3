#pragma once
// The database components that the wizard's window declares: the one connection `dbFirma` and
// the statement and procedure components on it, with their lines from the embedded .sql files.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/BatchScript.h"
#include "db/DatabaseSession.h"
#include "db/Engine.h"
#include "db/OdbcEngine.h"
#include "db/ProcedureCall.h"
#include "db/SqlTemplate.h"

namespace kurdb::db {

// The lines of an embedded resource: the file split at "\n", the empty piece after a final
// "\n" dropped. Throws resources::ResourceMissing when it was not embedded.
std::vector<std::string> ResourceLines(std::string_view resource);

class Components {
public:
    // `engine` carries every connection; by default the platform's driver manager. The engine
    // check asks `versionEngine` when one is given (the suite's engine), else `engine`.
    explicit Components(std::unique_ptr<OdbcEngine> engine = std::make_unique<OdbcEngine>(),
                        std::unique_ptr<IEngine> versionEngine = nullptr);
    Components(const Components&) = delete;
    Components& operator=(const Components&) = delete;

    OdbcEngine& Engine() { return *engine_; }

    // `RunScript`(script) through `Query1`.
    void RunScript(const SqlTemplate& script) { db::RunScript(script, Query1); }

private:
    std::unique_ptr<OdbcEngine> engine_;  // first: everything below uses it
    std::unique_ptr<IEngine> versionEngine_;

public:
    DatabaseSession dbFirma;

    SqlTemplate QFirmaDB;
    SqlTemplate QCreateFirmaDB;
    SqlTemplate QCreateFirmalar;
    SqlTemplate QCreateModulGun;
    SqlTemplate QUserBul;
    SqlTemplate QFirmaOku;  // may the connected login read the catalogue for QFirmaTam?
    SqlTemplate QFirmaTam;  // what the companies database and the login hold of the creation
    SqlTemplate Query1;
    SqlTemplate QTarso;  // lines only, bound to no connection

    ProcedureCall StoredProcAdLog;
    ProcedureCall StoredProcDil;
    ProcedureCall StoredPrAdSvrRol;
};

}  // namespace kurdb::db
