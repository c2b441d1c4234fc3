#include "shell/Files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <cstdio>
#include <system_error>

#include "base/Exception.h"
#include "shell/Platform.h"

namespace kurdb::files {
namespace {

namespace fs = std::filesystem;

// From UTF-8 bytes, never through the narrow code page: on Windows a std::string path would be
// read in the ANSI code page and Turkish letters would name another file.
fs::path PathOf(const std::string& utf8) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

}  // namespace

bool IsFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(PathOf(path), ec);
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(PathOf(path), ec);
}

std::optional<std::uintmax_t> FileSize(const std::string& path) {
    std::error_code ec;
    const fs::path p = PathOf(path);
    if (!fs::is_regular_file(p, ec)) return std::nullopt;
    const std::uintmax_t size = fs::file_size(p, ec);
    if (ec) return std::nullopt;
    return size;
}

void RemoveFile(const std::string& path) noexcept {
    std::error_code ec;
    const fs::path p = PathOf(path);
    if (fs::is_regular_file(p, ec)) fs::remove(p, ec);
}

void CreateFileWith(const std::string& path, std::string_view bytes) {
    const fs::path p = PathOf(path);
    auto fail = [&](int err) {
        throw EPlatformError("Cannot create file \"" + path + "\". " + std::strerror(err));
    };
    // C streams, not iostreams: the locale machinery of <fstream> alone would add a third to
    // the size of the Windows program.
    errno = 0;
#ifdef _WIN32
    std::FILE* out = ::_wfopen(p.c_str(), L"wb");
#else
    std::FILE* out = std::fopen(p.c_str(), "wb");
#endif
    if (!out) fail(errno ? errno : EACCES);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    const int writeErr = errno;
    if (std::fclose(out) != 0 || !written) {
        const int err = writeErr ? writeErr : (errno ? errno : EIO);
        std::error_code ec;
        fs::remove(p, ec);
        fail(err);
    }
}

bool IsDirectory(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(PathOf(path), ec);
}

void ForceDirectories(const std::string& path) noexcept {
    const PathRules rules = NativePathRules();
    std::string dir = path;
    if (!dir.empty() && rules.IsSeparator(dir.back())) dir.pop_back();
    if (dir.size() < 3 || IsDirectory(dir)) return;
    std::string parent;
    for (std::size_t i = dir.size(); i-- > 0;) {
        if (rules.IsSeparator(dir[i]) || (rules.windows && dir[i] == ':')) {
            parent = dir.substr(0, i + 1);
            break;
        }
    }
    if (parent != dir) ForceDirectories(parent);
    std::error_code ec;
    fs::create_directory(PathOf(dir), ec);
}

}  // namespace kurdb::files
