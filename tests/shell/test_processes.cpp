// The process runner of this platform with a real child program (kurdb_test_child, built beside
// this test), and the Windows argument rules it splits lines by.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "ShellTestSupport.h"
#include "shell/CommandLine.h"
#include "shell/Downloader.h"
#include "shell/Platform.h"
#include "shell/Processes.h"

using namespace kurdb;
using kurdb::test::ReadFile;
using kurdb::test::ScopedEnv;
using kurdb::test::TempDir;
using kurdb::test::U8Path;

namespace {

std::string ChildName() {
    return NativePathRules().windows ? "kurdb_test_child.exe" : "kurdb_test_child";
}

std::string ChildPath() {
    const PathRules rules = NativePathRules();
    return rules.IncludeTrailingSeparator(ProgramDirectory(*MakeNativePlatform())) + ChildName();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// A child run's record: its current folder, then its arguments.
class ProcessRunner : public ::testing::Test {
protected:
    TempDir dir;
    std::string out = dir.Join("child.txt");
    ScopedEnv outEnv{"KURDB_CHILD_OUT", out};
    std::unique_ptr<IProcesses> processes = MakeNativeProcesses();

    std::vector<std::string> Record() { return Lines(ReadFile(out)); }
    bool Ran() { return std::filesystem::exists(U8Path(out)); }
};

}  // namespace

TEST(CommandLineSplit, WindowsArgumentRules) {
    struct Case {
        const char* line;
        std::vector<std::string> args;
    } cases[] = {
        {"wget.exe host/indir/bde.exe -O \"C:\\Program Files\\bde.exe\" -t20 -T10 -N -Y off",
         {"wget.exe", "host/indir/bde.exe", "-O", "C:\\Program Files\\bde.exe", "-t20", "-T10", "-N", "-Y",
          "off"}},
        {"C:\\Kurulum Dosyalari\\bde.exe", {"C:\\Kurulum", "Dosyalari\\bde.exe"}},
        {"\"C:\\a b\\p.exe\" x", {"C:\\a b\\p.exe", "x"}},
        {"\"C:\\a\\\"rest x", {"C:\\a\\", "rest", "x"}},  // no escapes in the program token
        {"p a\\\\\\\"b", {"p", "a\\\"b"}},                // 3 backslashes + quote
        {"p a\\\\\"b c\"", {"p", "a\\b c"}},              // 2 backslashes + quote
        {"p a\\b\\\\ c", {"p", "a\\b\\\\", "c"}},         // backslashes without a quote
        {"p \"\" x", {"p", "", "x"}},
        {"p \"a\"\"b\" c", {"p", "a\"b c"}},  // "" in quotes: a quote, and the quotes end
        {"p \"a\"\"\"b\"", {"p", "a\"b"}},
        {"  p\t a  \t b  ", {"p", "a", "b"}},
        {"p \"open", {"p", "open"}},
        {"", {}},
        {"   ", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
    EXPECT_EQ(CharacterCount("Şirket ğ"), 8u);
}

TEST_F(ProcessRunner, RunsWaitsAndReportsOnlyWhetherItStarted) {
    {
        ScopedEnv code("KURDB_CHILD_EXIT", "3");
        EXPECT_EQ(processes->RunAndWait("\"" + ChildPath() + "\" a", 5), 0);
    }
    ASSERT_TRUE(Ran());  // waited for: the record is there when the call returns
    EXPECT_EQ(Record().at(1), "a");

    std::filesystem::remove(U8Path(out));
    EXPECT_EQ(processes->RunAndWait(dir.Join("yok.exe"), 5), 1);
    EXPECT_EQ(processes->RunAndWait("kurdb_no_such_program_here -x", 5), 1);
    EXPECT_EQ(processes->RunAndWait("", 5), 1);
    EXPECT_FALSE(Ran());
}

TEST_F(ProcessRunner, LinesLongerThan512CharactersAreRefused) {
    // Padding arguments bring the line to exactly 512 characters, then one more.
    std::string line = "\"" + ChildPath() + "\" ";
    ASSERT_LT(line.size(), 500u);
    while (CharacterCount(line) < kMaxCommandLine) line += "ş";
    ASSERT_EQ(CharacterCount(line), 512u);
    EXPECT_EQ(processes->RunAndWait(line, 5), 0);
    EXPECT_TRUE(Ran());
    std::filesystem::remove(U8Path(out));
    EXPECT_EQ(processes->RunAndWait(line + "x", 5), 1);
    EXPECT_FALSE(Ran());
}

TEST_F(ProcessRunner, ChildStartsInOurFolderAndIsFoundInTheProgramFolder) {
    const auto previous = std::filesystem::current_path();
    TempDir elsewhere;
    std::filesystem::current_path(U8Path(elsewhere.Path()));
    // A bare name: found beside the running program, not in the current folder or on PATH.
    const int rc = processes->RunAndWait("kurdb_test_child x", 5);
    std::filesystem::current_path(previous);
    ASSERT_EQ(rc, 0);
    const auto record = Record();
    EXPECT_TRUE(std::filesystem::equivalent(U8Path(record.at(0)), U8Path(elsewhere.Path()))) << record.at(0);
}

TEST_F(ProcessRunner, DownloadLineQuotesTheTargetButNotTheUrl) {
    const std::string target = dir.Join("Kurulum Dosyaları/bde.exe");
    const std::string line =
        DownloadCommandLine("\"" + ChildPath() + "\"", "host/indir/bde setup.exe", target);
    EXPECT_EQ(processes->RunAndWait(line, 5), 0);
    const auto record = Record();
    const std::vector<std::string> args(record.begin() + 1, record.end());
    // Arguments reach the child in its ANSI code page on Windows: compare the ASCII ones.
    ASSERT_EQ(args.size(), 9u);
    EXPECT_EQ(args[0], "host/indir/bde");
    EXPECT_EQ(args[1], "setup.exe");
    EXPECT_EQ(args[2], "-O");
    EXPECT_EQ(args[3].substr(0, dir.Join("Kurulum D").size()), dir.Join("Kurulum D"));
    EXPECT_EQ(args[3].substr(args[3].size() - 8), "/bde.exe");
    const std::vector<std::string> rest(args.begin() + 4, args.end());
    EXPECT_EQ(rest, (std::vector<std::string>{"-t20", "-T10", "-N", "-Y", "off"}));
}
