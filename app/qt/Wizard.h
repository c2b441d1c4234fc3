#pragma once
// One run of the wizard with the Qt front end, put together in the entry's order: the window
// form host, the program (edition, model, controller), then the window built from the model.
#include <functional>
#include <string>

#include "app/Program.h"
#include "app/Unattended.h"
#include "app/qt/QtFormHost.h"
#include "app/qt/WizardWindow.h"

namespace kurdb::qt {

class Wizard final : public IWalkingWindow {
public:
    // Needs a QApplication. The controller asks `answers` its questions when given (an unattended
    // run), else the window's own form host. Throws what Program throws (kurdb::Exception when
    // the edition cannot be selected); nothing is shown then.
    explicit Wizard(IFormHost* answers = nullptr);
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    // The window's create event, showing it, and its show event.
    void Open();
    // The message loop, until the window has closed; the program's exit code.
    int Exec();
    // Open, `walk` as one run on the worker, and the message loop until the window, closed at the
    // walk's end, is gone.
    void Walk(std::function<void()> walk) override;

    QtFormHost& Host() { return host_; }
    Program& Root() override { return program_; }
    WizardWindow& Window() { return window_; }

private:
    bool styled_ = WizardWindow::PrepareApplicationStyle();
    QtFormHost host_;
    Program program_;
    WizardWindow window_;
};

// The error box for a failure before the window exists, captioned with the application title.
void ShowStartupError(const std::string& message);

}  // namespace kurdb::qt
