// The message of a database error, composed from diagnostic records recorded from the drivers
// we meet: FreeTDS through unixODBC (Linux and Wine), Microsoft's ODBC Driver 18, and the
// driver managers themselves.
#include <gtest/gtest.h>

#include "db/Errors.h"

namespace kurdb::db {
namespace {

struct ComposeCase {
    const char* title;
    std::vector<DiagRecord> records;
    std::int16_t code;
    std::string expected;
    // The case's name in test listings (and so in CTest names), instead of its bytes.
    friend void PrintTo(const ComposeCase& c, std::ostream* os) { *os << c.title; }
};

class ComposeMessage : public testing::TestWithParam<ComposeCase> {};

TEST_P(ComposeMessage, BuildsTheLinesInOrder) {
    const auto& c = GetParam();
    EXPECT_EQ(ComposeEngineMessage(c.records, c.code), c.expected) << c.title;
}

INSTANTIATE_TEST_SUITE_P(
    RecordedDiagnostics, ComposeMessage,
    testing::Values(
        ComposeCase{"FreeTDS wrong password: the server's record, then the driver's own with its "
                    "general description",
                    {{"42000", 18456, "[FreeTDS][SQL Server]Login failed for user 'sa'."},
                     {"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"}},
                    -1,
                    "Genel SQL hatası.\r\nLogin failed for user 'sa'.\r\nSunucuya bağlanılamadı.\r\n"
                    "Unable to connect to data source"},
        ComposeCase{"FreeTDS, no server listening: the library's number counts as native",
                    {{"08S01", 20009,
                      "[FreeTDS][SQL Server]Unable to connect: Adaptive Server is unavailable or "
                      "does not exist"},
                     {"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"}},
                    -1,
                    "Sunucu ile iletişim koptu.\r\nUnable to connect: Adaptive Server is "
                    "unavailable or does not exist\r\nSunucuya bağlanılamadı.\r\nUnable to connect "
                    "to data source"},
        ComposeCase{"ODBC Driver 18 wrong password",
                    {{"28000", 18456,
                      "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Login failed for user "
                      "'sa'."}},
                    -1, "Geçersiz kullanıcı adı veya şifre.\r\nLogin failed for user 'sa'."},
        ComposeCase{"a warning before the error: the error's description comes first",
                    {{"01000", 5701,
                      "[FreeTDS][SQL Server]Changed database context to 'master'."},
                     {"42S02", 208, "[FreeTDS][SQL Server]Invalid object name 'YOK'."}},
                    -1,
                    "Tablo ya da görünüm bulunamadı.\r\nChanged database context to "
                    "'master'.\r\nInvalid object name 'YOK'."},
        ComposeCase{"only warnings: the first one is the reported error",
                    {{"01004", 0, "[unixODBC][Driver Manager]String data, right truncated"}},
                    1, "Veri kesildi.\r\nString data, right truncated"},
        ComposeCase{"driver manager without the driver: two client records, each after its "
                    "description, the repeated description once",
                    {{"01000", 0,
                      "[unixODBC][Driver Manager]Can't open lib 'libtdsodbc.so' : file not found"},
                     {"IM003", 0, "[unixODBC][Driver Manager]Driver could not be loaded"}},
                    -1,
                    "Sürücü yüklenemedi.\r\nGenel uyarı.\r\nCan't open lib 'libtdsodbc.so' : file "
                    "not found\r\nDriver could not be loaded"},
        ComposeCase{"a server text equal to the description but for letter case stands once",
                    {{"42000", 50000, "[FreeTDS][SQL Server]GENEL SQL HATASI."}}, -1,
                    "Genel SQL hatası."},
        ComposeCase{"a repeated server text (any case) stands once",
                    {{"42000", 2714, "[FreeTDS][SQL Server]There is already an object named 'T'."},
                     {"42000", 2714, "[FreeTDS][SQL Server]there is ALREADY an object named 't'."}},
                    -1, "Genel SQL hatası.\r\nThere is already an object named 'T'."},
        ComposeCase{"blank and control characters trimmed, empty texts left out",
                    {{"42000", 1, "[FreeTDS][SQL Server]  \t"},
                     {"42000", 2, "\r\n  [FreeTDS][SQL Server]  Incorrect syntax near 'x'. \r\n"}},
                    -1, "Genel SQL hatası.\r\nIncorrect syntax near 'x'."},
        ComposeCase{"no records at all: the code form", {}, -1, "BDE hatası $FFFF"},
        ComposeCase{"no records, invalid handle", {}, -2, "BDE hatası $FFFE"},
        ComposeCase{"several server errors of one batch, in order",
                    {{"42S01", 2714,
                      "[FreeTDS][SQL Server]There is already an object named 'FRT' in the database."},
                     {"42000", 1750, "[FreeTDS][SQL Server]Could not create constraint or index."}},
                    -1,
                    "Tablo ya da görünüm zaten var.\r\nThere is already an object named 'FRT' in "
                    "the database.\r\nCould not create constraint or index."}));

TEST(DriverPrefixes, AreStrippedOnlyAtTheStart) {
    EXPECT_EQ(StripDriverPrefixes("[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Login failed"),
              "Login failed");
    EXPECT_EQ(StripDriverPrefixes("[unixODBC][Driver Manager]Data source name not found"),
              "Data source name not found");
    EXPECT_EQ(StripDriverPrefixes("[FreeTDS][SQL Server]"), "");
    EXPECT_EQ(StripDriverPrefixes("Invalid object name '[dbo].[X]'."), "Invalid object name '[dbo].[X]'.");
    EXPECT_EQ(StripDriverPrefixes("[unclosed prefix"), "[unclosed prefix");
    EXPECT_EQ(StripDriverPrefixes(" \t[FreeTDS][SQL Server] x \x01"), "x");
}

TEST(GeneralDescriptions, GoFromStateToClassToGeneral) {
    EXPECT_EQ(GeneralDescription("42S02"), "Tablo ya da görünüm bulunamadı.");
    EXPECT_EQ(GeneralDescription("42S99"), "Sözdizimi hatası veya erişim ihlali.");
    EXPECT_EQ(GeneralDescription("hy000"), "Genel ODBC hatası.");
    EXPECT_EQ(GeneralDescription("ZZ000"), "Genel SQL hatası.");
    EXPECT_EQ(GeneralDescription(""), "Genel SQL hatası.");
}

TEST(EngineError, KeepsEveryRecordForInspection) {
    const std::vector<DiagRecord> records{
        {"42000", 18456, "[FreeTDS][SQL Server]Login failed for user 'sa'."},
        {"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"}};
    try {
        throw EDBEngineError(records, -1);
    } catch (const Exception& e) {  // the handlers catch by the general kind
        const auto* engine = dynamic_cast<const EDBEngineError*>(&e);
        ASSERT_NE(engine, nullptr);
        EXPECT_EQ(engine->Records(), records);
        EXPECT_EQ(e.Message(), ComposeEngineMessage(records, -1));
    }
}

TEST(DatabaseError, IsTheComponentNameAndTheText) {
    const EDatabaseError e("QFirmaDB", Format(texts::kFieldNotFound, "name"));
    EXPECT_EQ(e.Message(), "QFirmaDB: Field 'name' not found");
    EXPECT_EQ(e.Component(), "QFirmaDB");
    EXPECT_EQ(e.Text(), "Field 'name' not found");
    EXPECT_EQ(EDatabaseError("dbFirma", texts::kDatabaseOpen).Message(),
              "dbFirma: Bu işlem açık veritabanında gerçekleştirilemez");
    EXPECT_EQ(Format(texts::kNoValueForParameter, "FirmaDB"), "'FirmaDB' parametresi için değer yok");
}

}  // namespace
}  // namespace kurdb::db
