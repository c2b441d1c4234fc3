// The second page on the real Windows services under Wine: the registry (private hives), COM
// shell links read back through IShellLinkW, and the shell's "open" of an updater that is not
// there.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <filesystem>

#include "ShellTestSupport.h"
#include "app/Kurdb.h"
#include "shell/Processes.h"
#include "shell/Shortcuts.h"
#include "shell/win32/WideString.h"
#include "resources/ControlNames.h"

using namespace kurdb;
using kurdb::test::TempDir;
using kurdb::test::TestRegistry;
using kurdb::test::U8Path;

namespace {

constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class FixedPlatform : public IPlatform {
public:
    std::string exe;
    std::string ExecutablePath() const override { return exe; }
    std::string SystemDirectory() const override { return {}; }
};

class SilentWindow : public IFormHost {
public:
    std::vector<std::string> errors;
    bool Confirm(const std::string&) override { return false; }
    void ShowError(const std::string& text, const std::string&) override { errors.push_back(text); }
    void SetBusy(bool) override {}
    void CloseWindow() override {}
};

class NoProfiles : public IProfileFiles {
public:
    std::string ReadString(const std::string&, const std::string&, const std::string&,
                           const std::string& fallback) override {
        return fallback;
    }
    void WriteString(const std::string&, const std::string&, const std::string&,
                     const std::string&) override {}
};

std::pair<std::string, std::string> TargetAndDescription(const std::string& path) {
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))))
        return {};
    IPersistFile* file = nullptr;
    std::pair<std::string, std::string> out;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(win32::Wide(path).c_str(), STGM_READ))) {
        wchar_t buf[MAX_PATH * 2] = L"";
        link->GetPath(buf, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
        out.first = win32::Narrow(buf);
        buf[0] = 0;
        link->GetDescription(buf, MAX_PATH * 2);
        out.second = win32::Narrow(buf);
    }
    if (file) file->Release();
    link->Release();
    return out;
}

}  // namespace

TEST(SecondPageOnWindows, LinksOnTheDesktopAndInTheGroupAndASilentUpdaterStart) {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        TempDir dir;
        std::filesystem::create_directories(U8Path(dir.Join("Masaüstü")));
        TestRegistry reg;
        ASSERT_TRUE(reg.Get().CreateKey(Hive::CurrentUser, kShellFolders));
        reg.Get().WriteString(Hive::CurrentUser, kShellFolders, "Desktop", dir.Join("Masaüstü"));
        reg.Get().WriteString(Hive::CurrentUser, kShellFolders, "Programs", dir.Join("Programlar"));

        FixedPlatform platform;
        platform.exe = dir.Join("Duranix\\Kurdb.exe");
        NoProfiles profiles;
        db::Components database(std::make_unique<db::OdbcEngine>("kurdb-no-such-driver-manager"));
        auto processes = MakeNativeProcesses();
        auto links = MakeNativeShellLinks();
        SilentWindow window;
        FormModel form(WindowDef::Embedded());
        TFFirmaDB ctl(form, window, EditionFor(3),
                      {platform, profiles, database, reg.Get(), *processes, *links});
        ctl.FormCreate();
        form.SetActivePage(controls::cxPage, 1);

        // GUNCELDORVA is nowhere: the shell's "open" must neither ask nor report (a dialog
        // would hold the call).
        ctl.Click(controls::Button1);
        EXPECT_TRUE(window.errors.empty());
        EXPECT_EQ(form.ActivePage(controls::cxPage), 2);
        EXPECT_EQ(form.Lines(controls::Memo1), (std::vector<std::string>{"Kısayollar oluşturuldu."}));

        const auto desktop = TargetAndDescription(dir.Join("Masaüstü\\Duranix Satış.lnk"));
        EXPECT_EQ(desktop.first, dir.Join("Duranix\\VANTRIS.exe"));
        EXPECT_EQ(desktop.second, "Duranix Satış");
        const std::string group = dir.Join("Programlar\\Karvelisto\\Duranix Dorva\\");
        EXPECT_TRUE(std::filesystem::is_directory(U8Path(group)));
        const auto reports = TargetAndDescription(group + "Liste Raporlar.lnk");
        EXPECT_EQ(reports.first, dir.Join("Duranix\\ZELVIA.exe"));
        EXPECT_EQ(reports.second, "Liste Raporlar");
    }
    ::CoUninitialize();
}
