// The engine and the session over an entry-point table in memory: driver choice, the version,
// the missing driver manager, connecting and disconnecting, and reading a batch to its end.
#include <gtest/gtest.h>

#include "FakeOdbc.h"
#include "db/DatabaseSession.h"
#include "db/OdbcEngine.h"
#include "db/ProcedureCall.h"
#include "db/SqlTemplate.h"

namespace kurdb::db {
namespace {

using test::FakeOdbc;
using Result = FakeOdbc::Result;

struct EngineTest : testing::Test {
    FakeOdbc fake;
    FakeOdbc::Scope scope{fake};
    OdbcEngine engine{FakeOdbc::Table()};
};

struct DriverCase {
    std::vector<std::string> registered;
    std::string chosen;  // empty: none fits
};

class DriverChoice : public EngineTest, public testing::WithParamInterface<DriverCase> {};

TEST_P(DriverChoice, FirstRegisteredOfThePreferenceList) {
    fake.drivers = GetParam().registered;
    if (GetParam().chosen.empty()) {
        try {
            (void)engine.SqlServerDriver();
            FAIL() << "a driver was chosen";
        } catch (const EDBEngineError& e) {
            EXPECT_EQ(e.Message(),
                      "SQL Server ODBC sürücüsü kurulu değil (ODBC Driver 18 for SQL Server, ODBC "
                      "Driver 17 for SQL Server, SQL Server Native Client 11.0, FreeTDS, SQL Server)");
        }
    } else {
        EXPECT_EQ(engine.SqlServerDriver(), GetParam().chosen);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Registered, DriverChoice,
    testing::Values(
        DriverCase{{"FreeTDS"}, "FreeTDS"},
        DriverCase{{"FreeTDS", "ODBC Driver 17 for SQL Server"}, "ODBC Driver 17 for SQL Server"},
        DriverCase{{"ODBC Driver 17 for SQL Server", "ODBC Driver 18 for SQL Server"},
                   "ODBC Driver 18 for SQL Server"},
        DriverCase{{"SQL Server", "SQL Server Native Client 11.0"}, "SQL Server Native Client 11.0"},
        DriverCase{{"MySQL ODBC 8.0 Unicode Driver", "SQL Server", "FreeTDS"}, "FreeTDS"},
        DriverCase{{"Microsoft Access Driver (*.mdb)", "SQL Server"}, "SQL Server"},
        DriverCase{{"PostgreSQL Unicode", "SQLite3"}, ""}, DriverCase{{}, ""}));

TEST_F(EngineTest, VersionIsTheDriverManagersOdbcVersion) {
    EXPECT_EQ(engine.EngineVersion(), 352);
    EXPECT_EQ(fake.odbcVersionAttr, 3) << "the environment asks for ODBC 3";
    fake.odbcVersion = "03.80.0000";
    EXPECT_EQ(engine.EngineVersion(), 380);
    EXPECT_EQ(fake.liveHandles(), 1u) << "only the environment stays allocated";
}

TEST_F(EngineTest, VersionFailsWithoutASqlServerDriver) {
    fake.drivers = {"SQLite3"};
    EXPECT_THROW(engine.EngineVersion(), EDBEngineError);
    fake.drivers = {"FreeTDS"};
    EXPECT_EQ(engine.EngineVersion(), 352) << "a driver installed meanwhile is found on the next call";
}

TEST_F(EngineTest, VersionFailsOnAnUnreadableAnswer) {
    fake.odbcVersion = "unknown";
    EXPECT_THROW(engine.EngineVersion(), EDBEngineError);
}

TEST(OdbcVersionText, ParsesMajorAndMinor) {
    EXPECT_EQ(ParseOdbcVersion("03.52"), 352);
    EXPECT_EQ(ParseOdbcVersion("03.80.0000"), 380);
    EXPECT_EQ(ParseOdbcVersion("02.50"), 250);
    EXPECT_EQ(ParseOdbcVersion("3.5"), 305);
    EXPECT_EQ(ParseOdbcVersion(""), 0);
    EXPECT_EQ(ParseOdbcVersion("03"), 0);
    EXPECT_EQ(ParseOdbcVersion("x3.52"), 0);
    EXPECT_EQ(ParseOdbcVersion("03.520"), 0);
    EXPECT_EQ(ParseOdbcVersion("00.00"), 0);
}

TEST(EngineLoading, EnvironmentThatCannotBeMadeIsAnEngineError) {
    FakeOdbc fake;
    FakeOdbc::Scope scope(fake);
    fake.allocEnvResult = odbc::SQL_ERROR;
    OdbcEngine engine(FakeOdbc::Table());
    EXPECT_THROW(engine.EngineVersion(), EDBEngineError);
    fake.allocEnvResult = odbc::SQL_SUCCESS;
    EXPECT_EQ(engine.EngineVersion(), 352);
}

TEST(EngineLoading, AMissingEntryPointIsNamed) {
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

TEST(EngineLoading, AMissingLibraryIsReportedByTheOperationAndRetried) {
    OdbcEngine engine("kurdb-there-is-no-such-odbc-library");
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            (void)engine.EngineVersion();
            FAIL();
        } catch (const EDBEngineError& e) {
            EXPECT_EQ(e.Message().rfind("ODBC sürücü yöneticisi yüklenemedi "
                                        "(kurdb-there-is-no-such-odbc-library)",
                                        0),
                      0u)
                << e.Message();
        }
    }
}

TEST(EngineLoading, ALibraryWithoutOdbcNamesTheFirstEntryPoint) {
#ifdef _WIN32
    const std::string library = "kernel32.dll";
#else
    const std::string library = "libc.so.6";
#endif
    OdbcEngine engine(library);
    try {
        (void)engine.EngineVersion();
        FAIL();
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.Message(), "ODBC sürücü yöneticisinde SQLAllocHandle bulunamadı (" + library + ")");
    }
}

struct SessionTest : EngineTest {
    DatabaseSession session{"dbFirma", "Ruvedaruzizu_zud", engine};
};

TEST_F(SessionTest, ConnectRebuildsTheFiveLinesAndOpensFromThem) {
    session.Connect("srv,1433", "sa", "");
    EXPECT_TRUE(session.IsConnected());
    EXPECT_EQ(session.Params(), (std::vector<std::string>{"SERVER NAME=srv,1433", "USER NAME=sa",
                                                          "PASSWORD=", "LANGDRIVER=", "DATE MODE=1"}));
    ASSERT_EQ(fake.connectionStrings.size(), 1u);
    EXPECT_EQ(fake.connectionStrings[0],
              "DRIVER={FreeTDS};Server=srv;Port=1433;UID=sa;PWD=;Encryption=request;");
    EXPECT_EQ(fake.completions, (std::vector<odbc::SQLUSMALLINT>{odbc::SQL_DRIVER_NOPROMPT}));
    EXPECT_EQ(session.DriverName(), "FreeTDS");
}

TEST_F(SessionTest, ValuesGoInVerbatim) {
    fake.drivers = {"ODBC Driver 18 for SQL Server"};
    session.Connect(" srv\\inst ", " sa", "a;b}c ");
    EXPECT_EQ(session.Params()[0], "SERVER NAME= srv\\inst ");
    EXPECT_EQ(session.Params()[1], "USER NAME= sa");
    EXPECT_EQ(session.Params()[2], "PASSWORD=a;b}c ");
    EXPECT_EQ(fake.connectionStrings[0],
              "DRIVER={ODBC Driver 18 for SQL Server};Server={ srv\\inst };UID={ sa};PWD={a;b}}c };"
              "Encrypt=yes;TrustServerCertificate=yes;");
}

TEST_F(SessionTest, ConnectOnAnOpenConnectionFailsAndKeepsTheOldLines) {
    session.Connect("eski", "sa", "1");
    try {
        session.Connect("yeni", "u", "2");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "dbFirma: Bu işlem açık veritabanında gerçekleştirilemez");
    }
    EXPECT_EQ(session.Params()[0], "SERVER NAME=eski");
    EXPECT_TRUE(session.IsConnected());
    EXPECT_EQ(fake.connectionStrings.size(), 1u);
}

