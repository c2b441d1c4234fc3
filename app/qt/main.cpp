// The wizard's entry on Linux: with options, the unattended run (no window and no display needed,
// or the window walking itself); without, the Qt application, the program with its window, the
// message loop.
#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <QApplication>

#include "app/Unattended.h"
#include "app/qt/Wizard.h"

namespace {

bool HasDisplay() {
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
}

// Overwrites the value of --password= in the program's own arguments, which the process list
// shows to every user of the machine, once the run has its copy. A window of a few microseconds
// stays; the help and the README say to prefer the file or the environment variable.
void HidePasswordFromProcessList(int argc, char** argv) {
    constexpr std::string_view option = "--password=";
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]).substr(0, option.size()) != option) continue;
        for (char* c = argv[i] + option.size(); *c; ++c) *c = 'x';
    }
}

int RunUnattended(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    HidePasswordFromProcessList(argc, argv);
    // Made only when the options ask for the window and there is a display to show it on.
    std::optional<QApplication> app;
    kurdb::UnattendedEnvironment environment;
    environment.variable = [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    environment.print = [](std::string_view text) { std::cerr << text << std::endl; };
    environment.echo = [](std::string_view line) { std::cout << line << std::endl; };
    environment.readStandardInput = []() -> std::optional<std::string> {
        std::string line;
        if (!std::getline(std::cin, line) && line.empty()) return std::nullopt;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    };
    environment.window = [&](kurdb::IFormHost& answers) -> std::unique_ptr<kurdb::IWalkingWindow> {
        if (!HasDisplay()) return nullptr;
        if (!app) app.emplace(argc, argv);
        return std::make_unique<kurdb::qt::Wizard>(&answers);
    };
    return kurdb::UnattendedMain(args, kurdb::OptionStyle::Gnu, environment,
                                 [](const std::string& help) { std::cout << help; });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) return RunUnattended(argc, argv);
    if (!HasDisplay()) {
        std::cerr << "Ekran yok: sihirbaz penceresi açılamaz. Pencere olmadan kurmak için: kurdb --help\n";
        return static_cast<int>(kurdb::ExitCode::BadOptions);
    }
    // fontconfig's first use reads its configuration and font caches, which the window needs
    // before it can lay out a caption. It is thread-safe: read them while Qt connects to the
    // display, on the other core.
    std::thread fonts([] { FcInit(); });
    QApplication app(argc, argv);
    fonts.join();
    std::unique_ptr<kurdb::qt::Wizard> wizard;
    try {
        wizard = std::make_unique<kurdb::qt::Wizard>();
    } catch (const std::exception& e) {
        kurdb::qt::ShowStartupError(e.what());
        return 1;
    }
    wizard->Open();
    return wizard->Exec();
}
