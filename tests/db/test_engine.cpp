// The engine and the session over an entry-point table in memory: driver choice, the version,
// a missing driver manager, connecting, disconnecting, and reading a batch to its end.
#include <gtest/gtest.h>

#include "FakeOdbc.h"
#include "db/DatabaseSession.h"
#include "db/OdbcEngine.h"

namespace kurdb::db {
namespace {

using test::FakeOdbc;
using namespace odbc;

struct EngineTest : testing::Test {
    FakeOdbc fake;
    FakeOdbc::Scope scope{fake};
    OdbcEngine engine{FakeOdbc::Table()};
    DatabaseSession session{"dbFirma", "Ruvedaruzizu_zud", engine};
};

TEST_F(EngineTest, FirstRegisteredDriverOfThePreferenceList) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"FreeTDS", "ODBC Driver 17 for SQL Server"}, "ODBC Driver 17 for SQL Server"},
        {{"ODBC Driver 17 for SQL Server", "ODBC Driver 18 for SQL Server"}, "ODBC Driver 18 for SQL Server"},
        {{"SQL Server", "SQL Server Native Client 11.0"}, "SQL Server Native Client 11.0"},
        {{"MySQL ODBC 8.0 Unicode Driver", "SQL Server", "FreeTDS"}, "FreeTDS"},
        {{"Microsoft Access Driver (*.mdb)", "SQL Server"}, "SQL Server"}};
    for (const auto& [registered, chosen] : cases) {
        fake.drivers = registered;
        EXPECT_EQ(engine.SqlServerDriver(), chosen);
    }
    fake.drivers = {"PostgreSQL Unicode", "SQLite3"};
    try {
        (void)engine.EngineVersion();
        FAIL();
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.Message(), "SQL Server ODBC sürücüsü kurulu değil (ODBC Driver 18 for SQL Server, "
                               "ODBC Driver 17 for SQL Server, SQL Server Native Client 11.0, FreeTDS, "
                               "SQL Server)");
    }
    fake.drivers = {"FreeTDS"};
    EXPECT_EQ(engine.EngineVersion(), 352) << "a driver installed meanwhile is found on the next call";
}

TEST_F(EngineTest, VersionIsTheDriverManagersOdbcVersion) {
    EXPECT_EQ(engine.EngineVersion(), 352);
    EXPECT_EQ(fake.odbcVersionAttr, 3) << "the environment asks for ODBC 3";
    fake.odbcVersion = "03.80.0000";
    EXPECT_EQ(engine.EngineVersion(), 380);
    EXPECT_EQ(fake.LiveHandles(), 1u) << "only the environment stays allocated";
    fake.odbcVersion = "unknown";
    EXPECT_THROW(engine.EngineVersion(), EDBEngineError);
    for (const char* bad : {"", "03", "x3.52", "03.520", "00.00"}) EXPECT_EQ(ParseOdbcVersion(bad), 0) << bad;
}

TEST(EngineLoading, FailuresAreEngineErrorsAndAreRetried) {
    FakeOdbc fake;
    FakeOdbc::Scope scope(fake);
    fake.allocEnvResult = SQL_ERROR;
    OdbcEngine engine(FakeOdbc::Table());
    EXPECT_THROW(engine.EngineVersion(), EDBEngineError);
    fake.allocEnvResult = SQL_SUCCESS;
    EXPECT_EQ(engine.EngineVersion(), 352);

    OdbcEngine missing("kurdb-there-is-no-such-odbc-library");
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            (void)missing.EngineVersion();
            FAIL();
        } catch (const EDBEngineError& e) {
            EXPECT_EQ(e.Message().rfind("ODBC sürücü yöneticisi yüklenemedi (kurdb-there-is-no-such-odbc-library)", 0),
                      0u)
                << e.Message();
        }
    }
#ifdef _WIN32
    const std::string notOdbc = "kernel32.dll";
#else
    const std::string notOdbc = "libc.so.6";
#endif
    try {
        (void)OdbcEngine(notOdbc).EngineVersion();
        FAIL();
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.Message(), "ODBC sürücü yöneticisinde SQLAllocHandle bulunamadı (" + notOdbc + ")");
    }
    const odbc::Api table = FakeOdbc::Table();
    try {
        (void)ResolveOdbcApi(
            [&](const char* name) -> void* {
                return std::string(name) == "SQLDriversW" ? nullptr : reinterpret_cast<void*>(table.SQLFetch);
            },
            "odbc32.dll");
        FAIL();
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.Message(), "ODBC sürücü yöneticisinde SQLDriversW bulunamadı (odbc32.dll)");
    }
}

