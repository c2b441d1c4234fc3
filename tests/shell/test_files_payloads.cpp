// Files by UTF-8 path and the payloads the program carries.
#include <gtest/gtest.h>

#include <filesystem>

#include "ShellTestSupport.h"
#include "base/Exception.h"
#include "shell/Files.h"
#include "shell/Payloads.h"
#include "shell/Platform.h"

using namespace kurdb;
using kurdb::test::ReadFile;
using kurdb::test::TempDir;
using kurdb::test::U8Path;
using kurdb::test::WriteFile;

TEST(Files, TurkishNamesAreTheFilesOfThatName) {
    TempDir dir;
    const std::string path = dir.Join("Şirket Ğüçlü ıİö.txt");
    EXPECT_FALSE(files::Exists(path));
    EXPECT_EQ(files::FileSize(path), std::nullopt);
    files::CreateFileWith(path, std::string("ab\0c", 4));
    // The name on disk is the Turkish one, not its bytes read in another code page.
    bool found = false;
    for (const auto& e : std::filesystem::directory_iterator(U8Path(dir.Path())))
        found = found || e.path().filename().u8string() == u8"Şirket Ğüçlü ıİö.txt";
    EXPECT_TRUE(found);
    EXPECT_TRUE(files::IsFile(path));
    EXPECT_EQ(files::FileSize(path), 4u);
    EXPECT_EQ(ReadFile(path), std::string("ab\0c", 4));
    files::CreateFileWith(path, "");
    EXPECT_EQ(files::FileSize(path), 0u);
    EXPECT_TRUE(files::IsFile(path));
    files::RemoveFile(path);
    EXPECT_FALSE(files::Exists(path));
    files::RemoveFile(path);  // a second time: nothing, no error
}

TEST(Files, DirectoriesAreNotFiles) {
    TempDir dir;
    const std::string sub = dir.Join("klasör");
    std::filesystem::create_directory(U8Path(sub));
    EXPECT_TRUE(files::Exists(sub));
    EXPECT_FALSE(files::IsFile(sub));
    EXPECT_EQ(files::FileSize(sub), std::nullopt);
    files::RemoveFile(sub);
    EXPECT_TRUE(files::Exists(sub));
}

TEST(Files, CreationErrorNamesThePathAndTheReason) {
    TempDir dir;
    for (const std::string& path : {dir.Join("yok/a.dll"), dir.Path()}) {
        try {
            files::CreateFileWith(path, "x");
            FAIL() << path;
        } catch (const EPlatformError& e) {
            const std::string prefix = "Cannot create file \"" + path + "\". ";
            EXPECT_EQ(e.Message().rfind(prefix, 0), 0u) << e.Message();
            EXPECT_GT(e.Message().size(), prefix.size()) << "no reason given";
        }
    }
    EXPECT_TRUE(std::filesystem::is_directory(U8Path(dir.Path())));
}

TEST(Payloads, OnlyWhatThePackagerGaveIsCarried) {
    // KURDB_TEST_PAYLOADS: the payload names this build embedded, "|"-separated.
    const std::string carried = KURDB_TEST_PAYLOADS;
    for (const std::string_view name : {kClientLibraryPayload, kDownloaderPayload}) {
        const bool expected = carried.find(std::string(name)) != std::string::npos;
        EXPECT_EQ(Payload(name).has_value(), expected) << name;
    }
    EXPECT_EQ(Payload("nothing.bin"), std::nullopt);
    TempDir dir;
    if (carried.find("ntwdblib.dll") == std::string::npos) {
        EXPECT_FALSE(WritePayloadIfAbsent(kClientLibraryPayload, dir.Join("ntwdblib.dll")));
        EXPECT_FALSE(files::Exists(dir.Join("ntwdblib.dll")));
    }
}

#if KURDB_TEST_CARRIES_DOWNLOADER
TEST(Payloads, WrittenOnceAndNeverOverwritten) {
    const auto bytes = Payload("wget.exe");  // names ignore letter case
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->substr(0, 2), "MZ");
    TempDir dir;
    const std::string path = dir.Join("WGET.EXE");
    EXPECT_TRUE(WritePayloadIfAbsent(kDownloaderPayload, path));
    EXPECT_EQ(ReadFile(path), *bytes);
    WriteFile(path, "older program");
    EXPECT_FALSE(WritePayloadIfAbsent(kDownloaderPayload, path));
    EXPECT_EQ(ReadFile(path), "older program");
    EXPECT_THROW(WritePayloadIfAbsent(kDownloaderPayload, dir.Join("yok/WGET.EXE")), EPlatformError);
}
#endif

TEST(Files, ForceDirectoriesMakesEveryMissingParentAndReportsNothing) {
    TempDir dir;
    const char sep = NativePathRules().Separator();
    const std::string deep = dir.Path() + sep + "Karvelisto" + sep + "Duranix Dorva" + sep;
    files::ForceDirectories(deep);
    EXPECT_TRUE(files::IsDirectory(dir.Join("Karvelisto")));
    EXPECT_TRUE(files::IsDirectory(deep));
    files::ForceDirectories(deep);  // already there
    // A file in the way: no folder, no error.
    WriteFile(dir.Join("dosya"), "x");
    files::ForceDirectories(dir.Join("dosya") + sep + "alt");
    EXPECT_FALSE(files::Exists(dir.Join("dosya") + sep + "alt"));
    EXPECT_TRUE(files::IsFile(dir.Join("dosya")));
}
