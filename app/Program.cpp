#include "app/Program.h"

#include "app/Catalogue.h"
#include "db/Components.h"
#include "shell/Platform.h"
#include "shell/Profile.h"

namespace kurdb {
namespace {

}  // namespace

struct Program::Parts {
    std::unique_ptr<IPlatform> platform = MakeNativePlatform();
    std::unique_ptr<IProfileFiles> profiles = MakeNativeProfileFiles();
    // The connection and the statement components the window declares; the driver manager is
    // loaded on first use, so the window opens on a machine without one.
    db::Components database;
};

Program::Program(IWindowServices& window) : parts_(std::make_unique<Parts>()) {
    const CurrentEdition& edition = SelectEdition(kShippedEdition);
    form_ = std::make_unique<FormModel>(WindowDef::Embedded());
    controller_ = std::make_unique<TFFirmaDB>(
        *form_, window, edition, Services{*parts_->platform, *parts_->profiles, parts_->database.dbFirma});
}

Program::~Program() = default;

}  // namespace kurdb
