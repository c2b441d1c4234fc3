// Where the program's DLLs come from: the system directory, and nowhere else. The wizard is
// downloaded and run with the highest rights from a downloads folder; a DLL that someone placed
// beside it there must never be loaded in place of Windows' own.
//
// The program imports only KERNEL32.dll and msvcrt.dll at load time, which Windows always maps
// from the system directory (known DLLs). Every other system DLL it calls is delay-loaded: the
// first call of one of its functions goes through the hook below, which loads the DLL from the
// system directory by name. RestrictDllSearchToSystem, the first thing the program runs, makes
// the same rule the default for every later load, also for the DLLs that system DLLs load
// themselves (uxtheme, imm32, version, ...). This file is compiled into each program that
// delay-loads (Kurdb.exe, wget.exe, the test programs), so that its hook is the one linked; it
// uses nothing of the C++ library, which wget.exe, built small, does not link.
#include <windows.h>

#include <delayimp.h>

#include "shell/win32/DllSearch.h"

namespace kurdb::win32 {

HMODULE LoadSystemLibrary(const wchar_t* name) {
    HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;
    // Windows 7 without KB2533623 knows no LOAD_LIBRARY_SEARCH_* flag: name the file by its
    // full path in the system directory instead.
    wchar_t path[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    const size_t nameLength = ::lstrlenW(name);
    if (length == 0 || length + 1 + nameLength >= MAX_PATH) return nullptr;
    path[length] = L'\\';
    ::CopyMemory(path + length + 1, name, (nameLength + 1) * sizeof(wchar_t));
    return ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void RestrictDllSearchToSystem() {
    using SetDefaultDllDirectoriesFn = BOOL WINAPI(DWORD);
    // kernel32 is mapped into every process; GetModuleHandleW searches nothing.
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    if (!kernel32) return;
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn*>(
        reinterpret_cast<void*>(::GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void LoadWindowingDllsFromSystem() {
    // Wine's own DLLs delay-load some of theirs through a helper that searches the program's
    // folder whatever the default directories say (Wine 8.0): comctl32 and user32 load
    // uxtheme.dll and msimg32.dll for the first themed window, imm32 loads ole32.dll (and with
    // it combase.dll) when a window is activated. Loaded here from the system directory, the module already
    // in the process is the one they find. On Windows, where the default directories hold for those loads
    // too, this only loads early what the first window would load.
    static const wchar_t* const kNames[] = {L"uxtheme.dll", L"msimg32.dll", L"ole32.dll"};
    for (const wchar_t* name : kNames) LoadSystemLibrary(name);
}

namespace {

FARPROC WINAPI DelayLoadHook(unsigned note, PDelayLoadInfo info) {
    if (note != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
    // The delay-load tables name system DLLs in ASCII.
    wchar_t name[MAX_PATH];
    size_t i = 0;
    for (; info->szDll[i]; ++i) {
        if (i + 1 == MAX_PATH) return nullptr;
        name[i] = static_cast<wchar_t>(static_cast<unsigned char>(info->szDll[i]));
    }
    name[i] = L'\0';
    return reinterpret_cast<FARPROC>(LoadSystemLibrary(name));
}

}  // namespace
}  // namespace kurdb::win32

// The delay-load helper asks this hook before it loads a DLL; a module returned is used as is.
// (<delayimp.h> declares it with C linkage.)
PfnDliHook __pfnDliNotifyHook2 = kurdb::win32::DelayLoadHook;
