// The downloader over a recording process runner: the command line, the cache entry, the
// program placed beside the wizard, and what is logged when a step fails.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "ShellTestSupport.h"
#include "shell/Downloader.h"
#include "base/Exception.h"
#include "shell/Files.h"
#include "shell/Payloads.h"

using namespace kurdb;
using kurdb::test::ReadFile;
using kurdb::test::TempDir;
using kurdb::test::WriteFile;

namespace {

class FakePlatform : public IPlatform {
public:
    std::string exe;
    std::string ExecutablePath() const override { return exe; }
    std::string SystemDirectory() const override { return {}; }
};

class RecordingProcesses : public IProcesses {
public:
    std::vector<std::string> order;
    int result = 0;
    bool throwOnRun = false;
    bool throwOnCache = false;
    int RunAndWait(const std::string& line, unsigned short show) override {
        order.push_back("run " + std::to_string(show) + " " + line);
        if (throwOnRun) throw Exception("out of memory");
        return result;
    }
    void ShellOpen(const std::string&, const std::string&) override { order.push_back("open"); }
    void DeleteUrlCacheEntry(const std::string& url) override {
        order.push_back("cache " + url);
        if (throwOnCache) throw std::runtime_error("cache");
    }
};

class DownloaderTest : public ::testing::Test {
protected:
    TempDir dir;
    FakePlatform platform;
    RecordingProcesses processes;
    std::vector<std::string> log;
    Downloader downloader{platform, processes, [this](std::string_view l) { log.emplace_back(l); }};
    std::string wget = dir.Join("WGET.EXE");
    void SetUp() override { platform.exe = dir.Join("Kurdb.exe"); }
};

}  // namespace

TEST(DownloadCommandLine, UrlBareTargetQuotedFixedOptions) {
    EXPECT_EQ(DownloadCommandLine("wget.exe", "www.example.com.tr/indir/bde.exe",
                                  "C:\\Program Files\\Kurdb\\bde.exe"),
              "wget.exe www.example.com.tr/indir/bde.exe -O \"C:\\Program Files\\Kurdb\\bde.exe\" -t20 -T10 "
              "-N -Y off");
    EXPECT_EQ(DownloadCommandLine("wget", "h/a b", "/t"), "wget h/a b -O \"/t\" -t20 -T10 -N -Y off");
    EXPECT_EQ(EngineInstallerUrl(), std::string(DownloadHost()) + "/indir/bde.exe");
    EXPECT_EQ(std::string(DownloadHost()).find('/'), std::string::npos)
        << "a host name, without scheme or path";
}

TEST_F(DownloaderTest, RunsTheProgramAfterClearingTheCache) {
    const std::string target = dir.Join("bde.exe");
    EXPECT_TRUE(downloader.Download("h/indir/bde.exe", target));
    const std::string line =
        std::string(DownloadProgram()) + " h/indir/bde.exe -O \"" + target + "\" -t20 -T10 -N -Y off";
    EXPECT_EQ(processes.order, (std::vector<std::string>{"cache h/indir/bde.exe", "run 5 " + line}));
    EXPECT_TRUE(log.empty());
    // Not started: false, nothing logged.
    processes.result = 1;
    EXPECT_FALSE(downloader.Download("h/indir/bde.exe", target));
    EXPECT_TRUE(log.empty());
}

TEST_F(DownloaderTest, ErrorsOfTheRunAreLoggedWithTheTargetsName) {
    processes.throwOnRun = true;
    EXPECT_FALSE(downloader.Download("h/indir/bde.exe", dir.Join("bde.exe")));
    processes.throwOnRun = false;
    processes.throwOnCache = true;
    EXPECT_FALSE(downloader.Download("h/x", dir.Join("Kurulum Dosyası.exe")));
    EXPECT_EQ(log, (std::vector<std::string>{"bde.exe modülü indirilemedi",
                                             "Kurulum Dosyası.exe modülü indirilemedi"}));
}

#if KURDB_TEST_CARRIES_DOWNLOADER
TEST_F(DownloaderTest, ProgramIsPlacedOnceBesideTheWizard) {
    EXPECT_FALSE(files::Exists(wget));
    EXPECT_TRUE(downloader.Download("h/a", dir.Join("a")));
    EXPECT_EQ(ReadFile(wget), *Payload(kDownloaderPayload));
    WriteFile(wget, "another wget");
    EXPECT_TRUE(downloader.Download("h/a", dir.Join("a")));
    EXPECT_EQ(ReadFile(wget), "another wget");
}

TEST_F(DownloaderTest, ProgramThatCannotBePlacedIsTheCallersError) {
    platform.exe = dir.Join("yok/Kurdb.exe");
    try {
        downloader.Download("h/a", dir.Join("a"));
        FAIL() << "no error";
    } catch (const EPlatformError& e) {
        EXPECT_EQ(e.Message().rfind("Cannot create file \"" + dir.Join("yok") + "\\WGET.EXE\". ", 0), 0u)
            << e.Message();
    }
    EXPECT_TRUE(processes.order.empty());
    EXPECT_TRUE(log.empty());
}
#else
TEST_F(DownloaderTest, SystemWgetIsUsedAndNothingPlacedBesideTheWizard) {
    EXPECT_EQ(DownloadProgram(), "wget");
    EXPECT_TRUE(downloader.Download("h/a", dir.Join("a")));
    EXPECT_FALSE(files::Exists(wget));
}
#endif
