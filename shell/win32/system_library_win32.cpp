#include "shell/win32/SystemLibrary.h"

#include <objbase.h>

#include <string>

#include "shell/win32/WideString.h"

namespace kurdb::win32 {

std::string SystemMessage(DWORD code) {
    wchar_t* buf = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::wstring text = n && buf ? std::wstring(buf, n) : std::wstring();
    if (buf) ::LocalFree(buf);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    if (text.empty()) {
        wchar_t hex[32];
        ::wsprintfW(hex, L"0x%08X", static_cast<unsigned>(code));
        text = hex;
    }
    return Narrow(text);
}

FARPROC SystemProcAddress(const wchar_t* library, const char* name) {
    const HMODULE module = LoadSystemLibrary(library);
    return module ? ::GetProcAddress(module, name) : nullptr;
}

ComScope::ComScope() {
    static const auto initialize = SystemFunction<decltype(::CoInitializeEx)>(L"ole32.dll", "CoInitializeEx");
    // S_FALSE (already initialised here) counts too: each success needs its CoUninitialize.
    initialised_ = initialize && SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED));
}

ComScope::~ComScope() {
    static const auto uninitialize =
        SystemFunction<decltype(::CoUninitialize)>(L"ole32.dll", "CoUninitialize");
    if (initialised_ && uninitialize) uninitialize();
}

}  // namespace kurdb::win32
