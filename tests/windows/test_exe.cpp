// Kurdb.exe itself: one self-contained file (only system DLLs imported), its manifest and
// version resource, and a real start under Wine from a folder of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "WinTestSupport.h"
#include "app/WindowDef.h"
#include "app/win32/ControlIds.h"
#include "app/win32/WizardWindow.h"
#include "resources/ControlNames.h"

using namespace kurdb;
using namespace kurdb::win32;
using namespace kurdb::win32::test;

namespace {

// The build puts the test program in tests/windows, the wizard in app/win32 and the download
// program in tools/downloader.
std::wstring BuildFolder() {
    wchar_t path[MAX_PATH];
    const std::wstring self(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of(L"\\/"));
}
std::wstring KurdbExe() {
    return BuildFolder() + L"\\..\\..\\app\\win32\\Kurdb.exe";
}
std::wstring WgetExe() {
    return BuildFolder() + L"\\..\\..\\tools\\downloader\\wget.exe";
}

// A DLL of each name that the programs or the system DLLs they use ask for. The first group is
// run native-first (KURDB_WINE_DLL_ORDER in the build), so Wine would load a planted copy if a
// search reached the program's folder. The second group are known DLLs, which Windows maps from
// the system directory whatever the search; Wine has no such list, so they are planted without
// a native-first order and stand for the Windows rule only.
const std::vector<std::wstring> kSearchedDlls = {
    L"version.dll", L"uxtheme.dll", L"msimg32.dll", L"comctl32.dll", L"wininet.dll", L"combase.dll",
    L"shcore.dll",  L"dwmapi.dll",  L"winmm.dll",   L"usp10.dll",    L"gdiplus.dll"};
const std::vector<std::wstring> kKnownDlls = {L"ole32.dll",  L"rpcrt4.dll",   L"imm32.dll",   L"user32.dll",
                                              L"gdi32.dll",  L"advapi32.dll", L"shell32.dll", L"shlwapi.dll",
                                              L"ws2_32.dll", L"oleaut32.dll", L"msvcrt.dll",  L"sechost.dll"};

// Kurdb.exe copied to a folder of its own, with no settings file beside it, and started; at the
// end the process is ended if it still runs and the folder removed.
struct InstalledRun {
    // `besideIt` are file names that get a copy of the planted DLL before the start.
    explicit InstalledRun(const std::vector<std::wstring>& besideIt = {}) {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        dir = std::wstring(temp) + L"kurdb-exe-test-" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(dir.c_str(), nullptr);
        exe = dir + L"\\Kurdb.exe";
        for (const std::wstring& name : besideIt) {
            planted.push_back(dir + L"\\" + name);
            ::CopyFileW((BuildFolder() + L"\\planted\\odbc32.dll").c_str(), planted.back().c_str(), FALSE);
        }
        if (!::CopyFileW(KurdbExe().c_str(), exe.c_str(), FALSE)) return;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        std::wstring cmd = L"\"" + exe + L"\"";
        started =
            ::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    }
    ~InstalledRun() {
        if (started) {
            if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(pi.hProcess, 99);
            ::WaitForSingleObject(pi.hProcess, 10000);
            ::CloseHandle(pi.hThread);
            ::CloseHandle(pi.hProcess);
        }
        ::DeleteFileW(exe.c_str());
        for (const std::wstring& file : planted) {
            ::DeleteFileW(file.c_str());
            ::DeleteFileW((file + L".loaded").c_str());
        }
        ::RemoveDirectoryW(dir.c_str());
    }
    // The planted DLLs that were loaded: each leaves "<file>.loaded" beside itself.
    std::vector<std::wstring> LoadedPlants() const {
        std::vector<std::wstring> loaded;
        for (const std::wstring& file : planted)
            if (::GetFileAttributesW((file + L".loaded").c_str()) != INVALID_FILE_ATTRIBUTES)
                loaded.push_back(file.substr(file.find_last_of(L'\\') + 1));
        return loaded;
    }
    std::wstring dir, exe;
    std::vector<std::wstring> planted;
    PROCESS_INFORMATION pi{};
    bool started = false;
};

// The shown wizard window of process `pid`, found by its class, or null.
HWND WizardWindowOf(DWORD pid) {
    std::pair<DWORD, HWND> search{pid, nullptr};
    ::EnumWindows(
        [](HWND hwnd, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<std::pair<DWORD, HWND>*>(data);
            DWORD owner = 0;
            wchar_t cls[64] = {};
            ::GetWindowThreadProcessId(hwnd, &owner);
            ::GetClassNameW(hwnd, cls, 64);
            if (owner == s->first && std::wcscmp(cls, kWizardWindowClass) == 0 && ::IsWindowVisible(hwnd))
                s->second = hwnd;
            return s->second == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// The DLLs Kurdb.exe imports, lower case, as its import directory names them.
std::vector<std::string> ImportedDlls() {
    // mapped as an image, so that the import directory's addresses are offsets from its base
    HMODULE image = ::LoadLibraryExW(KurdbExe().c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!image) {
        ADD_FAILURE() << "Kurdb.exe not found beside the build";
        return {};
    }
    const auto* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(image) & ~ULONG_PTR{3});
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    std::vector<std::string> dlls;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports); imports && d->Name;
         ++d) {
        std::string name(reinterpret_cast<const char*>(base + d->Name));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        dlls.push_back(name);
    }
    ::FreeLibrary(image);
    return dlls;
}

}  // namespace

