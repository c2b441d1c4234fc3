// Program entry of the Windows build: the common controls, the composition root, the wizard
// window and its message loop. COM is initialised where it is used (shell links, the shell's
// "open"), so that ole32.dll is not loaded before the window shows.
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "app/Program.h"
#include "app/win32/Dpi.h"
#include "app/win32/Win32FormHost.h"
#include "app/win32/WizardWindow.h"
#include "shell/Exception.h"
#include "shell/win32/SystemLibrary.h"

namespace {

int Run(HINSTANCE instance, int showCommand) {
    kurdb::win32::EnsureDpiAwareness();
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    kurdb::win32::Win32FormHost host;
    std::unique_ptr<kurdb::Program> program;
    try {
        program = std::make_unique<kurdb::Program>(host);
    } catch (const kurdb::Exception& e) {
        kurdb::ShowStartupError(host, e.Message());
        return 1;
    }

    kurdb::win32::WizardWindow window(program->Form(), program->Runs(), host, instance);
    host.SetOwner(window.Handle());
    program->Open([&] { window.Show(showCommand); });

    MSG msg;
    BOOL got;
    while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) return 1;
        if (window.PreTranslate(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // Before anything loads a DLL: a DLL beside the program in a downloads folder is never loaded.
    kurdb::win32::RestrictDllSearchToSystem();
    try {
        return Run(instance, showCommand);
    } catch (const std::exception& e) {
        kurdb::win32::Win32FormHost host;
        kurdb::ShowStartupError(host, e.what());
        return 1;
    }
}
