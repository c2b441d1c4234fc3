#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/Exception.h"
#include "shell/IniFile.h"
#include "shell/Profile.h"
#include "base/Text.h"
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

// A file that starts with the UTF-16LE byte-order mark is read and written back in UTF-16LE,
// as the Windows profile functions do; any other file is taken byte for byte.
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";

struct ProfileText {
    std::string text;
    bool utf16 = false;
};

ProfileText Decode(const std::string& bytes) {
    if (bytes.compare(0, kUtf16LeMark.size(), kUtf16LeMark) != 0) return {bytes, false};
    std::u16string wide;
    for (std::size_t i = kUtf16LeMark.size(); i + 1 < bytes.size(); i += 2)
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             static_cast<unsigned char>(bytes[i + 1]) << 8));
    return {text::Utf16ToUtf8(wide), true};
}

std::string Encode(const ProfileText& profile) {
    if (!profile.utf16) return profile.text;
    std::string bytes(kUtf16LeMark);
    for (const char16_t unit : text::Utf8ToUtf16(profile.text)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

class PosixProfileFiles final : public IProfileFiles {
public:
    std::string ReadString(const std::string& path, const std::string& section, const std::string& key,
                           const std::string& fallback) override {
        std::string bytes;
        if (!posix::ReadWholeFile(path, bytes)) return fallback;
        return IniText(Decode(bytes).text).Get(section, key).value_or(fallback);
    }

    void WriteString(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& value) override {
        const std::string target = WriteTarget(path);
        struct stat st {};
        if (::stat(target.c_str(), &st) != 0) {
            if (errno != ENOENT) Fail(path, errno);
            IniText ini;
            ini.Set(section, key, value);
            posix::ReplaceFileAtomically(target, ini.Text(), 0644);
            return;
        }
        // An existing file is changed only when it may be written and was read whole:
        // replacing a read-only file through the rename, or one whose text could not be
        // read, would lose what it holds. A file without any write permission bit is
        // read-only for everyone, its owner and root included, as the read-only attribute
        // is on Windows.
        if (!S_ISREG(st.st_mode)) Fail(path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        if ((st.st_mode & 0222) == 0) Fail(path, EACCES);
        if (::access(target.c_str(), W_OK) != 0) Fail(path, errno);
        std::string bytes;
        errno = 0;
        if (!posix::ReadWholeFile(target, bytes)) Fail(path, errno ? errno : EIO);
        ProfileText profile = Decode(bytes);
        IniText ini(profile.text);
        ini.Set(section, key, value);
        profile.text = ini.Text();
        posix::ReplaceExistingFile(target, Encode(profile), bytes);
    }
};

}  // namespace

std::unique_ptr<IProfileFiles> MakeNativeProfileFiles() {
    return std::make_unique<PosixProfileFiles>();
}

}  // namespace kurdb
