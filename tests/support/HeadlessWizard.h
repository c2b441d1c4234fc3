#pragma once
// The wizard without widgets: its form model and controller over the fakes of Fakes.h, on a
// machine without the database engine (the driver manager it names exists nowhere).
#include <memory>
#include <string>
#include <vector>

#include "app/Kurdb.h"
#include "resources/ControlNames.h"
#include "tests/support/Fakes.h"

namespace kurdb::test {

struct HeadlessWizard {
    explicit HeadlessWizard(int edition = 3, std::string exe = "/opt/kurdb/kurdb")
        : database(std::make_unique<db::OdbcEngine>("kurdb-no-such-driver-manager")),
          form(WindowDef::Embedded()),
          ctl(form, window, EditionFor(edition), {platform, profiles, database, registry, processes, links}) {
        platform.exe = std::move(exe);
    }
    HeadlessWizard(const HeadlessWizard&) = delete;
    HeadlessWizard& operator=(const HeadlessWizard&) = delete;

    std::vector<std::string> Log() const { return form.Lines(controls::Memo1); }

    FakePlatform platform;
    MemoryProfiles profiles;
    db::Components database;
    MemoryRegistry registry;
    RecordingProcesses processes;
    RecordingShellLinks links;
    ScriptedWindow window;
    FormModel form;
    TFFirmaDB ctl;
};

}  // namespace kurdb::test
