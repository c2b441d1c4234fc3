#include <windows.h>

#include <atomic>
#include <stdexcept>

#include "ShellTestSupport.h"
#include "shell/win32/WideString.h"
#include "shell/win32/Win32Registry.h"

namespace kurdb::test {

struct TestRegistry::Impl {
    std::wstring base;
    HKEY lm = nullptr;
    HKEY cu = nullptr;
    std::unique_ptr<win32::Win32Registry> registry;

    Impl() {
        static std::atomic<int> counter{0};
        base = L"Software\\KurdbTests\\" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               std::to_wstring(counter++);
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, (base + L"\\HKLM").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &lm, nullptr) != ERROR_SUCCESS ||
            ::RegCreateKeyExW(HKEY_CURRENT_USER, (base + L"\\HKCU").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &cu, nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot make the test's registry keys");
        registry = std::make_unique<win32::Win32Registry>(lm, cu);
    }
    ~Impl() {
        registry.reset();
        ::RegCloseKey(lm);
        ::RegCloseKey(cu);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, base.c_str());
    }

    void Put(Hive hive, const std::string& key, const std::string& name, DWORD type, const void* data,
             DWORD size) {
        HKEY k = nullptr;
        if (::RegCreateKeyExW(hive == Hive::LocalMachine ? lm : cu, win32::Wide(key).c_str(), 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot make " + key);
        ::RegSetValueExW(k, win32::Wide(name).c_str(), 0, type, static_cast<const BYTE*>(data), size);
        ::RegCloseKey(k);
    }
};

TestRegistry::TestRegistry() : impl_(std::make_unique<Impl>()) {}
TestRegistry::~TestRegistry() = default;
IRegistry& TestRegistry::Get() { return *impl_->registry; }

void TestRegistry::PutDword(Hive hive, const std::string& key, const std::string& name,
                            std::uint32_t value) {
    const DWORD v = value;
    impl_->Put(hive, key, name, REG_DWORD, &v, sizeof v);
}

void TestRegistry::PutExpandString(Hive hive, const std::string& key, const std::string& name,
                                   const std::string& value) {
    const std::wstring w = win32::Wide(value);
    impl_->Put(hive, key, name, REG_EXPAND_SZ, w.c_str(), static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
}

}  // namespace kurdb::test
