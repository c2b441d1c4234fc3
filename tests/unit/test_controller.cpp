#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/HeadlessWizard.h"
#include "app/Kurdb.h"
#include "resources/ControlNames.h"

using namespace kurdb;
using namespace kurdb::test;

namespace {

// A driver manager that no machine has: the engine check fails as on a machine without one.
std::unique_ptr<db::OdbcEngine> MissingEngine() {
    return std::make_unique<db::OdbcEngine>("kurdb-no-such-driver-manager");
}

// One wizard window without widgets, opened as the program entry opens it.
struct Wizard : HeadlessWizard {
    using HeadlessWizard::HeadlessWizard;
    void Open() {
        ctl.FormCreate();
        ctl.FormShow();
    }
    std::string IniPath() const { return ctl.SettingsPath(); }
};

}  // namespace

TEST(WindowDefinition, ControlsDefaultsAndTabOrder) {
    const WindowDef& def = WindowDef::Embedded();
    EXPECT_EQ(def.Form().caption, "DURANIX Veritabanı Kurulumu");
    EXPECT_EQ(def.Form().width, 554);
    EXPECT_EQ(def.Form().height, 374);
    std::vector<std::string> pages;
    for (const ControlDef* p : def.PagesOf(controls::cxPage)) pages.push_back(p->caption);
    EXPECT_EQ(pages, (std::vector<std::string>{"Bağlan", "Güncelle", "Bitir", "Rapor"}));
    std::vector<std::string> order;
    for (const ControlDef* c : def.TabOrderOf(controls::cxTabSheet1)) order.push_back(c->name);
    EXPECT_EQ(order, (std::vector<std::string>{controls::editServer, controls::editUser, controls::editPass,
                                               controls::btnConnect, controls::cbFirmalar, controls::cbKaydet,
                                               controls::cbTerminal}));
    EXPECT_TRUE(def.Find(controls::editPass).password);
    EXPECT_EQ(def.Find(controls::cbTerminal).items, (std::vector<std::string>{"Ana Makine", "Terminal"}));
    EXPECT_EQ(def.Find(controls::cbTerminal).caption, " Kurulum Yeri ");
    EXPECT_EQ(def.Find(controls::Label4).caption, "Server Adı ");
    EXPECT_EQ(def.Find(controls::cbGuncel).font.pixelHeight, 16);
    EXPECT_EQ(def.Find(controls::editServer).font.pixelHeight, 13);
    EXPECT_EQ(def.Find(controls::BitBtn1).kind, ControlKind::Action);
    EXPECT_EQ(AccessKeyOf(def.Find(controls::BitBtn2).caption), 'S');
    EXPECT_EQ(StripAccessKey("&Son"), "Son");
}

TEST(WindowDefinition, MalformedDefinitionsAreRejectedWithTheirLine) {
    EXPECT_THROW(WindowDef::Parse("label x parent=FFirmaDB\n"), EProgramFault);  // no form
    EXPECT_THROW(WindowDef::Parse("form F\nedit e parent=Nowhere\n"), EProgramFault);
    EXPECT_THROW(WindowDef::Parse("form F\nedit e parent=F left=1x\n"), EProgramFault);
    EXPECT_THROW(WindowDef::Parse("form F\nwidget e parent=F\n"), EProgramFault);
    try {
        WindowDef::Parse("form F\n\nedit e parent=F caption=\"open\n");
        FAIL();
    } catch (const EProgramFault& e) {
        EXPECT_NE(std::string(e.what()).find(":3:"), std::string::npos) << e.what();
    }
}

TEST(FormShow, WithoutSettingsFileLogsTheMissingServerName) {
    Wizard w;
    w.Open();
    EXPECT_EQ(w.form.Text(controls::RxLabel1), "DURANIX DORVA VERİTABANI KURULUMU");
    EXPECT_EQ(w.form.Text(controls::editServer), "");
    EXPECT_EQ(w.form.Text(controls::editUser), "DURANIX");
    EXPECT_EQ(w.Log(), std::vector<std::string>{"Server Bağlantı Parametresi mevcut değil!"});
    EXPECT_EQ(w.form.ActivePage(controls::cxPage), 0);
    EXPECT_TRUE(w.window.errors.empty());
}

TEST(FormShow, ServerNameComesFromTheFileBesideTheProgram) {
#ifdef _WIN32
    const std::string exe = "C:\\Suite\\bin\\KURDB.EXE", ini = "C:\\Suite\\bin\\Duranix.ini";
#else
    const std::string exe = "/srv/suite/bin/kurdb", ini = "/srv/suite/bin/Duranix.ini";
#endif
    Wizard w(3, exe);
    w.profiles.files[ini] = "[server]\r\nSERVERADI=DB01\\SQL2019\r\n";
    w.profiles.files["Duranix.ini"] = "[SERVER]\r\nServerAdi=from-working-dir\r\n";
    w.Open();
    EXPECT_EQ(w.IniPath(), ini);
    EXPECT_EQ(w.form.Text(controls::editServer), "DB01\\SQL2019");
    EXPECT_EQ(w.ctl.RememberedServerName(), "DB01\\SQL2019");
    EXPECT_TRUE(w.Log().empty());
}

