#include "app/qt/Wizard.h"

#include "app/ErrorBox.h"
#include "shell/Platform.h"

namespace kurdb::qt {

Wizard::Wizard() : program_(services_), window_(program_.Form(), program_.Controller(), services_) {
    services_.SetWindow(&window_);
}

void Wizard::Open() {
    program_.Controller().FormCreate();
    window_.show();
    program_.Controller().FormShow();
}

void ShowStartupError(const std::string& message) {
    QtWindowServices services;
    services.ShowError(ErrorBoxText(message), ApplicationTitle(MakeNativePlatform()->ExecutablePath()));
}

}  // namespace kurdb::qt
