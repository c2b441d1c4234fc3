#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/Exception.h"
#include "base/Text.h"
#include "shell/posix/AtomicFile.h"
#include "shell/posix/FileRegistry.h"
#include "shell/posix/RegFile.h"

namespace kurdb::posix {
namespace {

constexpr std::string_view kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// An XDG base directory: the variable when it holds an absolute path, else home + fallback.
std::string BaseDirectory(const char* variable, const std::string& home, const char* fallback) {
    std::string dir = Env(variable);
    if (!dir.empty() && dir.front() == '/') return dir;
    if (home.empty()) return {};
    return home + "/" + fallback;
}

// XDG_DESKTOP_DIR="$HOME/Desktop" or an absolute path, as xdg-user-dirs writes it.
std::string DesktopFromUserDirs(const std::string& file, const std::string& home) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::string_view l = text::TrimControl(line);
        if (!l.starts_with("XDG_DESKTOP_DIR=")) continue;
        l.remove_prefix(16);
        if (l.size() < 2 || l.front() != '"' || l.back() != '"') continue;
        std::string value(l.substr(1, l.size() - 2));
        if (value.starts_with("$HOME")) {
            if (home.empty()) return {};
            value = home + value.substr(5);
        }
        if (!value.empty() && value.front() == '/') return value;
    }
    return {};
}

std::string RootName(Hive hive) {
    return hive == Hive::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string SectionPath(Hive hive, const std::string& key) {
    return RootName(hive) + "\\" + key;
}

// True when `key` is the shell-folder key of the current user or one of its parents.
bool IsShellFolderKeyOrParent(Hive hive, std::string_view key) {
    if (hive != Hive::CurrentUser || key.empty()) return false;
    if (text::EqualsNoCase(key, kShellFolders)) return true;
    return key.size() < kShellFolders.size() && kShellFolders[key.size()] == '\\' &&
           text::EqualsNoCase(kShellFolders.substr(0, key.size()), key);
}

RegFile Load(const std::string& path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return {};
    return RegFile::Parse(bytes);
}

}  // namespace

UserFolders UserFoldersFromEnvironment() {
    const std::string home = Env("HOME");
    UserFolders folders;
    const std::string config = BaseDirectory("XDG_CONFIG_HOME", home, ".config");
    if (!config.empty()) folders.desktop = DesktopFromUserDirs(config + "/user-dirs.dirs", home);
    if (folders.desktop.empty() && !home.empty()) folders.desktop = home + "/Desktop";
    const std::string data = BaseDirectory("XDG_DATA_HOME", home, ".local/share");
    if (!data.empty()) folders.applications = data + "/applications";
    return folders;
}

std::string DefaultRegistryDirectory() {
    const std::string config = BaseDirectory("XDG_CONFIG_HOME", Env("HOME"), ".config");
    return config.empty() ? std::string() : config + "/kurdb";
}

FileRegistry::FileRegistry(std::string directory, UserFolders folders)
    : directory_(std::move(directory)), folders_(std::move(folders)) {}

std::string FileRegistry::HivePath(Hive hive) const {
    return directory_ + "/" + RootName(hive) + ".reg";
}

bool FileRegistry::Writable(Hive hive) const {
    const std::string path = HivePath(hive);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return false;
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
        return ::access(path.c_str(), W_OK) == 0 && ::access(directory_.c_str(), W_OK) == 0;
    }
    // No file yet: the first write creates the folder and the file.
    std::filesystem::path dir(directory_);
    std::error_code ec;
    while (!dir.empty() && !std::filesystem::exists(dir, ec)) {
        if (dir == dir.parent_path()) break;
        dir = dir.parent_path();
    }
    return ::access(dir.c_str(), W_OK) == 0;
}

bool FileRegistry::Exists(Hive hive, const std::string& key) const {
    return IsShellFolderKeyOrParent(hive, key) || Load(HivePath(hive)).HasKey(SectionPath(hive, key));
}

bool FileRegistry::KeyOpens(Hive hive, const std::string& key, Access access) const {
    if (!Exists(hive, key)) return false;
    return access == Access::Read || Writable(hive);
}

std::optional<std::string> FileRegistry::ShellFolder(Hive hive, const std::string& key,
                                                     const std::string& name) const {
    if (hive != Hive::CurrentUser || !text::EqualsNoCase(key, kShellFolders)) return std::nullopt;
    std::string folder;
    if (text::EqualsNoCase(name, "Desktop"))
        folder = folders_.desktop;
    else if (text::EqualsNoCase(name, "Programs") || text::EqualsNoCase(name, "Start Menu"))
        folder = folders_.applications;
    if (folder.empty()) return std::nullopt;
    return folder;
}

std::optional<std::string> FileRegistry::ReadString(Hive hive, const std::string& key,
                                                    const std::string& name, Access access) const {
    if (!KeyOpens(hive, key, access)) return std::nullopt;
    const RegFile file = Load(HivePath(hive));
    const RegFile::Value* value = file.FindValue(SectionPath(hive, key), name);
    if (!value) return ShellFolder(hive, key, name);
    if (value->type != kRegSz && value->type != kRegExpandSz)
        throw EPlatformError("Invalid data type for '" + name + "'");
    return value->text;
}

bool FileRegistry::WriteString(Hive hive, const std::string& key, const std::string& name,
                               const std::string& value) {
    if (!KeyOpens(hive, key, Access::All)) return false;
    RegFile file = Load(HivePath(hive));
    file.SetString(SectionPath(hive, key), name, value);
    try {
        std::filesystem::create_directories(directory_);
        ReplaceFileAtomically(HivePath(hive), file.Text());
    } catch (const std::exception&) {
        throw EPlatformError("Failed to set data for '" + name + "'");
    }
    return true;
}

bool FileRegistry::CreateKey(Hive hive, const std::string& key) {
    if (Exists(hive, key)) return Writable(hive);
    if (!Writable(hive)) return false;
    RegFile file = Load(HivePath(hive));
    file.AddKey(SectionPath(hive, key));
    try {
        std::filesystem::create_directories(directory_);
        ReplaceFileAtomically(HivePath(hive), file.Text());
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

}  // namespace kurdb::posix

namespace kurdb {

std::unique_ptr<IRegistry> MakeNativeRegistry() {
    return std::make_unique<posix::FileRegistry>(posix::DefaultRegistryDirectory(),
                                                 posix::UserFoldersFromEnvironment());
}

}  // namespace kurdb
