#pragma once
// TFFirmaDB: the wizard window's behaviour. It holds the handlers of the window's events and
// works on the form model only; the front end forwards events to it and mirrors the model.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "app/Catalogue.h"
#include "app/FormModel.h"
#include "app/FormHost.h"
#include "db/Components.h"
#include "setup/ServerSetup.h"
#include "shell/Platform.h"
#include "shell/Processes.h"
#include "shell/Profile.h"
#include "shell/Registry.h"
#include "shell/Shortcuts.h"

namespace kurdb {

// The items of the radio group "Kurulum Yeri": the machine that hosts the database server
// ("Ana Makine") and a workstation ("Terminal").
inline constexpr int kMainMachine = 0;
inline constexpr int kTerminal = 1;

// Everything outside the window that the handlers use; handed in by the program entry or a test.
struct SystemServices {
    const IPlatform& platform;
    IProfileFiles& profiles;
    // The connection `dbFirma` and the statement components the window declares.
    db::Components& database;
    IRegistry& registry;
    IProcesses& processes;
    IShellLinks& shellLinks;
};

class TFFirmaDB {
public:
    TFFirmaDB(FormModel& form, IFormHost& window, const CurrentEdition& edition, SystemServices system);
    TFFirmaDB(const TFFirmaDB&) = delete;
    TFFirmaDB& operator=(const TFFirmaDB&) = delete;

    // Events from the front end. Each runs its handler to completion with the busy cursor
    // shown; an error that escapes the handler (and every handler it fired) is shown in the
    // error box and the window stays as the handler left it.
    void FormCreate();
    void FormShow();
    // A click on a control: a button, the radio group (after the model holds the new item),
    // or an invisible action button. Controls without a handler do nothing.
    void Click(std::string_view control);
    // Whether a click on `control` runs a handler.
    bool HandlesClick(std::string_view control) const { return handlers_.find(control) != handlers_.end(); }

    // The handlers. A nested run (one handler firing another) calls these directly, so an
    // error ends the whole chain.
    // "Kurulum Yeri" changed: the user name and the companies-database box follow the machine.
    void cbTerminalClick();
    // "İleri" on the first page: engine check, connection, settings, companies database.
    void btnConnectClick();
    // Creates the companies database with its login and tables, then connects again.
    void Btn43Click();
    // Saves the server name in the settings file beside the program.
    void BitBtn1Click();
    // "Son": starts the company-opening program on request and closes the wizard.
    void BitBtn2Click();
    // "İleri" on the second page: the suite's shortcuts and the updater's start.
    void Button1Click();
    // Starts the company-opening program.
    void BitBtn3Click();
    // Starts the suite's updater.
    void BitBtn4Click();

    // The steps behind the first page's handlers.
    void CreateCompaniesDatabase();
    void ProvisionLogin(const std::string& loginName, std::uint8_t createFlag);
    // The Programs folder of the current user; "" when the key or the value is missing.
    void GetProgramsFolder(std::string& folder);

    // Appends text to the report log; a text of several lines makes several lines.
    void LogLine(std::string_view text);
    // Moves the page control one page on (never past the last page).
    void AdvancePage();
    // Runs the handler of a control as a nested call; errors pass to the caller.
    void Fire(std::string_view control);

    // The server name that the settings file holds or that the last connection used.
    const std::string& RememberedServerName() const { return rememberedServer_; }
    void SetRememberedServerName(std::string name) { rememberedServer_ = std::move(name); }
    // Full path of the settings file beside the program.
    std::string SettingsPath() const;
    // The caption of the error box: the application title.
    std::string ApplicationTitle() const;

    FormModel& Form() { return form_; }

private:
    using Handler = void (TFFirmaDB::*)();
    // The engine installer's download and run, asked for from the second failing engine check.
    void OfferEngineInstaller();
    setup::LoginProvisioning Logins();
    // The current edition's companies database, as the creation and its check see it.
    setup::CompaniesDatabase CompaniesTarget() const;
    template <typename F>
    void RunTopLevel(F&& body);
    // Takes the server name from the settings file, keeping the remembered one when the file
    // has none.
    void ReadServerNameAtShow();

    FormModel& form_;
    IFormHost& window_;
    const CurrentEdition edition_;
    SystemServices system_;
    std::string rememberedServer_;
    int createRounds_ = 0;  // companies database creations under way in this press
    std::map<std::string_view, Handler, std::less<>> handlers_;  // keyed by the controls' constants
};

}  // namespace kurdb
