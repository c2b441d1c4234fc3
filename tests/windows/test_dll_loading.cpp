// DLL planting: an odbc32.dll placed beside the program (as in a downloads folder) is never
// loaded; Windows' own one from the system directory is. The build puts this test program and
// the planted DLL (planted_odbc32.c) in one folder of their own.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

#include "db/OdbcLoader.h"
#include "shell/SharedLibrary.h"
#include "shell/win32/SystemLibrary.h"

namespace {

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    const std::wstring self(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of(L"\\/"));
}

std::wstring PlantedDll() {
    return ProgramFolder() + L"\\odbc32.dll";
}
std::wstring PlantedRecord() {
    return PlantedDll() + L".loaded";
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

// The file of the loaded module named `name`, lower case; "" when none is loaded.
std::wstring LoadedFile(const wchar_t* name) {
    HMODULE module = ::GetModuleHandleW(name);
    if (!module) return L"";
    wchar_t path[MAX_PATH];
    return Lower(std::wstring(path, ::GetModuleFileNameW(module, path, MAX_PATH)));
}

std::wstring SystemOdbc() {
    wchar_t directory[MAX_PATH];
    return Lower(std::wstring(directory, ::GetSystemDirectoryW(directory, MAX_PATH)) + L"\\odbc32.dll");
}

class DllLoading : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Exists(PlantedDll())) << "the build did not place odbc32.dll beside the test";
        // Each test starts with no odbc32.dll in the process, or a bare load would only find
        // the one already there.
        ASSERT_EQ(::GetModuleHandleW(L"odbc32.dll"), nullptr);
        ::DeleteFileW(PlantedRecord().c_str());
    }
    void TearDown() override { ::DeleteFileW(PlantedRecord().c_str()); }
};

TEST_F(DllLoading, PlantedDllRecordsItsLoadWhenNamedByPath) {
    // The check below means something only if loading the planted file does leave its record.
    HMODULE planted = ::LoadLibraryW(PlantedDll().c_str());
    ASSERT_NE(planted, nullptr);
    EXPECT_TRUE(Exists(PlantedRecord()));
    ::FreeLibrary(planted);
}

TEST_F(DllLoading, DriverManagerComesFromTheSystemDirectory) {
    auto library = kurdb::SharedLibrary::Load(kurdb::db::DefaultDriverManagerLibrary());
    ASSERT_NE(library->Symbol("SQLAllocHandle"), nullptr);
    EXPECT_EQ(LoadedFile(L"odbc32.dll"), SystemOdbc());
    EXPECT_FALSE(Exists(PlantedRecord()));
}

TEST_F(DllLoading, SystemLibraryIgnoresTheProgramFolder) {
    HMODULE module = kurdb::win32::LoadSystemLibrary(L"odbc32.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LoadedFile(L"odbc32.dll"), SystemOdbc());
    EXPECT_FALSE(Exists(PlantedRecord()));
    ::FreeLibrary(module);
}

TEST_F(DllLoading, SystemFunctionIgnoresTheProgramFolder) {
    // The DLLs of single steps (shell links, downloads, ...) are found the same way.
    ASSERT_NE(kurdb::win32::SystemProcAddress(L"odbc32.dll", "SQLAllocHandle"), nullptr);
    EXPECT_EQ(LoadedFile(L"odbc32.dll"), SystemOdbc());
    EXPECT_FALSE(Exists(PlantedRecord()));
    EXPECT_EQ(kurdb::win32::SystemProcAddress(L"odbc32.dll", "NoSuchFunctionHere"), nullptr);
    // Both calls loaded it once; the next test starts without it.
    for (int i = 0; i < 2; ++i) ::FreeLibrary(::GetModuleHandleW(L"odbc32.dll"));
}

// Runs last in this program (gtest keeps the file's order): the restriction lasts for the process.
TEST_F(DllLoading, BareLoadAfterTheStartRestrictionIgnoresTheProgramFolder) {
    kurdb::win32::RestrictDllSearchToSystem();
    HMODULE module = ::LoadLibraryW(L"odbc32.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LoadedFile(L"odbc32.dll"), SystemOdbc());
    EXPECT_FALSE(Exists(PlantedRecord()));
    ::FreeLibrary(module);
}

}  // namespace
