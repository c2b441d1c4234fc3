#include "db/BdeEngine.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "db/Errors.h"
#include "shell/Files.h"
#include "shell/Platform.h"

namespace kurdb::db {
namespace {

// The engine's functions: stdcall in 32-bit code, a 16-bit result (DBIResult), 0 for success.
using DbiInitFn = std::uint16_t KURDB_WINAPI(void* environment);
using DbiGetSysVersionFn = std::uint16_t KURDB_WINAPI(void* record);
using DbiExitFn = std::uint16_t KURDB_WINAPI();

// The version record (SYSVersion) is 40-odd bytes; room to spare for any engine release.
constexpr std::size_t kVersionRecordSize = 256;

std::string Folder(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

template <typename F>
F* Required(const SharedLibrary& library, const char* name) {
    F* function = library.Function<F>(name);
    if (!function) throw EDBEngineError("BDE: " + std::string(name) + " bulunamadı (" + library.Name() + ")");
    return function;
}

void Check(std::uint16_t result, const char* call) {
    if (result != 0) throw EDBEngineError("BDE: " + std::string(call) + " hata " + std::to_string(result));
}

}  // namespace

BdeEngine::BdeEngine(const IRegistry& registry, Loader load) : registry_(registry), load_(std::move(load)) {}

std::string BdeEngine::LibraryPath() const {
    const std::string key = std::string(kBdeKey);
    const std::string folders = RegReadString(registry_, key, std::string(kBdePathValue));
    if (folders.empty())
        throw EDBEngineError("BDE kayıtlı değil (HKEY_LOCAL_MACHINE\\SOFTWARE\\" + key + ", " +
                             std::string(kBdePathValue) + ")");
    const PathRules rules = NativePathRules();
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(';', start), folders.size());
        const std::string folder = Folder(std::string_view(folders).substr(start, end - start));
        start = end + 1;
        if (folder.empty()) continue;
        const std::string path = rules.IncludeTrailingSeparator(folder) + std::string(kBdeLibrary);
        if (files::IsFile(path)) return path;
    }
    throw EDBEngineError(std::string(kBdeLibrary) + " bulunamadı (" + folders + ")");
}

std::uint16_t BdeEngine::EngineVersion() {
    const std::string path = LibraryPath();
    std::unique_ptr<SharedLibrary> library;
    try {
        library = load_(path);
    } catch (const EPlatformError& e) {
        throw EDBEngineError("BDE: " + e.Message());
    }
    auto* init = Required<DbiInitFn>(*library, "DbiInit");
    auto* sysVersion = Required<DbiGetSysVersionFn>(*library, "DbiGetSysVersion");
    auto* exit = Required<DbiExitFn>(*library, "DbiExit");

    Check(init(nullptr), "DbiInit");
    alignas(8) std::array<unsigned char, kVersionRecordSize> record{};
    const std::uint16_t result = sysVersion(record.data());
    exit();
    Check(result, "DbiGetSysVersion");
    std::uint16_t version = 0;
    std::memcpy(&version, record.data(), sizeof version);  // the record's first field, little-endian
    return version;
}

std::unique_ptr<IEngine> MakePlatformEngine([[maybe_unused]] const IRegistry& registry) {
#ifdef _WIN32
    return std::make_unique<BdeEngine>(registry);
#else
    return nullptr;
#endif
}

}  // namespace kurdb::db
