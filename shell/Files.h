#pragma once
// Files on disk by UTF-8 path, the same on every platform (std::filesystem underneath, with the
// path converted from UTF-8 so that Turkish names are right on Windows too).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kurdb::files {

// True when a file, not a directory, exists at `path`.
bool IsFile(const std::string& path);
// True when anything (file or directory) exists at `path`.
bool Exists(const std::string& path);
// The size of the file at `path`; nullopt when there is no file.
std::optional<std::uintmax_t> FileSize(const std::string& path);
// Deletes the file at `path`; a failure is ignored.
void RemoveFile(const std::string& path) noexcept;
// Creates the file at `path` holding `bytes`. Throws EPlatformError
// "Cannot create file \"<path>\". <system's error text>" when it cannot be created or written;
// a partly written file is removed again.
void CreateFileWith(const std::string& path, std::string_view bytes);

}  // namespace kurdb::files
