// The Linux registry: .reg files as regedit writes them, read-only hives, failed writes, and
// the user's folders in place of the Windows shell folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "ShellTestSupport.h"
#include "base/Exception.h"
#include "shell/posix/FileRegistry.h"
#include "shell/posix/RegFile.h"

using namespace kurdb;
using namespace kurdb::posix;
using kurdb::test::ReadFile;
using kurdb::test::ScopedEnv;
using kurdb::test::TempDir;
using kurdb::test::WriteFile;

namespace {

constexpr const char* kInit = "Borland\\Database Engine\\Settings\\System\\INIT";
constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string Utf16File(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (const char16_t c : std::u16string(utf8.begin(), utf8.end())) {  // ASCII text
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

const char* const kHive =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; exported for the dealer\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Database Engine\\Settings\\System\\INIT]\r\n"
    "\"MAXBUFSIZE\"=\"2048\"\r\n"
    "\"LANGDRIVER\"=\"DBWINUS0\"\r\n"
    "\"PATH\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,\\\r\n"
    "  25,00,00,00\r\n"
    "\"MEMSIZE\"=dword:00000080\r\n"
    "@=\"default\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Database Engine\\Settings\\DRIVERS\\MSSQL\\INIT]\r\n"
    "\"VERSION\"=\"4.0\"\r\n"
    "\"BLOB\"=hex:01,02,03\r\n";

}  // namespace

TEST(RegFile, ReadsWhatRegeditWritesInEitherEncoding) {
    for (const std::string& bytes :
         {std::string(kHive), Utf16File(kHive), "\xEF\xBB\xBF" + std::string(kHive)}) {
        const RegFile f = RegFile::Parse(bytes);
        const std::string init = std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\") + kInit;
        ASSERT_NE(f.FindValue(init, "maxbufsize"), nullptr);
        EXPECT_EQ(f.FindValue(init, "MAXBUFSIZE")->text, "2048");
        EXPECT_EQ(f.FindValue(init, "PATH")->type, kRegExpandSz);
        EXPECT_EQ(f.FindValue(init, "PATH")->text, "%SystemRoot%");
        EXPECT_EQ(f.FindValue(init, "MEMSIZE")->type, kRegDword);
        EXPECT_EQ(f.FindValue(init, "")->text, "default");
        EXPECT_EQ(
            f.FindValue(
                 "hkey_local_machine\\software\\borland\\database engine\\settings\\drivers\\mssql\\init",
                 "BLOB")
                ->type,
            kRegBinary);
        EXPECT_TRUE(f.HasKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland"));
        EXPECT_TRUE(f.HasKey("HKEY_LOCAL_MACHINE\\software\\borland\\database engine\\settings\\DRIVERS"));
        EXPECT_FALSE(f.HasKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Borl"));
        EXPECT_FALSE(
            f.HasKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Database Engine\\Settings\\System\\INIT\\X"));
    }
    // REGEDIT4: expandable strings in 8-bit text (code page 1254).
    const RegFile old = RegFile::Parse("REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"P\"=hex(2):dd,fe,00\n");
    EXPECT_EQ(old.FindValue("HKEY_CURRENT_USER\\A", "P")->text, "İş");
}

TEST(RegFile, WritingOneValueKeepsEverythingElseAsWritten) {
    RegFile f = RegFile::Parse(kHive);
    const std::string init = std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\") + kInit;
    f.SetString(init, "maxbufsize", "32768");
    f.SetString(init, "SHAREDMEMSIZE", "16384");
    const std::string text = f.Text();
    EXPECT_NE(text.find("\"MAXBUFSIZE\"=\"32768\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"SHAREDMEMSIZE\"=\"16384\"\n"), std::string::npos);
    EXPECT_EQ(text.find("2048"), std::string::npos);
    for (const char* kept :
         {"; exported for the dealer", "\"LANGDRIVER\"=\"DBWINUS0\"", "\"MEMSIZE\"=dword:00000080",
          "@=\"default\"", "\"VERSION\"=\"4.0\"", "\"BLOB\"=hex:01,02,03", "  25,00,00,00",
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Database Engine\\Settings\\DRIVERS\\MSSQL\\INIT]"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept;
    // What was written reads back the same.
    const RegFile again = RegFile::Parse(text);
    EXPECT_EQ(again.FindValue(init, "MAXBUFSIZE")->text, "32768");
    EXPECT_EQ(again.FindValue(init, "PATH")->text, "%SystemRoot%");
    EXPECT_EQ(again.Text(), text);
}

TEST(FileRegistry, ReadOnlyHiveStaysAsItIs) {
    TempDir dir;
    FileRegistry reg(dir.Path(), {});
    ASSERT_TRUE(reg.CreateKey(Hive::LocalMachine, std::string("SOFTWARE\\") + kInit));
    RegWriteString(reg, kInit, "MEMSIZE", "64");
    const std::string hive = reg.HivePath(Hive::LocalMachine);
    ASSERT_EQ(::chmod(hive.c_str(), 0444), 0);
    const std::string before = ReadFile(hive);
    RegWriteString(reg, kInit, "MEMSIZE", "128");
    EXPECT_FALSE(reg.CreateKey(Hive::LocalMachine, "SOFTWARE\\New"));
    EXPECT_FALSE(reg.CreateKey(Hive::LocalMachine, std::string("SOFTWARE\\") + kInit));
    EXPECT_EQ(ReadFile(hive), before);
    // The other hive is a file of its own and still writable.
    EXPECT_TRUE(reg.CreateKey(Hive::CurrentUser, "Software\\Kurdb"));
}

TEST(FileRegistry, RefusedWriteRaisesAndKeepsTheFile) {
    TempDir dir;
    FileRegistry reg(dir.Path(), {});
    ASSERT_TRUE(reg.CreateKey(Hive::LocalMachine, std::string("SOFTWARE\\") + kInit));
    RegWriteString(reg, kInit, "MEMSIZE", "64");
    const std::string hive = reg.HivePath(Hive::LocalMachine);
    const std::string before = ReadFile(hive);
    // The new file cannot be made where it is written first.
    const std::string tmp = hive + ".tmp" + std::to_string(::getpid());
    std::filesystem::create_directory(tmp);
    std::filesystem::create_directory(tmp + "/busy");
    try {
        RegWriteString(reg, kInit, "MEMSIZE", "128");
        FAIL() << "no error";
    } catch (const EPlatformError& e) {
        EXPECT_EQ(e.Message(), "Failed to set data for 'MEMSIZE'");
    }
    EXPECT_EQ(ReadFile(hive), before);
    EXPECT_EQ(RegReadString(reg, kInit, "MEMSIZE"), "64");
}

TEST(FileRegistry, FilesAreMadeOnFirstWriteInTheirFolder) {
    TempDir dir;
    const std::string folder = dir.Join("config/kurdb");
    FileRegistry reg(folder, {});
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_FALSE(reg.KeyOpens(Hive::LocalMachine, "SOFTWARE", Access::Read));
    ASSERT_TRUE(reg.CreateKey(Hive::LocalMachine, std::string("SOFTWARE\\") + kInit));
    RegWriteString(reg, kInit, "MEMSIZE", "128");
    const std::string text = ReadFile(folder + "/HKEY_LOCAL_MACHINE.reg");
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n", 0), 0u) << text;
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Database Engine\\Settings\\System\\INIT]\n"
                        "\"MEMSIZE\"=\"128\"\n"),
              std::string::npos)
        << text;
    // Parents of a key exist with it.
    EXPECT_TRUE(reg.KeyOpens(Hive::LocalMachine, "SOFTWARE\\BORLAND", Access::All));
    EXPECT_FALSE(std::filesystem::exists(folder + "/HKEY_CURRENT_USER.reg"));
}

TEST(FileRegistry, ShellFoldersComeFromTheUserFoldersUnlessTheHiveHasThem) {
    TempDir dir;
    FileRegistry reg(dir.Join("reg"),
                     UserFolders{"/home/ayse/Masaüstü", "/home/ayse/.local/share/applications"});
    auto read = [&](const char* name) {
        return reg.ReadString(Hive::CurrentUser, kShellFolders, name, Access::Read);
    };
    EXPECT_TRUE(reg.KeyOpens(Hive::CurrentUser, "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer",
                             Access::All));
    EXPECT_TRUE(reg.KeyOpens(Hive::CurrentUser, kShellFolders, Access::All));
    EXPECT_EQ(read("Desktop"), "/home/ayse/Masaüstü");
    EXPECT_EQ(read("Programs"), "/home/ayse/.local/share/applications");
    EXPECT_EQ(read("Start Menu"), "/home/ayse/.local/share/applications");
    EXPECT_EQ(read("SendTo"), std::nullopt);
    EXPECT_EQ(read("Quick Launch"), std::nullopt);
    // Not in the local machine's hive.
    EXPECT_EQ(reg.ReadString(Hive::LocalMachine, kShellFolders, "Desktop", Access::Read), std::nullopt);

    ASSERT_TRUE(reg.WriteString(Hive::CurrentUser, kShellFolders, "Desktop", "/srv/desk"));
    EXPECT_EQ(read("Desktop"), "/srv/desk");
    EXPECT_EQ(read("Programs"), "/home/ayse/.local/share/applications");

    FileRegistry bare(dir.Join("reg2"), UserFolders{});
    EXPECT_EQ(bare.ReadString(Hive::CurrentUser, kShellFolders, "Desktop", Access::Read), std::nullopt);
}

TEST(FileRegistry, UserFoldersAndRegistryFolderFromTheEnvironment) {
    TempDir home;
    std::filesystem::create_directories(home.Join("cfg"));
    ScopedEnv h("HOME", home.Path());
    ScopedEnv c("XDG_CONFIG_HOME", home.Join("cfg"));
    ScopedEnv d("XDG_DATA_HOME", home.Join("data"));

    UserFolders f = UserFoldersFromEnvironment();
    EXPECT_EQ(f.desktop, home.Join("Desktop"));  // no user-dirs.dirs yet
    EXPECT_EQ(f.applications, home.Join("data/applications"));
    EXPECT_EQ(DefaultRegistryDirectory(), home.Join("cfg/kurdb"));

    WriteFile(home.Join("cfg/user-dirs.dirs"),
              "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Belgeler\"\n"
              "XDG_DESKTOP_DIR=\"$HOME/Masaüstü\"\n");
    EXPECT_EQ(UserFoldersFromEnvironment().desktop, home.Join("Masaüstü"));
    WriteFile(home.Join("cfg/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"/srv/ortak masaüstü\"\n");
    EXPECT_EQ(UserFoldersFromEnvironment().desktop, "/srv/ortak masaüstü");

    // Relative XDG paths do not count; the defaults below the home folder serve.
    ScopedEnv c2("XDG_CONFIG_HOME", "relative");
    ScopedEnv d2("XDG_DATA_HOME", "");
    f = UserFoldersFromEnvironment();
    EXPECT_EQ(f.applications, home.Join(".local/share/applications"));
    EXPECT_EQ(DefaultRegistryDirectory(), home.Join(".config/kurdb"));
}
