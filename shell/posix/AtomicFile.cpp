#include "shell/posix/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "base/Exception.h"

namespace kurdb::posix {
namespace {

[[noreturn]] void Fail(const std::string& path, int err) {
    throw EPlatformError("Unable to write to " + path + " (" + std::strerror(err) + ")");
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) return false;
    out = ss.str();
    return true;
}

namespace {

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The file beside `path` that is renamed over it; -1 with errno when it cannot be made.
struct NewFile {
    std::string path;
    int fd = -1;
};

// Fills the new file, flushes it and renames it over `path`; removes it on failure.
void Commit(const std::string& path, NewFile& file, const std::string& text) {
    if (!WriteAll(file.fd, text) || ::fsync(file.fd) != 0) {
        const int err = errno;
        ::close(file.fd);
        ::unlink(file.path.c_str());
        Fail(path, err);
    }
    if (::close(file.fd) != 0 || ::rename(file.path.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(file.path.c_str());
        Fail(path, err);
    }
}

void Discard(const std::string& path, NewFile& file, int err) {
    ::close(file.fd);
    ::unlink(file.path.c_str());
    Fail(path, err);
}

NewFile MakeNewFile(const std::string& path) {
    NewFile file{path + ".tmp" + std::to_string(::getpid())};
    file.fd = ::open(file.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    return file;
}

void RewriteInPlace(const std::string& path, const std::string& text, const std::string& oldText) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) Fail(path, errno);
    if (text.size() > oldText.size()) {
        const int err = ::posix_fallocate(fd, 0, static_cast<off_t>(text.size()));
        if (err != 0) {
            ::close(fd);
            Fail(path, err);
        }
    }
    if (!WriteAll(fd, text) || ::ftruncate(fd, static_cast<off_t>(text.size())) != 0 || ::fsync(fd) != 0) {
        const int err = errno;
        if (WriteAll(fd, oldText)) (void)!::ftruncate(fd, static_cast<off_t>(oldText.size()));
        ::close(fd);
        Fail(path, err);
    }
    if (::close(fd) != 0) Fail(path, errno);
}

}  // namespace

void ReplaceFileAtomically(const std::string& path, const std::string& text, unsigned mode) {
    NewFile file = MakeNewFile(path);
    if (file.fd < 0) Fail(path, errno);
    if (::fchmod(file.fd, static_cast<mode_t>(mode)) != 0) Discard(path, file, errno);
    Commit(path, file, text);
}

void ReplaceExistingFile(const std::string& path, const std::string& text, const std::string& oldText) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) Fail(path, errno);
    NewFile file = MakeNewFile(path);
    if (file.fd < 0) {
        if (errno != EACCES && errno != EPERM) Fail(path, errno);
        RewriteInPlace(path, text, oldText);
        return;
    }
    if (::fchown(file.fd, st.st_uid, st.st_gid) != 0) {
        if (errno != EPERM) Discard(path, file, errno);
        ::close(file.fd);
        ::unlink(file.path.c_str());
        RewriteInPlace(path, text, oldText);
        return;
    }
    if (::fchmod(file.fd, st.st_mode & 07777) != 0) Discard(path, file, errno);
    Commit(path, file, text);
}

}  // namespace kurdb::posix
