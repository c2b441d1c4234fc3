// Kurdb.exe run unattended under Wine, as a deployment tool runs it: a copy in a folder of its own,
// the options on its command line, the password in the environment, the stand-in engine
// registered (or not) in the 32-bit view, against the SQL Server of the tests. The companies
// database of the shipped edition and the login DURANIX are server-wide: the tests drop them
// before and after.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "db/BdeEngine.h"
#include "db/Components.h"
#include "db/SqlTemplate.h"
#include "shell/win32/Win32Registry.h"
#include "shell/win32/WideString.h"
#include "WinTestSupport.h"
#include "tests/support/TestServer.h"

namespace kurdb {
namespace {

namespace fs = std::filesystem;

std::wstring TestFolder() {
    wchar_t path[MAX_PATH];
    const std::wstring self(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of(L"\\/"));
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class UnattendedExe : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = test::FindTestServer();
        ASSERT_TRUE(server_.missing.empty()) << server_.missing;
        dir_ = fs::temp_directory_path() / ("kurdb-unattended-" + std::to_string(::GetCurrentProcessId()));
        fs::create_directories(dir_);
        fs::copy_file(TestFolder() + L"\\..\\..\\app\\win32\\Kurdb.exe", dir_ / "Kurdb.exe",
                      fs::copy_options::overwrite_existing);
        win32::test::RemoveSuiteEngine();
        admin_.dbFirma.Connect(server_.server, server_.user, server_.password);
        DropAll();
    }
    void TearDown() override {
        if (server_.missing.empty()) DropAll();
        win32::test::RemoveSuiteEngine();
        ::SetEnvironmentVariableW(L"KURDB_PASSWORD", nullptr);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    void RegisterEngine() {
        const std::string key = "SOFTWARE\\" + std::string(db::kBdeKey);
        ASSERT_TRUE(registry_.CreateKey(Hive::LocalMachine, key));
        ASSERT_TRUE(registry_.WriteString(Hive::LocalMachine, key, std::string(db::kBdePathValue),
                                          win32::Narrow(TestFolder() + L"\\bde")));
    }

    // Runs the copy with `options` and waits for its exit code (-1: it did not end in time).
    int Run(const std::wstring& options) {
        const std::wstring exe = (dir_ / "Kurdb.exe").wstring();
        std::wstring cmd = L"\"" + exe + L"\" " + options;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              dir_.wstring().c_str(), &si, &pi))
            return -2;
        DWORD code = static_cast<DWORD>(-1);
        if (::WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0)
            ::GetExitCodeProcess(pi.hProcess, &code);
        else
            ::TerminateProcess(pi.hProcess, 99);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
        return static_cast<int>(code);
    }
    std::wstring Common() const {
        return L"/VERYSILENT /MACHINE=MAIN /SERVER=" + win32::Wide(server_.server) + L" /USER=" +
               win32::Wide(server_.user) + L" /UPDATER=NO /log=\"" +
               (dir_ / "Kurulum Günlüğü.log").wstring() + L"\"";
    }
    std::string Log() const { return ReadFile(dir_ / "Kurulum Günlüğü.log"); }

    std::string Scalar(const std::string& sql) {
        db::SqlTemplate t("QTest", &admin_.dbFirma, {sql}, {{"V", db::ColumnDef::Type::String, 255}});
        t.OpenRows();
        return t.FieldAsString("V");
    }
    bool DatabaseExists() {
        return Scalar("select count(*) as V from master..sysdatabases where name = N'FIRMADORVA'") == "1";
    }
    void DropAll() {
        try {
            if (DatabaseExists())
                db::SqlTemplate("QTest", &admin_.dbFirma, {"use master", "DROP DATABASE FIRMADORVA"})
                    .Execute();
            if (Scalar("select count(*) as V from master..syslogins where name = N'DURANIX'") == "1")
                db::SqlTemplate("QTest", &admin_.dbFirma, {"DROP LOGIN [DURANIX]"}).Execute();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "cleaning up: " << e.what();
        }
    }

    test::TestServer server_;
    fs::path dir_;
    db::Components admin_;
    win32::Win32Registry registry_{HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
};

TEST_F(UnattendedExe, MainMachineCreatesEverythingAndTheRerunOnlyChecks) {
    RegisterEngine();
    ::SetEnvironmentVariableW(L"KURDB_PASSWORD", win32::Wide(server_.password).c_str());
    ASSERT_EQ(Run(Common()), 0) << Log();
    const std::string log = Log();
    // UTF-8 with its mark, Windows line ends, the report's lines, the outcome, no password.
    ASSERT_EQ(log.compare(0, 3, "\xEF\xBB\xBF"), 0);
    EXPECT_EQ(log.find(" Gözetimsiz kurulum başladı.\r\n"), 3u + 19u) << log;
    EXPECT_NE(log.find(" BDE Versiyon: 520\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" Firmalar (FIRMADORVA) Veritabanı mevcut değil !!!\r\n"), std::string::npos);
    EXPECT_NE(log.find(" DURANIX kullanıcısına sysadmin rolü verildi\r\n"), std::string::npos);
    EXPECT_NE(log.find(" Sonuç: 0 - Kurulum tamamlandı.\r\n"), std::string::npos);
    EXPECT_EQ(log.find(server_.password), std::string::npos);
    EXPECT_TRUE(DatabaseExists());
    EXPECT_NE(ReadFile(dir_ / "Duranix.ini").find(server_.server), std::string::npos);

    // Again with the window walking itself (the last quiet option holds): a check that changes
    // nothing.
    ASSERT_EQ(Run(Common() + L" /SILENT"), 0) << Log();
    const std::string rerun = Log().substr(log.size());
    EXPECT_NE(rerun.find(" Sihirbaz penceresi gösteriliyor.\r\n"), std::string::npos) << rerun;
    EXPECT_EQ(Log().find("\xEF\xBB\xBF", 1), std::string::npos) << "one mark, at the start of the file";
    EXPECT_NE(rerun.find(" Firmalar (FIRMADORVA) Veritabanı mevcut.\r\n"), std::string::npos) << rerun;
    EXPECT_EQ(rerun.find("tablosu oluşturuldu"), std::string::npos) << rerun;
    EXPECT_NE(rerun.find(" Sonuç: 0 - "), std::string::npos);
}

TEST_F(UnattendedExe, AWrongPasswordEndsWithItsCodeAndSavesNothing) {
    RegisterEngine();
    ASSERT_EQ(Run(Common() + L" /PASSWORD=Yanlis#Sifre1"), 3) << Log();
    const std::string log = Log();
    EXPECT_NE(log.find("Login failed for user '" + server_.user + "'"), std::string::npos) << log;
    EXPECT_NE(log.find(" Sonuç: 3 - Server bağlantısı kurulamadı.\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Yanlis#Sifre1"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "Duranix.ini"));
    EXPECT_FALSE(DatabaseExists());
}

TEST_F(UnattendedExe, AMissingEngineWithoutConsentEndsWithItsCodeAndDownloadsNothing) {
    ASSERT_EQ(Run(Common()), 2) << Log();
    const std::string log = Log();
    EXPECT_NE(log.find(" BDE Kurulu değil!\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" Sonuç: 2 - BDE kurulu değil.\r\n"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(dir_ / "bde.exe"));
    EXPECT_FALSE(fs::exists(dir_ / "WGET.EXE"));
    EXPECT_FALSE(fs::exists(dir_ / "Duranix.ini"));
}

}  // namespace
}  // namespace kurdb
