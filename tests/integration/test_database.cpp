// The database layer through the real ODBC stack (driver manager, SQL Server driver, server):
// the stand-in of the CTest fixture, or a real SQL Server named by KURDB_TEST_SERVER. Each test
// works in databases and logins of its own, named afresh for every run, and drops them again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "tests/support/TestServer.h"
#include "app/ErrorBox.h"
#include "db/Components.h"
#include "db/ConnectionString.h"
#include "setup/ServerSetup.h"
#include "base/Text.h"

namespace kurdb::db {
namespace {

using test::FindTestServer;
using test::UniqueName;

class ServerTest : public testing::Test {
protected:
    void SetUp() override {
        server_ = FindTestServer();
        // No server is a failure, not a skip: a skipped suite would look green in CI.
        ASSERT_TRUE(server_.missing.empty()) << server_.missing;
        c.dbFirma.Connect(server_.server, server_.user, server_.password);
    }

    void TearDown() override {
        if (!server_.missing.empty()) return;
        // Leave nothing behind on a real server; a failure here must not hide the test's own.
        try {
            if (c.dbFirma.IsConnected()) c.dbFirma.Disconnect();
            c.dbFirma.Connect(server_.server, server_.user, server_.password);
            for (const auto& db : databases_) Run({"use master", "DROP DATABASE " + db});
            for (const auto& login : logins_) Run({"DROP LOGIN " + login});
            c.dbFirma.Disconnect();
        } catch (const Exception& e) {
            ADD_FAILURE() << "cleaning up: " << e.Message();
        }
    }

    // A scratch statement on the shared connection.
    void Run(std::vector<std::string> lines) {
        SqlTemplate t("QTest", &c.dbFirma, std::move(lines));
        t.Execute();
    }

    // The first row's column V of a query, as text ("" for NULL or no row).
    std::string Scalar(const std::string& sql) {
        SqlTemplate t("QTest", &c.dbFirma, {sql}, {{"V", ColumnDef::Type::String, 255}});
        t.OpenRows();
        return t.FieldAsString("V");
    }

    // A companies database made the wizard's way: QCreateFirmaDB with its CREATE line replaced.
    std::string CreateDatabase() {
        const std::string name = UniqueName("KURDBT");
        c.QCreateFirmaDB.SetParam("FirmaDB", name);
        setup::ReplaceLine(c.QCreateFirmaDB, setup::kCreateDatabaseLine, " CREATE DATABASE " + name);
        c.QCreateFirmaDB.Execute();
        databases_.push_back(name);
        return name;
    }

    bool DatabaseExists(const std::string& name) {
        c.QFirmaDB.SetParam("FirmaDB", name);
        c.QFirmaDB.OpenRows();
        const bool exists = !c.QFirmaDB.FieldIsNull("name");
        c.QFirmaDB.CloseRows();
        return exists;
    }

