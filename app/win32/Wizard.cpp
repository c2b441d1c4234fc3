#include "app/win32/Wizard.h"

namespace kurdb::win32 {

Wizard::Wizard(HINSTANCE instance, int showCommand, IFormHost* answers)
    : showCommand_(showCommand),
      program_(answers ? *answers : host_),
      window_(program_.Form(), program_.Runs(), host_, instance) {
    host_.SetOwner(window_.Handle());
}

void Wizard::Open() {
    program_.Open([this] { window_.Show(showCommand_); });
}

int Wizard::Exec() {
    MSG msg;
    BOOL got;
    while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) return 1;
        if (window_.PreTranslate(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void Wizard::Walk(std::function<void()> walk) {
    Open();
    program_.Runs().Drive(std::move(walk), [this] { host_.CloseWindow(); });
    Exec();
}

void ShowStartupError(const std::string& message) {
    Win32FormHost host;
    kurdb::ShowStartupError(host, message);
}

}  // namespace kurdb::win32
