#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "shell/Exception.h"
#include "shell/IniFile.h"
#include "shell/Profile.h"

namespace kurdb {
namespace {

bool ReadWhole(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    out = ss.str();
    return true;
}

[[noreturn]] void Fail(const std::string& path, int err) {
    throw EPlatformError("Unable to write to " + path + " (" + std::strerror(err) + ")");
}

// Writes the whole text to a new file beside the target, flushes it to the disk and renames it
// over the target: a crash or a full disk leaves either the old file or the new one, never a
// truncated one.
void ReplaceAtomically(const std::string& path, const std::string& text) {
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) Fail(path, errno);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            ::unlink(tmp.c_str());
            Fail(path, err);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        Fail(path, err);
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        Fail(path, err);
    }
}

class PosixProfileFiles final : public IProfileFiles {
public:
    std::string ReadString(const std::string& path, const std::string& section,
                           const std::string& key, const std::string& fallback) override {
        std::string text;
        if (!ReadWhole(path, text)) return fallback;
        return IniText(text).Get(section, key).value_or(fallback);
    }

    void WriteString(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& value) override {
        std::string text;
        ReadWhole(path, text);
        IniText ini(text);
        ini.Set(section, key, value);
        ReplaceAtomically(path, ini.Text());
    }
};

}  // namespace

std::unique_ptr<IProfileFiles> MakeNativeProfileFiles() {
    return std::make_unique<PosixProfileFiles>();
}

}  // namespace kurdb
