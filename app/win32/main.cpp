// Program entry of the Windows build: with options, the unattended run; without, the common
// controls, the wizard (composition root and window) and its message loop. COM is initialised
// where it is used (shell links, the shell's "open"), so that ole32.dll is not loaded before the
// window shows.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Unattended.h"
#include "app/win32/Dpi.h"
#include "app/win32/Wizard.h"
#include "shell/CommandLine.h"
#include "base/Exception.h"
#include "shell/win32/SystemLibrary.h"
#include "shell/win32/WideString.h"

namespace {

void InitCommonControls() {
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
}

int Run(HINSTANCE instance, int showCommand) {
    kurdb::win32::EnsureDpiAwareness();
    InitCommonControls();
    std::unique_ptr<kurdb::win32::Wizard> wizard;
    try {
        wizard = std::make_unique<kurdb::win32::Wizard>(instance, showCommand);
    } catch (const kurdb::Exception& e) {
        kurdb::win32::ShowStartupError(e.Message());
        return 1;
    }
    wizard->Open();
    return wizard->Exec();
}

// Writes a message where the one who started the program sees it: the standard output it was
// given (redirected to a file or a pipe), else the console of the command prompt that started it.
// False when there is neither.
bool WriteToStarter(std::string_view text) {
    const std::string line = std::string(text) + "\r\n";
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out && out != INVALID_HANDLE_VALUE && !::GetConsoleMode(out, &mode)) {
        DWORD written = 0;
        return ::WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) != 0;
    }
    static const bool attached = ::AttachConsole(ATTACH_PARENT_PROCESS) != 0;
    if (!attached) return false;
    HANDLE console =
        ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) return false;
    const std::wstring wide = kurdb::win32::Wide(line);
    DWORD written = 0;
    const bool ok =
        ::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
    ::CloseHandle(console);
    return ok;
}

// The command line's options: an unattended run, without a window or with the window walking
// itself. The help goes to the starter's console, or into a message box when there is none.
int RunUnattended(HINSTANCE instance, const std::vector<std::string>& args) {
    kurdb::UnattendedEnvironment environment;
    environment.variable = [](const std::string& name) -> std::optional<std::string> {
        const std::wstring wideName = kurdb::win32::Wide(name);
        const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
        if (size == 0) return std::nullopt;
        std::wstring value(size, L'\0');
        value.resize(::GetEnvironmentVariableW(wideName.c_str(), value.data(), size));
        return kurdb::win32::Narrow(value);
    };
    environment.print = [](std::string_view text) { WriteToStarter(text); };
    environment.window = [instance](kurdb::IFormHost& answers) -> std::unique_ptr<kurdb::IWalkingWindow> {
        kurdb::win32::EnsureDpiAwareness();
        InitCommonControls();
        return std::make_unique<kurdb::win32::Wizard>(instance, SW_SHOWNORMAL, &answers);
    };
    return kurdb::UnattendedMain(args, kurdb::OptionStyle::Windows, environment, [](const std::string& help) {
        if (!WriteToStarter(help))
            ::MessageBoxW(nullptr, kurdb::win32::Wide(help).c_str(), L"Kurdb", MB_OK | MB_ICONINFORMATION);
    });
}

std::vector<std::string> Options() {
    std::vector<std::string> args = kurdb::SplitCommandLine(kurdb::win32::Narrow(::GetCommandLineW()));
    if (!args.empty()) args.erase(args.begin());  // the program
    return args;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // Before anything loads a DLL: a DLL beside the program in a downloads folder is never loaded.
    kurdb::win32::RestrictDllSearchToSystem();
    kurdb::win32::LoadWindowingDllsFromSystem();
    try {
        if (const std::vector<std::string> args = Options(); !args.empty())
            return RunUnattended(instance, args);
        return Run(instance, showCommand);
    } catch (const std::exception& e) {
        kurdb::win32::ShowStartupError(e.what());
        return 1;
    }
}
