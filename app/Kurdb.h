#pragma once
// TFFirmaDB: the wizard window's behaviour. It holds the handlers of the window's events and
// works on the form model only; the front end forwards events to it and mirrors the model.
#include <map>
#include <string>
#include <string_view>

#include "app/Catalogue.h"
#include "app/FormModel.h"
#include "app/WindowServices.h"
#include "db/ConnectionState.h"
#include "shell/Platform.h"
#include "shell/Profile.h"

namespace kurdb {

// Everything outside the window that the handlers use; handed in by the program entry or a test.
struct Services {
    const IPlatform& platform;
    IProfileFiles& profiles;
    const db::IConnectionState& connection;
};

class TFFirmaDB {
public:
    TFFirmaDB(FormModel& form, IWindowServices& window, const CurrentEdition& edition,
              Services services);
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

    // The handlers. A nested run (one handler firing another) calls these directly, so an
    // error ends the whole chain.
    void cbTerminalClick();
    void BitBtn1Click();
    void BitBtn2Click();

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
    const CurrentEdition& EditionInUse() const { return edition_; }

private:
    using Handler = void (TFFirmaDB::*)();
    template <typename F> void RunTopLevel(F&& body);
    std::string ReadServerNameAtShow();

    FormModel& form_;
    IWindowServices& window_;
    const CurrentEdition edition_;
    Services services_;
    std::string rememberedServer_;
    std::map<std::string, Handler, std::less<>> handlers_;
};

}  // namespace kurdb