TEST_F(SessionTest, AFailedConnectLeavesTheConnectionClosed) {
    fake.connectErrors = {{"42000", 18456, "[FreeTDS][SQL Server]Login failed for user 'sa'."},
                          {"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"}};
    try {
        session.Connect("srv", "sa", "yanlis");
        FAIL();
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.Message(),
                  "Genel SQL hatası.\r\nLogin failed for user 'sa'.\r\nSunucuya bağlanılamadı.\r\n"
                  "Unable to connect to data source");
        EXPECT_EQ(e.Records(), fake.connectErrors);
    }
    EXPECT_FALSE(session.IsConnected());
    EXPECT_EQ(session.Params()[2], "PASSWORD=yanlis") << "the lines were replaced before opening";
    EXPECT_EQ(fake.liveHandles(), 1u) << "the connection handle was freed";
    fake.connectErrors.clear();
    session.Connect("srv", "sa", "dogru");
    EXPECT_TRUE(session.IsConnected());
}

TEST_F(SessionTest, DisconnectReleasesRowsAndPreparationsThenCloses) {
    fake.answer = [](const std::string&) {
        return std::vector<Result>{Result{{"name"}, {{"FIRMADORVA"}}, {}}};
    };
    SqlTemplate q("QFirmaDB", &session, {"select * from master..sysdatabases where name=:FirmaDB"},
                  {{"name", ColumnDef::Type::String, 255}});
    ProcedureCall p("StoredPrAdSvrRol", &session, "dbo.sp_addsrvrolemember",
                    {{"Result", ProcParam::DataType::Int32, ProcParam::Direction::Result, {}}});
    session.Disconnect();  // closed: nothing at all
    EXPECT_EQ(fake.disconnects, 0);
    session.Connect("srv", "sa", "x");
    q.SetParam("FirmaDB", "FIRMADORVA");
    q.OpenRows();
    p.Prepare();
    EXPECT_FALSE(q.FieldIsNull("name"));
    session.Disconnect();
    EXPECT_FALSE(session.IsConnected());
    EXPECT_FALSE(q.HoldsRows());
    EXPECT_FALSE(p.Prepared());
    EXPECT_EQ(q.Params()[0].value, "FIRMADORVA");
    EXPECT_EQ(fake.disconnects, 1);
    EXPECT_EQ(fake.liveHandles(), 1u);
    session.Disconnect();
    EXPECT_EQ(fake.disconnects, 1);
}

