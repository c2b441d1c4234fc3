#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "base/Exception.h"
#include "shell/IniFile.h"
#include "shell/Profile.h"

using namespace kurdb;
namespace fs = std::filesystem;

TEST(IniText, NamesMatchWithoutRegardToCaseAndBlanksAreIgnored) {
    const IniText ini("[Server]\r\n  serveradi = DB01\\SQL  \r\n[other]\r\nServerAdi=wrong\r\n");
    EXPECT_EQ(ini.Get("SERVER", "ServerAdi"), "DB01\\SQL");
    EXPECT_EQ(ini.Get("server", "SERVERADI"), "DB01\\SQL");
    EXPECT_EQ(ini.Get("SERVER", "Firmalar"), std::nullopt);
    EXPECT_EQ(ini.Get("MISSING", "ServerAdi"), std::nullopt);
}

TEST(IniText, EmptyAndQuotedValues) {
    const IniText ini("[SERVER]\nServerAdi=\nQuoted=\"a b\"\nHalf=\"a\nComment;=x\n;ServerAdi=hidden\n");
    EXPECT_EQ(ini.Get("SERVER", "ServerAdi"), "");
    EXPECT_EQ(ini.Get("SERVER", "Quoted"), "a b");
    EXPECT_EQ(ini.Get("SERVER", "Half"), "\"a");
}

TEST(IniText, SetKeepsEverythingElse) {
    IniText ini(
        "; suite "
        "settings\r\n[GENEL]\r\nDil=TR\r\n\r\n[server]\r\nserveradi=OLD\r\nPort=1433\r\n\r\n[SON]\r\nX="
        "1\r\n");
    ini.Set("SERVER", "ServerAdi", "NEW");
    ini.Set("SERVER", "Firmalar", "TARSO");
    EXPECT_EQ(ini.Text(),
              "; suite settings\r\n[GENEL]\r\nDil=TR\r\n\r\n[server]\r\nserveradi=NEW\r\nPort=1433\r\n"
              "Firmalar=TARSO\r\n\r\n[SON]\r\nX=1\r\n");
}

TEST(IniText, SetCreatesSectionInEmptyText) {
    IniText ini;
    ini.Set("SERVER", "ServerAdi", "srv");
    EXPECT_EQ(ini.Text(), "[SERVER]\r\nServerAdi=srv\r\n");
    EXPECT_EQ(IniText(ini.Text()).Get("server", "serveradi"), "srv");
}

// The platform's own profile functions (Windows) or the portable ones (Linux) on a real file.
class NativeProfile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kurdb-ini-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "Duranix.ini").string();
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Read() const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    fs::path dir;
    std::string path;
    std::unique_ptr<IProfileFiles> profiles = MakeNativeProfileFiles();
};

