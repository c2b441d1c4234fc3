// The shortcut maker: folders by location kind, link paths, the link's settings. Links are
// recorded here; the platform's real link files are tested beside (desktop entries, .lnk).
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "ShellTestSupport.h"
#include "base/Exception.h"
#include "shell/Platform.h"
#include "shell/Shortcuts.h"

using namespace kurdb;
using kurdb::test::TempDir;
using kurdb::test::TestRegistry;

namespace {

constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kMapGroups = "Software\\Microsoft\\Windows\\CurrentVersion\\GrpConv\\MapGroups";

class RecordingLinks : public IShellLinks {
public:
    struct Saved {
        ShellLinkData link;
        std::string path;
    };
    std::vector<Saved> saved;
    std::string Extension() const override { return ".lnk"; }
    void Save(const ShellLinkData& link, const std::string& linkPath) override {
        saved.push_back({link, linkPath});
    }
};

class ShortcutMaker : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(reg.Get().CreateKey(Hive::CurrentUser, kShellFolders));
        ASSERT_TRUE(reg.Get().WriteString(Hive::CurrentUser, kShellFolders, "Desktop", desktop));
        ASSERT_TRUE(reg.Get().WriteString(Hive::CurrentUser, kShellFolders, "Start Menu", startMenu));
    }
    std::string Make(std::uint8_t kind, const std::string& subfolder, const std::string& name,
                     const std::string& workingDir = "", const std::string& args = "") {
        std::string path = "untouched";
        CreateShortcut(reg.Get(), links, target, kind, subfolder, workingDir, args, name, path);
        return path;
    }

    TestRegistry reg;
    RecordingLinks links;
    const char sep = NativePathRules().Separator();
    const std::string desktop = sep == '\\' ? "C:\\Users\\Ayşe\\Masaüstü" : "/home/ayse/Masaüstü";
    const std::string startMenu = sep == '\\' ? "C:\\Start" : "/home/ayse/.local/share/applications";
    const std::string target = sep == '\\' ? "C:\\Duranix\\VANTRIS.exe" : "/opt/duranix/VANTRIS.exe";
    const std::string targetDir = sep == '\\' ? "C:\\Duranix\\" : "/opt/duranix/";
};

}  // namespace

TEST_F(ShortcutMaker, DesktopLinkHoldsTargetNameAndTargetFolder) {
    EXPECT_EQ(Make(slDesktop, "", "Satış"), desktop + sep + "Satış.lnk");
    ASSERT_EQ(links.saved.size(), 1u);
    const ShellLinkData& l = links.saved[0].link;
    EXPECT_EQ(links.saved[0].path, desktop + sep + "Satış.lnk");
    EXPECT_EQ(l.target, target);
    EXPECT_EQ(l.arguments, "");
    EXPECT_EQ(l.description, "Satış");
    EXPECT_EQ(l.workingDirectory, targetDir);

    // A working folder and arguments given are stored as they are.
    Make(slStartMenu, "", "Servis", "D:\\Veri", "-x 1");
    EXPECT_EQ(links.saved.back().path, startMenu + sep + "Servis.lnk");
    EXPECT_EQ(links.saved.back().link.workingDirectory, "D:\\Veri");
    EXPECT_EQ(links.saved.back().link.arguments, "-x 1");
}

TEST_F(ShortcutMaker, SubfoldersGetASeparatorWhateverTheyEndWith) {
    // Below a shell folder: the subfolder is not made, the path is returned all the same.
    EXPECT_EQ(Make(slDesktop, "Duranix", "Satış"), desktop + sep + "Duranix" + sep + "Satış.lnk");
    EXPECT_FALSE(std::filesystem::exists(desktop + sep + "Duranix"));
    TempDir dir;
    EXPECT_EQ(Make(slFolder, dir.Path(), "Servis"), dir.Path() + sep + "Servis.lnk");
    EXPECT_EQ(Make(slFolder, dir.Path() + sep, "Servis"), dir.Path() + sep + sep + "Servis.lnk");
    EXPECT_EQ(links.saved.size(), 3u);
}

TEST_F(ShortcutMaker, NoFolderNoLinkAndThePathUntouched) {
    EXPECT_EQ(Make(slFolder, "", "A"), "untouched");
    EXPECT_EQ(Make(5, "x", "A"), "untouched");
    EXPECT_EQ(Make(255, "x", "A"), "untouched");
    EXPECT_EQ(Make(slSendTo, "", "A"), "untouched");       // value missing
    EXPECT_EQ(Make(slQuickLaunch, "", "A"), "untouched");  // key missing
    EXPECT_TRUE(links.saved.empty());
    // Asking for a quick-launch folder made its base key; the subkey was only read.
    EXPECT_TRUE(reg.Get().KeyOpens(Hive::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\GrpConv",
                                   Access::Read));
}

TEST_F(ShortcutMaker, QuickLaunchFolderAndExpandableValuesAsStored) {
    ASSERT_TRUE(reg.Get().CreateKey(Hive::CurrentUser, kMapGroups));
    ASSERT_TRUE(reg.Get().WriteString(Hive::CurrentUser, kMapGroups, "Quick Launch", "Q"));
    EXPECT_EQ(Make(slQuickLaunch, "", "A"), std::string("Q") + sep + "A.lnk");
    reg.PutExpandString(Hive::CurrentUser, kShellFolders, "SendTo", "%USERPROFILE%\\SendTo");
    EXPECT_EQ(Make(slSendTo, "", "A"), std::string("%USERPROFILE%\\SendTo") + sep + "A.lnk");
}

TEST_F(ShortcutMaker, NonStringFolderValueRaises) {
    reg.PutDword(Hive::CurrentUser, kShellFolders, "Desktop", 1);
    std::string path = "untouched";
    try {
        CreateShortcut(reg.Get(), links, target, slDesktop, "", "", "", "Satış", path);
        FAIL() << "no error";
    } catch (const EPlatformError& e) {
        EXPECT_EQ(e.Message(), "Invalid data type for 'Desktop'");
    }
    EXPECT_EQ(path, "untouched");
    EXPECT_TRUE(links.saved.empty());
}

TEST_F(ShortcutMaker, WorkingFolderIsTheTargetUpToItsLastSeparator) {
    struct Case {
        const char* target;
        const char* dir;
    };
    const std::vector<Case> cases =
        sep == '\\' ? std::vector<Case>{{"C:\\a\\b.exe", "C:\\a\\"},
                                        {"C:b.exe", "C:"},
                                        {"C:\\a/b.exe", "C:\\a/"},
                                        {"b.exe", ""},
                                        {"\\\\srv\\pay\\b.exe", "\\\\srv\\pay\\"}}
                    : std::vector<Case>{{"/a/b", "/a/"}, {"/b", "/"}, {"b", ""}, {"/a:b/c", "/a:b/"}};
    for (const Case& c : cases) {
        std::string path;
        CreateShortcut(reg.Get(), links, c.target, slDesktop, "", "", "", "L", path);
        EXPECT_EQ(links.saved.back().link.workingDirectory, c.dir) << c.target;
    }
}
