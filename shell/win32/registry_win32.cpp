#include <windows.h>

#include <vector>

#include "base/Exception.h"
#include "shell/win32/WideString.h"
#include "shell/win32/Win32Registry.h"

namespace kurdb::win32 {
namespace {

// An open key, closed when the scope ends.
class ScopedKey {
public:
    ScopedKey() = default;
    ~ScopedKey() {
        if (key_) ::RegCloseKey(key_);
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    ScopedKey(ScopedKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
    ScopedKey& operator=(ScopedKey&& other) noexcept {
        if (this != &other) {
            if (key_) ::RegCloseKey(key_);
            key_ = other.key_;
            other.key_ = nullptr;
        }
        return *this;
    }
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }

private:
    HKEY key_ = nullptr;
};

REGSAM Rights(Access access) {
    return access == Access::All ? KEY_ALL_ACCESS : KEY_READ;
}

ScopedKey Open(HKEY root, REGSAM view, const std::string& key, Access access) {
    ScopedKey k;
    if (::RegOpenKeyExW(root, Wide(key).c_str(), 0, Rights(access) | view, k.Out()) != ERROR_SUCCESS)
        return ScopedKey();
    return k;
}

}  // namespace

Win32Registry::Win32Registry(HKEY localMachine, HKEY currentUser)
    : localMachine_(localMachine), currentUser_(currentUser) {}

bool Win32Registry::KeyOpens(Hive hive, const std::string& key, Access access) const {
    return static_cast<bool>(Open(Root(hive), View(hive), key, access));
}

std::optional<std::string> Win32Registry::ReadString(Hive hive, const std::string& key,
                                                     const std::string& name, Access access) const {
    const ScopedKey k = Open(Root(hive), View(hive), key, access);
    if (!k) return std::nullopt;
    const std::wstring wname = Wide(name);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(k.Get(), wname.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw EPlatformError("Invalid data type for '" + name + "'");
    // The value may grow between the two calls: ask again with the size the second call gives.
    std::vector<wchar_t> buf;
    LONG rc = ERROR_MORE_DATA;
    while (rc == ERROR_MORE_DATA) {
        buf.assign(size / sizeof(wchar_t) + 2, L'\0');
        size = static_cast<DWORD>((buf.size() - 1) * sizeof(wchar_t));
        rc = ::RegQueryValueExW(k.Get(), wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                                &size);
    }
    if (rc != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw EPlatformError("Invalid data type for '" + name + "'");
    // Up to the first zero: stored data need not end in one, and may hold several.
    std::wstring_view text(buf.data(), size / sizeof(wchar_t));
    const auto zero = text.find(L'\0');
    if (zero != std::wstring_view::npos) text = text.substr(0, zero);
    return Narrow(text);
}

bool Win32Registry::WriteString(Hive hive, const std::string& key, const std::string& name,
                                const std::string& value) {
    const ScopedKey k = Open(Root(hive), View(hive), key, Access::All);
    if (!k) return false;
    const std::wstring data = Wide(value);
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    if (::RegSetValueExW(k.Get(), Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         bytes) != ERROR_SUCCESS)
        throw EPlatformError("Failed to set data for '" + name + "'");
    return true;
}

bool Win32Registry::CreateKey(Hive hive, const std::string& key) {
    ScopedKey k;
    return ::RegCreateKeyExW(Root(hive), Wide(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS | View(hive), nullptr, k.Out(), nullptr) == ERROR_SUCCESS;
}

}  // namespace kurdb::win32

namespace kurdb {

std::unique_ptr<IRegistry> MakeNativeRegistry() {
    return std::make_unique<win32::Win32Registry>(HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER);
}

}  // namespace kurdb
