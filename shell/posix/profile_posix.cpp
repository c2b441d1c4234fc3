#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "shell/Exception.h"
#include "shell/IniFile.h"
#include "shell/Profile.h"
#include "shell/posix/AtomicFile.h"

namespace kurdb {
namespace {

[[noreturn]] void Fail(const std::string& path, int err) {
    throw EPlatformError("Unable to write to " + path + " (" + std::strerror(err) + ")");
}

// The file a write lands in: a symbolic link is followed to its target (the link stays a link);
// a missing file is created where it is named.
std::string WriteTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        std::string out(resolved);
        std::free(resolved);
        return out;
    }
    // a dangling link: the file is made where it points
    std::string target(4096, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0) Fail(path, errno);
    target.resize(static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    if (target.front() != '/' && slash != std::string::npos) target = path.substr(0, slash + 1) + target;
    return target;
}

class PosixProfileFiles final : public IProfileFiles {
public:
    std::string ReadString(const std::string& path, const std::string& section, const std::string& key,
                           const std::string& fallback) override {
        std::string text;
        if (!posix::ReadWholeFile(path, text)) return fallback;
        return IniText(text).Get(section, key).value_or(fallback);
    }

    void WriteString(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& value) override {
        const std::string target = WriteTarget(path);
        std::string text;
        unsigned mode = 0644;
        struct stat st {};
        if (::stat(target.c_str(), &st) == 0) {
            // An existing file is changed only when it may be written and was read whole:
            // replacing a read-only file through the rename, or one whose text could not be
            // read, would lose what it holds. A file without any write permission bit is
            // read-only for everyone, its owner and root included, as the read-only attribute
            // is on Windows.
            if (!S_ISREG(st.st_mode)) Fail(path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
            if ((st.st_mode & 0222) == 0) Fail(path, EACCES);
            if (::access(target.c_str(), W_OK) != 0) Fail(path, errno);
            errno = 0;
            if (!posix::ReadWholeFile(target, text)) Fail(path, errno ? errno : EIO);
            mode = st.st_mode & 07777;
        } else if (errno != ENOENT) {
            Fail(path, errno);
        }
        IniText ini(text);
        ini.Set(section, key, value);
        posix::ReplaceFileAtomically(target, ini.Text(), mode);
    }
};

}  // namespace

std::unique_ptr<IProfileFiles> MakeNativeProfileFiles() {
    return std::make_unique<PosixProfileFiles>();
}

}  // namespace kurdb