TEST(FormShow, EmptyServerNameInTheFileCountsAsNone) {
    Wizard w;
    w.profiles.files[w.IniPath()] = "[SERVER]\r\nServerAdi=\r\n";
    w.Open();
    EXPECT_EQ(w.form.Text(controls::editServer), "");
    EXPECT_EQ(w.Log(), std::vector<std::string>{"Server Bağlantı Parametresi mevcut değil!"});
}

TEST(FormShow, TitleFollowsTheEdition) {
    Wizard w(17);
    w.Open();
    EXPECT_EQ(w.form.Text(controls::RxLabel1), "DURANIX DO DORIVODA VERİTABANI KURULUMU");
}

TEST(InstallPlace, RadioGroupSwitchesUserAndCompaniesBox) {
    Wizard w;
    w.Open();
    EXPECT_EQ(w.form.ItemIndex(controls::cbTerminal), 1);
    EXPECT_FALSE(w.form.Checked(controls::cbFirmalar));

    w.form.SetItemIndex(controls::cbTerminal, 0);
    w.ctl.Click(controls::cbTerminal);
    EXPECT_EQ(w.form.Text(controls::editUser), "sa");
    EXPECT_TRUE(w.form.Checked(controls::cbFirmalar));

    w.form.SetItemIndex(controls::cbTerminal, 1);
    w.ctl.Click(controls::cbTerminal);
    EXPECT_EQ(w.form.Text(controls::editUser), "DURANIX");
    EXPECT_FALSE(w.form.Checked(controls::cbFirmalar));
}

TEST(SaveSettings, WithoutConnectionNothingIsWritten) {
    Wizard w;
    w.Open();
    w.ctl.SetRememberedServerName("DB01");
    w.ctl.Click(controls::BitBtn1);
    EXPECT_EQ(w.profiles.writes, 0);
    EXPECT_EQ(w.Log().back(), "Önce Server Bağlantısı yapılmalı!");
}

TEST(Finish, EditionEighteenHidesNewCompanyAndFinishOnlyCloses) {
    Wizard w(18);
    w.Open();
    EXPECT_FALSE(w.form.Visible(controls::cbFirmaAc));
    w.ctl.Click(controls::BitBtn2);
    EXPECT_EQ(w.window.closes, 1);
    EXPECT_TRUE(w.window.errors.empty());
}

TEST(Finish, EditionThreeShowsNewCompanyAndUncheckedFinishCloses) {
    Wizard w(3);
    w.Open();
    EXPECT_TRUE(w.form.Visible(controls::cbFirmaAc));
    EXPECT_FALSE(w.form.Checked(controls::cbFirmaAc));
    w.ctl.Click(controls::BitBtn2);
    EXPECT_EQ(w.window.closes, 1);
}

TEST(ReportLog, SeveralLinesMakeSeveralLogLines) {
    Wizard w;
    w.ctl.LogLine("Hata:General SQL error.\r\nLogin failed for user 'sa'.");
    w.ctl.LogLine("a\nb\rc\r\n");
    w.ctl.LogLine("");
    EXPECT_EQ(w.Log(), (std::vector<std::string>{"Hata:General SQL error.", "Login failed for user 'sa'.",
                                                 "a", "b", "c", ""}));
}

TEST(PageFlow, AdvanceMovesOnePageAndStopsAtTheLast) {
    Wizard w;
    w.Open();
    w.ctl.AdvancePage();
    EXPECT_EQ(w.form.ActivePage(controls::cxPage), 1);
    w.form.SetActivePage(controls::cxPage, 3);  // the user picked "Rapor" by its tab
    w.ctl.AdvancePage();
    EXPECT_EQ(w.form.ActivePage(controls::cxPage), 3);
}

// The settings file beside the real test program, found whatever the working directory.
TEST(SettingsFile, FoundBesideTheExecutableFromAnotherWorkingDirectory) {
    namespace fs = std::filesystem;
    auto platform = MakeNativePlatform();
    const fs::path exeDir = fs::path(platform->ExecutablePath()).parent_path();
    const fs::path ini = exeDir / "Duranix.ini";
    fs::remove(ini);
    { std::ofstream(ini, std::ios::binary) << "[SERVER]\r\nServerAdi=BESIDE-EXE\r\n"; }
    const fs::path elsewhere = fs::temp_directory_path();
    const fs::path oldCwd = fs::current_path();
    fs::current_path(elsewhere);
    { std::ofstream("Duranix.ini", std::ios::binary) << "[SERVER]\r\nServerAdi=IN-CWD\r\n"; }

    auto profiles = MakeNativeProfileFiles();
    db::Components database(MissingEngine());
    MemoryRegistry registry;
    RecordingProcesses processes;
    RecordingShellLinks links;
    ScriptedWindow window;
    FormModel form(WindowDef::Embedded());
    TFFirmaDB ctl(form, window, EditionFor(3), {*platform, *profiles, database, registry, processes, links});
    ctl.FormShow();
    EXPECT_EQ(form.Text(controls::editServer), "BESIDE-EXE");

    fs::remove(elsewhere / "Duranix.ini");
    fs::current_path(oldCwd);
    fs::remove(ini);
}
