#include "shell/Registry.h"

namespace kurdb {
namespace {

// The wizard's helpers all work below this branch of the local machine.
std::string SoftwareKey(const std::string& key) {
    return "SOFTWARE\\" + key;
}

}  // namespace

bool RegKeyExists(const IRegistry& registry, const std::string& key) {
    return registry.KeyOpens(Hive::LocalMachine, SoftwareKey(key), Access::All);
}

std::string RegReadString(const IRegistry& registry, const std::string& key, const std::string& name) {
    return registry.ReadString(Hive::LocalMachine, SoftwareKey(key), name, Access::Read).value_or("");
}

void RegWriteString(IRegistry& registry, const std::string& key, const std::string& name,
                    const std::string& text) {
    registry.WriteString(Hive::LocalMachine, SoftwareKey(key), name, text);
}

}  // namespace kurdb
