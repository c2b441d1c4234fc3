#include "app/Program.h"

#include "app/Catalogue.h"
#include "app/ErrorBox.h"
#include "db/BdeEngine.h"
#include "db/Components.h"
#include "shell/Platform.h"
#include "shell/Processes.h"
#include "shell/Profile.h"
#include "shell/Registry.h"
#include "shell/Shortcuts.h"

namespace kurdb {

struct Program::Services {
    std::unique_ptr<IPlatform> platform = MakeNativePlatform();
    std::unique_ptr<IProfileFiles> profiles = MakeNativeProfileFiles();
    std::unique_ptr<IRegistry> registry = MakeNativeRegistry();
    std::unique_ptr<IProcesses> processes = MakeNativeProcesses();
    std::unique_ptr<IShellLinks> shellLinks = MakeNativeShellLinks();
    // The connection and the statement components the window declares; the driver manager and
    // the suite's engine are loaded on first use, so the window opens on a machine without them.
    db::Components database{std::make_unique<db::OdbcEngine>(), db::MakePlatformEngine(*registry)};
};

Program::Program(IFormHost& window) : services_(std::make_unique<Services>()) {
    const CurrentEdition edition = EditionFor(kShippedEdition);
    form_ = std::make_unique<FormModel>(WindowDef::Embedded());
    runs_ = std::make_unique<HandlerRunner>(window);
    controller_ = std::make_unique<TFFirmaDB>(
        *form_, runs_->HandlerHost(), edition,
        SystemServices{*services_->platform, *services_->profiles, services_->database, *services_->registry,
                       *services_->processes, *services_->shellLinks});
    runs_->Attach(*controller_);
}

Program::~Program() {
    // A run still going on ends before the controller and the services it uses go.
    runs_.reset();
}

void Program::Open(const std::function<void()>& show) {
    controller_->FormCreate();
    show();
    controller_->FormShow();
}

void ShowStartupError(IFormHost& window, const std::string& message) {
    window.ShowError(ErrorBoxText(message), ApplicationTitle(MakeNativePlatform()->ExecutablePath()));
}

}  // namespace kurdb
