#pragma once
// Files that the program carries inside itself and writes out on first need: the SQL Server
// client library "ntwdblib.dll" and the downloader program "WGET.EXE". A packager gives their
// files at configure time (they are never committed); a build without one has no payload of
// that name.
#include <optional>
#include <string>
#include <string_view>

namespace kurdb {

inline constexpr std::string_view kClientLibraryPayload = "ntwdblib.dll";
inline constexpr std::string_view kDownloaderPayload = "WGET.EXE";

// The bytes of the payload `name` (letter case ignored); nullopt when this build has none.
std::optional<std::string_view> Payload(std::string_view name);

// Writes payload `name` to `path` unless a file exists there already (it is never overwritten
// or compared). False when nothing was written because a file exists or the build has no such
// payload. Throws EPlatformError "Cannot create file \"<path>\". <reason>" when it cannot be
// created.
bool WritePayloadIfAbsent(std::string_view name, const std::string& path);

}  // namespace kurdb
