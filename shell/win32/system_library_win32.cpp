#include "shell/win32/SystemLibrary.h"

#include <objbase.h>

#include <string>

#include "shell/win32/WideString.h"

namespace kurdb::win32 {

std::string SystemMessage(DWORD code) {
    wchar_t* buf = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::wstring text = n && buf ? std::wstring(buf, n) : std::wstring();
    if (buf) ::LocalFree(buf);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    if (text.empty()) {
        wchar_t hex[32];
        ::wsprintfW(hex, L"0x%08X", static_cast<unsigned>(code));
        text = hex;
    }
    return Narrow(text);
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;
    // Windows 7 without KB2533623 knows no LOAD_LIBRARY_SEARCH_* flag: name the file by its
    // full path in the system directory instead.
    wchar_t directory[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(directory, length) + L"\\" + name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void RestrictDllSearchToSystem() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    // kernel32 is mapped into every process; GetModuleHandleW searches nothing.
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    if (!kernel32) return;
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
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
