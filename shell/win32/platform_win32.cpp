#include <windows.h>

#include <string>

#include "shell/win32/WideString.h"
#include "shell/win32/Win32Platform.h"

namespace kurdb {

std::string Win32Platform::ExecutablePath() const {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n < buf.size()) {
            buf.resize(n);
            return win32::Narrow(buf);
        }
        buf.resize(buf.size() * 2);
    }
}

std::string Win32Platform::SystemDirectory() const {
    wchar_t buf[MAX_PATH + 1];
    // The 32-bit one: SysWOW64 on 64-bit Windows, whatever the word size of this process (no
    // file-system redirection is relied on); System32 on 32-bit Windows, which has no WOW64.
    UINT n = ::GetSystemWow64DirectoryW(buf, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) n = ::GetSystemDirectoryW(buf, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return {};
    return win32::Narrow(std::wstring_view(buf, n));
}

std::unique_ptr<IPlatform> MakeNativePlatform() {
    return std::make_unique<Win32Platform>();
}

}  // namespace kurdb
