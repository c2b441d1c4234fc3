#pragma once
// Where a program's DLLs come from: the system directory, and nowhere else. Written without the
// C++ library, so that the small wget.exe can link it as Kurdb.exe does.
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

// Loads from the system directory the DLLs that Wine's windowing DLLs load for the first window
// through a helper that searches the program's folder (uxtheme, msimg32, ole32); a program with
// a window calls it right after RestrictDllSearchToSystem.
void LoadWindowingDllsFromSystem();

}  // namespace kurdb::win32
