#include "app/qt/Wizard.h"


namespace kurdb::qt {

Wizard::Wizard() : program_(services_), window_(program_.Form(), program_.Controller(), services_) {
    services_.SetWindow(&window_);
}

void Wizard::Open() {
    program_.Open([this] { window_.show(); });
}

void ShowStartupError(const std::string& message) {
    QtWindowServices services;
    kurdb::ShowStartupError(services, message);
}

}  // namespace kurdb::qt
