// The Windows back ends under Wine: real .lnk files read back through IShellLinkW, the argument
// rules against CommandLineToArgvW, and the shell's "open".
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "ShellTestSupport.h"
#include "shell/CommandLine.h"
#include "shell/Platform.h"
#include "shell/Processes.h"
#include "shell/Shortcuts.h"
#include "shell/win32/WideString.h"

using namespace kurdb;
using kurdb::test::ReadFile;
using kurdb::test::ScopedEnv;
using kurdb::test::TempDir;
using kurdb::test::TestRegistry;

namespace {

constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

struct LinkRead {
    std::string target, arguments, description, workingDirectory;
};

// Loads a .lnk file the way Explorer does and reads back what it holds.
LinkRead ReadLink(const std::string& path) {
    LinkRead out;
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))))
        throw std::runtime_error("no shell link class");
    IPersistFile* file = nullptr;
    link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (file && SUCCEEDED(file->Load(win32::Wide(path).c_str(), STGM_READ))) {
        wchar_t buf[MAX_PATH * 2] = L"";
        // The target as the item id list names it: Wine keeps the link's path text in the ANSI
        // code page only, the id list in full.
        PIDLIST_ABSOLUTE ids = nullptr;
        if (SUCCEEDED(link->GetIDList(&ids)) && ids) {
            ::SHGetPathFromIDListW(ids, buf);
            ::CoTaskMemFree(ids);
        } else {
            link->GetPath(buf, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
        }
        out.target = win32::Narrow(buf);
        buf[0] = 0;
        link->GetArguments(buf, MAX_PATH * 2);
        out.arguments = win32::Narrow(buf);
        buf[0] = 0;
        link->GetDescription(buf, MAX_PATH * 2);
        out.description = win32::Narrow(buf);
        buf[0] = 0;
        link->GetWorkingDirectory(buf, MAX_PATH * 2);
        out.workingDirectory = win32::Narrow(buf);
    }
    if (file) file->Release();
    link->Release();
    return out;
}

class ComTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { ::CoUninitialize(); }
};

}  // namespace

TEST_F(ComTest, ShellLinksReadBackWithEverySetting) {
    TempDir dir;
    TestRegistry reg;
    ASSERT_TRUE(reg.Get().CreateKey(Hive::CurrentUser, kShellFolders));
    ASSERT_TRUE(reg.Get().WriteString(Hive::CurrentUser, kShellFolders, "Desktop", dir.Path()));
    auto links = MakeNativeShellLinks();
    EXPECT_EQ(links->Extension(), ".lnk");

    // The program exists, as the suite's programs do beside the wizard: the link then also
    // holds its item id list, which keeps the Turkish name whatever the ANSI code page.
    std::filesystem::create_directory(test::U8Path(dir.Join("Duranix Satış")));
    const std::string target = dir.Join("Duranix Satış\\VANTRIS.exe");
    test::WriteFile(target, "MZ");
    std::string path;
    CreateShortcut(reg.Get(), *links, target, slDesktop, "", "", "", "Duranix Satış", path);
    ASSERT_EQ(path, dir.Path() + "\\Duranix Satış.lnk");
    ASSERT_TRUE(std::filesystem::is_regular_file(test::U8Path(path)));
    LinkRead l = ReadLink(path);
    EXPECT_EQ(l.target, target);
    EXPECT_EQ(l.arguments, "");
    EXPECT_EQ(l.description, "Duranix Satış");
    EXPECT_EQ(l.workingDirectory, dir.Join("Duranix Satış\\"));

    // Into a folder of our choosing, with arguments and a working folder.
    std::filesystem::create_directory(test::U8Path(dir.Join("Karvelisto")));
    CreateShortcut(reg.Get(), *links, "C:\\D\\GUNCEL.exe", slFolder, dir.Join("Karvelisto\\"), "D:\\Veri",
                   "1 \"iki kelime\"", "Bakım Destek", path);
    ASSERT_EQ(path, dir.Join("Karvelisto\\\\Bakım Destek.lnk"));
    l = ReadLink(path);
    EXPECT_EQ(l.target, "C:\\D\\GUNCEL.exe");
    EXPECT_EQ(l.arguments, "1 \"iki kelime\"");
    EXPECT_EQ(l.description, "Bakım Destek");
    EXPECT_EQ(l.workingDirectory, "D:\\Veri");

    // A subfolder that is not there: nothing written, no error, the path returned.
    CreateShortcut(reg.Get(), *links, target, slDesktop, "Yok", "", "", "Servis", path);
    EXPECT_EQ(path, dir.Path() + "\\Yok\\Servis.lnk");
    EXPECT_FALSE(std::filesystem::exists(test::U8Path(dir.Join("Yok"))));
}

