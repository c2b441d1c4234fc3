// The Linux back ends that start programs and write links: detached starts of the suite's
// programs, and desktop entries in place of shell links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "ShellTestSupport.h"
#include "shell/Processes.h"
#include "shell/Shortcuts.h"
#include "shell/posix/DesktopEntry.h"
#include "shell/posix/FileRegistry.h"

using namespace kurdb;
using kurdb::test::ReadFile;
using kurdb::test::ScopedEnv;
using kurdb::test::TempDir;

namespace {

// Polls for a file another process writes; gives up after a generous limit.
bool AppearsSoon(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(path)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

}  // namespace

TEST(ShellOpen, StartsDetachedWithoutLeavingAChildBehind) {
    TempDir dir;
    const std::string out = dir.Join("child.txt");
    ScopedEnv env("KURDB_CHILD_OUT", out);
    auto processes = MakeNativeProcesses();
    // A bare name, found beside the running program; the parameters split as Windows would.
    processes->ShellOpen("kurdb_test_child", "1 \"iki kelime\"");
    // Returned at once, and nothing remains for us to reap: the program belongs to init.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    ASSERT_TRUE(AppearsSoon(out));
    const std::string record = ReadFile(out);
    EXPECT_NE(record.find("\n1\niki kelime\n"), std::string::npos) << record;

    // A program that is not there: nothing happens, nothing is reported.
    processes->ShellOpen("kurdb_no_such_program_here", "1");
    processes->ShellOpen("", "");
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

TEST(DesktopEntry, ExecQuotesByTheDesktopEntryRules) {
    struct Case {
        const char* target;
        const char* args;
        const char* exec;
    } cases[] = {
        {"/opt/duranix/VANTRIS.exe", "", "/opt/duranix/VANTRIS.exe"},
        {"/opt/Duranix Satış/VANTRIS.exe", "1", "\"/opt/Duranix Satış/VANTRIS.exe\" 1"},
        {"/opt/a", "\"iki kelime\" 100%", "/opt/a \"iki kelime\" 100%%"},
        {"/opt/$x/a", "a\\\"b `c`", "\"/opt/\\$x/a\" \"a\\\"b\" \"\\`c\\`\""},
        {"/opt/a", "C:\\yol", "/opt/a \"C:\\\\yol\""},
        {"/opt/a", "\"\"", "/opt/a \"\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(posix::ExecLine(c.target, c.args), c.exec) << c.target << " " << c.args;
}

TEST(DesktopEntry, ShortcutOnTheDesktopIsAnExecutableEntry) {
    TempDir dir;
    const std::string desktop = dir.Join("Masaüstü");
    std::filesystem::create_directory(desktop);
    posix::FileRegistry registry(dir.Join("reg"), posix::UserFolders{desktop, dir.Join("apps")});
    auto links = MakeNativeShellLinks();
    EXPECT_EQ(links->Extension(), ".desktop");

    std::string path;
    CreateShortcut(registry, *links, "/opt/Duranix/VANTRIS.exe", slDesktop, "", "", "C:\\x 1",
                   "Duranix Satış", path);
    ASSERT_EQ(path, desktop + "/Duranix Satış.desktop");
    EXPECT_EQ(ReadFile(path),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=Duranix Satış\n"
              "Comment=Duranix Satış\n"
              "Exec=/opt/Duranix/VANTRIS.exe \"C:\\\\\\\\x\" 1\n"
              "Path=/opt/Duranix/\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);

    // Into a folder that is not there: no file, no error, the path all the same.
    CreateShortcut(registry, *links, "/opt/a", slDesktop, "Yok", "", "", "Servis", path);
    EXPECT_EQ(path, desktop + "/Yok/Servis.desktop");
    EXPECT_FALSE(std::filesystem::exists(desktop + "/Yok"));
    // The applications folder stands in for the start menu.
    std::filesystem::create_directory(dir.Join("apps"));
    CreateShortcut(registry, *links, "/opt/a", slStartMenu, "", "/srv", "", "Servis", path);
    EXPECT_EQ(path, dir.Join("apps/Servis.desktop"));
    EXPECT_NE(ReadFile(path).find("\nPath=/srv\n"), std::string::npos);
}
