// The first page's "İleri" where no server is needed: a machine without the database engine
// (the installer's download and run), the engine's registry settings, and the lines of the
// embedded statements that the creation replaces.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/HeadlessWizard.h"
#include "app/Kurdb.h"
#include "db/Components.h"
#include "setup/ServerSetup.h"
#include "base/Exception.h"
#include "shell/Downloader.h"
#include "resources/ControlNames.h"

using namespace kurdb;
using namespace kurdb::test;
namespace fs = std::filesystem;

namespace {

// A wizard on a machine without the engine, its program in a folder of its own.
class NoEngine : public ::testing::Test, protected HeadlessWizard {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kurdb-noengine-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        platform.exe = (dir / "kurdb").string();
        installer = (dir / "bde.exe").string();
        ctl.FormCreate();
        ctl.FormShow();
        form.SetLines(controls::Memo1, {});
    }
    void TearDown() override { fs::remove_all(dir); }

    void Press() { ctl.Click(controls::btnConnect); }
    void PutInstaller(const std::string& bytes) { std::ofstream(installer, std::ios::binary) << bytes; }

    fs::path dir;
    std::string installer;
};

TEST_F(NoEngine, TheFirstPressOnlyLogsAndArmsTheOffer) {
    EXPECT_EQ(form.Tag(controls::btnConnect), 0);
    Press();
    EXPECT_EQ(Log(), std::vector<std::string>{"BDE Kurulu değil!"});
    EXPECT_TRUE(window.questions.empty());
    EXPECT_TRUE(window.errors.empty());
    EXPECT_TRUE(processes.runs.empty());
    EXPECT_TRUE(registry.calls.empty()) << "no settings without the engine";
    EXPECT_EQ(form.ActivePage(controls::cxPage), 0);
    EXPECT_EQ(form.Tag(controls::btnConnect), 1);
    EXPECT_EQ(profiles.writes, 0);
}

TEST_F(NoEngine, SecondPressAsksToDownloadAndNoEndsIt) {
    Press();
    window.answers = {false};
    Press();
    EXPECT_EQ(window.questions, std::vector<std::string>{"BDE Kurulumu indirilsin mi?"});
    EXPECT_TRUE(processes.runs.empty());
    EXPECT_EQ(Log(), (std::vector<std::string>{"BDE Kurulu değil!", "BDE Kurulu değil!"}));
    EXPECT_EQ(form.Tag(controls::btnConnect), 1) << "the offer stays armed";
    EXPECT_EQ(form.ActivePage(controls::cxPage), 0);
}

TEST_F(NoEngine, YesDownloadsThenRunsTheInstallerAndWaits) {
    PutInstaller("");  // an empty leftover is deleted before the download
    Press();
    processes.onRun = [&](const std::string& line) {
        if (line.find("/indir/bde.exe") != std::string::npos) {
            EXPECT_FALSE(fs::exists(installer)) << "the old copy is deleted first";
            PutInstaller("MZ installer");
        }
    };
    window.answers = {true, true};
    Press();
    EXPECT_EQ(window.questions,
              (std::vector<std::string>{"BDE Kurulumu indirilsin mi?", "BDE Kurulum çalıştırılsın mı?"}));
    ASSERT_EQ(processes.runs.size(), 2u);
    const std::string& download = processes.runs[0];
    EXPECT_NE(
        download.find(" " + EngineInstallerUrl() + " -O \"" + installer + "\" -t20 -T10 -N -Y off |show=5"),
        std::string::npos)
        << download;
    EXPECT_EQ(EngineInstallerUrl().find("://"), std::string::npos) << "no scheme";
    EXPECT_EQ(processes.uncached, std::vector<std::string>{EngineInstallerUrl()});
    EXPECT_EQ(processes.runs[1], installer + " |show=5") << "the full path, unquoted, is the line";
    EXPECT_EQ(form.ActivePage(controls::cxPage), 0);
    EXPECT_TRUE(window.errors.empty());
}

TEST_F(NoEngine, ANonEmptyInstallerIsRunWithoutADownload) {
    PutInstaller("MZ");
    Press();
    window.answers = {false};
    Press();
    EXPECT_EQ(window.questions, std::vector<std::string>{"BDE Kurulum çalıştırılsın mı?"});
    EXPECT_TRUE(processes.runs.empty()) << "\"&Hayır\" runs nothing";
    EXPECT_TRUE(fs::exists(installer));
}

TEST_F(NoEngine, AnEmptyInstallerIsOfferedForDownloadAndThenForARun) {
    PutInstaller("");
    Press();
    window.answers = {false, true};
    Press();
    EXPECT_EQ(window.questions,
              (std::vector<std::string>{"BDE Kurulumu indirilsin mi?", "BDE Kurulum çalıştırılsın mı?"}));
    EXPECT_EQ(processes.runs, std::vector<std::string>{installer + " |show=5"});
}

TEST_F(NoEngine, ADownloadThatBringsNothingAsksNoRunQuestion) {
    Press();
    window.answers = {true, true};
    Press();
    EXPECT_EQ(window.questions, std::vector<std::string>{"BDE Kurulumu indirilsin mi?"});
    EXPECT_EQ(processes.runs.size(), 1u) << "only the download program ran";
    EXPECT_FALSE(fs::exists(installer));
}

