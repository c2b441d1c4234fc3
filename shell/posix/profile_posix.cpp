#include "shell/Exception.h"
#include "shell/IniFile.h"
#include "shell/Profile.h"
#include "shell/posix/AtomicFile.h"

namespace kurdb {
namespace {

class PosixProfileFiles final : public IProfileFiles {
public:
    std::string ReadString(const std::string& path, const std::string& section,
                           const std::string& key, const std::string& fallback) override {
        std::string text;
        if (!posix::ReadWholeFile(path, text)) return fallback;
        return IniText(text).Get(section, key).value_or(fallback);
    }

    void WriteString(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& value) override {
        std::string text;
        posix::ReadWholeFile(path, text);
        IniText ini(text);
        ini.Set(section, key, value);
        posix::ReplaceFileAtomically(path, ini.Text());
    }
};

}  // namespace

std::unique_ptr<IProfileFiles> MakeNativeProfileFiles() {
    return std::make_unique<PosixProfileFiles>();
}

}  // namespace kurdb
