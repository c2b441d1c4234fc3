#pragma once

namespace kurdb::db {

// Whether the one database connection is open. The settings step asks this before saving.
class IConnectionState {
public:
    virtual ~IConnectionState() = default;
    virtual bool IsConnected() const = 0;
};

}  // namespace kurdb::db
