#include <gtest/gtest.h>

#include <algorithm>

#include "app/Catalogue.h"
#include "base/Exception.h"

using namespace kurdb;

// Every field of every row, as the suite's other programs know them.
TEST(Catalogue, EveryRowFieldByField) {
    struct Row {
        int count;
        const char *brand, *database, *slot0, *slot1, *slot10, *slot11;
    };
    const Row rows[kEditionCount] = {
        {12, "ALVEN", "FIRMAALVEN", "GUNCELALVEN", "ALVENADATAGUN", "SIRKACAV", "DEVIRALVEN"},
        {12, "BORKA", "FIRMABORKA", "GUNCELBORKA", "BORKADATAGUN", "SIRKACBK", "DEVIRBORKA"},
        {12, "DORVA", "FIRMADORVA", "GUNCELDORVA", "DORVADATAGUN", "SIRKACDV", "DEVIRDORVA"},
        {12, "CELMARO", "FIRMACELMARO", "GUNCELCELMARO", "CELMARODATAGUN", "SIRKACCM", "DEVIRCELMARO"},
        {12, "FENDARIS", "FIRMAFENDARIS", "GUNCELFENDARIS", "FENDARISDATAGUN", "SIRKACFD", "DEVIRFENDARIS"},
        {12, "GALVO_MOTOR", "FIRMAGV", "GUNCELGV", "GVDATAGUN", "SIRKACGV", "DEVIRGV"},
        {12, "HERVON", "FIRMAHERVON", "GUNCELHERVON", "HERVONDATAGUN", "SIRKACHV", "DEVIRHERVON"},
        {12, "HERVON_M", "FIRMAMHERVON", "RAVUVADEZ", "ZIRURERIZE", "SIRKAC", "VURIRIDO"},
        {12, "ISMARO", "FIRMAISMARO", "GUNCELISMARO", "ISMARODATAGUN", "SIRKACIS", "DEVIRISMARO"},
        {12, "DURANIX", "ZURIZORU", "RAVUVADEZ", "ZIRURERIZE", "SIRKAC", "VURIRIDO"},
        {12, "JOLVA", "FIRMAJOLVA", "GUNCELJOLVA", "JOLVADATAGUN", "SIRKACJV", "DEVIRJOLVA"},
        {12, "KELMORA", "FIRMAKELMORA", "GUNCELKELMORA", "KELMORADATAGUN", "SIRKACKL", "DEVIRKELMORA"},
        {12, "LORVANTI", "FIRMALORVANTI", "GUNCELLORVANTI", "LORVANTIDATAGUN", "SIRKACLV", "DEVIRLORVANTI"},
        {12, "MIRVELA", "FIRMALORVANTI", "RAVUVADEZ", "ZIRURERIZE", "SIRKAC", "VURIRIDO"},
        {12, "NESTARO", "FIRMAMIRVELA", "RAVUVADEZ", "ZIRURERIZE", "SIRKAC", "VURIRIDO"},
        {12, "OLVARA", "FIRMANESTARRO", "RAVUVADEZ", "ZIRURERIZE", "SIRKAC", "VURIRIDO"},
        {12, "DO DORIVODA", "VODURIZUZA", "RADAZEVUZOR", "ROZUVUVOVAZO", "SIRKACIM", "DOVEVEZARE"},
        {1, "TARSO", "TARSO", "GUNCELTARSO", "DATAGUNTARSO", "KURTARSO", ""},
    };
    const std::array<std::string, 8> common = {"VANTRIS", "KORELIN", "DESTRA", "ZELVIA",
                                               "TORNEV",  "HESKAR",  "PARVEL", "GIRVAK"};
    const std::array<std::string, 8> tarso = {"TARSO", "", "", "", "", "", "", "GIRVAK"};
    for (int n = 1; n <= kEditionCount; ++n) {
        const Row& r = rows[n - 1];
        const CurrentEdition e = EditionFor(n);
        SCOPED_TRACE("edition " + std::to_string(n));
        EXPECT_EQ(e.number, n);
        EXPECT_EQ(e.moduleCount, r.count);
        EXPECT_EQ(e.brandName, r.brand);
        EXPECT_EQ(e.companiesDatabase, r.database);
        std::array<std::string, kModuleSlots> modules{r.slot0, r.slot1};
        const auto& middle = n == 18 ? tarso : common;
        std::copy(middle.begin(), middle.end(), modules.begin() + 2);
        modules[10] = r.slot10;
        modules[11] = r.slot11;
        EXPECT_EQ(e.modules, modules);
    }
}

TEST(Catalogue, EditionForRejectsNumbersOutsideTheCatalogue) {
    for (int bad : {0, -1, 19, 1000}) {
        try {
            (void)EditionFor(bad);
            FAIL() << bad << " accepted";
        } catch (const Exception& e) {
            EXPECT_NE(e.Message().find(std::to_string(bad)), std::string::npos) << e.Message();
        }
    }
    EXPECT_EQ(EditionFor(18).companiesDatabase, "TARSO");
    EXPECT_EQ(EditionFor(18).brandName, "TARSO");
}
