#pragma once
// Loading the ODBC driver manager at run time: odbc32.dll on Windows, libodbc.so.2 elsewhere.
// The program is never linked against it, so it starts on a machine without ODBC and can say so.
#include <functional>
#include <memory>
#include <string>

#include "db/OdbcApi.h"

namespace kurdb::db {

// The driver manager's file name on this platform.
std::string DefaultDriverManagerLibrary();

// A loaded shared library; unloaded by the destructor. Implemented per platform in
// odbc_loader_win32.cpp and odbc_loader_posix.cpp.
class SharedLibrary {
public:
    // Loads `name`. A bare name is looked up the platform's safe way: on Windows in the system
    // directory only, never beside the program; elsewhere through the loader's paths. Throws
    // EDBEngineError naming the library and the system's reason when it cannot be loaded.
    static std::unique_ptr<SharedLibrary> Load(const std::string& name);

    virtual ~SharedLibrary() = default;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    const std::string& Name() const { return name_; }
    // The address of an exported symbol, or nullptr.
    virtual void* Symbol(const char* symbol) const = 0;

protected:
    explicit SharedLibrary(std::string name) : name_(std::move(name)) {}

private:
    std::string name_;
};

// Fills the entry-point table from `lookup` (symbol name -> address or nullptr). Throws
// EDBEngineError naming the first missing entry point and `libraryName`.
odbc::Api ResolveOdbcApi(const std::function<void*(const char*)>& lookup, const std::string& libraryName);

}  // namespace kurdb::db
