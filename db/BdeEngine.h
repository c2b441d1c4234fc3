#pragma once
// The suite's database engine (BDE), a 32-bit engine that the suite's programs load. It
// registers itself under HKEY_LOCAL_MACHINE\SOFTWARE\Borland\Database Engine, whose value DLLPATH
// names the folder (or folders, separated by ";") that hold IDAPI32.DLL.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "db/Engine.h"
#include "shell/Registry.h"
#include "shell/SharedLibrary.h"

namespace kurdb::db {

inline constexpr std::string_view kBdeKey = "Borland\\Database Engine";
inline constexpr std::string_view kBdePathValue = "DLLPATH";
inline constexpr std::string_view kBdeLibrary = "IDAPI32.DLL";

class BdeEngine final : public IEngine {
public:
    using Loader = std::function<std::unique_ptr<SharedLibrary>(const std::string& path)>;
    // `registry` must outlive the engine; `load` loads a library by its full path.
    explicit BdeEngine(const IRegistry& registry, Loader load = &SharedLibrary::Load);

    // Reads DLLPATH, loads IDAPI32.DLL by its full path from the first of its folders that holds
    // the file, calls DbiInit(NULL), DbiGetSysVersion into a zeroed record and DbiExit, and frees
    // the library: the version is the record's first field. Throws EDBEngineError when the key,
    // the value or the file is missing, the library does not load or lacks a function, or a call
    // does not answer 0.
    std::uint16_t EngineVersion() override;

private:
    // The full path of IDAPI32.DLL in the first DLLPATH folder that holds it.
    std::string LibraryPath() const;

    const IRegistry& registry_;
    Loader load_;
};

// The engine of the platform: the BDE on Windows; nullptr elsewhere, where the ODBC driver
// manager stands for it.
std::unique_ptr<IEngine> MakePlatformEngine(const IRegistry& registry);

}  // namespace kurdb::db
