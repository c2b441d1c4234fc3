#include "shell/Payloads.h"

#include "shell/Files.h"
#include "shell/PayloadTable.h"
#include "base/Text.h"

namespace kurdb {

std::optional<std::string_view> Payload(std::string_view name) {
    for (const payloads::Entry& e : payloads::Entries())
        if (text::EqualsNoCase(e.name, name)) return e.data;
    return std::nullopt;
}

bool WritePayloadIfAbsent(std::string_view name, const std::string& path) {
    if (files::IsFile(path)) return false;
    const auto bytes = Payload(name);
    if (!bytes) return false;
    files::CreateFileWith(path, *bytes);
    return true;
}

}  // namespace kurdb
