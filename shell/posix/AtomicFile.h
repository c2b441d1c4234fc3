#pragma once
#include <string>

namespace kurdb::posix {

// Replaces the file at `path` with `text`: written to a new file beside it ("<path>.tmp<pid>"),
// flushed to the disk and renamed over it, so a crash or a full disk leaves either the old file
// or the new one, never a truncated one. Throws EPlatformError
// "Unable to write to <path> (<reason>)"; the old file is then untouched.
// The new file gets the permission bits `mode`.
void ReplaceFileAtomically(const std::string& path, const std::string& text, unsigned mode = 0644);

// Replaces the text of the existing file at `path`, whose text is now `oldText`, as
// ReplaceFileAtomically does; the new file gets the old one's permission bits, owner and group.
// Where no new file may be made beside it (a folder the user cannot write) or given the old
// owner (only root gives a file away), the file is written in place instead, as Windows writes
// it: the space for the new text is reserved first, so a full disk fails before anything
// changes, and a write that fails later puts `oldText` back. Throws EPlatformError
// "Unable to write to <path> (<reason>)".
void ReplaceExistingFile(const std::string& path, const std::string& text, const std::string& oldText);

// Reads the whole file; false when it cannot be opened or read to its end.
bool ReadWholeFile(const std::string& path, std::string& out);

}  // namespace kurdb::posix
