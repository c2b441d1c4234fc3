#pragma once
// Files of resources/ embedded into the program at build time.
#include <stdexcept>
#include <string>
#include <string_view>

namespace kurdb::resources {

// Thrown by Find for a name that was not embedded: a build fault, never a user error.
class ResourceMissing : public std::logic_error {
public:
    explicit ResourceMissing(std::string_view name)
        : std::logic_error("embedded resource missing: " + std::string(name)) {}
};

// The bytes of the embedded file at `name`, relative to resources/ ("window.def",
// "sql/QFirmaDB.sql"). Throws ResourceMissing when no such file was embedded.
std::string_view Find(std::string_view name);

}  // namespace kurdb::resources
