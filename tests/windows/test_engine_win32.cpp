// The suite's engine on Windows, as the first page meets it: found through DLLPATH in the 32-bit
// view of the registry, loaded by its full path and asked for its version; its settings written
// to the 32-bit view, the client library aimed at the 32-bit system directory. The build puts a
// stand-in IDAPI32.DLL (test_idapi32.c) in bde\ beside this program, and one whose DbiInit fails
// in bde-broken\. The tests change the registry of the test run's own Wine prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "app/Kurdb.h"
#include "app/Program.h"
#include "db/BdeEngine.h"
#include "resources/ControlNames.h"
#include "setup/ServerSetup.h"
#include "shell/win32/Win32Platform.h"
#include "shell/win32/Win32Registry.h"
#include "shell/win32/WideString.h"
#include "WinTestSupport.h"
#include "tests/support/Fakes.h"
#include "tests/support/TestServer.h"

namespace kurdb {
namespace {

using Lines = std::vector<std::string>;

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    const std::wstring self(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of(L"\\/"));
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

// The value `name` of the engine's settings key in one registry view (KEY_WOW64_32KEY or
// KEY_WOW64_64KEY); "" when the key or the value is not there.
std::wstring SettingIn(REGSAM view, const std::wstring& name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Borland\\Database Engine\\Settings\\System\\INIT", 0,
                        KEY_READ | view, &key) != ERROR_SUCCESS)
        return L"";
    wchar_t data[256] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LONG rc =
        ::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_SZ ? std::wstring(data) : std::wstring();
}

class EngineOnWindows : public ::testing::Test {
protected:
    // Each test starts on a machine without the engine: its key is removed from the 32-bit view.
    void SetUp() override { win32::test::RemoveSuiteEngine(); }
    void TearDown() override { win32::test::RemoveSuiteEngine(); }

    void RegisterEngine(const std::string& dllPath) {
        const std::string key = "SOFTWARE\\" + std::string(db::kBdeKey);
        ASSERT_TRUE(registry_.CreateKey(Hive::LocalMachine, key));
        ASSERT_TRUE(registry_.WriteString(Hive::LocalMachine, key, std::string(db::kBdePathValue), dllPath));
    }
    std::string Folder(const wchar_t* name) const { return win32::Narrow(ProgramFolder() + L"\\" + name); }

    // The wizard as Kurdb.exe puts it together, with dialogs answered by a script.
    struct Wizard {
        explicit Wizard(EngineOnWindows& t)
            : database(std::make_unique<db::OdbcEngine>(), db::MakePlatformEngine(t.registry_)),
              ctl(form, window, EditionFor(kShippedEdition),
                  {t.platform_, t.profiles_, database, t.registry_, processes, links}) {
            ctl.FormCreate();
            ctl.FormShow();
            form.SetChecked(controls::cbKaydet, false);  // nothing written beside the test
            form.SetLines(controls::Memo1, {});
        }
        db::Components database;
        test::RecordingProcesses processes;
        test::RecordingShellLinks links;
        test::ScriptedWindow window;
        FormModel form{WindowDef::Embedded()};
        TFFirmaDB ctl;
    };

