#pragma once
// The generated table behind Payloads.h (cmake/Embed.cmake, kurdb_embed_payloads): one entry
// per file the packager gave at configure time.
#include <span>
#include <string_view>

namespace kurdb::payloads {

struct Entry {
    std::string_view name;
    std::string_view data;
};

std::span<const Entry> Entries();

}  // namespace kurdb::payloads