TEST_F(NoEngine, AnInstallerPathThatIsAFolderIsNotRun) {
    fs::create_directories(installer);
    Press();
    window.answers = {false, true};
    Press();
    EXPECT_EQ(window.questions, std::vector<std::string>{"BDE Kurulumu indirilsin mi?"});
    EXPECT_TRUE(processes.runs.empty());
}

// The engine's six settings below HKLM\SOFTWARE\.
class EngineSettings : public ::testing::Test {
protected:
    MemoryRegistry::Key& Key(bool writable = true) {
        return registry.AddKey(Hive::LocalMachine, "SOFTWARE\\" + std::string(setup::kEngineSettingsKey),
                               writable);
    }
    std::vector<std::string> Writes() const {
        std::vector<std::string> w;
        for (const auto& c : registry.calls)
            if (c[0] == 'W') w.push_back(c);
        return w;
    }
    MemoryRegistry registry;
};

TEST_F(EngineSettings, OnlyDifferingValuesAreWrittenLetterCaseCounting) {
    auto& key = Key();
    MemoryRegistry::Set(key, "MAXBUFSIZE", "32768");
    MemoryRegistry::Set(key, "MEMSIZE", "128");
    MemoryRegistry::Set(key, "MINBUFSIZE", "64");
    MemoryRegistry::Set(key, "SHAREDMEMLOCATION", "0x5bde");
    MemoryRegistry::Set(key, "SHAREDMEMSIZE", "16384 ");
    MemoryRegistry::Set(key, "LANGDRIVER", "ascii");
    setup::CorrectEngineSettings(registry);
    EXPECT_EQ(Writes(), (std::vector<std::string>{"W MAXFILEHANDLES=128", "W SHAREDMEMLOCATION=0x5BDE",
                                                  "W SHAREDMEMSIZE=16384"}));
    std::vector<std::string> reads;
    for (const auto& c : registry.calls)
        if (c[0] == 'R') reads.push_back(c.substr(2));
    EXPECT_EQ(reads, (std::vector<std::string>{"MAXBUFSIZE", "MAXFILEHANDLES", "MEMSIZE", "MINBUFSIZE",
                                               "SHAREDMEMLOCATION", "SHAREDMEMSIZE"}));
    EXPECT_EQ(registry.ReadString(Hive::LocalMachine, "SOFTWARE\\" + std::string(setup::kEngineSettingsKey),
                                  "LANGDRIVER", Access::Read),
              "ascii")
        << "other values are left alone";
    registry.calls.clear();
    setup::CorrectEngineSettings(registry);
    EXPECT_TRUE(Writes().empty()) << "a second run finds everything right";
}

TEST_F(EngineSettings, AKeyThatDoesNotOpenForWritingIsLeftUnread) {
    Key(false);
    setup::CorrectEngineSettings(registry);
    EXPECT_TRUE(registry.calls.empty());
    MemoryRegistry other;
    setup::CorrectEngineSettings(other);  // no key at all
    EXPECT_TRUE(other.calls.empty());
}

TEST_F(EngineSettings, WrongTypesAndRefusedWritesReachTheCaller) {
    auto& key = Key();
    MemoryRegistry::Set(key, "MEMSIZE", "\x80", false);
    try {
        setup::CorrectEngineSettings(registry);
        FAIL() << "a binary value was taken as text";
    } catch (const EPlatformError& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'MEMSIZE'");
    }
    MemoryRegistry::Set(key, "MEMSIZE", "128");
    registry.refusedWrites = {"MINBUFSIZE"};
    try {
        setup::CorrectEngineSettings(registry);
        FAIL() << "a refused write went unnoticed";
    } catch (const EPlatformError& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'MINBUFSIZE'");
    }
}

// The creation replaces whole lines of the embedded statements by their index: every file holds,
// at that index, the line the code means, and once the module statement is named for a database
// and a module nothing of the shipped edition's names is left in the batch it sends.
TEST(ReplacedLines, EachFileHoldsTheLineTheCodeReplaces) {
    for (const setup::ReplacedLine& line : setup::kReplacedLines) {
        const auto lines = db::ResourceLines("sql/" + std::string(line.file) + ".sql");
        ASSERT_LT(line.index, static_cast<int>(lines.size())) << line.file;
        EXPECT_EQ(lines[static_cast<std::size_t>(line.index)], line.original)
            << line.file << " line " << line.index;
    }

    db::SqlTemplate module("QCreateModulGun", nullptr, db::ResourceLines("sql/QCreateModulGun.sql"));
    setup::ReplaceLine(module, setup::kModuleUseLine, "USE FIRMAX");
    setup::NameModuleTable(module, "MODULX");
    const std::string batch = module.BatchText();
    EXPECT_EQ(batch.find("GUNCELALVEN"), std::string::npos) << batch;
    EXPECT_EQ(batch.find("FirmaDB"), std::string::npos) << batch;
    EXPECT_NE(batch.find("\r\n[PK_MODULX]\r\n"), std::string::npos) << batch;

    EXPECT_THROW(setup::ReplaceLine(module, setup::kCheckUseLine, "USE FIRMAX"), EProgramFault)
        << "a line of QFirmaTam is not one of QCreateModulGun";
}

}  // namespace
