#pragma once
// One run of the wizard with the Qt front end, put together in the entry's order: the window
// form host, the program (edition, model, controller), then the window built from the model.
#include "app/Program.h"
#include "app/qt/QtFormHost.h"
#include "app/qt/WizardWindow.h"

namespace kurdb::qt {

class Wizard {
public:
    // Needs a QApplication. Throws what Program throws (kurdb::Exception when the edition cannot
    // be selected); nothing is shown then.
    Wizard();
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    // The window's create event, showing it, and its show event.
    void Open();

    QtFormHost& Host() { return host_; }
    Program& Root() { return program_; }
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
