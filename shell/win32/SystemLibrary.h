#pragma once
// DLLs of Windows loaded from the system directory only. The wizard is downloaded and run as
// administrator from a downloads folder; a DLL that someone placed beside it there must never
// be loaded in place of Windows' own.
#include <windows.h>

namespace kurdb::win32 {

// Loads the system DLL `name` (a bare file name such as L"odbc32.dll") from the system
// directory, never from the program's folder, the current folder or PATH. Returns nullptr
// with the system's error code in GetLastError when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Limits the search of every later load in the process (bare names given to LoadLibraryW, the
// DLLs a loaded DLL imports) to the system directory. Call once at start, before anything loads
// a DLL. On a Windows 7 without update KB2533623 the call does not exist and nothing changes;
// LoadSystemLibrary is safe there all the same.
void RestrictDllSearchToSystem();

}  // namespace kurdb::win32