TEST_F(NativeProfile, MissingFileYieldsTheFallback) {
    EXPECT_EQ(profiles->ReadString(path, "SERVER", "ServerAdi", "def"), "def");
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(NativeProfile, WriteCreatesTheFileAndKeepsOtherSectionsAndKeys) {
    { std::ofstream(path, std::ios::binary) << "[GENEL]\r\nDil=TR\r\n[server]\r\nPort=1433\r\n"; }
    profiles->WriteString(path, "SERVER", "ServerAdi", "DB01\\SQLEXPRESS");
    EXPECT_EQ(profiles->ReadString(path, "server", "SERVERADI", ""), "DB01\\SQLEXPRESS");
    EXPECT_EQ(profiles->ReadString(path, "GENEL", "Dil", ""), "TR");
    EXPECT_EQ(profiles->ReadString(path, "SERVER", "Port", ""), "1433");
    profiles->WriteString(path, "Server", "serverADI", "DB02");
    EXPECT_EQ(profiles->ReadString(path, "SERVER", "ServerAdi", ""), "DB02");
    const std::string text = Read();
    EXPECT_EQ(text.find("DB01"), std::string::npos) << text;
    // one section, not a second [SERVER] beside [server]
    EXPECT_EQ(text.find("[SERVER]"), std::string::npos) << text;
    // nothing but the file itself is left in the directory
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(NativeProfile, EmptyValueReadsAsEmptyNotAsTheFallback) {
    { std::ofstream(path, std::ios::binary) << "[SERVER]\r\nServerAdi=\r\n"; }
    EXPECT_EQ(profiles->ReadString(path, "SERVER", "ServerAdi", "x"), "");
}

TEST_F(NativeProfile, UnwritableLocationThrowsAndLeavesNothing) {
    const std::string bad = (dir / "no-such-dir" / "Duranix.ini").string();
    EXPECT_ANY_THROW(profiles->WriteString(bad, "SERVER", "ServerAdi", "x"));
    EXPECT_FALSE(fs::exists(dir / "no-such-dir"));
}

TEST_F(NativeProfile, AKeyOrSectionMissingFromAnExistingFileYieldsTheFallback) {
    { std::ofstream(path, std::ios::binary) << "[SERVER]\r\nServerAdi=DB01\r\n[GENEL]\r\n"; }
    EXPECT_EQ(profiles->ReadString(path, "SERVER", "Firmalar", "def"), "def");
    EXPECT_EQ(profiles->ReadString(path, "YOK", "ServerAdi", "def"), "def");
    EXPECT_EQ(profiles->ReadString(path, "GENEL", "ServerAdi", "def"), "def");
}

TEST_F(NativeProfile, AFileInUtf16IsReadAndWrittenBackInUtf16) {
    const auto utf16 = [](const std::u16string& text) {
        std::string bytes = "\xFF\xFE";
        for (const char16_t unit : text) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
        return bytes;
    };
    {
        std::ofstream(path, std::ios::binary)
            << utf16(u"[GENEL]\r\nDil=T\u00DCRK\u00C7E\r\n[SERVER]\r\nServerAdi=DB01\r\n");
    }
    EXPECT_EQ(profiles->ReadString(path, "SERVER", "ServerAdi", ""), "DB01");
    profiles->WriteString(path, "SERVER", "ServerAdi", "SUNUCU\\SQLEXPRESS");
    EXPECT_EQ(Read(),
              utf16(u"[GENEL]\r\nDil=T\u00DCRK\u00C7E\r\n[SERVER]\r\nServerAdi=SUNUCU\\SQLEXPRESS\r\n"));
    EXPECT_EQ(profiles->ReadString(path, "GENEL", "Dil", ""), "T\u00DCRK\u00C7E");
}

#ifndef _WIN32
// The Linux writer must fail where the Windows profile functions fail, and never trade what the
// file holds for the one value it writes.
TEST_F(NativeProfile, OtherSectionsStayByteForByte) {
    // code page 1254 bytes, LF line ends, a comment and no final line break: all written by the
    // suite's other programs
    const std::string before =
        "; ayarlar\n[GENEL]\nKullan\xDD\x63\xFD=Y\xD6NET\xDD\x43\xDD\n[SERVER]\nServerAdi=OLD\nPort=1433";
    { std::ofstream(path, std::ios::binary) << before; }
    profiles->WriteString(path, "SERVER", "ServerAdi", "NEW");
    profiles->WriteString(path, "SERVER", "Firmalar", "TARSO");
    EXPECT_EQ(
        Read(),
        "; ayarlar\n[GENEL]\nKullan\xDD\x63\xFD=Y\xD6NET\xDD\x43\xDD\n[SERVER]\nServerAdi=NEW\nPort=1433\r\n"
        "Firmalar=TARSO\r\n");
}

TEST_F(NativeProfile, AReadOnlyFileIsNotReplaced) {
    const std::string before = "[GENEL]\r\nDil=TR\r\n";
    { std::ofstream(path, std::ios::binary) << before; }
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_THROW(profiles->WriteString(path, "SERVER", "ServerAdi", "x"), EPlatformError);
    EXPECT_EQ(Read(), before);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(NativeProfile, AFileThatCannotBeReadIsNotReplaced) {
    fs::create_directories(path);  // what stands there is no file that can be read
    EXPECT_THROW(profiles->WriteString(path, "SERVER", "ServerAdi", "x"), EPlatformError);
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(NativeProfile, ALinkIsWrittenThroughToItsTarget) {
    const fs::path target = dir / "paylasilan.ini";
    { std::ofstream(target, std::ios::binary) << "[GENEL]\r\nDil=TR\r\n"; }
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("paylasilan.ini", path);
    profiles->WriteString(path, "SERVER", "ServerAdi", "DB01");
    EXPECT_TRUE(fs::is_symlink(path)) << "the link stays a link";
    std::ifstream in(target, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(), "[GENEL]\r\nDil=TR\r\n[SERVER]\r\nServerAdi=DB01\r\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
        << "the file keeps its mode";
}
// Runs `write` as an ordinary user when the tests run as root, who may write anywhere.
int AsOrdinaryUser(const std::function<void()>& write) {
    if (::geteuid() != 0) {
        write();
        return 0;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        try {
            write();
        } catch (const std::exception&) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(NativeProfile, AWritableFileInAFolderThatIsNotIsWrittenInPlace) {
    { std::ofstream(path, std::ios::binary) << "[GENEL]\r\nDil=TR\r\n"; }
    fs::permissions(
        path, fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec));
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    if (::geteuid() != 0) fs::permissions(dir, fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_EQ(AsOrdinaryUser([&] { profiles->WriteString(path, "SERVER", "ServerAdi", "DB01"); }), 0);
    fs::permissions(dir, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(Read(), "[GENEL]\r\nDil=TR\r\n[SERVER]\r\nServerAdi=DB01\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(NativeProfile, AReplacedFileKeepsItsOwnerAndMode) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can make a file that another user owns";
    { std::ofstream(path, std::ios::binary) << "[GENEL]\r\nDil=TR\r\n"; }
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    profiles->WriteString(path, "SERVER", "ServerAdi", "DB01");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Read(), "[GENEL]\r\nDil=TR\r\n[SERVER]\r\nServerAdi=DB01\r\n");
}
#endif
