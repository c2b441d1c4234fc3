// Shared libraries through LoadLibraryExW. A bare name comes from the system directory only; a
// path names its file, and what that file imports comes from its own folder and the system
// directory, never from the program's folder, the current folder or PATH.
#include <windows.h>

#include "base/Exception.h"
#include "shell/SharedLibrary.h"
#include "shell/win32/SystemLibrary.h"
#include "shell/win32/WideString.h"

namespace kurdb {
namespace {

class Win32Library final : public SharedLibrary {
public:
    Win32Library(std::string name, HMODULE module) : SharedLibrary(std::move(name)), module_(module) {}
    ~Win32Library() override { ::FreeLibrary(module_); }
    void* Symbol(const char* symbol) const override {
        // FARPROC to an object pointer; Function<F> turns it back into the declared type.
        return reinterpret_cast<void*>(::GetProcAddress(module_, symbol));
    }

private:
    HMODULE module_;
};

HMODULE LoadByPath(const std::wstring& path) {
    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr,
                                      LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;
    // Windows 7 without KB2533623 knows no LOAD_LIBRARY_SEARCH_* flag: the library's own folder
    // first, through the altered search order.
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

std::unique_ptr<SharedLibrary> SharedLibrary::Load(const std::string& name) {
    const std::wstring wide = win32::Wide(name);
    const bool bare = wide.find_first_of(L"\\/:") == std::wstring::npos;
    HMODULE module = bare ? win32::LoadSystemLibrary(wide.c_str()) : LoadByPath(wide);
    if (!module) throw ELibraryLoadError(name, win32::SystemMessage(::GetLastError()));
    return std::make_unique<Win32Library>(name, module);
}

}  // namespace kurdb
