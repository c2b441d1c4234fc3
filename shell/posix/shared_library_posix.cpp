// Shared libraries through dlopen.
#include <dlfcn.h>

#include "base/Exception.h"
#include "shell/SharedLibrary.h"

namespace kurdb {
namespace {

class PosixLibrary final : public SharedLibrary {
public:
    PosixLibrary(std::string name, void* handle) : SharedLibrary(std::move(name)), handle_(handle) {}
    ~PosixLibrary() override { ::dlclose(handle_); }
    void* Symbol(const char* symbol) const override { return ::dlsym(handle_, symbol); }

private:
    void* handle_;
};

}  // namespace

std::unique_ptr<SharedLibrary> SharedLibrary::Load(const std::string& name) {
    ::dlerror();
    void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        throw ELibraryLoadError(name, why ? why : "");
    }
    return std::make_unique<PosixLibrary>(name, handle);
}

}  // namespace kurdb
