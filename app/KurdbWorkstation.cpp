// The second and third pages' handlers of TFFirmaDB: the suite's shortcuts, and the starts of
// the updater and the company-opening program.
#include "app/Kurdb.h"
#include "app/Workstation.h"
#include "resources/ControlNames.h"
#include "shell/Files.h"
#include "base/Text.h"
#include "shell/Shortcuts.h"

namespace kurdb {
namespace {

constexpr int kUpdaterModule = 0;
constexpr int kCompanyOpeningModule = 10;

constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

struct Link {
    int module;
    const char* name;
};
constexpr Link kDesktopLinks[] = {{2, "Duranix Satış"}, {3, "Duranix Servis"}};
constexpr Link kGroupLinks[] = {{2, "Satış"}, {3, "Servis"}, {4, "Bakım Destek"}, {5, "Liste Raporlar"}};

// The length in bytes of the first `count` characters of a UTF-8 text.
std::size_t CharactersPrefix(std::string_view s, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t seen = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (seen == count) break;
            ++seen;
        }
    }
    return i;
}

}  // namespace

std::string ProgramGroupFolder(const PathRules& rules, std::string_view programs, int edition,
                               std::string_view brand) {
    std::string folder = rules.IncludeTrailingSeparator(programs) + "Karvelisto" + rules.Separator();
    if (edition == setup::kSchemaEdition) return folder + "Tarso";
    const std::size_t first = CharactersPrefix(brand, 1);
    const std::string rest = text::AsciiLower(brand.substr(first, CharactersPrefix(brand.substr(first), 30)));
    return folder + "Duranix " + std::string(brand.substr(0, first)) + rest + rules.Separator();
}

void TFFirmaDB::GetProgramsFolder(std::string& folder) {
    folder =
        system_.registry.ReadString(Hive::CurrentUser, kShellFolders, "Programs", Access::All).value_or("");
}

void TFFirmaDB::Button1Click() {
    if (form_.Checked(controls::cbKisayol)) {
        const PathRules rules = NativePathRules();
        const std::string programDir = rules.IncludeTrailingSeparator(ProgramDirectory(system_.platform));
        std::string linkPath;
        for (const Link& l : kDesktopLinks) {
            const std::string& module = edition_.modules[l.module];
            if (module.empty()) continue;
            CreateShortcut(system_.registry, system_.shellLinks, programDir + module + ".exe", slDesktop, "",
                           "", "", l.name, linkPath);
        }
        std::string programs;
        GetProgramsFolder(programs);
        // Without a Programs folder the group would land relative to the current folder,
        // wherever the wizard was started from: no group then.
        if (!programs.empty()) {
            const std::string group =
                ProgramGroupFolder(rules, programs, edition_.number, edition_.brandName);
            files::ForceDirectories(group);
            for (const Link& l : kGroupLinks) {
                const std::string& module = edition_.modules[l.module];
                if (module.empty()) continue;
                CreateShortcut(system_.registry, system_.shellLinks, programDir + module + ".exe", slFolder,
                               group, "", "", l.name, linkPath);
            }
        }
        LogLine("Kısayollar oluşturuldu.");
    }
    if (form_.Checked(controls::cbGuncel)) Fire(controls::BitBtn4);
    AdvancePage();
}

void TFFirmaDB::BitBtn4Click() {
    system_.processes.ShellOpen(edition_.modules[kUpdaterModule],
                                form_.ItemIndex(controls::cbTerminal) == kTerminal ? "1" : "");
}

void TFFirmaDB::BitBtn3Click() {
    system_.processes.ShellOpen(edition_.modules[kCompanyOpeningModule], "");
}

}  // namespace kurdb
