// The driver manager through LoadLibraryExW: odbc32.dll from the system directory only (under Wine,
// its odbc32.dll, which forwards to the host's unixODBC). A file of that name beside the program is
// never loaded.
#include <windows.h>

#include <string>

#include "db/Errors.h"
#include "db/OdbcLoader.h"
#include "shell/Text.h"
#include "shell/win32/SystemLibrary.h"

namespace kurdb::db {
namespace {

class Win32Library final : public SharedLibrary {
public:
    Win32Library(std::string name, HMODULE module) : SharedLibrary(std::move(name)), module_(module) {}
    ~Win32Library() override { ::FreeLibrary(module_); }
    void* Symbol(const char* symbol) const override {
        // FARPROC to an object pointer; the caller turns it back into the right function type.
        return reinterpret_cast<void*>(::GetProcAddress(module_, symbol));
    }

private:
    HMODULE module_;
};

std::string SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string out;
    if (n && buffer) out = text::Utf16ToUtf8(std::u16string(buffer, buffer + n));
    if (buffer) ::LocalFree(buffer);
    out = std::string(text::TrimControl(out));
    if (out.empty()) out = "hata " + std::to_string(code);
    return out;
}

}  // namespace

std::string DefaultDriverManagerLibrary() {
    return "odbc32.dll";
}

std::unique_ptr<SharedLibrary> SharedLibrary::Load(const std::string& name) {
    const std::u16string wide = text::Utf8ToUtf16(name);
    const std::wstring wname(wide.begin(), wide.end());
    // A bare name is a DLL of Windows: from the system directory only. A path names its file.
    const bool bare = wname.find_first_of(L"\\/:") == std::wstring::npos;
    HMODULE module = bare ? win32::LoadSystemLibrary(wname.c_str())
                          : ::LoadLibraryExW(wname.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) {
        const DWORD code = ::GetLastError();
        throw EDBEngineError("ODBC sürücü yöneticisi yüklenemedi (" + name + "): " + SystemMessage(code));
    }
    return std::make_unique<Win32Library>(name, module);
}

}  // namespace kurdb::db
