#include <windows.h>

#include <string>

#include "base/Exception.h"
#include "shell/Profile.h"
#include "shell/win32/WideString.h"

namespace kurdb {
namespace {

// The suite's own programs read the settings file through these same functions, so the wizard
// uses them too: same parsing, same case rules, same encoding of the file.
class Win32ProfileFiles final : public IProfileFiles {
public:
    std::string ReadString(const std::string& path, const std::string& section, const std::string& key,
                           const std::string& fallback) override {
        const std::wstring wpath = win32::Wide(path), wsec = win32::Wide(section), wkey = win32::Wide(key),
                           wdef = win32::Wide(fallback);
        std::wstring buf(256, L'\0');
        for (;;) {
            const DWORD n = ::GetPrivateProfileStringW(wsec.c_str(), wkey.c_str(), wdef.c_str(), buf.data(),
                                                       static_cast<DWORD>(buf.size()), wpath.c_str());
            if (n + 1 < buf.size()) {
                buf.resize(n);
                return win32::Narrow(buf);
            }
            buf.resize(buf.size() * 2);
        }
    }

    void WriteString(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& value) override {
        if (!::WritePrivateProfileStringW(win32::Wide(section).c_str(), win32::Wide(key).c_str(),
                                          win32::Wide(value).c_str(), win32::Wide(path).c_str()))
            throw EPlatformError("Unable to write to " + path);
    }
};

}  // namespace

std::unique_ptr<IProfileFiles> MakeNativeProfileFiles() {
    return std::make_unique<Win32ProfileFiles>();
}

}  // namespace kurdb
