#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

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
    IniText ini("; suite settings\r\n[GENEL]\r\nDil=TR\r\n\r\n[server]\r\nserveradi=OLD\r\nPort=1433\r\n\r\n[SON]\r\nX=1\r\n");
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
