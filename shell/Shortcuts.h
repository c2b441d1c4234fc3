#pragma once
// The shortcut maker: one link to a program in one of the user's shell folders or in a given
// folder. Windows: a shell link (.lnk) through COM's IShellLinkW. Linux: a freedesktop desktop
// entry (.desktop), made executable.
#include <cstdint>
#include <memory>
#include <string>

#include "shell/Registry.h"

namespace kurdb {

// Where a link goes.
enum ShortcutLocation : std::uint8_t {
    slDesktop = 0,      // HKCU ...\Explorer\Shell Folders "Desktop"
    slQuickLaunch = 1,  // HKCU ...\GrpConv\MapGroups "Quick Launch"
    slSendTo = 2,       // HKCU ...\Explorer\Shell Folders "SendTo"
    slStartMenu = 3,    // HKCU ...\Explorer\Shell Folders "Start Menu"
    slFolder = 4,       // the subfolder argument itself; 5 to 255: no folder, no link
};

// What one link holds.
struct ShellLinkData {
    std::string target;
    std::string arguments;
    std::string description;
    std::string workingDirectory;
};

class IShellLinks {
public:
    virtual ~IShellLinks() = default;
    // The link file's extension on this platform: ".lnk" or ".desktop".
    virtual std::string Extension() const = 0;
    // Writes the link file at `linkPath`. Throws when the link object cannot be made (no COM
    // class, an interface missing); a file that cannot be saved goes unreported.
    virtual void Save(const ShellLinkData& link, const std::string& linkPath) = 0;
};

std::unique_ptr<IShellLinks> MakeNativeShellLinks();

// Makes the link `linkName` + extension to `target` in the folder that `kind` names (with
// `subfolder` below a shell folder, or as the folder itself for slFolder), its working directory
// `workingDirectory` or, when empty, the target's directory. Sets `linkPath` once a folder was
// found, saved or not; leaves it untouched when no folder was found. Throws EPlatformError
// "Invalid data type for '<value>'" for a shell-folder value that is not a string.
void CreateShortcut(IRegistry& registry, IShellLinks& links, const std::string& target, std::uint8_t kind,
                    const std::string& subfolder, const std::string& workingDirectory,
                    const std::string& arguments, const std::string& linkName, std::string& linkPath);

}  // namespace kurdb
