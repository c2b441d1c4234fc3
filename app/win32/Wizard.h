#pragma once
// One run of the wizard with the Win32 front end, put together in the entry's order: the window
// form host, the program (edition, model, controller), then the window built from the model.
#include <windows.h>

#include <functional>
#include <string>

#include "app/Program.h"
#include "app/Unattended.h"
#include "app/win32/Win32FormHost.h"
#include "app/win32/WizardWindow.h"

namespace kurdb::win32 {

class Wizard final : public IWalkingWindow {
public:
    // Needs the common controls initialised. The controller asks `answers` its questions when
    // given (an unattended run), else the window's own form host. Throws what Program throws
    // (kurdb::Exception when the edition cannot be selected) and what the window throws when it
    // cannot be created; nothing is shown then.
    Wizard(HINSTANCE instance, int showCommand, IFormHost* answers = nullptr);
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    // The window's create event, showing it, and its show event.
    void Open();
    // The message loop, until the window has closed; the program's exit code.
    int Exec();
    // Open, `walk` as one run on the worker, and the message loop until the window, closed at the
    // walk's end, is gone.
    void Walk(std::function<void()> walk) override;

    Win32FormHost& Host() { return host_; }
    Program& Root() override { return program_; }
    WizardWindow& Window() { return window_; }

private:
    int showCommand_;
    Win32FormHost host_;
    Program program_;
    WizardWindow window_;
};

// The error box for a failure before the window exists, captioned with the application title.
void ShowStartupError(const std::string& message);

}  // namespace kurdb::win32
