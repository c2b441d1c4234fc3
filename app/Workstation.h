#pragma once
// What the second page's shortcuts are made of: the suite's program group below the user's
// Programs folder.
#include <string>
#include <string_view>

#include "shell/Platform.h"

namespace kurdb {

// The program group of an edition: `programs` with a trailing separator, "Karvelisto", a
// separator, then for edition 18 "Tarso"; for every other edition "Duranix ", the brand's first
// character as it is, its characters 2 to 31 with only the capitals A to Z lowered, and a
// trailing separator.
std::string ProgramGroupFolder(const PathRules& rules, std::string_view programs, int edition,
                               std::string_view brand);

}  // namespace kurdb
