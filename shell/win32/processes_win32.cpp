#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include "shell/CommandLine.h"
#include "shell/Processes.h"
#include "shell/win32/SystemLibrary.h"
#include "shell/win32/WideString.h"

namespace kurdb {
namespace {

class Win32Processes final : public IProcesses {
public:
    int RunAndWait(const std::string& commandLine, unsigned short show) override {
        std::wstring line = Wide(commandLine);
        if (line.size() > kMaxCommandLine) return 1;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = show;
        PROCESS_INFORMATION pi{};
        // No application name: the first token names the program, and Windows looks for it in
        // this program's directory first. No current directory: the child starts in ours.
        if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                              CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si, &pi))
            return 1;
        ::WaitForSingleObject(pi.hProcess, INFINITE);
        ::CloseHandle(pi.hProcess);
        ::CloseHandle(pi.hThread);
        return 0;
    }

    void ShellOpen(const std::string& file, const std::string& parameters) override {
        static const auto shellExecute =
            win32::SystemFunction<decltype(::ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
        if (!shellExecute) return;
        const std::wstring wfile = Wide(file);
        const std::wstring wparams = Wide(parameters);
        // The shell may hand the verb to an extension that COM activates.
        const win32::ComScope com;
        shellExecute(::GetActiveWindow(), L"open", wfile.c_str(), wparams.empty() ? nullptr : wparams.c_str(),
                     nullptr, SW_SHOWNORMAL);
    }

    void DeleteUrlCacheEntry(const std::string& url) override {
        static const auto deleteEntry =
            win32::SystemFunction<decltype(::DeleteUrlCacheEntryW)>(L"wininet.dll", "DeleteUrlCacheEntryW");
        if (deleteEntry) deleteEntry(Wide(url).c_str());
    }

private:
    static std::wstring Wide(const std::string& s) { return win32::Wide(s); }
};

}  // namespace

std::unique_ptr<IProcesses> MakeNativeProcesses() {
    return std::make_unique<Win32Processes>();
}

}  // namespace kurdb
