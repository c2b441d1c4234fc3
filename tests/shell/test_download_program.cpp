// The download program against a loopback HTTP server (http_server.py, started by a CTest
// fixture): the system's GNU Wget on Linux, the program this build carries (wget.exe) on
// Windows, run as the wizard runs it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#ifdef _WIN32
#include <process.h>
#else
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "ShellTestSupport.h"
#include "shell/CommandLine.h"
#include "shell/Downloader.h"
#include "shell/Files.h"
#include "shell/Payloads.h"
#include "base/Text.h"

using namespace kurdb;
using kurdb::test::ReadFile;
using kurdb::test::TempDir;
using kurdb::test::U8Path;
using kurdb::test::WriteFile;

namespace {

constexpr long long kServerFileTime = 1577934245;  // 2020-01-02 03:04:05 UTC, Last-Modified of /files/

std::string Body() {
    std::string body;
    for (int i = 0; i < 1000; ++i) body += "Kurdb test download\n";
    return body;
}

class FixedPlatform : public IPlatform {
public:
    explicit FixedPlatform(std::string exe) : exe_(std::move(exe)) {}
    std::string ExecutablePath() const override { return exe_; }
    std::string SystemDirectory() const override { return {}; }

private:
    std::string exe_;
};

long long ModifiedTime(const std::string& path) {
#ifdef _WIN32
    struct _stat64 st {};
    const std::u16string w = text::Utf8ToUtf16(path);
    if (_wstat64(reinterpret_cast<const wchar_t*>(w.c_str()), &st) != 0) return -1;
#else
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return -1;
#endif
    return static_cast<long long>(st.st_mtime);
}

class DownloadProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* state = std::getenv("KURDB_TEST_HTTP_STATE");
        ASSERT_TRUE(state) << "KURDB_TEST_HTTP_STATE names the test server's folder";
        const std::string portFile = std::string(state) + (NativePathRules().windows ? "\\port" : "/port");
        host = "127.0.0.1:" + ReadFile(portFile);
        // The wizard's program folder is this one; it runs the download program from there.
        previous = std::filesystem::current_path();
        std::filesystem::current_path(U8Path(dir.Path()));
    }
    void TearDown() override { std::filesystem::current_path(previous); }

    // The program's exit status for one line, started without the wizard's runner.
    int ExitStatus(const std::string& line) {
#ifdef _WIN32
        WritePayloadIfAbsent(kDownloaderPayload, dir.Join("WGET.EXE"));
        std::vector<std::wstring> args;
        for (const std::string& a : SplitCommandLine(line)) {
            const std::u16string w = text::Utf8ToUtf16(a);
            args.emplace_back(L"\"" + std::wstring(w.begin(), w.end()) + L"\"");
        }
        std::vector<const wchar_t*> argv;
        for (const auto& a : args) argv.push_back(a.c_str());
        argv.push_back(nullptr);
        const std::string program = dir.Join("WGET.EXE");
        const std::u16string wp = text::Utf8ToUtf16(program);
        return static_cast<int>(_wspawnv(_P_WAIT, reinterpret_cast<const wchar_t*>(wp.c_str()), argv.data()));
#else
        std::vector<std::string> args = SplitCommandLine(line);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    }

    int Count(const std::string& path) {
        const std::string file = dir.Join("count.txt");
        EXPECT_EQ(ExitStatus(DownloadCommandLine(DownloadProgram(), host + "/count" + path, file)), 0);
        return std::stoi(ReadFile(file));
    }

    TempDir dir;
    std::filesystem::path previous;
    std::string host;
    FixedPlatform platform{dir.Join("Kurdb.exe")};
    std::unique_ptr<IProcesses> processes = MakeNativeProcesses();
    std::vector<std::string> log;
    Downloader downloader{platform, *processes, [this](std::string_view l) { log.emplace_back(l); }};
};

}  // namespace

TEST_F(DownloadProgramTest, FetchesIntoTheQuotedTargetWithTheServersTime) {
    std::filesystem::create_directory(U8Path(dir.Join("Kurulum Dosyaları")));
    const std::string target = dir.Join("Kurulum Dosyaları/bde.exe");
    ASSERT_TRUE(downloader.Download(host + "/files/bde.exe", target));
    EXPECT_EQ(ReadFile(target), Body());
    EXPECT_EQ(ModifiedTime(target), kServerFileTime);
    EXPECT_TRUE(log.empty());
}

