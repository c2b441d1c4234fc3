#pragma once
// Shared libraries loaded at run time: the ODBC driver manager, the suite's database engine. The
// program is linked against neither, so it starts on a machine without them and can say so.
#include <memory>
#include <string>

#include "base/Exception.h"

// The calling convention of the functions that Windows libraries export: stdcall in 32-bit
// Windows code, the one convention everywhere else. A function pointer of such a library is
// declared with it, so that the 32-bit build cannot call one with the wrong convention.
#if defined(_WIN32) && !defined(_WIN64)
#define KURDB_WINAPI __stdcall
#else
#define KURDB_WINAPI
#endif

namespace kurdb {

// A library that would not load: "<name> yüklenemedi: <reason>", the system's reason kept apart.
class ELibraryLoadError : public EPlatformError {
public:
    ELibraryLoadError(const std::string& name, std::string reason)
        : EPlatformError(name + " yüklenemedi" + (reason.empty() ? "" : ": " + reason)),
          reason_(std::move(reason)) {}
    const std::string& Reason() const noexcept { return reason_; }

private:
    std::string reason_;
};

// A loaded shared library; unloaded by the destructor.
class SharedLibrary {
public:
    // Loads `name`. A bare name is a library of the system, looked up the safe way: on Windows
    // in the system directory only, never beside the program; elsewhere through the loader's
    // paths. A path names its file; on Windows the libraries it imports come from its own
    // folder and the system directory. Throws ELibraryLoadError.
    static std::unique_ptr<SharedLibrary> Load(const std::string& name);

    virtual ~SharedLibrary() = default;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    const std::string& Name() const { return name_; }
    // The address of an exported symbol, or nullptr.
    virtual void* Symbol(const char* symbol) const = 0;

    // The exported function `symbol` as a pointer of type F*, F being its declared type
    // (with KURDB_WINAPI where the library uses it); nullptr when it is not exported.
    template <typename F>
    F* Function(const char* symbol) const {
        return reinterpret_cast<F*>(Symbol(symbol));
    }

protected:
    explicit SharedLibrary(std::string name) : name_(std::move(name)) {}

private:
    std::string name_;
};

}  // namespace kurdb
