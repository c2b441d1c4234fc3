// The registry helpers and the registry back end of this platform (the Windows registry under
// Wine, the file-backed one on Linux), on hives private to each test.
#include <gtest/gtest.h>

#include <functional>

#include "ShellTestSupport.h"
#include "base/Exception.h"
#include "shell/Registry.h"

using namespace kurdb;
using kurdb::test::TestRegistry;

namespace {

constexpr const char* kInit = "Borland\\Database Engine\\Settings\\System\\INIT";
const std::string kInitPath = std::string("SOFTWARE\\") + kInit;

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EPlatformError& e) {
        return e.Message();
    }
    return "(no error)";
}

}  // namespace

TEST(RegistryHelpers, MissingKeyReadsEmptyAndIsNeverCreated) {
    TestRegistry t;
    IRegistry& reg = t.Get();
    EXPECT_FALSE(RegKeyExists(reg, kInit));
    EXPECT_EQ(RegReadString(reg, kInit, "MAXBUFSIZE"), "");
    RegWriteString(reg, kInit, "MAXBUFSIZE", "32768");
    EXPECT_FALSE(RegKeyExists(reg, kInit));
    EXPECT_FALSE(reg.KeyOpens(Hive::LocalMachine, kInitPath, Access::Read));
    // The helpers work below the local machine only.
    ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, kInitPath));
    EXPECT_FALSE(RegKeyExists(reg, kInit));
}

TEST(RegistryHelpers, WritesReadBackAndKeepOtherValues) {
    TestRegistry t;
    IRegistry& reg = t.Get();
    ASSERT_TRUE(reg.CreateKey(Hive::LocalMachine, kInitPath));
    ASSERT_TRUE(reg.CreateKey(Hive::LocalMachine, "SOFTWARE\\Borland\\Other"));
    EXPECT_TRUE(RegKeyExists(reg, kInit));
    EXPECT_EQ(RegReadString(reg, kInit, "MEMSIZE"), "");  // value missing

    RegWriteString(reg, kInit, "SHAREDMEMLOCATION", "0x5bde");
    RegWriteString(reg, kInit, "MEMSIZE", "128");
    RegWriteString(reg, kInit, "Açıklama", "Şirket \"Ğüç\" C:\\BDE\\");
    RegWriteString(reg, kInit, "SHAREDMEMLOCATION", "0x5BDE");
    RegWriteString(reg, kInit, "EMPTY", "");
    EXPECT_TRUE(reg.WriteString(Hive::LocalMachine, "SOFTWARE\\Borland\\Other", "Keep", "me"));

    EXPECT_EQ(RegReadString(reg, kInit, "SHAREDMEMLOCATION"), "0x5BDE");
    EXPECT_EQ(RegReadString(reg, kInit, "MEMSIZE"), "128");
    EXPECT_EQ(RegReadString(reg, kInit, "Açıklama"), "Şirket \"Ğüç\" C:\\BDE\\");
    EXPECT_EQ(RegReadString(reg, kInit, "EMPTY"), "");
    EXPECT_EQ(reg.ReadString(Hive::LocalMachine, kInitPath, "EMPTY", Access::Read), "");
    EXPECT_EQ(reg.ReadString(Hive::LocalMachine, "SOFTWARE\\Borland\\Other", "Keep", Access::Read), "me");
    // A text with a line break survives the trip as well.
    RegWriteString(reg, kInit, "Lines", "a\r\nb\tc");
    EXPECT_EQ(RegReadString(reg, kInit, "Lines"), "a\r\nb\tc");
    EXPECT_EQ(RegReadString(reg, kInit, "MEMSIZE"), "128");
}

TEST(RegistryHelpers, KeyThatDoesNotOpenForWritingCountsAsAbsent) {
    TestRegistry t;
    IRegistry& reg = t.Get();
    ASSERT_TRUE(reg.CreateKey(Hive::LocalMachine, kInitPath));
    RegWriteString(reg, kInit, "MEMSIZE", "64");
    t.MakeReadOnly(Hive::LocalMachine, kInitPath);
    EXPECT_FALSE(RegKeyExists(reg, kInit));
    EXPECT_TRUE(reg.KeyOpens(Hive::LocalMachine, kInitPath, Access::Read));
    EXPECT_EQ(RegReadString(reg, kInit, "MEMSIZE"), "64");
    RegWriteString(reg, kInit, "MEMSIZE", "128");  // does not open: nothing, no error
    EXPECT_EQ(RegReadString(reg, kInit, "MEMSIZE"), "64");
}

TEST(RegistryHelpers, KeyAndValueNamesIgnoreLetterCase) {
    TestRegistry t;
    IRegistry& reg = t.Get();
    ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer"));
    EXPECT_TRUE(reg.KeyOpens(Hive::CurrentUser, "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer",
                             Access::All));
    EXPECT_TRUE(reg.WriteString(Hive::CurrentUser, "SOFTWARE\\MICROSOFT\\windows\\currentversion\\explorer",
                                "Desktop", "D1"));
    EXPECT_EQ(reg.ReadString(Hive::CurrentUser, "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer",
                             "DESKTOP", Access::Read),
              "D1");
    // Creating the key again under another spelling finds the same key.
    ASSERT_TRUE(reg.CreateKey(Hive::CurrentUser, "software\\microsoft\\windows\\currentversion\\EXPLORER"));
    EXPECT_EQ(reg.ReadString(Hive::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer",
                             "desktop", Access::Read),
              "D1");
    ASSERT_TRUE(
        reg.CreateKey(Hive::LocalMachine, "SOFTWARE\\Borland\\Database Engine\\Settings\\System\\Init"));
    EXPECT_TRUE(RegKeyExists(reg, "BORLAND\\database engine\\SETTINGS\\system\\INIT"));
}

TEST(RegistryHelpers, OtherValueTypes) {
    TestRegistry t;
    IRegistry& reg = t.Get();
    ASSERT_TRUE(reg.CreateKey(Hive::LocalMachine, kInitPath));
    t.PutDword(Hive::LocalMachine, kInitPath, "MEMSIZE", 128);
    t.PutExpandString(Hive::LocalMachine, kInitPath, "PATH", "%SystemRoot%\\BDE");
    EXPECT_EQ(ErrorOf([&] { RegReadString(reg, kInit, "MEMSIZE"); }), "Invalid data type for 'MEMSIZE'");
    EXPECT_EQ(ErrorOf([&] { reg.ReadString(Hive::LocalMachine, kInitPath, "memsize", Access::All); }),
              "Invalid data type for 'memsize'");
    // Expandable strings come back as stored, variables unexpanded.
    EXPECT_EQ(RegReadString(reg, kInit, "PATH"), "%SystemRoot%\\BDE");
    // Writing a string over a value of another type replaces it.
    RegWriteString(reg, kInit, "MEMSIZE", "128");
    EXPECT_EQ(RegReadString(reg, kInit, "MEMSIZE"), "128");
}
