#pragma once
// The edition catalogue: the 18 brand editions of the suite, one row each, and the current
// edition that the program entry selects once before the window is created.
#include <array>
#include <string>

namespace kurdb {

constexpr int kModuleSlots = 12;
constexpr int kEditionCount = 18;

// Fixed for every edition: the application login that the wizard creates on the server.
inline constexpr const char* kLoginName = "DURANIX";
inline constexpr const char* kLoginPassword = "";

struct EditionRecord {
    int moduleCount;
    const char* brandName;
    const char* companiesDatabase;
    // Slot 0 updater, 2 sales, 3 service, 4 maintenance support, 5 list reports, 10 company
    // opening; the rest are further modules. "" marks a slot without a program.
    std::array<const char*, kModuleSlots> modules;
};

struct CurrentEdition {
    int number = 0;
    std::string brandName;
    std::string companiesDatabase;
    int moduleCount = 0;
    std::array<std::string, kModuleSlots> modules;
};

// The edition of row `number` (1 to 18). Throws kurdb::Exception for any other number.
CurrentEdition EditionFor(int number);

}  // namespace kurdb
