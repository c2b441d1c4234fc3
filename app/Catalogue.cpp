#include "app/Catalogue.h"

#include "base/Exception.h"

namespace kurdb {
namespace {

// Slots 2 to 9 of editions 1 to 17.
#define COMMON "VANTRIS", "KORELIN", "DESTRA", "ZELVIA", "TORNEV", "HESKAR", "PARVEL", "GIRVAK"

// Row n-1 is edition n.
const std::array<EditionRecord, kEditionCount> kCatalogue = {{
    {12, "ALVEN", "FIRMAALVEN", {"GUNCELALVEN", "ALVENADATAGUN", COMMON, "SIRKACAV", "DEVIRALVEN"}},
    {12, "BORKA", "FIRMABORKA", {"GUNCELBORKA", "BORKADATAGUN", COMMON, "SIRKACBK", "DEVIRBORKA"}},
    {12, "DORVA", "FIRMADORVA", {"GUNCELDORVA", "DORVADATAGUN", COMMON, "SIRKACDV", "DEVIRDORVA"}},
    {12, "CELMARO", "FIRMACELMARO", {"GUNCELCELMARO", "CELMARODATAGUN", COMMON, "SIRKACCM", "DEVIRCELMARO"}},
    {12,
     "FENDARIS",
     "FIRMAFENDARIS",
     {"GUNCELFENDARIS", "FENDARISDATAGUN", COMMON, "SIRKACFD", "DEVIRFENDARIS"}},
    {12, "GALVO_MOTOR", "FIRMAGV", {"GUNCELGV", "GVDATAGUN", COMMON, "SIRKACGV", "DEVIRGV"}},
    {12, "HERVON", "FIRMAHERVON", {"GUNCELHERVON", "HERVONDATAGUN", COMMON, "SIRKACHV", "DEVIRHERVON"}},
    {12, "HERVON_M", "FIRMAMHERVON", {"RAVUVADEZ", "ZIRURERIZE", COMMON, "SIRKAC", "VURIRIDO"}},
    {12, "ISMARO", "FIRMAISMARO", {"GUNCELISMARO", "ISMARODATAGUN", COMMON, "SIRKACIS", "DEVIRISMARO"}},
    {12, "DURANIX", "ZURIZORU", {"RAVUVADEZ", "ZIRURERIZE", COMMON, "SIRKAC", "VURIRIDO"}},
    {12, "JOLVA", "FIRMAJOLVA", {"GUNCELJOLVA", "JOLVADATAGUN", COMMON, "SIRKACJV", "DEVIRJOLVA"}},
    {12, "KELMORA", "FIRMAKELMORA", {"GUNCELKELMORA", "KELMORADATAGUN", COMMON, "SIRKACKL", "DEVIRKELMORA"}},
    {12,
     "LORVANTI",
     "FIRMALORVANTI",
     {"GUNCELLORVANTI", "LORVANTIDATAGUN", COMMON, "SIRKACLV", "DEVIRLORVANTI"}},
    // 14 to 16 name databases that do not follow their brands; the suite relies on these names.
    {12, "MIRVELA", "FIRMALORVANTI", {"RAVUVADEZ", "ZIRURERIZE", COMMON, "SIRKAC", "VURIRIDO"}},
    {12, "NESTARO", "FIRMAMIRVELA", {"RAVUVADEZ", "ZIRURERIZE", COMMON, "SIRKAC", "VURIRIDO"}},
    {12, "OLVARA", "FIRMANESTARRO", {"RAVUVADEZ", "ZIRURERIZE", COMMON, "SIRKAC", "VURIRIDO"}},
    {12, "DO DORIVODA", "VODURIZUZA", {"RADAZEVUZOR", "ROZUVUVOVAZO", COMMON, "SIRKACIM", "DOVEVEZARE"}},
    {1,
     "TARSO",
     "TARSO",
     {"GUNCELTARSO", "DATAGUNTARSO", "TARSO", "", "", "", "", "", "", "GIRVAK", "KURTARSO", ""}},
}};

#undef COMMON

}  // namespace

CurrentEdition EditionFor(int number) {
    if (number < 1 || number > kEditionCount)
        throw Exception("Geçersiz sürüm numarası: " + std::to_string(number) + " (1 ile " +
                        std::to_string(kEditionCount) + " arası olmalı)");
    const EditionRecord& row = kCatalogue[static_cast<std::size_t>(number - 1)];
    CurrentEdition e;
    e.number = number;
    e.brandName = row.brandName;
    e.companiesDatabase = row.companiesDatabase;
    e.moduleCount = row.moduleCount;
    for (int i = 0; i < kModuleSlots; ++i)
        e.modules[static_cast<std::size_t>(i)] = row.modules[static_cast<std::size_t>(i)];
    return e;
}

}  // namespace kurdb
