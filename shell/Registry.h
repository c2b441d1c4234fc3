#pragma once
// The registry: keys below two hives, string values. Windows: the real registry through the W
// functions. Linux: a file-backed registry, one text file per hive in the .reg format that
// Windows administrators read (REGEDIT4-style sections and "name"="value" lines), with the same
// key, value and type semantics. Key paths use "\" and compare without regard to letter case.
#include <memory>
#include <optional>
#include <string>

namespace kurdb {

enum class Hive { LocalMachine, CurrentUser };

// How a key is opened: for reading (KEY_READ) or with full access (KEY_ALL_ACCESS). A key that
// exists but that the user may not open for writing does not open with Access::All.
enum class Access { Read, All };

class IRegistry {
public:
    virtual ~IRegistry() = default;

    // True when hive\key exists and opens with `access`. Never creates the key.
    virtual bool KeyOpens(Hive hive, const std::string& key, Access access) const = 0;

    // The string value `name` of hive\key opened with `access` (never created): nullopt when the
    // key does not open or the value does not exist. Data of a string or expandable-string type
    // is returned up to its first zero character, unexpanded. Throws EPlatformError
    // "Invalid data type for '<name>'" for a value of any other type.
    virtual std::optional<std::string> ReadString(Hive hive, const std::string& key, const std::string& name,
                                                  Access access) const = 0;

    // Writes `value` as a plain string value (with its terminating zero) into hive\key opened
    // with full access, never creating the key. False when the key does not open: nothing is
    // written. Throws EPlatformError "Failed to set data for '<name>'" when the write is refused.
    virtual bool WriteString(Hive hive, const std::string& key, const std::string& name,
                             const std::string& value) = 0;

    // Opens hive\key with full access, creating it and its missing parents. False when that fails.
    virtual bool CreateKey(Hive hive, const std::string& key) = 0;
};

// The running user's registry: the Windows registry, or on Linux the file-backed registry in
// the user's configuration folder ($XDG_CONFIG_HOME/kurdb, else ~/.config/kurdb).
std::unique_ptr<IRegistry> MakeNativeRegistry();

// The wizard's three helpers. Each works below HKEY_LOCAL_MACHINE\SOFTWARE\ + key and never
// creates the key.
// True when the key opens with full access.
bool RegKeyExists(const IRegistry& registry, const std::string& key);
// The value's text; "" when the key does not open for reading, the value is missing or empty.
// Throws "Invalid data type for '<name>'".
std::string RegReadString(const IRegistry& registry, const std::string& key, const std::string& name);
// Writes the value when the key opens with full access; nothing (and no error) when it does not.
// Throws "Failed to set data for '<name>'" when the write is refused.
void RegWriteString(IRegistry& registry, const std::string& key, const std::string& name,
                    const std::string& text);

}  // namespace kurdb
