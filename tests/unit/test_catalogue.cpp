#include <gtest/gtest.h>

#include <set>

#include "app/Catalogue.h"
#include "shell/Exception.h"

using namespace kurdb;

TEST(Catalogue, EditionThreeIsTheShippedEdition) {
    const CurrentEdition e = EditionFor(3);
    EXPECT_EQ(e.number, 3);
    EXPECT_EQ(e.brandName, "DORVA");
    EXPECT_EQ(e.companiesDatabase, "FIRMADORVA");
    EXPECT_EQ(e.moduleCount, 12);
    const std::array<std::string, 12> expected = {"GUNCELDORVA", "DORVADATAGUN", "VANTRIS", "KORELIN",
                                                  "DESTRA",      "ZELVIA",       "TORNEV",  "HESKAR",
                                                  "PARVEL",      "GIRVAK",       "SIRKACDV", "DEVIRDORVA"};
    EXPECT_EQ(e.modules, expected);
}

TEST(Catalogue, EditionEighteenHasOneModuleAndEmptySlots) {
    const CurrentEdition e = EditionFor(18);
    EXPECT_EQ(e.moduleCount, 1);
    EXPECT_EQ(e.brandName, "TARSO");
    EXPECT_EQ(e.companiesDatabase, "TARSO");
    EXPECT_EQ(e.modules[0], "GUNCELTARSO");
    EXPECT_EQ(e.modules[2], "TARSO");
    for (int slot : {3, 4, 5, 6, 7, 8, 11}) EXPECT_EQ(e.modules[slot], "") << "slot " << slot;
    EXPECT_EQ(e.modules[9], "GIRVAK");
    EXPECT_EQ(e.modules[10], "KURTARSO");
}

TEST(Catalogue, DatabasesThatDoNotFollowTheirBrand) {
    EXPECT_EQ(EditionFor(13).companiesDatabase, "FIRMALORVANTI");
    EXPECT_EQ(EditionFor(14).companiesDatabase, "FIRMALORVANTI");
    EXPECT_EQ(EditionFor(15).companiesDatabase, "FIRMAMIRVELA");
    EXPECT_EQ(EditionFor(16).companiesDatabase, "FIRMANESTARRO");
    EXPECT_EQ(EditionFor(16).brandName, "OLVARA");
    EXPECT_EQ(EditionFor(17).brandName, "DO DORIVODA");
}

TEST(Catalogue, EveryEditionOneToSeventeenHasTheCommonModulesAndAProgramInEachRoleSlot) {
    const std::array<std::string, 8> common = {"VANTRIS", "KORELIN", "DESTRA", "ZELVIA",
                                               "TORNEV",  "HESKAR",  "PARVEL", "GIRVAK"};
    std::set<std::string> databases;
    for (int n = 1; n <= 17; ++n) {
        const CurrentEdition e = EditionFor(n);
        EXPECT_EQ(e.moduleCount, 12) << n;
        for (int k = 0; k < 8; ++k) EXPECT_EQ(e.modules[k + 2], common[k]) << n;
        for (int slot : {0, 1, 10, 11}) EXPECT_FALSE(e.modules[slot].empty()) << n << "/" << slot;
        databases.insert(e.companiesDatabase);
    }
    EXPECT_EQ(databases.size(), 16u);  // only 13 and 14 share theirs
}

TEST(Catalogue, SelectEditionRejectsNumbersOutsideTheCatalogueAndKeepsTheCurrentOne) {
    SelectEdition(3);
    for (int bad : {0, -1, 19, 1000}) {
        try {
            SelectEdition(bad);
            FAIL() << bad << " accepted";
        } catch (const Exception& e) {
            EXPECT_NE(e.Message().find(std::to_string(bad)), std::string::npos) << e.Message();
        }
    }
    EXPECT_EQ(Edition().number, 3);
    EXPECT_EQ(SelectEdition(18).companiesDatabase, "TARSO");
    EXPECT_EQ(Edition().brandName, "TARSO");
}
