#pragma once
// The unattended run: the wizard's own handlers, fired in the pages' order over a form model that
// the command line fills, with the dialogs answered from the options, the report lines written to
// a log file with time stamps, and an exit code for the outcome.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/FormHost.h"
#include "app/Options.h"

namespace kurdb {

class Program;

// What an unattended run ends with, one code per outcome.
enum class ExitCode : int {
    Done = 0,
    BadOptions = 1,  // also an unreadable password file or log file
    EngineMissing = 2,
    ConnectionFailed = 3,
    CreationIncomplete = 4,
    SettingsNotSaved = 5,
    WorkstationFailed = 6,  // shortcuts, updater or company-opening program
    UnansweredQuestion = 7,
    Unexpected = 8,
};

// The form host of a run without a window: it answers the engine installer's two questions from
// the options, refuses (and records) any other question, and records the error box.
class UnattendedHost : public IFormHost {
public:
    using Writer = std::function<void(std::string_view line)>;
    UnattendedHost(bool engineInstall, Writer log) : engineInstall_(engineInstall), log_(std::move(log)) {}

    bool Confirm(const std::string& question) override;
    void ShowError(const std::string& text, const std::string& caption) override;
    void SetBusy(bool) override {}
    void CloseWindow() override { closed_ = true; }

    // The error box's text since the last TakeError, if one was shown.
    std::optional<std::string> TakeError();
    bool Unanswered() const { return unanswered_; }
    bool Closed() const { return closed_; }

private:
    bool engineInstall_;
    Writer log_;
    std::optional<std::string> error_;
    bool unanswered_ = false;
    bool closed_ = false;
};

// The wizard's window in a run that shows it walking itself (/SILENT): a front end's window over
// its own program, whose controller asks the run's form host its questions.
class IWalkingWindow {
public:
    virtual ~IWalkingWindow() = default;
    // The program the window shows.
    virtual Program& Root() = 0;
    // Opens the window (its create event, showing it, its show event), runs `walk` on the
    // program's worker as one run (the window repaints; presses are dropped) and runs the message
    // loop until the window has closed, which it does when the walk has ended.
    virtual void Walk(std::function<void()> walk) = 0;
};

// What the program entry hands the run: where its messages go (a console, standard error), where
// the log lines also go (standard output on Linux; nowhere on Windows, whose program has no
// console of its own), how it reads the environment and standard input.
struct UnattendedEnvironment {
    std::function<std::optional<std::string>(const std::string& name)> variable;
    std::function<void(std::string_view text)> print;               // may be empty
    std::function<void(std::string_view line)> echo;                // may be empty
    std::function<std::optional<std::string>()> readStandardInput;  // may be empty
    // Makes the walking window over `answers`; empty, or null from it, when no window can be shown
    // (no display): the run then goes on without one.
    std::function<std::unique_ptr<IWalkingWindow>(IFormHost& answers)> window;
};

// Runs the wizard without a window as the options say and returns the exit code. The options are
// already parsed and are not a help request.
ExitCode RunUnattended(const UnattendedOptions& options, const UnattendedEnvironment& environment);

// The entry's whole unattended path for the arguments after the program's name: parse, help,
// run. `showHelp` shows the help where the platform shows it (a console or a message box).
int UnattendedMain(const std::vector<std::string>& args, OptionStyle style,
                   const UnattendedEnvironment& environment,
                   const std::function<void(const std::string& help)>& showHelp);

// The time stamp of a log line: local time as "2026-12-09 04:35:31".
std::string LogTimeStamp();

}  // namespace kurdb
