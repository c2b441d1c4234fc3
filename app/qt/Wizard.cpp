#include "app/qt/Wizard.h"

#include <QApplication>

namespace kurdb::qt {

Wizard::Wizard(IFormHost* answers)
    : program_(answers ? *answers : host_), window_(program_.Form(), program_.Runs(), host_) {
    host_.SetWindow(&window_);
}

void Wizard::Open() {
    program_.Open([this] { window_.show(); });
}

int Wizard::Exec() {
    return QApplication::exec();
}

void Wizard::Walk(std::function<void()> walk) {
    Open();
    program_.Runs().Drive(std::move(walk), [this] { host_.CloseWindow(); });
    Exec();
}

void ShowStartupError(const std::string& message) {
    QtFormHost host;
    kurdb::ShowStartupError(host, message);
}

}  // namespace kurdb::qt
