#pragma once
// DLLs of Windows loaded from the system directory only. The wizard is downloaded and run as
// administrator from a downloads folder; a DLL that someone placed beside it there must never
// be loaded in place of Windows' own.
#include <windows.h>

#include <string>

#include "shell/win32/DllSearch.h"

namespace kurdb::win32 {

// The system's text for the error `code` (a Win32 error or an HRESULT), without its final line
// break; "0x" + the code in hex when the system has no text for it.
std::string SystemMessage(DWORD code);

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
