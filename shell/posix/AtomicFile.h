#pragma once
#include <string>

namespace kurdb::posix {

// Replaces the file at `path` with `text`: written to a new file beside it ("<path>.tmp<pid>"),
// flushed to the disk and renamed over it, so a crash or a full disk leaves either the old file
// or the new one, never a truncated one. Throws EPlatformError
// "Unable to write to <path> (<reason>)"; the old file is then untouched.
// The new file gets the permission bits `mode`.
void ReplaceFileAtomically(const std::string& path, const std::string& text, unsigned mode = 0644);

// Reads the whole file; false when it cannot be opened or read to its end.
bool ReadWholeFile(const std::string& path, std::string& out);

}  // namespace kurdb::posix