TEST_F(EngineTest, ConnectRebuildsTheFiveLinesAndOpensFromThem) {
    session.Connect("srv,1433", "sa", "");
    EXPECT_TRUE(session.IsConnected());
    EXPECT_EQ(session.Params(), (std::vector<std::string>{"SERVER NAME=srv,1433", "USER NAME=sa",
                                                          "PASSWORD=", "LANGDRIVER=", "DATE MODE=1"}));
    EXPECT_EQ(fake.connectionStrings,
              (std::vector<std::string>{"DRIVER={FreeTDS};Server=srv;Port=1433;UID=sa;PWD=;Encryption=request;"}));
    EXPECT_EQ(fake.completions, (std::vector<SQLUSMALLINT>{SQL_DRIVER_NOPROMPT}));

    try {
        session.Connect("yeni", "u", "2");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "dbFirma: Bu işlem açık veritabanında gerçekleştirilemez");
    }
    EXPECT_EQ(session.Params()[0], "SERVER NAME=srv,1433") << "the old lines stay";
    EXPECT_EQ(fake.connectionStrings.size(), 1u);
}

TEST_F(EngineTest, AFailedConnectLeavesTheConnectionClosed) {
    fake.drivers = {"ODBC Driver 18 for SQL Server"};
    fake.connectErrors = {{"28000", 18456, "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Login failed for user 'sa'."}};
    try {
        session.Connect(" srv\\inst ", "sa", "a;b}");
        FAIL();
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.Message(), "Geçersiz kullanıcı adı veya şifre.\r\nLogin failed for user 'sa'.");
        EXPECT_EQ(e.Records(), fake.connectErrors);
    }
    EXPECT_EQ(fake.connectionStrings[0], "DRIVER={ODBC Driver 18 for SQL Server};Server={ srv\\inst };"
                                         "UID={sa};PWD={a;b}}};Encrypt=yes;TrustServerCertificate=yes;");
    EXPECT_FALSE(session.IsConnected());
    EXPECT_EQ(session.Params()[2], "PASSWORD=a;b}") << "the lines were replaced before opening";
    EXPECT_EQ(fake.LiveHandles(), 1u) << "the connection handle was freed";
    fake.connectErrors.clear();
    session.Connect("srv", "sa", "dogru");
    EXPECT_TRUE(session.IsConnected());
}

TEST_F(EngineTest, DisconnectClosesOnceAndFreesTheHandle) {
    session.Disconnect();
    EXPECT_EQ(fake.disconnects, 0);
    session.Connect("srv", "sa", "x");
    session.RunBatch("use master", false);
    EXPECT_EQ(fake.LiveHandles(), 2u) << "the statement handle is freed after its batch";
    session.Disconnect();
    session.Disconnect();
    EXPECT_EQ(fake.disconnects, 1);
    EXPECT_EQ(fake.LiveHandles(), 1u);
    EXPECT_THROW(session.RunBatch("select 1", false), EDatabaseError);
    EXPECT_EQ(fake.batches.size(), 1u);
}

TEST_F(EngineTest, ServerErrorsAreCollectedToTheEndOfTheBatch) {
    session.Connect("srv", "sa", "x");
    fake.answer = [](const std::string&) {
        return std::vector<FakeOdbc::Result>{
            {},
            {{"42S01", 2714, "[FreeTDS][SQL Server]There is already an object named 'A' in the database."}},
            {},
            {{"42000", 1750, "[FreeTDS][SQL Server]Could not create constraint or index."}},
            {}};
    };
    try {
        session.RunBatch("create table A (x int)", true);
        FAIL();
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.Message(), "Tablo ya da görünüm zaten var.\r\nThere is already an object named 'A' "
                               "in the database.\r\nCould not create constraint or index.");
    }
    EXPECT_EQ(fake.moreResultsCalls, 5) << "every result was visited, then SQL_NO_DATA";
    EXPECT_TRUE(session.IsConnected()) << "a failed statement leaves the connection open";

    // a client-side failure (no server number) stops the reading at once
    fake.moreResultsCalls = 0;
    fake.answer = [](const std::string&) {
        return std::vector<FakeOdbc::Result>{{}, {{"08S01", 0, "[FreeTDS][SQL Server]Write to the server failed"}}, {}, {}};
    };
    EXPECT_THROW(session.RunBatch("select 1", false), EDBEngineError);
    EXPECT_EQ(fake.moreResultsCalls, 1);
}

}  // namespace
}  // namespace kurdb::db
