#include "shell/Shortcuts.h"

#include "shell/Platform.h"

namespace kurdb {
namespace {

// Spelled as the shell has always written them; key names compare without regard to case.
constexpr const char* kExplorerKey = "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer";
constexpr const char* kGrpConvKey = "Software\\MicroSoft\\Windows\\CurrentVersion\\GrpConv";

// The folder a location kind names; empty when there is none.
std::string FolderOf(IRegistry& registry, std::uint8_t kind, const std::string& subfolder) {
    if (kind == slQuickLaunch) {
        if (!registry.CreateKey(Hive::CurrentUser, kGrpConvKey)) return {};
        return registry
            .ReadString(Hive::CurrentUser, std::string(kGrpConvKey) + "\\MapGroups", "Quick Launch",
                        Access::Read)
            .value_or("");
    }
    const bool baseOpens = registry.CreateKey(Hive::CurrentUser, kExplorerKey);
    const char* value = nullptr;
    switch (kind) {
        case slDesktop:
            value = "Desktop";
            break;
        case slSendTo:
            value = "SendTo";
            break;
        case slStartMenu:
            value = "Start Menu";
            break;
        case slFolder:
            return subfolder;
        default:
            return {};
    }
    if (!baseOpens) return {};
    return registry
        .ReadString(Hive::CurrentUser, std::string(kExplorerKey) + "\\Shell Folders", value, Access::Read)
        .value_or("");
}

// The target's directory with its final separator (or drive colon); empty when it has none.
std::string DirectoryWithSeparator(const PathRules& rules, const std::string& target) {
    for (std::size_t i = target.size(); i-- > 0;)
        if (rules.IsSeparator(target[i]) || (rules.windows && target[i] == ':'))
            return target.substr(0, i + 1);
    return {};
}

}  // namespace

void CreateShortcut(IRegistry& registry, IShellLinks& links, const std::string& target, std::uint8_t kind,
                    const std::string& subfolder, const std::string& workingDirectory,
                    const std::string& arguments, const std::string& linkName, std::string& linkPath) {
    const std::string folder = FolderOf(registry, kind, subfolder);
    if (folder.empty()) return;

    const PathRules rules = NativePathRules();
    const char sep = rules.Separator();
    const std::string fileName = linkName + links.Extension();
    // The separator goes in whatever the folder ends with: a subfolder given with its own
    // trailing separator makes two in a row, which every file system reads as one.
    std::string path = folder + sep;
    if (!subfolder.empty() && kind != slFolder) path += subfolder + sep;
    path += fileName;

    ShellLinkData link;
    link.target = target;
    link.arguments = arguments;
    link.description = linkName;
    link.workingDirectory =
        workingDirectory.empty() ? DirectoryWithSeparator(rules, target) : workingDirectory;
    links.Save(link, path);
    linkPath = path;
}

}  // namespace kurdb
