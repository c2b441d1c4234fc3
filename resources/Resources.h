#pragma once
// Files of resources/ embedded into the program at build time.
#include <string>
#include <string_view>

#include "base/Exception.h"

namespace kurdb::resources {

// Thrown by Find for a name that was not embedded: a build fault, never a user error.
class ResourceMissing : public EProgramFault {
public:
    explicit ResourceMissing(std::string_view name)
        : EProgramFault("embedded resource missing: " + std::string(name)) {}
};

// The bytes of the embedded file at `name`, relative to resources/ ("window.def",
// "sql/QFirmaDB.sql"). Throws ResourceMissing when no such file was embedded.
std::string_view Find(std::string_view name);

}  // namespace kurdb::resources