    Win32Platform platform_;
    test::MemoryProfiles profiles_;
    win32::Win32Registry registry_{HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
};

TEST_F(EngineOnWindows, WithoutTheEngineTheFirstPressOnlyLogsAndTheSecondOffersTheInstaller) {
    Wizard w(*this);
    w.ctl.Click(controls::btnConnect);
    EXPECT_EQ(w.form.Lines(controls::Memo1), Lines{"BDE Kurulu değil!"});
    EXPECT_TRUE(w.window.questions.empty());
    EXPECT_EQ(w.form.ActivePage(controls::cxPage), 0);

    w.ctl.Click(controls::btnConnect);  // answered "no"
    EXPECT_EQ(w.window.questions, Lines{"BDE Kurulumu indirilsin mi?"});
    EXPECT_EQ(w.form.Lines(controls::Memo1), (Lines{"BDE Kurulu değil!", "BDE Kurulu değil!"}));
    EXPECT_FALSE(w.database.dbFirma.IsConnected());
}

TEST_F(EngineOnWindows, AnEngineWhoseStartFailsCountsAsMissing) {
    RegisterEngine(Folder(L"bde-broken"));
    Wizard w(*this);
    w.ctl.Click(controls::btnConnect);
    EXPECT_EQ(w.form.Lines(controls::Memo1), Lines{"BDE Kurulu değil!"});
}

TEST_F(EngineOnWindows, ARegisteredEngineIsAskedItsVersionAndItsSettingsGoToThe32BitView) {
    const test::TestServer server = test::FindTestServer();
    ASSERT_TRUE(server.missing.empty()) << server.missing;
    // the first folder of DLLPATH has no engine; the second has
    RegisterEngine("C:\\kurdb-no-engine-here; " + Folder(L"bde"));
    ASSERT_TRUE(
        registry_.CreateKey(Hive::LocalMachine, "SOFTWARE\\" + std::string(setup::kEngineSettingsKey)));
    const std::wstring exited = ProgramFolder() + L"\\bde\\IDAPI32.DLL.exited";
    ::DeleteFileW(exited.c_str());

    Wizard w(*this);
    w.form.SetChecked(controls::cbFirmalar, false);
    w.form.SetText(controls::editServer, server.server);
    w.form.SetText(controls::editUser, server.user);
    w.form.SetText(controls::editPass, server.password);
    w.ctl.Click(controls::btnConnect);
    ASSERT_TRUE(w.window.errors.empty()) << w.window.errors[0].text;

    const Lines& log = w.form.Lines(controls::Memo1);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "BDE Versiyon: 520");
    EXPECT_NE(std::find(log.begin(), log.end(), "Server a bağlantı kuruldu."), log.end());
    EXPECT_NE(::GetFileAttributesW(exited.c_str()), INVALID_FILE_ATTRIBUTES)
        << "DbiExit closes the engine again";
    EXPECT_EQ(w.form.ActivePage(controls::cxPage), 1);

    // Wine's own prefix keeps engine defaults in the 64-bit view (SHAREDMEMLOCATION 9000): they
    // stay as they were, and the engine's 32-bit view has the six settings.
    for (const auto& setting : setup::kEngineSettings) {
        const std::wstring name = win32::Wide(setting.name);
        EXPECT_EQ(SettingIn(KEY_WOW64_32KEY, name), win32::Wide(setting.required)) << setting.name;
        EXPECT_NE(SettingIn(KEY_WOW64_64KEY, name), win32::Wide(setting.required)) << setting.name;
    }
    EXPECT_EQ(registry_.ReadString(Hive::LocalMachine, "SOFTWARE\\" + std::string(setup::kEngineSettingsKey),
                                   "SHAREDMEMLOCATION", Access::Read),
              "0x5BDE");
}

TEST_F(EngineOnWindows, TheClientLibraryIsAimedAtThe32BitSystemDirectory) {
    wchar_t wow64[MAX_PATH];
    const UINT n = ::GetSystemWow64DirectoryW(wow64, MAX_PATH);
    ASSERT_GT(n, 0u) << "a 64-bit Windows has a 32-bit system directory";
    const std::wstring path = win32::Wide(setup::ClientLibraryPath(platform_));
    EXPECT_EQ(Lower(path), Lower(std::wstring(wow64, n) + L"\\ntwdblib.dll"));
    EXPECT_NE(Lower(path).find(L"syswow64"), std::wstring::npos);
    // This build carries no client library: with no file there, the step says so and goes on.
    ::DeleteFileW(path.c_str());
    EXPECT_FALSE(setup::PlaceClientLibrary(win32::Narrow(path)));
}

}  // namespace
}  // namespace kurdb
