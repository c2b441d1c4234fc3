#include "app/qt/Wizard.h"

namespace kurdb::qt {

Wizard::Wizard() : program_(host_), window_(program_.Form(), program_.Runs(), host_) {
    host_.SetWindow(&window_);
}

void Wizard::Open() {
    program_.Open([this] { window_.show(); });
}

void ShowStartupError(const std::string& message) {
    QtFormHost host;
    kurdb::ShowStartupError(host, message);
}

}  // namespace kurdb::qt
