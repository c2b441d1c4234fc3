#pragma once
// The Linux registry: one .reg text file per hive (RegFile.h) in one folder,
// "HKEY_LOCAL_MACHINE.reg" and "HKEY_CURRENT_USER.reg".
// - A key exists when its file has its section or a section below it.
// - Full access (Access::All) needs a hive file that may be written: one without any write
//   permission bit counts as read-only, for root too, as a read-only file does on Windows.
// - Every change rewrites the file atomically and keeps every other key and value; a failed
//   write leaves the file as it was.
// - The current user's "Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders" key
//   always exists; its values "Desktop", "Programs" and "Start Menu" come from the user's own
//   folders when the hive holds none ("SendTo" and "Quick Launch" have no such source).
#include <string>

#include "shell/Registry.h"

namespace kurdb::posix {

// The user's folders that stand in for the Windows shell folders.
struct UserFolders {
    std::string desktop;       // "Desktop"
    std::string applications;  // "Programs" and "Start Menu": desktop entries go there
};

// From the environment: the desktop is XDG_DESKTOP_DIR of $XDG_CONFIG_HOME/user-dirs.dirs
// (~/.config when unset), else ~/Desktop; the applications folder is
// $XDG_DATA_HOME/applications (~/.local/share when unset). Empty texts without a home folder.
UserFolders UserFoldersFromEnvironment();

// $XDG_CONFIG_HOME/kurdb, else ~/.config/kurdb.
std::string DefaultRegistryDirectory();

class FileRegistry final : public IRegistry {
public:
    // `directory` holds the hive files; it is created on the first write.
    FileRegistry(std::string directory, UserFolders folders);

    bool KeyOpens(Hive hive, const std::string& key, Access access) const override;
    std::optional<std::string> ReadString(Hive hive, const std::string& key, const std::string& name,
                                          Access access) const override;
    bool WriteString(Hive hive, const std::string& key, const std::string& name,
                     const std::string& value) override;
    bool CreateKey(Hive hive, const std::string& key) override;

    // The hive's file.
    std::string HivePath(Hive hive) const;

private:
    bool Writable(Hive hive) const;
    bool Exists(Hive hive, const std::string& key) const;
    std::optional<std::string> ShellFolder(Hive hive, const std::string& key, const std::string& name) const;

    std::string directory_;
    UserFolders folders_;
};

}  // namespace kurdb::posix
