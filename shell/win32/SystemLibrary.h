#pragma once
// DLLs of Windows loaded from the system directory only. The wizard is downloaded and run as
// administrator from a downloads folder; a DLL that someone placed beside it there must never
// be loaded in place of Windows' own.
#include <windows.h>

#include <string>

namespace kurdb::win32 {

// The system's text for the error `code` (a Win32 error or an HRESULT), without its final line
// break; "0x" + the code in hex when the system has no text for it.
std::string SystemMessage(DWORD code);

// Loads the system DLL `name` (a bare file name such as L"odbc32.dll") from the system
// directory, never from the program's folder, the current folder or PATH. Returns nullptr
// with the system's error code in GetLastError when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Limits the search of every later load in the process (bare names given to LoadLibraryW, the
// DLLs a loaded DLL imports) to the system directory. Call once at start, before anything loads
// a DLL. On a Windows 7 without update KB2533623 the call does not exist and nothing changes;
// LoadSystemLibrary is safe there all the same.
void RestrictDllSearchToSystem();

// The function `name` of the system DLL `library`, which is loaded from the system directory on
// the first call and then stays loaded; nullptr when the DLL or the function is not there. For the
// DLLs that only some steps need (shell links, the shell's "open", the download cache, the SQL
// Server Browser): imported, each would be loaded and initialised before the window can show.
// F is the function's type, e.g. decltype(::ShellExecuteW).
FARPROC SystemProcAddress(const wchar_t* library, const char* name);

template <typename F>
F* SystemFunction(const wchar_t* library, const char* name) {
    return reinterpret_cast<F*>(reinterpret_cast<void*>(SystemProcAddress(library, name)));
}

// COM on the calling thread for the lifetime of the object: CoInitializeEx (single-threaded
// apartment) from ole32.dll, loaded on first use, and the matching CoUninitialize. A thread that
// already has an apartment keeps it, of whichever kind.
class ComScope {
public:
    ComScope();
    ~ComScope();
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialised_ = false;
};

}  // namespace kurdb::win32
