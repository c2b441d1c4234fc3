#pragma once
// Shared helpers of the shell tests: private temporary folders, files by UTF-8 path, environment
// variables, and a registry whose two hives belong to the test alone.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "shell/Registry.h"

namespace kurdb::test {

std::filesystem::path U8Path(const std::string& utf8);
std::string Utf8(const std::filesystem::path& path);

// A new empty folder below the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // UTF-8, native separators, no trailing separator.
    const std::string& Path() const { return path_; }
    std::string Join(std::string_view name) const;

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view bytes);
void SetEnv(const char* name, const std::string& value);
void UnsetEnv(const char* name);

// Sets an environment variable for the scope, then restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool had_;
    std::string old_;
};

// The platform's registry with both hives replaced by private ones: on Windows two keys of the
// test below HKCU\Software\KurdbTests (deleted afterwards), on Linux a FileRegistry in a
// temporary folder (without user folders). Values of types the IRegistry cannot write are put
// in place by the platform's own means.
class TestRegistry {
public:
    TestRegistry();
    ~TestRegistry();
    IRegistry& Get();
    void PutDword(Hive hive, const std::string& key, const std::string& name, std::uint32_t value);
    void PutExpandString(Hive hive, const std::string& key, const std::string& name,
                         const std::string& value);
    // Lets the key (Linux: its whole hive) be opened for reading only.
    void MakeReadOnly(Hive hive, const std::string& key);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kurdb::test