TEST(KurdbExe, ImportsOnlySystemLibraries) {
    const std::vector<std::string> dlls = ImportedDlls();
    ASSERT_FALSE(dlls.empty());
    // Only the two that Windows always maps from the system directory: every other system DLL is
    // delay-loaded from there, so none is searched for beside the program when it starts.
    EXPECT_EQ(dlls, (std::vector<std::string>{"kernel32.dll", "msvcrt.dll"}));
}

TEST(KurdbExe, LoadsTheDllsOfSomeStepsOnlyWhenTheyRun) {
    // Each imported DLL is loaded and initialised before the window can show; these serve
    // single steps (shell links, the shell's "open", the download cache, the SQL Server Browser,
    // Windows 8.1's DPI call) and are loaded from the system directory when a step needs them.
    const std::vector<std::string> dlls = ImportedDlls();
    ASSERT_FALSE(dlls.empty());
    for (const char* later : {"ole32.dll", "shell32.dll", "wininet.dll", "ws2_32.dll", "shcore.dll"})
        EXPECT_FALSE(std::count(dlls.begin(), dlls.end(), later)) << later << " is imported";
}

TEST(KurdbExe, ManifestAsksForCommonControlsDpiAwarenessAndHighestLevel) {
    HMODULE image = ::LoadLibraryExW(KurdbExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    HRSRC resource = ::FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(resource, nullptr) << "no application manifest";
    const char* data = static_cast<const char*>(::LockResource(::LoadResource(image, resource)));
    const std::string manifest(data, ::SizeofResource(image, resource));
    ::FreeLibrary(image);
    for (const char* part :
         {"Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"", ">true/pm</dpiAware>",
          ">PerMonitorV2, PerMonitor</dpiAwareness>", "level=\"highestAvailable\"", "uiAccess=\"false\"",
          "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

TEST(KurdbExe, VersionResourceNamesTheProduct) {
    const std::wstring exe = KurdbExe();
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &handle);
    ASSERT_GT(size, 0u) << "no version resource";
    std::vector<BYTE> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"ProductName", L"DURANIX Veritaban\u0131 Kurulumu"},
        {L"FileDescription", L"DURANIX Veritaban\u0131 Kurulumu"},
        {L"OriginalFilename", L"Kurdb.exe"},
        {L"ProductVersion", L"" KURDB_EXPECTED_VERSION}};
    for (const auto& [name, want] : strings) {
        const std::wstring path = std::wstring(L"\\StringFileInfo\\041F04B0\\") + name;
        wchar_t* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(::VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
            << path;
        EXPECT_STREQ(value, want) << path;
    }
}

TEST(KurdbExe, NoDllPlantedBesideTheWizardOrItsDownloaderIsLoaded) {
    std::vector<std::wstring> names = kSearchedDlls;
    names.insert(names.end(), kKnownDlls.begin(), kKnownDlls.end());
    InstalledRun run(names);
    ASSERT_TRUE(run.started);
    MessagePump pump;
    HWND window = nullptr;
    ASSERT_TRUE(pump.Until([&] { return (window = WizardWindowOf(run.pi.dwProcessId)) != nullptr; }, 60000));
    // a press: the engine check (no engine in the test's prefix), the log
    const HWND memo = FindById(window, ControlId(WindowDef::Embedded(), controls::Memo1));
    ::PostMessageW(FindById(window, ControlId(WindowDef::Embedded(), controls::btnConnect)), BM_CLICK, 0, 0);
    EXPECT_TRUE(pump.Until([&] { return TextOf(memo).find(L"BDE Kurulu") != std::wstring::npos; }, 60000));
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(::WaitForSingleObject(run.pi.hProcess, 60000), WAIT_OBJECT_0);

    // the download program beside it, as the wizard writes it, fetching from nowhere
    const std::wstring wget = run.dir + L"\\WGET.EXE";
    ASSERT_TRUE(::CopyFileW(WgetExe().c_str(), wget.c_str(), FALSE));
    std::wstring cmd = L"\"" + wget + L"\" -t1 -T5 -O \"" + run.dir + L"\\x.exe\" 127.0.0.1:1/x.exe";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessW(wget.c_str(), cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                 run.dir.c_str(), &si, &pi));
    EXPECT_EQ(::WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 4u) << "the download program ran and found nobody listening";
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    ::DeleteFileW(wget.c_str());

    EXPECT_EQ(run.LoadedPlants(), std::vector<std::wstring>{});
}

TEST(KurdbExe, StartsWithoutSettingsFileAndLogsIt) {
    InstalledRun run;
    ASSERT_TRUE(run.started);
    MessagePump pump;
    HWND window = nullptr;
    ASSERT_TRUE(pump.Until([&] { return (window = WizardWindowOf(run.pi.dwProcessId)) != nullptr; }, 60000));
    const auto text = [window](const char* name) {
        return TextOf(FindById(window, ControlId(WindowDef::Embedded(), name)));
    };
    EXPECT_TRUE(pump.Until([&] { return !text(controls::Memo1).empty(); }));
    EXPECT_EQ(text(controls::Memo1), L"Server Ba\u011flant\u0131 Parametresi mevcut de\u011fil!");
    EXPECT_EQ(TextOf(window), L"DURANIX Veritaban\u0131 Kurulumu");
    EXPECT_EQ(text(controls::RxLabel1), L"DURANIX DORVA VER\u0130TABANI KURULUMU");
    EXPECT_EQ(text(controls::editUser), L"DURANIX");
    // the close box ends the program
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(pump.Until(
        [&] { return ::GetExitCodeProcess(run.pi.hProcess, &code) && code != STILL_ACTIVE; }, 60000));
    EXPECT_EQ(code, 0u);
}