TEST(ShellLinksOnWindows, WrittenOnAThreadWithoutCom) {
    // The program initialises COM for each link, not at its start: a thread that never
    // initialised it still gets its link.
    TempDir dir;
    TestRegistry reg;
    ASSERT_TRUE(reg.Get().CreateKey(Hive::CurrentUser, kShellFolders));
    ASSERT_TRUE(reg.Get().WriteString(Hive::CurrentUser, kShellFolders, "Desktop", dir.Path()));
    auto links = MakeNativeShellLinks();
    std::string path, failure;
    std::thread([&] {
        try {
            CreateShortcut(reg.Get(), *links, "C:\\D\\GUNCEL.exe", slDesktop, "", "", "", "Güncelle", path);
        } catch (const std::exception& e) {
            failure = e.what();
        }
    }).join();
    ASSERT_EQ(failure, "");
    ASSERT_EQ(path, dir.Path() + "\\Güncelle.lnk");
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const LinkRead l = ReadLink(path);
    ::CoUninitialize();
    EXPECT_EQ(l.target, "C:\\D\\GUNCEL.exe");
    EXPECT_EQ(l.description, "Güncelle");
}

TEST(CommandLineSplitOnWindows, AgreesWithCommandLineToArgvW) {
    const char* lines[] = {
        "wget.exe host/indir/bde.exe -O \"C:\\Program Files\\bde.exe\" -t20 -T10 -N -Y off",
        "C:\\Kurulum Dosyalari\\bde.exe",
        "\"C:\\a b\\p.exe\" x",
        "\"C:\\a\\\"rest x",
        "p a\\\\\\\"b",
        "p a\\\\\"b c\"",
        "p a\\b\\\\ c",
        "p \"\" x",
        "p \"a\"\"b\" c",
        "p \"a\"\"\"b\"",
        "p \"\"\"\"\"\" x",
        "p\t a  \t b  ",
        "p \"open",
        "p ş\"ğ ü\"",
    };
    for (const char* line : lines) {
        int argc = 0;
        LPWSTR* argv = ::CommandLineToArgvW(win32::Wide(line).c_str(), &argc);
        ASSERT_NE(argv, nullptr);
        std::vector<std::string> expected;
        for (int i = 0; i < argc; ++i) expected.push_back(win32::Narrow(argv[i]));
        ::LocalFree(argv);
        EXPECT_EQ(SplitCommandLine(line), expected) << line;
    }
}

TEST(ShellOpen, StartsByBareNameAndStaysSilentForAMissingProgram) {
    TempDir dir;
    const std::string out = dir.Join("child.txt");
    ScopedEnv env("KURDB_CHILD_OUT", out);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(test::U8Path(ProgramDirectory(*MakeNativePlatform())));
    auto processes = MakeNativeProcesses();
    // No dialog may come up for a program that is not there: the call would not return.
    processes->ShellOpen("kurdb_no_such_program_here", "1");
    processes->ShellOpen("kurdb_test_child", "1 \"iki kelime\"");
    std::filesystem::current_path(previous);
    // Polled until it opens: Wine's MoveFileEx shows the new name while it still holds the
    // file open.
    std::string record;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        try {
            record = ReadFile(out);
            break;
        } catch (const std::runtime_error&) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the child never wrote " << out;
            std::this_thread::yield();
        }
    }
    EXPECT_NE(record.find("\n1\niki kelime\n"), std::string::npos) << record;
}
