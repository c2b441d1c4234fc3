#include "shell/Files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "shell/Exception.h"

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
    errno = 0;
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    if (!out) fail(errno ? errno : EACCES);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        const int err = errno ? errno : EIO;
        std::error_code ec;
        fs::remove(p, ec);
        fail(err);
    }
}

}  // namespace kurdb::files
