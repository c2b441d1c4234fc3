// The texts the layer composes: error messages from diagnostic records as the drivers we meet
// give them (FreeTDS through unixODBC on Linux and Wine, Microsoft's drivers, the driver
// managers), and connection strings for each kind of driver.
#include <gtest/gtest.h>

#include "db/ConnectionString.h"
#include "db/Errors.h"

namespace kurdb::db {
namespace {

struct ComposeCase {
    const char* title;
    std::vector<DiagRecord> records;
    std::int16_t code;
    std::string expected;
    friend void PrintTo(const ComposeCase& c, std::ostream* os) { *os << c.title; }
};

class ComposeMessage : public testing::TestWithParam<ComposeCase> {};

TEST_P(ComposeMessage, BuildsTheLinesInOrder) {
    EXPECT_EQ(ComposeEngineMessage(GetParam().records, GetParam().code), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    RecordedDiagnostics, ComposeMessage,
    testing::Values(
        ComposeCase{"FreeTDS wrong password: the server's record, then the driver's own after its "
                    "general description",
                    {{"42000", 18456, "[FreeTDS][SQL Server]Login failed for user 'sa'."},
                     {"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"}},
                    -1,
                    "Genel SQL hatası.\r\nLogin failed for user 'sa'.\r\nSunucuya bağlanılamadı.\r\n"
                    "Unable to connect to data source"},
        ComposeCase{"a warning before the error: the error's description comes first",
                    {{"01000", 5701, "[FreeTDS][SQL Server]Changed database context to 'master'."},
                     {"42S02", 208, "[FreeTDS][SQL Server]Invalid object name 'YOK'."}},
                    -1,
                    "Tablo ya da görünüm bulunamadı.\r\nChanged database context to 'master'.\r\n"
                    "Invalid object name 'YOK'."},
        ComposeCase{"only warnings: the first one is the reported error",
                    {{"01004", 0, "[unixODBC][Driver Manager]String data, right truncated"}},
                    1,
                    "Veri kesildi.\r\nString data, right truncated"},
        ComposeCase{
            "two client records, each after its description, the repeated description once",
            {{"01000", 0, "[unixODBC][Driver Manager]Can't open lib 'libtdsodbc.so' : file not found"},
             {"IM003", 0, "[unixODBC][Driver Manager]Driver could not be loaded"}},
            -1,
            "Sürücü yüklenemedi.\r\nGenel uyarı.\r\nCan't open lib 'libtdsodbc.so' : file "
            "not found\r\nDriver could not be loaded"},
        ComposeCase{"texts equal but for letter case (Turkish i's too) stand once",
                    {{"42000", 50000, "[FreeTDS][SQL Server]GENEL SQL HATASI."},
                     {"42000", 2714, "[FreeTDS][SQL Server]There is already an object named 'T'."},
                     {"42000", 2714, "[FreeTDS][SQL Server]there is ALREADY an object named 't'."}},
                    -1,
                    "Genel SQL hatası.\r\nThere is already an object named 'T'."},
        ComposeCase{"blank and control characters trimmed, empty texts left out",
                    {{"42000", 1, "[FreeTDS][SQL Server]  \t"},
                     {"42000", 2, "\r\n  [FreeTDS][SQL Server]  Incorrect syntax near 'x'. \r\n"}},
                    -1,
                    "Genel SQL hatası.\r\nIncorrect syntax near 'x'."},
        ComposeCase{"no records: the return code", {}, -1, "BDE hatası $FFFF"},
        ComposeCase{"no records: four hex digits", {}, 99, "BDE hatası $0063"}));

TEST(DriverPrefixes, AreStrippedOnlyAtTheStart) {
    EXPECT_EQ(StripDriverPrefixes("[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Login failed"),
              "Login failed");
    EXPECT_EQ(StripDriverPrefixes("Invalid object name '[dbo].[X]'."), "Invalid object name '[dbo].[X]'.");
    EXPECT_EQ(StripDriverPrefixes("[unclosed prefix"), "[unclosed prefix");
}

TEST(GeneralDescriptions, GoFromStateToClassToGeneral) {
    EXPECT_EQ(GeneralDescription("42S99"), "Sözdizimi hatası veya erişim ihlali.");
    EXPECT_EQ(GeneralDescription("hy000"), "Genel ODBC hatası.");
    EXPECT_EQ(GeneralDescription("ZZ000"), "Genel SQL hatası.");
}

struct ConnCase {
    const char* driver;
    std::string server, user, password, expected;
    friend void PrintTo(const ConnCase& c, std::ostream* os) { *os << c.driver << " " << c.server; }
};

class ConnectionStrings : public testing::TestWithParam<ConnCase> {};

TEST_P(ConnectionStrings, AreBuiltForTheDriver) {
    const auto& c = GetParam();
    EXPECT_EQ(BuildConnectionString(c.driver, c.server, c.user, c.password), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    FreeTds, ConnectionStrings,
    testing::Values(ConnCase{"FreeTDS", "srv,1433", "sa", "",
                             "DRIVER={FreeTDS};Server=srv;Port=1433;UID=sa;PWD=;Encryption=request;"},
                    ConnCase{"FreeTDS", ".", "sa", "x",
                             "DRIVER={FreeTDS};Server=127.0.0.1;UID=sa;PWD=x;Encryption=request;"},
                    ConnCase{
                        "FreeTDS", "(LOCAL)\\SQLEXPRESS", "sa", "x",
                        "DRIVER={FreeTDS};Server=127.0.0.1\\SQLEXPRESS;UID=sa;PWD=x;Encryption=request;"},
                    ConnCase{"FreeTDS", "tcp:srv\\inst,1500", "sa", "x",
                             "DRIVER={FreeTDS};Server=srv;Port=1500;UID=sa;PWD=x;Encryption=request;"},
                    ConnCase{"FreeTDS", "srv,abc", "sa", "x",
                             "DRIVER={FreeTDS};Server=srv,abc;UID=sa;PWD=x;Encryption=request;"},
                    ConnCase{"FreeTDS", "srv", "a;b", "a}b",
                             "DRIVER={FreeTDS};Server=srv;UID={a;b};PWD=a}b;Encryption=request;"},
                    ConnCase{"FreeTDS", "srv", "{x", "a;b}",
                             "DRIVER={FreeTDS};Server=srv;UID={{x};PWD={a;b}};Encryption=request;"}));

INSTANTIATE_TEST_SUITE_P(
    Microsoft, ConnectionStrings,
    testing::Values(ConnCase{"ODBC Driver 18 for SQL Server", "srv,1433", "sa", "p}w;",
                             "DRIVER={ODBC Driver 18 for SQL Server};Server={srv,1433};UID={sa};PWD={p}}w;};"
                             "Encrypt=yes;TrustServerCertificate=yes;"},
                    ConnCase{"ODBC Driver 17 for SQL Server", "(local)", "sa", "",
                             "DRIVER={ODBC Driver 17 for SQL Server};Server={(local)};UID={sa};PWD={};"
                             "Encrypt=yes;TrustServerCertificate=yes;"},
                    ConnCase{"SQL Server", "srv\\inst", "sa", "{x}",
                             "DRIVER={SQL Server};Server={srv\\inst};UID={sa};PWD={{x}}};"}));

TEST(ConnectionStringsFreeTds, AValueHoldingBraceSemicolonCannotBePassed) {
    EXPECT_THROW(BuildConnectionString("FreeTDS", "srv", "sa", "a};b"), EDBEngineError);
}

TEST(ServerNames, TheFormsOfSqlServersClientsPass) {
    for (const char* name : {"", ".", "(local)", "(LOCAL)\\SQLEXPRESS", "localhost", "SUNUCU",
                             "sunucu-1.bayi.local", "DB_01", "192.168.1.10", "127.0.0.1,1", "127.0.0.1,65535",
                             "[::1]", "[fe80::1:2]\\KURDB,1433", "tcp:SUNUCU\\SQLEXPRESS,1500", ".\\_x$1"})
        EXPECT_NO_THROW(CheckServerName(name)) << name;
}

TEST(ServerNames, AnythingElseIsRefusedWithItsFault) {
    const std::pair<const char*, const char*> refused[] = {
        {"127.0.0.1,30330;", "';' karakteri"},
        {"127.0.0.1,30330}", "'}' karakteri"},
        {"127.0.0.1,30330=x", "'=' karakteri"},
        {"127.0.0.1,30330'", "''' karakteri"},
        {"SUNUCU{", "'{' karakteri"},
        {"SUNUCU\"", "'\"' karakteri"},
        {"127.0.0.1,30330 ", "boşluk"},
        {" SUNUCU", "boşluk"},
        {"127.0.0.1,95866", "port 1 ile 65535"},
        {"127.0.0.1,0", "port 1 ile 65535"},
        {"127.0.0.1,", "port 1 ile 65535"},
        {"127.0.0.1,14x", "port 1 ile 65535"},
        {",1433", "makine adı eksik"},
        {"\\SQLEXPRESS", "makine adı eksik"},
        {"tcp:", "makine adı eksik"},
        {"SUNUCU\\", "örnek adı"},
        {"SUNUCU\\1INST", "örnek adı"},
        {"SUNUCU\\ABCDEFGHIJKLMNOPQ", "örnek adı"},
        {"SUNU CU", "bir makine adı ya da IP adresi değil"},
        {"256.1.1.1", "bir makine adı ya da IP adresi değil"},
        {"sunucu..bayi", "bir makine adı ya da IP adresi değil"},
        {"-sunucu", "bir makine adı ya da IP adresi değil"},
        {"[::1", "bir makine adı ya da IP adresi değil"},
        {"ŞUBE", "bir makine adı ya da IP adresi değil"},
    };
    for (const auto& [name, fault] : refused) {
        try {
            CheckServerName(name);
            ADD_FAILURE() << name << " passed";
        } catch (const Exception& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind(std::string("Server adı \"") + name + "\" kullanılamaz: ", 0), 0u)
                << message;
            EXPECT_NE(message.find(fault), std::string::npos) << name << ": " << message;
        }
    }
}

}  // namespace
}  // namespace kurdb::db
