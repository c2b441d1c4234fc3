#pragma once
// The ODBC driver manager, loaded at run time: odbc32.dll on Windows, libodbc.so.2 elsewhere.
// The program is never linked against it, so it starts on a machine without ODBC and can say so.
#include <functional>
#include <string>

#include "db/OdbcApi.h"

namespace kurdb::db {

// The driver manager's file name on this platform.
std::string DefaultDriverManagerLibrary();

// Fills the entry-point table from `lookup` (symbol name -> address or nullptr). Throws
// EDBEngineError naming the first missing entry point and `libraryName`.
odbc::Api ResolveOdbcApi(const std::function<void*(const char*)>& lookup, const std::string& libraryName);

}  // namespace kurdb::db
