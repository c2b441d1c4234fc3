// Kurdb.exe itself: one self-contained file (only system DLLs imported), its manifest and
// version resource, and a real start under Wine from a folder of its own, with and without
// the settings file beside it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "WinTestSupport.h"
#include "app/WindowDef.h"
#include "app/win32/ControlIds.h"
#include "app/win32/WizardWindow.h"

using namespace kurdb;
using namespace kurdb::win32;
using namespace kurdb::win32::test;

namespace {

std::wstring ModuleDirectory() {
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.find_last_of(L"\\/"));
}

// The build puts the test program in tests/windows and the wizard in app/win32.
std::wstring KurdbExe() { return ModuleDirectory() + L"\\..\\..\\app\\win32\\Kurdb.exe"; }

std::vector<char> ReadFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The DLL names in a PE file's import directory.
std::vector<std::string> ImportedDlls(const std::vector<char>& file) {
    std::vector<std::string> names;
    auto at = [&file](std::size_t offset) { return file.data() + offset; };
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(at(0));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(at(static_cast<std::size_t>(dos->e_lfanew)));
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    auto offsetOf = [&](DWORD rva) -> std::size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData))
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return 0;
    };
    for (auto offset = offsetOf(dir.VirtualAddress); offset && offset + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= file.size();
         offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(offset));
        if (entry->Name == 0) break;
        names.emplace_back(at(offsetOf(entry->Name)));
    }
    return names;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::wstring VersionString(const std::vector<BYTE>& info, const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\041F04B0\\") + name;
    if (!::VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return L"(missing)";
    return std::wstring(value, length && value[length - 1] == L'\0' ? length - 1 : length);
}

// A copy of Kurdb.exe in a folder of its own, removed afterwards.
class Installed {
public:
    Installed() {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        dir_ = std::wstring(temp) + L"kurdb-exe-test-" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(dir_.c_str(), nullptr);
        exe_ = dir_ + L"\\Kurdb.exe";
        ok_ = ::CopyFileW(KurdbExe().c_str(), exe_.c_str(), FALSE) != FALSE;
    }
    ~Installed() {
        ::DeleteFileW((dir_ + L"\\Duranix.ini").c_str());
        ::DeleteFileW(exe_.c_str());
        ::RemoveDirectoryW(dir_.c_str());
    }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;
    bool Ok() const { return ok_; }
    const std::wstring& Exe() const { return exe_; }
    void WriteSettings(const std::string& text) const {
        std::ofstream out((dir_ + L"\\Duranix.ini").c_str(), std::ios::binary);
        out << text;
    }

private:
    std::wstring dir_, exe_;
    bool ok_ = false;
};

// One run of Kurdb.exe: started, its window found by class and process, closed at the end.
class WizardRun {
public:
    explicit WizardRun(const std::wstring& exe) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        std::wstring cmd = L"\"" + exe + L"\"";
        started_ = ::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_) != FALSE;
    }
    ~WizardRun() {
        if (!started_) return;
        if (::WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(pi_.hProcess, 99);
        ::CloseHandle(pi_.hThread);
        ::CloseHandle(pi_.hProcess);
    }
    WizardRun(const WizardRun&) = delete;
    WizardRun& operator=(const WizardRun&) = delete;

    bool Started() const { return started_; }
    // Polls for the wizard window of this process whose log has been written by FormShow.
    HWND WaitForWindow() {
        MessagePump pump;
        HWND found = nullptr;
        pump.Until([&] {
            found = Find();
            return found && ::IsWindowVisible(found);
        }, 60000);
        return found;
    }
    // Closes the window with its close box and returns the exit code (or -1 if it did not end).
    long CloseAndWait(HWND window) {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        MessagePump pump;
        const bool ended = pump.Until([&] { return ::WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0; }, 60000);
        DWORD code = 0;
        if (!ended || !::GetExitCodeProcess(pi_.hProcess, &code)) return -1;
        return static_cast<long>(code);
    }

private:
    HWND Find() const {
        struct Search {
            DWORD pid;
            HWND found;
        } search{pi_.dwProcessId, nullptr};
        ::EnumWindows(
            [](HWND hwnd, LPARAM data) -> BOOL {
                auto* s = reinterpret_cast<Search*>(data);
                DWORD pid = 0;
                ::GetWindowThreadProcessId(hwnd, &pid);
                wchar_t cls[64] = {};
                ::GetClassNameW(hwnd, cls, 64);
                if (pid != s->pid || std::wcscmp(cls, kWizardWindowClass) != 0) return TRUE;
                s->found = hwnd;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    PROCESS_INFORMATION pi_{};
    bool started_ = false;
};

std::wstring ControlText(HWND window, const char* name) {
    HWND control = FindById(window, ControlId(WindowDef::Embedded(), name));
    return control ? TextOf(control) : L"(no control " + std::wstring(name, name + std::strlen(name)) + L")";
}

}  // namespace

TEST(KurdbExe, ImportsOnlySystemLibraries) {
    const std::vector<char> file = ReadFile(KurdbExe());
    ASSERT_GT(file.size(), 4096u) << "Kurdb.exe not found beside the build";
    const std::vector<std::string> dlls = ImportedDlls(file);
    ASSERT_FALSE(dlls.empty());
    const std::vector<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll",
                                             "ole32.dll", "oleaut32.dll", "msvcrt.dll", "advapi32.dll",
                                             "shell32.dll", "shlwapi.dll", "uuid.dll", "wininet.dll",
                                             "version.dll", "odbc32.dll", "ws2_32.dll", "comdlg32.dll"};
    for (const std::string& dll : dlls)
        EXPECT_NE(std::find(system.begin(), system.end(), Lower(dll)), system.end())
            << dll << " is not a system library: the program must run as one file";
}

TEST(KurdbExe, ManifestAsksForCommonControlsDpiAwarenessAndHighestLevel) {
    HMODULE image = ::LoadLibraryExW(KurdbExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    HRSRC resource = ::FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(resource, nullptr) << "no application manifest";
    const char* data = static_cast<const char*>(::LockResource(::LoadResource(image, resource)));
    const std::string manifest(data, ::SizeofResource(image, resource));
    ::FreeLibrary(image);
    for (const char* part : {"Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"", "<dpiAware",
                             ">true/pm</dpiAware>", ">PerMonitorV2, PerMonitor</dpiAwareness>",
                             "level=\"highestAvailable\"", "uiAccess=\"false\"",
                             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

TEST(KurdbExe, VersionResourceNamesTheProduct) {
    const std::wstring exe = KurdbExe();
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &handle);
    ASSERT_GT(size, 0u) << "no version resource";
    std::vector<BYTE> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
    EXPECT_EQ(VersionString(info, L"ProductName"), L"DURANIX Veritaban\u0131 Kurulumu");
    EXPECT_EQ(VersionString(info, L"FileDescription"), L"DURANIX Veritaban\u0131 Kurulumu");
    EXPECT_EQ(VersionString(info, L"OriginalFilename"), L"Kurdb.exe");
    EXPECT_EQ(VersionString(info, L"ProductVersion"), L"" KURDB_EXPECTED_VERSION);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST(KurdbExe, StartsWithoutSettingsFileAndLogsIt) {
    Installed installed;
    ASSERT_TRUE(installed.Ok());
    WizardRun run(installed.Exe());
    ASSERT_TRUE(run.Started());
    HWND window = run.WaitForWindow();
    ASSERT_NE(window, nullptr) << "the wizard window did not appear";
    MessagePump pump;
    EXPECT_TRUE(pump.Until([&] { return !ControlText(window, "Memo1").empty(); }));
    EXPECT_EQ(TextOf(window), L"DURANIX Veritaban\u0131 Kurulumu");
    EXPECT_EQ(ControlText(window, "RxLabel1"), L"DURANIX DORVA VER\u0130TABANI KURULUMU");
    EXPECT_EQ(ControlText(window, "Memo1"), L"Server Ba\u011flant\u0131 Parametresi mevcut de\u011fil!");
    EXPECT_EQ(ControlText(window, "editUser"), L"DURANIX");
    EXPECT_EQ(ControlText(window, "editServer"), L"");
    EXPECT_EQ(run.CloseAndWait(window), 0) << "the close box ends the program";
}

TEST(KurdbExe, StartsWithRememberedServer) {
    Installed installed;
    ASSERT_TRUE(installed.Ok());
    installed.WriteSettings("[SERVER]\r\nServerAdi=DEPO\\SQLEXPRESS\r\n");
    WizardRun run(installed.Exe());
    ASSERT_TRUE(run.Started());
    HWND window = run.WaitForWindow();
    ASSERT_NE(window, nullptr) << "the wizard window did not appear";
    MessagePump pump;
    EXPECT_TRUE(pump.Until([&] { return !ControlText(window, "editServer").empty(); }));
    EXPECT_EQ(ControlText(window, "editServer"), L"DEPO\\SQLEXPRESS");
    EXPECT_EQ(ControlText(window, "Memo1"), L"");
    EXPECT_EQ(run.CloseAndWait(window), 0);
}
