#pragma once
// Profile ("INI") files: sections in square brackets, "key=value" lines. Section and key names
// match without regard to letter case; writing one key keeps every other section and key.
#include <memory>
#include <string>

namespace kurdb {

class IProfileFiles {
public:
    virtual ~IProfileFiles() = default;
    // The value of [section] key in the file at path; `fallback` when the file, the section or
    // the key is missing. An empty value is returned as the empty text.
    virtual std::string ReadString(const std::string& path, const std::string& section,
                                   const std::string& key, const std::string& fallback) = 0;
    // Sets [section] key = value, creating the file and the section as needed.
    // Throws EPlatformError when the file cannot be written; the old file is then unchanged.
    virtual void WriteString(const std::string& path, const std::string& section, const std::string& key,
                             const std::string& value) = 0;
};

// The platform's profile files: the Windows profile functions on Windows, the portable IniFile
// with atomic replacement elsewhere.
std::unique_ptr<IProfileFiles> MakeNativeProfileFiles();

}  // namespace kurdb
