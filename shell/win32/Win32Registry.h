#pragma once
// The Windows registry through the W functions. The two hives are handed in as open keys, so
// tests can put a private key of their own in the place of each.
//
// Every key below the local machine is opened in its 32-bit view (KEY_WOW64_32KEY): what the
// wizard keeps there belongs to the suite's 32-bit engine, which reads SOFTWARE\WOW6432Node on
// 64-bit Windows. A 32-bit process on 32-bit Windows ignores the flag, so the 32-bit and the
// 64-bit build of the wizard read and write the same keys. The current user's keys are shared
// by both views.
#include <windows.h>

#include "shell/Registry.h"

namespace kurdb::win32 {

class Win32Registry final : public IRegistry {
public:
    // `localMachine` and `currentUser` stay owned by the caller and must outlive this object.
    Win32Registry(HKEY localMachine, HKEY currentUser);

    bool KeyOpens(Hive hive, const std::string& key, Access access) const override;
    std::optional<std::string> ReadString(Hive hive, const std::string& key, const std::string& name,
                                          Access access) const override;
    bool WriteString(Hive hive, const std::string& key, const std::string& name,
                     const std::string& value) override;
    bool CreateKey(Hive hive, const std::string& key) override;

private:
    HKEY Root(Hive hive) const { return hive == Hive::LocalMachine ? localMachine_ : currentUser_; }
    static REGSAM View(Hive hive) { return hive == Hive::LocalMachine ? KEY_WOW64_32KEY : 0; }
    HKEY localMachine_;
    HKEY currentUser_;
};

}  // namespace kurdb::win32
