// The driver manager through dlopen: Debian's unixODBC (libodbc.so.2).
#include <dlfcn.h>

#include "db/Errors.h"
#include "db/OdbcLoader.h"

namespace kurdb::db {
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

std::string DefaultDriverManagerLibrary() {
    return "libodbc.so.2";
}

std::unique_ptr<SharedLibrary> SharedLibrary::Load(const std::string& name) {
    ::dlerror();
    void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        throw EDBEngineError("ODBC sürücü yöneticisi yüklenemedi (" + name + ")" +
                             (why ? std::string(": ") + why : std::string()));
    }
    return std::make_unique<PosixLibrary>(name, handle);
}

}  // namespace kurdb::db
