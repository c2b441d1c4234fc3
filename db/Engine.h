#pragma once
// The engine whose version the first page checks before it connects: the suite's own database
// engine where the suite runs (Windows), the ODBC driver manager with a SQL Server driver
// elsewhere.
#include <cstdint>

namespace kurdb::db {

class IEngine {
public:
    virtual ~IEngine() = default;
    // The engine's version as a 16-bit number. Throws EDBEngineError with the engine's or the
    // loader's reason when the engine is missing or reports a failure.
    virtual std::uint16_t EngineVersion() = 0;
};

}  // namespace kurdb::db