TEST_F(DownloadProgramTest, TimestampingAgainstTheLocalFile) {
    const std::string target = dir.Join("bde.exe");
    ASSERT_EQ(ExitStatus(DownloadCommandLine(DownloadProgram(), host + "/files/ts.exe", target)), 0);
    WriteFile(target, "local copy");
    std::filesystem::last_write_time(U8Path(target), std::filesystem::file_time_type::clock::now());
    ASSERT_EQ(ExitStatus(DownloadCommandLine(DownloadProgram(), host + "/files/ts.exe", target)), 0);
#ifdef _WIN32
    // Not newer on the server: asked once more, left alone.
    EXPECT_EQ(ReadFile(target), "local copy");
#else
    // GNU Wget since 1.12 ignores -N together with -O and fetches again.
    EXPECT_EQ(ReadFile(target), Body());
#endif
    EXPECT_EQ(Count("/files/ts.exe"), 2);
    // Newer on the server: fetched.
    WriteFile(target, "local copy");
    std::filesystem::last_write_time(U8Path(target),
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    ASSERT_EQ(ExitStatus(DownloadCommandLine(DownloadProgram(), host + "/newer/ts.exe", target)), 0);
    EXPECT_EQ(ReadFile(target), Body());
}

TEST_F(DownloadProgramTest, DroppedConnectionsAreTriedAgainUpToTheLimit) {
    const std::string target = dir.Join("flaky.exe");
    ASSERT_EQ(ExitStatus(DownloadCommandLine(DownloadProgram(), host + "/flaky/a/2/x.exe", target)), 0);
    EXPECT_EQ(ReadFile(target), Body());
    EXPECT_EQ(Count("/flaky/a/2/x.exe"), 3);

    const std::string line = std::string(DownloadProgram()) + " " + host + "/flaky/b/5/x.exe -O \"" +
                             dir.Join("two.exe") + "\" -t2 -Y off";
    EXPECT_NE(ExitStatus(line), 0);
    EXPECT_EQ(Count("/flaky/b/5/x.exe"), 2);
    EXPECT_FALSE(files::IsFile(dir.Join("two.exe")) && files::FileSize(dir.Join("two.exe")) != 0u);
}

TEST_F(DownloadProgramTest, OnlyAGatewayTimeoutIsTriedAgainAmongErrorAnswers) {
    // As GNU Wget: a server error is final (exit 8), a gateway's time-out is worth another try.
    const std::string target = dir.Join("error.exe");
    EXPECT_EQ(ExitStatus(DownloadCommandLine(DownloadProgram(), host + "/status/500/bde.exe", target)), 8);
    EXPECT_EQ(Count("/status/500/bde.exe"), 1);
    const std::string line =
        std::string(DownloadProgram()) + " " + host + "/status/504/bde.exe -O \"" + target + "\" -t2 -Y off";
    EXPECT_NE(ExitStatus(line), 0);
    EXPECT_EQ(Count("/status/504/bde.exe"), 2);
    EXPECT_FALSE(files::IsFile(target) && files::FileSize(target) != 0u);
}

TEST_F(DownloadProgramTest, ReadTimeoutEndsAStalledTransfer) {
    // One try, one second without data: the program gives up long before the server goes on.
    const std::string line = std::string(DownloadProgram()) + " " + host + "/stall/x.exe -O \"" +
                             dir.Join("stalled.exe") + "\" -t1 -T1 -Y off";
    EXPECT_NE(ExitStatus(line), 0);
    EXPECT_NE(files::FileSize(dir.Join("stalled.exe")).value_or(0), Body().size());
}

TEST_F(DownloadProgramTest, MissingFileAndUnreachableServerFailTheProgramButNotTheDownload) {
    const std::string target = dir.Join("bde.exe");
    EXPECT_EQ(ExitStatus(DownloadCommandLine(DownloadProgram(), host + "/yok/bde.exe", target)), 8);
    EXPECT_EQ(Count("/yok/bde.exe"), 1);  // a 404 is not tried again
    EXPECT_FALSE(files::IsFile(target) && files::FileSize(target) != 0u);
    // Port 1 of the loopback: nobody listens.
    EXPECT_NE(ExitStatus(DownloadCommandLine(DownloadProgram(), "127.0.0.1:1/bde.exe", target)), 0);
    // The wizard only learns that the program ran.
    EXPECT_TRUE(downloader.Download(host + "/yok/bde.exe", target));
    EXPECT_TRUE(log.empty());
}

TEST_F(DownloadProgramTest, UrlsUpToTheLengthLimit) {
    // wget.exe takes URLs of up to 2083 characters (INTERNET_MAX_URL_LENGTH) and refuses a longer
    // one (exit 1) rather than cut it or overrun a buffer; GNU Wget has no limit.
    const std::string target = dir.Join("long.exe");
    const auto line = [&](std::size_t length) {
        std::string url = "http://" + host + "/files/";
        url.append(length - url.size(), 'x');
        return std::string(DownloadProgram()) + " " + url + " -O \"" + target + "\" -t1 -Y off";
    };
    ASSERT_EQ(ExitStatus(line(2083)), 0);
    EXPECT_EQ(ReadFile(target), Body());
    std::filesystem::remove(U8Path(target));
#ifdef _WIN32
    EXPECT_EQ(ExitStatus(line(2084)), 1);
    EXPECT_FALSE(files::IsFile(target));
#else
    EXPECT_EQ(ExitStatus(line(2084)), 0);
#endif
}