    test::TestServer server_;
    Components c;
    std::vector<std::string> databases_, logins_;
};

using Connection = ServerTest;
using Statements = ServerTest;
using Procedures = ServerTest;
using Scripts = ServerTest;

TEST_F(Connection, GoodLoginOpensFromTheFiveLines) {
    EXPECT_TRUE(c.dbFirma.IsConnected());
    EXPECT_EQ(c.dbFirma.ConnectionParameters(),
              (std::vector<std::string>{"SERVER NAME=" + server_.server, "USER NAME=" + server_.user,
                                        "PASSWORD=", "LANGDRIVER=", "DATE MODE=1"}))
        << "the password is not kept";
    EXPECT_GT(c.dbFirma.EngineVersion(), 299) << "an ODBC 3.x driver manager";
    c.dbFirma.Disconnect();
    EXPECT_FALSE(c.dbFirma.IsConnected());
    c.dbFirma.Connect(server_.server, server_.user, server_.password);
    EXPECT_EQ(Scalar("select 1 as V"), "1") << "a closed connection opens again";
}

TEST_F(Connection, WrongPasswordShowsTheServersMessage) {
    c.dbFirma.Disconnect();
    try {
        c.dbFirma.Connect(server_.server, server_.user, server_.password + "-yanlis");
        FAIL() << "a wrong password was accepted";
    } catch (const EDBEngineError& e) {
        const std::string shown = ErrorBoxText(e.Message());
        const std::string login = "Login failed for user '" + server_.user + "'.";
        EXPECT_NE(shown.find(login), std::string::npos) << shown;
        EXPECT_EQ(shown.find('['), std::string::npos) << "driver prefixes are stripped: " << shown;
        ASSERT_FALSE(e.Records().empty());
        EXPECT_EQ(e.Records().front().nativeError, 18456);
        if (IsFreeTdsDriver(c.Engine().SqlServerDriver())) {
            EXPECT_EQ(shown, "Genel SQL hatası.\r\n" + login +
                                 "\r\nSunucuya bağlanılamadı.\r\nUnable to connect to data source.");
        }
    }
    EXPECT_FALSE(c.dbFirma.IsConnected());
    EXPECT_EQ(c.dbFirma.ConnectionParameters()[2], "PASSWORD=") << "the password is not kept";
}

// Named instances: "host\instance" is reached through the SQL Server Browser's answer.
class NamedInstance : public testing::Test {
protected:
    void SetUp() override {
        instance_ = test::FindTestInstance();
        if (instance_.skip) GTEST_SKIP() << instance_.missing;
        ASSERT_TRUE(instance_.missing.empty()) << instance_.missing;
    }
    std::string InstanceName() {
        SqlTemplate t("QTest", &c.dbFirma, {"select SERVERPROPERTY('InstanceName') as V"},
                      {{"V", ColumnDef::Type::String, 255}});
        t.OpenRows();
        return t.FieldAsString("V");
    }
    std::string ConnectError(const std::string& server) {
        try {
            c.dbFirma.Connect(server, instance_.user, instance_.password);
        } catch (const EDBEngineError& e) {
            return e.Message();
        }
        c.dbFirma.Disconnect();
        return "(connected)";
    }
    test::TestInstance instance_;
    Components c;
};

TEST_F(NamedInstance, IsFoundByItsNameInAnyLetterCase) {
    c.dbFirma.Connect(instance_.host + "\\" + instance_.instance, instance_.user, instance_.password);
    EXPECT_TRUE(text::EqualsNoCase(InstanceName(), instance_.instance));
    EXPECT_EQ(c.dbFirma.ConnectionParameters()[0],
              "SERVER NAME=" + instance_.host + "\\" + instance_.instance)
        << "the parameter line keeps the name as typed";
    c.dbFirma.Disconnect();
    std::string lower = instance_.instance;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    c.dbFirma.Connect(instance_.host + "\\" + lower, instance_.user, instance_.password);
    EXPECT_TRUE(text::EqualsNoCase(InstanceName(), instance_.instance));
}

TEST_F(NamedInstance, AGivenPortWinsAndTheBrowserIsNotAsked) {
    if (instance_.port.empty()) GTEST_SKIP() << "the port of a real server's instance is not known here";
    // the Browser knows no instance of that name: only the port can have found the server
    c.dbFirma.Connect(instance_.host + "\\YOKBOYLE," + instance_.port, instance_.user, instance_.password);
    EXPECT_TRUE(text::EqualsNoCase(InstanceName(), instance_.instance));
}

TEST_F(NamedInstance, AnUnknownInstanceOrASilentBrowserNamesTheInstanceAndTheServer) {
    const std::string unknown = ConnectError(instance_.host + "\\YOKBOYLE");
    EXPECT_NE(unknown.find("'YOKBOYLE'"), std::string::npos) << unknown;
    EXPECT_NE(unknown.find("'" + instance_.host + "'"), std::string::npos) << unknown;
    // an address of this machine where no Browser listens
    const std::string silent = ConnectError("127.255.255.254\\" + instance_.instance);
    EXPECT_NE(silent.find("'" + instance_.instance + "'"), std::string::npos) << silent;
    EXPECT_NE(silent.find("'127.255.255.254'"), std::string::npos) << silent;
    EXPECT_FALSE(c.dbFirma.IsConnected());
}

TEST_F(Procedures, ALoginWithAnEmptyPasswordIsMadeAndUsed) {
    const std::string login = UniqueName("KURDBU");
    c.StoredProcAdLog.SetParam("@loginame", login);
    c.StoredProcAdLog.SetParam("@passwd", "");
    c.StoredProcAdLog.SetParam("@defdb", "master");
    c.StoredProcAdLog.SetParam("@deflanguage", "us_english");  // so the change below shows
    c.StoredProcAdLog.Prepare();
    c.StoredProcAdLog.Execute();
    logins_.push_back(login);
    EXPECT_EQ(c.StoredProcAdLog.ParamValue("Result"), "0");

    c.StoredProcDil.SetParam("@loginame", login);
    c.StoredProcDil.SetParam("@language", "Turkish");
    c.StoredProcDil.Execute();
    // the server keeps the language's name, whose alias is "Turkish"
    EXPECT_EQ(Scalar("select language as V from master..syslogins where name = '" + login + "'"),
              Scalar("select name as V from master..syslanguages where alias = 'Turkish'"));

    c.StoredPrAdSvrRol.SetParam("@loginame", login);
    c.StoredPrAdSvrRol.SetParam("@rolename", "bulkadmin");
    c.StoredPrAdSvrRol.Execute();
    EXPECT_EQ(Scalar("select IS_SRVROLEMEMBER('bulkadmin', '" + login + "') as V"), "1");

    // the new login connects with "PASSWORD=" and nothing after it
    c.dbFirma.Disconnect();
    c.dbFirma.Connect(server_.server, login, "");
    EXPECT_EQ(c.dbFirma.ConnectionParameters()[2], "PASSWORD=");
    EXPECT_EQ(Scalar("select SUSER_SNAME() as V"), login);
    c.dbFirma.Disconnect();
}

TEST_F(Statements, QFirmaDBTellsAMissingFromAnExistingDatabase) {
    const std::string name = CreateDatabase();
    EXPECT_TRUE(DatabaseExists(name));
    EXPECT_FALSE(DatabaseExists(UniqueName("KURDBYOK"))) << "no row: the column reads as NULL";
}

TEST_F(Statements, UseStaysInForceForTheStatementsAfterIt) {
    const std::string name = CreateDatabase();
    setup::ReplaceLine(c.QCreateModulGun, setup::kModuleUseLine, "USE " + name);
    setup::NameModuleTable(c.QCreateModulGun, "GUNCELTARSO");
    c.QCreateModulGun.Execute();
    EXPECT_EQ(Scalar("select db_name() as V"), name) << "the next statement runs in the database";
    EXPECT_EQ(Scalar("select count(*) as V from sysobjects where name = 'GUNCELTARSO'"), "1");
    Run({"use master"});
    EXPECT_EQ(Scalar("select db_name() as V"), "master");
    // QUserBul switches to master itself, and the next statement runs there
    Run({"USE " + name});
    c.QUserBul.SetParam("Uadi", server_.user);
    c.QUserBul.OpenRows();
    EXPECT_GE(c.QUserBul.FieldAsInteger("VAR"), server_.user == "sa" ? 1 : 0);
    c.QUserBul.CloseRows();
    EXPECT_EQ(Scalar("select db_name() as V"), "master");
}

TEST_F(Statements, HeldRowsAreNotReadAgainUntilDisconnect) {
    const std::string later = UniqueName("KURDBT");
    c.QFirmaDB.SetParam("FirmaDB", later);
    c.QFirmaDB.OpenRows();
    EXPECT_TRUE(c.QFirmaDB.FieldIsNull("name"));
    Run({"CREATE DATABASE " + later});
    databases_.push_back(later);
    c.QFirmaDB.SetParam("FirmaDB", later);
    c.QFirmaDB.OpenRows();
    EXPECT_TRUE(c.QFirmaDB.FieldIsNull("name")) << "the held rows stay, the query is not run again";
    c.dbFirma.Disconnect();
    EXPECT_FALSE(c.QFirmaDB.HoldsRows());
    c.dbFirma.Connect(server_.server, server_.user, server_.password);
    c.QFirmaDB.OpenRows();
    EXPECT_TRUE(text::EqualsNoCase(c.QFirmaDB.FieldAsString("name"), later));
}

TEST_F(Statements, BoundTextArrivesAsItWasBound) {
    SqlTemplate t("QTest", &c.dbFirma, {"select :A as V, len(:B) as L"},
                  {{"V", ColumnDef::Type::String, 255}, {"L", ColumnDef::Type::Int32, 0}});
    // longer than one SQLGetData piece, so the value is read in parts
    const std::string text = "O'Brien; ''x'' -- YÖNETİCİ ğüşıöç :Z " + std::string(3000, 'x') + "ş";
    t.SetParam("A", text);
    t.SetParam("B", text);
    t.OpenRows();
    EXPECT_EQ(t.FieldAsString("V"), text);
    EXPECT_EQ(t.FieldAsInteger("L"), static_cast<int>(text::Utf8ToUtf16(text).size()));
}

TEST_F(Scripts, TheSecondOfThreeBatchesIsRejected) {
    const std::string name = CreateDatabase();
    Run({"USE " + name});
    const SqlTemplate script("QScript", nullptr,
                             {"CREATE TABLE [dbo].[BIR] (", "\t[X] [int] NULL", ") ON [PRIMARY]", "GO",
                              "CREATE TABLE [dbo].[BIR] (", "\t[Y] [int] NULL", ")", "  GO  ",
                              "CREATE TABLE [dbo].[UC] (", "\t[Z] [int] NULL", ")", "GO"});
    try {
        c.RunScript(script);
        FAIL() << "the second batch was accepted";
    } catch (const EDBEngineError& e) {
        EXPECT_NE(e.Message().find("There is already an object named 'BIR' in the database."),
                  std::string::npos)
            << e.Message();
    }
    EXPECT_EQ(Scalar("select count(*) as V from sysobjects where name = 'BIR'"), "1");
    EXPECT_EQ(Scalar("select count(*) as V from sysobjects where name = 'UC'"), "0")
        << "the third batch was never sent";
    EXPECT_EQ(c.Query1.GetLine(0), "CREATE TABLE [dbo].[BIR] (");
}

TEST_F(Scripts, ExtendedSchemaTwice) {
    const std::string name = CreateDatabase();
    Run({"USE " + name});
    c.RunScript(c.QTarso);
    c.RunScript(c.QTarso);  // a second run creates and inserts nothing
    EXPECT_EQ(Scalar("select db_name() as V"), name);

    EXPECT_EQ(Scalar("select count(*) as V from sysobjects where xtype = 'U' and name in ('FRT', "
                     "'MODEL', 'ISEMRI', 'ISCILIK', 'GUNCEL', 'FIRKIM', 'PARAMSER', 'RIGHTS', "
                     "'PEROKU', 'PEROKUM', 'ISCIUSTA')"),
              "11");
    for (const char* seeded : {"FIRKIM", "PARAMSER", "RIGHTS", "ISCIUSTA"})
        EXPECT_EQ(Scalar(std::string("select count(*) as V from ") + seeded), "1") << seeded;
    for (const char* empty : {"FRT", "MODEL", "ISEMRI", "ISCILIK", "GUNCEL", "PEROKU", "PEROKUM"})
        EXPECT_EQ(Scalar(std::string("select count(*) as V from ") + empty), "0") << empty;

    EXPECT_TRUE(text::EqualsNoCase(
        Scalar("select CAST(RTRIM(USER_NAME) AS varbinary(20)) as V from RIGHTS where LOGIN_NAME = '3'"),
        "59D64E4554DD43DD"));
    EXPECT_TRUE(text::EqualsNoCase(
        Scalar("select CAST(RTRIM(ISCI_ADI) AS varbinary(20)) as V from ISCIUSTA where ISCI_KOD = '3'"),
        "59D64E4554DD43DD"));

    EXPECT_EQ(Scalar("declare @before datetime\r\nset @before = getdate()\r\n"
                     "insert into ISEMRI (IS_EMRI_NO) values ('0000001')\r\n"
                     "select count(*) as V from ISEMRI where MUSOK_1 = 0 and MUSOK_2 = 0 and "
                     "MUSOK_3 = 0 and MUSOK_4 = 0 and MUSOK_5 = 0 and MUSOK_6 = 0 and MUSOK_7 = 0 "
                     "and MUSOK_8 = 0 and MUSOK_9 = 0 and MUSOK_10 = 0 and INS_DATE >= @before "
                     "and INS_DATE <= getdate()"),
              "1");
    Run({"insert into ISCILIK (ISEMRI_NO) values ('0000001')"});
    EXPECT_EQ(Scalar("select FIILIORAN as V from ISCILIK"), "100");
    Run({"insert into PEROKU (IENO) values ('0000001')"});
    EXPECT_EQ(Scalar("select SIRANO as V from PEROKU"), "1");

    try {
        Run({"insert into RIGHTS (LOGIN_NAME) values ('3')"});
        FAIL() << "RIGHTS0 let a second LOGIN_NAME '3' in";
    } catch (const EDBEngineError& e) {
        const auto& r = e.Records();
        EXPECT_TRUE(std::any_of(r.begin(), r.end(), [](const DiagRecord& d) {
            return d.nativeError == 2601;
        })) << e.Message();
        EXPECT_NE(e.Message().find("RIGHTS0"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(Scalar("select count(*) as V from RIGHTS"), "1");
}

}  // namespace
}  // namespace kurdb::db
