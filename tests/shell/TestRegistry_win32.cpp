#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "ShellTestSupport.h"
#include "shell/win32/WideString.h"
#include "shell/win32/Win32Registry.h"

namespace kurdb::test {

struct TestRegistry::Impl {
    std::wstring base;
    HKEY lm = nullptr;
    HKEY cu = nullptr;
    std::unique_ptr<win32::Win32Registry> registry;
    std::vector<std::pair<HKEY, std::wstring>> readOnly;

    Impl() {
        static std::atomic<int> counter{0};
        base = L"Software\\KurdbTests\\" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               std::to_wstring(counter++);
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, (base + L"\\HKLM").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &lm, nullptr) != ERROR_SUCCESS ||
            ::RegCreateKeyExW(HKEY_CURRENT_USER, (base + L"\\HKCU").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &cu, nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot make the test's registry keys");
        registry = std::make_unique<win32::Win32Registry>(lm, cu);
    }
    ~Impl() {
        registry.reset();
        // Writable again, or the tree could not be deleted.
        PSECURITY_DESCRIPTOR sd = nullptr;
        if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KA;;;WD)", SDDL_REVISION_1, &sd,
                                                                   nullptr)) {
            for (const auto& [root, key] : readOnly) {
                HKEY k = nullptr;
                if (::RegOpenKeyExW(root, key.c_str(), 0, WRITE_DAC, &k) == ERROR_SUCCESS) {
                    ::RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd);
                    ::RegCloseKey(k);
                }
            }
            ::LocalFree(sd);
        }
        ::RegCloseKey(lm);
        ::RegCloseKey(cu);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, base.c_str());
    }

    void Put(Hive hive, const std::string& key, const std::string& name, DWORD type, const void* data,
             DWORD size) {
        HKEY k = nullptr;
        if (::RegCreateKeyExW(hive == Hive::LocalMachine ? lm : cu, win32::Wide(key).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot make " + key);
        ::RegSetValueExW(k, win32::Wide(name).c_str(), 0, type, static_cast<const BYTE*>(data), size);
        ::RegCloseKey(k);
    }
};

TestRegistry::TestRegistry() : impl_(std::make_unique<Impl>()) {}
TestRegistry::~TestRegistry() = default;
IRegistry& TestRegistry::Get() {
    return *impl_->registry;
}

void TestRegistry::PutDword(Hive hive, const std::string& key, const std::string& name, std::uint32_t value) {
    const DWORD v = value;
    impl_->Put(hive, key, name, REG_DWORD, &v, sizeof v);
}

void TestRegistry::PutExpandString(Hive hive, const std::string& key, const std::string& name,
                                   const std::string& value) {
    const std::wstring w = win32::Wide(value);
    impl_->Put(hive, key, name, REG_EXPAND_SZ, w.c_str(),
               static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
}

void TestRegistry::MakeReadOnly(Hive hive, const std::string& key) {
    HKEY k = nullptr;
    const HKEY root = hive == Hive::LocalMachine ? impl_->lm : impl_->cu;
    if (::RegOpenKeyExW(root, win32::Wide(key).c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS)
        throw std::runtime_error("cannot open " + key);
    // Everyone may read, nobody may write; no inherited entries.
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", SDDL_REVISION_1, &sd,
                                                                nullptr))
        throw std::runtime_error("cannot build the security descriptor");
    const LONG rc = ::RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd);
    ::LocalFree(sd);
    ::RegCloseKey(k);
    if (rc != ERROR_SUCCESS) throw std::runtime_error("cannot protect " + key);
    impl_->readOnly.emplace_back(root, win32::Wide(key));
}

}  // namespace kurdb::test
