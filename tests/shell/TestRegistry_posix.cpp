#include <sys/stat.h>

#include <cstdio>
#include <stdexcept>

#include "ShellTestSupport.h"
#include "shell/posix/FileRegistry.h"

namespace kurdb::test {

struct TestRegistry::Impl {
    TempDir dir;
    posix::FileRegistry registry{dir.Path(), {}};

    // Puts a value line of the .reg format into the key's section, which the test made before.
    void PutLine(Hive hive, const std::string& key, const std::string& line) {
        const std::string path = registry.HivePath(hive);
        std::string text = ReadFile(path);
        const std::string header = std::string("[") +
                                   (hive == Hive::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER") +
                                   "\\" + key + "]\n";
        const auto at = text.find(header);
        if (at == std::string::npos) throw std::logic_error("make the key first: " + key);
        text.insert(at + header.size(), line + "\n");
        WriteFile(path, text);
    }
};

TestRegistry::TestRegistry() : impl_(std::make_unique<Impl>()) {}
TestRegistry::~TestRegistry() = default;
IRegistry& TestRegistry::Get() {
    return impl_->registry;
}

void TestRegistry::PutDword(Hive hive, const std::string& key, const std::string& name, std::uint32_t value) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", value);
    impl_->PutLine(hive, key, "\"" + name + "\"=dword:" + hex);
}

void TestRegistry::PutExpandString(Hive hive, const std::string& key, const std::string& name,
                                   const std::string& value) {
    // hex(2): UTF-16LE with its terminating zero (ASCII values only here)
    std::string line = "\"" + name + "\"=hex(2):";
    char byte[8];
    for (const char c : value) {
        std::snprintf(byte, sizeof byte, "%02x,00,", static_cast<unsigned char>(c));
        line += byte;
    }
    line += "00,00";
    impl_->PutLine(hive, key, line);
}

void TestRegistry::MakeReadOnly(Hive hive, const std::string& /*key: a file per hive*/) {
    ::chmod(impl_->registry.HivePath(hive).c_str(), 0444);
}

}  // namespace kurdb::test
