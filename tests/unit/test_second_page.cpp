// The second page's "İleri" (Button1Click) and the launch actions, over fakes: which links go
// where, the program group on disk, the updater's parameters, errors in the middle.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>

#include "tests/support/HeadlessWizard.h"
#include "app/Kurdb.h"
#include "app/Workstation.h"
#include "resources/ControlNames.h"

using namespace kurdb;
using namespace kurdb::test;
namespace fs = std::filesystem;

namespace {

constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr int kGuncelle = 1;

// A folder of its own for the program group, removed afterwards.
struct Scratch {
    Scratch() {
        static std::atomic<int> n{0};
        path = fs::temp_directory_path() /
               ("kurdb-page2-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                "-" + std::to_string(n++));
        fs::create_directories(path);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string Str() const {
        const std::u8string s = path.u8string();
        return std::string(s.begin(), s.end());
    }
    fs::path path;
};

struct SecondPage : HeadlessWizard {
    explicit SecondPage(int edition = 3) : HeadlessWizard(edition) {
        platform.exe = dir + "Kurdb.exe";
        MemoryRegistry::Key& folders = registry.AddKey(Hive::CurrentUser, kShellFolders);
        MemoryRegistry::Set(folders, "Desktop", desk);
        MemoryRegistry::Set(folders, "Programs", programs.Str());
        registry.AddKey(Hive::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer");
        ctl.FormCreate();
        form.SetActivePage(controls::cxPage, kGuncelle);
    }
    std::vector<std::string> Paths() const {
        std::vector<std::string> out;
        for (const auto& [path, link] : links.saved) out.push_back(path);
        return out;
    }
    const char sep = NativePathRules().Separator();
    const std::string dir = sep == '\\' ? "C:\\Duranix\\" : "/opt/duranix/";
    const std::string desk = sep == '\\' ? "C:\\Masaustu" : "/home/ayse/Masaüstü";
    Scratch programs;
};

}  // namespace

TEST(SecondPage, EditionThreeLinksGroupUpdaterAndNextPage) {
    SecondPage p;
    p.ctl.Click(controls::Button1);
    const char s = p.sep;
    const std::string group = p.programs.Str() + s + "Karvelisto" + s + "Duranix Dorva" + s;
    EXPECT_TRUE(fs::is_directory(p.programs.path / "Karvelisto" / "Duranix Dorva"));
    const std::string satis = p.desk + s + "Duranix Satış.lnk";
    const std::string servis = p.desk + s + "Duranix Servis.lnk";
    // The group folder ends in a separator, and one more goes in before each link's name.
    std::vector<std::string> expected = {satis,
                                         servis,
                                         group + s + "Satış.lnk",
                                         group + s + "Servis.lnk",
                                         group + s + "Bakım Destek.lnk",
                                         group + s + "Liste Raporlar.lnk"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(p.Paths(), expected);
    const ShellLinkData& l = p.links.saved.at(satis);
    EXPECT_EQ(l.target, p.dir + "VANTRIS.exe");
    EXPECT_EQ(l.description, "Duranix Satış");
    EXPECT_EQ(l.workingDirectory, p.dir);
    EXPECT_EQ(l.arguments, "");
    EXPECT_EQ(p.links.saved.at(servis).target, p.dir + "KORELIN.exe");
    EXPECT_EQ(p.links.saved.at(group + s + "Bakım Destek.lnk").target, p.dir + "DESTRA.exe");
    EXPECT_EQ(p.links.saved.at(group + s + "Liste Raporlar.lnk").target, p.dir + "ZELVIA.exe");
    EXPECT_EQ(p.Log(), (std::vector<std::string>{"Kısayollar oluşturuldu."}));
    // "Terminal" is selected at start: the updater gets "1".
    EXPECT_EQ(p.processes.opened, (std::vector<std::pair<std::string, std::string>>{{"GUNCELDORVA", "1"}}));
    EXPECT_EQ(p.form.ActivePage(controls::cxPage), kGuncelle + 1);
    EXPECT_TRUE(p.window.errors.empty());
}

TEST(SecondPage, EditionEighteenHasOneLinkOfEachKindInTarso) {
    SecondPage p(18);
    p.ctl.Click(controls::Button1);
    const char s = p.sep;
    EXPECT_EQ(p.Paths(), (std::vector<std::string>{
                             p.desk + s + "Duranix Satış.lnk",
                             p.programs.Str() + s + "Karvelisto" + s + "Tarso" + s + "Satış.lnk"}));
    EXPECT_TRUE(fs::is_directory(p.programs.path / "Karvelisto" / "Tarso"));
    EXPECT_EQ(p.links.saved.begin()->second.target, p.dir + "TARSO.exe");
}

TEST(SecondPage, ProgramGroupNames) {
    const PathRules win{true}, posix{false};
    EXPECT_EQ(ProgramGroupFolder(win, "C:\\Menu\\Programs", 3, "DORVA"),
              "C:\\Menu\\Programs\\Karvelisto\\Duranix Dorva\\");
    // The second "O" is the brand's second character: lowered like the rest.
    EXPECT_EQ(ProgramGroupFolder(win, "C:\\P\\", 17, "DO DORIVODA"),
              "C:\\P\\Karvelisto\\Duranix Do dorivoda\\");
    EXPECT_EQ(ProgramGroupFolder(posix, "/a", 18, "TARSO"), "/a/Karvelisto/Tarso");
    // Only A to Z are lowered; the first character stays; at most 31 characters count.
    EXPECT_EQ(ProgramGroupFolder(posix, "/a", 5, "İZMİR ÇAĞ-X"), "/a/Karvelisto/Duranix İzmİr ÇaĞ-x/");
    EXPECT_EQ(ProgramGroupFolder(posix, "/a", 5, "abcdefghijABCDEFGHIJabcdefghijABCDEF"),
              "/a/Karvelisto/Duranix abcdefghijabcdefghijabcdefghija/");
    EXPECT_EQ(ProgramGroupFolder(posix, "/a", 5, "ŞABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFG"),
              "/a/Karvelisto/Duranix Şabcdefghijklmnopqrstuvwxyzabcd/");
}

TEST(SecondPage, WithoutShortcutsOnlyTheUpdaterAndThePage) {
    SecondPage p;
    p.form.SetChecked(controls::cbKisayol, false);
    p.form.SetItemIndex(controls::cbTerminal, 0);  // "Ana Makine"
    p.ctl.Click(controls::Button1);
    EXPECT_TRUE(p.links.saved.empty());
    EXPECT_TRUE(p.Log().empty());
    EXPECT_FALSE(fs::exists(p.programs.path / "Karvelisto"));
    EXPECT_EQ(p.processes.opened, (std::vector<std::pair<std::string, std::string>>{{"GUNCELDORVA", ""}}));
    EXPECT_EQ(p.form.ActivePage(controls::cxPage), kGuncelle + 1);

    SecondPage q;
    q.form.SetChecked(controls::cbGuncel, false);
    q.ctl.Click(controls::Button1);
    EXPECT_TRUE(q.processes.opened.empty());
    EXPECT_EQ(q.links.saved.size(), 6u);
    EXPECT_EQ(q.form.ActivePage(controls::cxPage), kGuncelle + 1);
}

TEST(SecondPage, MissingShellFoldersSkipTheirLinks) {
    SecondPage p;
    MemoryRegistry::Key& folders = p.registry.AddKey(Hive::CurrentUser, kShellFolders);
    folders.values.erase("PROGRAMS");
    p.ctl.Click(controls::Button1);
    // No group relative to the current folder: only the desktop links.
    EXPECT_EQ(p.Paths(), (std::vector<std::string>{p.desk + p.sep + "Duranix Satış.lnk",
                                                   p.desk + p.sep + "Duranix Servis.lnk"}));
    EXPECT_FALSE(fs::exists("Karvelisto"));
    EXPECT_EQ(p.Log(), (std::vector<std::string>{"Kısayollar oluşturuldu."}));

    SecondPage q;
    q.registry.AddKey(Hive::CurrentUser, kShellFolders).values.erase("DESKTOP");
    q.ctl.Click(controls::Button1);
    EXPECT_EQ(q.links.saved.size(), 4u);
    EXPECT_EQ(q.form.ActivePage(controls::cxPage), kGuncelle + 1);
}

TEST(SecondPage, NonStringFolderValueStopsThePressInTheErrorBox) {
    SecondPage p;
    MemoryRegistry::Set(p.registry.AddKey(Hive::CurrentUser, kShellFolders), "Programs", "x", false);
    p.ctl.Click(controls::Button1);
    ASSERT_EQ(p.window.errors.size(), 1u);
    EXPECT_EQ(p.window.errors[0].text, "Invalid data type for 'Programs'");
    EXPECT_EQ(p.links.saved.size(), 2u);  // the desktop links made before stay
    EXPECT_TRUE(p.Log().empty());
    EXPECT_TRUE(p.processes.opened.empty());
    EXPECT_EQ(p.form.ActivePage(controls::cxPage), kGuncelle);

    SecondPage q;
    MemoryRegistry::Set(q.registry.AddKey(Hive::CurrentUser, kShellFolders), "Desktop", "x", false);
    q.ctl.Click(controls::Button1);
    ASSERT_EQ(q.window.errors.size(), 1u);
    EXPECT_EQ(q.window.errors[0].text, "Invalid data type for 'Desktop'");
    EXPECT_TRUE(q.links.saved.empty());
}

TEST(SecondPage, FinishStartsTheCompanyOpeningProgramWhenAsked) {
    SecondPage p;
    p.ctl.Click(controls::BitBtn2);
    EXPECT_TRUE(p.processes.opened.empty());
    EXPECT_EQ(p.window.closes, 1);
    p.form.SetChecked(controls::cbFirmaAc, true);
    p.ctl.Click(controls::BitBtn2);
    EXPECT_EQ(p.processes.opened, (std::vector<std::pair<std::string, std::string>>{{"SIRKACDV", ""}}));
    EXPECT_EQ(p.window.closes, 2);
}