TEST_F(SessionTest, EveryBatchIsOneExecDirectOnTheOneConnection) {
    session.Connect("srv", "sa", "x");
    SqlTemplate a("A", &session, {"use FIRMADORVA"});
    SqlTemplate b("B", &session, {"select 1"});
    a.Execute();
    b.Execute();
    EXPECT_EQ(fake.batches, (std::vector<std::string>{"use FIRMADORVA\r\n", "select 1\r\n"}));
    EXPECT_EQ(fake.allocated[odbc::SQL_HANDLE_DBC], 1) << "one connection for both";
    EXPECT_EQ(fake.liveHandles(), 2u) << "statement handles are freed after each batch";
}

TEST_F(SessionTest, AServerErrorMidBatchIsRaisedAfterReadingToTheEnd) {
    session.Connect("srv", "sa", "x");
    fake.answer = [](const std::string&) {
        return std::vector<Result>{
            Result{},
            Result{{}, {}, {{"42S01", 2714, "[FreeTDS][SQL Server]There is already an object named 'A' in the database."}}},
            Result{{"x"}, {{"1"}}, {}},
            Result{{}, {}, {{"42000", 1750, "[FreeTDS][SQL Server]Could not create constraint or index."}}},
            Result{}};
    };
    try {
        session.RunBatch("create table A (x int)", true);
        FAIL();
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.Message(),
                  "Tablo ya da görünüm zaten var.\r\nThere is already an object named 'A' in the "
                  "database.\r\nCould not create constraint or index.");
        EXPECT_EQ(e.Records().size(), 2u);
    }
    EXPECT_EQ(fake.moreResultsCalls, 5) << "every result was visited, then SQL_NO_DATA";
    EXPECT_TRUE(session.IsConnected()) << "a failed statement leaves the connection open";
}

TEST_F(SessionTest, AClientErrorStopsTheReading) {
    session.Connect("srv", "sa", "x");
    fake.answer = [](const std::string&) {
        return std::vector<Result>{
            Result{}, Result{{}, {}, {{"08S01", 0, "[FreeTDS][SQL Server]Write to the server failed"}}},
            Result{}, Result{}};
    };
    EXPECT_THROW(session.RunBatch("select 1", false), EDBEngineError);
    EXPECT_EQ(fake.moreResultsCalls, 1);
}

TEST_F(SessionTest, AnErrorInTheFirstStatementIsRaised) {
    session.Connect("srv", "sa", "x");
    fake.answer = [](const std::string&) {
        return std::vector<Result>{
            Result{{}, {}, {{"42S02", 208, "[FreeTDS][SQL Server]Invalid object name 'YOK'."}}}};
    };
    try {
        session.RunBatch("select * from YOK", true);
        FAIL();
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.Message(), "Tablo ya da görünüm bulunamadı.\r\nInvalid object name 'YOK'.");
    }
    EXPECT_EQ(fake.liveHandles(), 2u);
}

TEST_F(SessionTest, RowsAreReadAsTextWhateverTheirLength) {
    session.Connect("srv", "sa", "x");
    const std::string longText(5000, 'x');
    const std::string turkish = "YÖNETİCİ ğüşıöç";
    fake.answer = [&](const std::string&) {
        return std::vector<Result>{Result{},  // "use master"
                                   Result{{"a", "b", "c"},
                                          {{longText, std::nullopt, turkish}, {"", "2", "3"}},
                                          {}}};
    };
    const auto results = session.RunBatch("use master\r\nselect a, b, c", true);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].columns, (std::vector<std::string>{"a", "b", "c"}));
    ASSERT_EQ(results[0].rows.size(), 2u);
    EXPECT_EQ(results[0].rows[0][0], longText);
    EXPECT_EQ(results[0].rows[0][1], std::nullopt);
    EXPECT_EQ(results[0].rows[0][2], turkish);
    EXPECT_EQ(results[0].rows[1][0], "");
    EXPECT_EQ(results[0].rows[1][1], "2");
    EXPECT_TRUE(session.RunBatch("select 1", false).empty()) << "without keepRows nothing comes back";
}

TEST_F(SessionTest, BatchOnAClosedConnectionIsRefused) {
    EXPECT_THROW(session.RunBatch("select 1", false), EDatabaseError);
    EXPECT_TRUE(fake.batches.empty());
}

}  // namespace
}  // namespace kurdb::db
