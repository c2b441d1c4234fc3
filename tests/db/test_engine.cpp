// The engine, the session and the window's components over an entry-point table in memory:
// driver choice, the version, a missing driver manager, connecting, disconnecting, and reading
// a batch to its end.
#include <gtest/gtest.h>

#include "tests/support/ErrorOf.h"

#include <algorithm>
#include <functional>
#include <set>

#include "db/Components.h"
#include "resources/Resources.h"
#include "base/Text.h"

namespace kurdb::db {
namespace {

using namespace odbc;

// A driver manager in memory as OdbcEngine's entry-point table; the entry points reach the
// FakeOdbc alive at the time. It counts live handles and answers each batch with a scripted list
// of results, each ok or failing with its records. No rows: the entry points that read them stay
// null (the integration tests read rows through the real stack).
class FakeOdbc {
public:
    using Result = std::vector<DiagRecord>;  // empty: a result that succeeds

    std::vector<std::string> drivers{"FreeTDS"};
    std::string odbcVersion = "03.52";
    std::vector<DiagRecord> connectErrors;  // non-empty: SQLDriverConnectW fails
    std::function<std::vector<Result>(const std::string&)> answer = [](const std::string&) {
        return std::vector<Result>{Result{}};
    };

    std::vector<std::string> connectionStrings, batches;
    std::vector<std::intptr_t> loginTimeouts;  // per connect, the timeout set before it (-1: none)
    int disconnects = 0, moreResultsCalls = 0;
    std::size_t LiveHandles() const { return live_.size(); }

    FakeOdbc() { Current() = this; }
    ~FakeOdbc() { Current() = nullptr; }

    static odbc::Api Table() {
        odbc::Api api;
        // Like a real driver manager: no connection before the environment has its ODBC version.
        api.SQLAllocHandle = [](SQLSMALLINT type, SQLHANDLE parent, SQLHANDLE* out) -> SQLRETURN {
            if (type == SQL_HANDLE_DBC && !H(parent)->odbc3) return SQL_ERROR;
            *out = *F().live_.insert(new Handle()).first;
            return SQL_SUCCESS;
        };
        api.SQLFreeHandle = [](SQLSMALLINT, SQLHANDLE h) -> SQLRETURN {
            if (!F().live_.erase(H(h))) return SQL_INVALID_HANDLE;
            delete H(h);
            return SQL_SUCCESS;
        };
        api.SQLSetEnvAttr = [](SQLHENV h, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER) -> SQLRETURN {
            H(h)->odbc3 =
                attr == SQL_ATTR_ODBC_VERSION && value == reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3);
            return SQL_SUCCESS;
        };
        api.SQLDriversW = [](SQLHENV h, SQLUSMALLINT direction, SQLWCHAR* name, SQLSMALLINT room,
                             SQLSMALLINT* length, SQLWCHAR*, SQLSMALLINT, SQLSMALLINT*) -> SQLRETURN {
            std::size_t& next = H(h)->position;
            if (direction == SQL_FETCH_FIRST) next = 0;
            if (next >= F().drivers.size()) return SQL_NO_DATA;
            *length = Copy(F().drivers[next++], name, room);
            return SQL_SUCCESS;
        };
        api.SQLGetInfoW = [](SQLHDBC, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT bytes,
                             SQLSMALLINT* length) -> SQLRETURN {
            if (type != SQL_ODBC_VER) return SQL_ERROR;
            *length =
                static_cast<SQLSMALLINT>(2 * Copy(F().odbcVersion, static_cast<SQLWCHAR*>(value), bytes / 2));
            return SQL_SUCCESS;
        };
        api.SQLDriverConnectW = [](SQLHDBC h, SQLHWND, SQLWCHAR* in, SQLSMALLINT inLength, SQLWCHAR*,
                                   SQLSMALLINT, SQLSMALLINT*, SQLUSMALLINT completion) -> SQLRETURN {
            F().connectionStrings.push_back(Utf8(in, inLength));
            F().loginTimeouts.push_back(H(h)->loginTimeout);
            if (completion != SQL_DRIVER_NOPROMPT) return SQL_ERROR;  // a dialog would hang the wizard
            H(h)->diag = F().connectErrors;
            return F().connectErrors.empty() ? SQL_SUCCESS : SQL_ERROR;
        };
        api.SQLSetConnectAttrW = [](SQLHDBC h, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER) -> SQLRETURN {
            if (attr != SQL_ATTR_LOGIN_TIMEOUT) return SQL_ERROR;
            H(h)->loginTimeout = reinterpret_cast<std::intptr_t>(value);
            return SQL_SUCCESS;
        };
        api.SQLDisconnect = [](SQLHDBC) -> SQLRETURN {
            ++F().disconnects;
            return SQL_SUCCESS;
        };
        api.SQLExecDirectW = [](SQLHSTMT h, SQLWCHAR* sql, SQLINTEGER length) -> SQLRETURN {
            F().batches.push_back(Utf8(sql, length));
            H(h)->results = F().answer(F().batches.back());
            return Enter(*H(h));
        };
        api.SQLMoreResults = [](SQLHSTMT h) -> SQLRETURN {
            ++F().moreResultsCalls;
            ++H(h)->position;
            return Enter(*H(h));
        };
        api.SQLNumResultCols = [](SQLHSTMT, SQLSMALLINT* count) -> SQLRETURN {
            *count = 0;
            return SQL_SUCCESS;
        };
        api.SQLGetDiagRecW = [](SQLSMALLINT, SQLHANDLE h, SQLSMALLINT record, SQLWCHAR* state,
                                SQLINTEGER* native, SQLWCHAR* message, SQLSMALLINT room,
                                SQLSMALLINT* length) -> SQLRETURN {
            const auto& diag = H(h)->diag;
            if (record < 1 || static_cast<std::size_t>(record) > diag.size()) return SQL_NO_DATA;
            const DiagRecord& d = diag[static_cast<std::size_t>(record) - 1];
            Copy(d.sqlState, state, 6);
            *native = d.nativeError;
            *length = Copy(d.text, message, room);
            return SQL_SUCCESS;
        };
        return api;
    }

private:
    struct Handle {
        std::vector<DiagRecord> diag;
        std::vector<Result> results;
        std::size_t position = 0;  // next driver, or current result
        bool odbc3 = false;
        std::intptr_t loginTimeout = -1;
    };

    static FakeOdbc*& Current() {
        static FakeOdbc* current = nullptr;
        return current;
    }
    static FakeOdbc& F() { return *Current(); }
    static Handle* H(SQLHANDLE h) { return static_cast<Handle*>(h); }
    static std::string Utf8(const SQLWCHAR* s, std::intptr_t n) {
        return text::Utf16ToUtf8(std::u16string_view(s, static_cast<std::size_t>(n)));
    }
    // Copies as much as fits, with the terminating zero; returns the full length in characters.
    static SQLSMALLINT Copy(const std::string& utf8, SQLWCHAR* out, std::size_t room) {
        const std::u16string w = text::Utf8ToUtf16(utf8);
        const std::size_t n = std::min(w.size(), room - 1);
        std::copy_n(w.data(), n, out);
        out[n] = u'\0';
        return static_cast<SQLSMALLINT>(w.size());
    }
    static SQLRETURN Enter(Handle& s) {
        if (s.position >= s.results.size()) return SQL_NO_DATA;
        s.diag = s.results[s.position];
        return s.diag.empty() ? SQL_SUCCESS : SQL_ERROR;
    }

    std::set<Handle*> live_;
};

using test::ErrorOf;

struct EngineTest : testing::Test {
    FakeOdbc fake;
    Components c{std::make_unique<OdbcEngine>(FakeOdbc::Table())};
    OdbcEngine& engine = c.Engine();
    DatabaseSession& session = c.dbFirma;
};

TEST_F(EngineTest, FirstRegisteredDriverOfThePreferenceList) {
    fake.drivers = {"FreeTDS", "ODBC Driver 17 for SQL Server"};
    EXPECT_EQ(engine.SqlServerDriver(), "ODBC Driver 17 for SQL Server");
    fake.drivers = {"MySQL ODBC 8.0 Unicode Driver", "SQL Server", "SQL Server Native Client 11.0"};
    EXPECT_EQ(engine.SqlServerDriver(), "SQL Server Native Client 11.0");
    fake.drivers = {"PostgreSQL Unicode", "SQLite3"};
    EXPECT_EQ(ErrorOf([&] { (void)engine.EngineVersion(); }),
              "SQL Server ODBC sürücüsü kurulu değil (ODBC Driver 18 for SQL Server, ODBC Driver 17 for "
              "SQL Server, SQL Server Native Client 11.0, FreeTDS, SQL Server)");
    fake.drivers = {"FreeTDS"};
    EXPECT_EQ(engine.EngineVersion(), 352) << "a driver installed meanwhile is found on the next call";
    fake.odbcVersion = "03.80.0000";
    EXPECT_EQ(engine.EngineVersion(), 380);
    EXPECT_EQ(fake.LiveHandles(), 1u) << "only the environment stays allocated";
    for (const char* bad : {"03", "x3.52", "03.520", "00.00"}) EXPECT_EQ(ParseOdbcVersion(bad), 0) << bad;
}

TEST(EngineLoading, AMissingLibraryOrEntryPointIsNamed) {
    EXPECT_EQ(ErrorOf([] {
                  (void)OdbcEngine("kurdb-no-such-odbc-library").EngineVersion();
              }).rfind("ODBC sürücü yöneticisi yüklenemedi (kurdb-no-such-odbc-library)", 0),
              0u);
    const odbc::Api table = FakeOdbc::Table();
    const auto lookup = [&](const char* name) -> void* {
        return std::string(name) == "SQLDriversW" ? nullptr : reinterpret_cast<void*>(table.SQLDisconnect);
    };
    EXPECT_EQ(ErrorOf([&] { (void)ResolveOdbcApi(lookup, "odbc32.dll"); }),
              "ODBC sürücü yöneticisinde SQLDriversW bulunamadı (odbc32.dll)");
}

TEST_F(EngineTest, ConnectOpensFromTheFiveLines) {
    fake.drivers = {"ODBC Driver 18 for SQL Server"};
    fake.connectErrors = {
        {"28000", 18456,
         "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Login failed for user 'sa'."}};
    try {
        session.Connect("srv", "sa", "yanlis");
        FAIL();
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.Message(), "Geçersiz kullanıcı adı veya şifre.\r\nLogin failed for user 'sa'.");
        EXPECT_EQ(e.Records(), fake.connectErrors);
    }
    EXPECT_FALSE(session.IsConnected());
    EXPECT_EQ(fake.LiveHandles(), 1u) << "the connection handle was freed";
    fake.connectErrors.clear();
    fake.drivers = {"FreeTDS"};
    EXPECT_NE(ErrorOf([&] { session.Connect("127.0.0.1,30330;", "sa", ""); }).find("';' karakteri"),
              std::string::npos);
    EXPECT_EQ(fake.connectionStrings.size(), 1u) << "a malformed name never reaches the driver";
    session.Connect("srv,1433", "sa", "");
    EXPECT_EQ(session.ConnectionParameters(),
              (std::vector<std::string>{"SERVER NAME=srv,1433", "USER NAME=sa",
                                        "PASSWORD=", "LANGDRIVER=", "DATE MODE=1"}));
    EXPECT_EQ(fake.connectionStrings[1],
              "DRIVER={FreeTDS};Server=srv;Port=1433;UID=sa;PWD=;Encryption=request;");
    EXPECT_EQ(ErrorOf([&] { session.Connect("yeni", "u", "2"); }),
              "dbFirma: Bu işlem açık veritabanında gerçekleştirilemez");
    EXPECT_EQ(session.ConnectionParameters()[0], "SERVER NAME=srv,1433") << "the old lines stay";
    EXPECT_EQ(fake.connectionStrings.size(), 2u);
    // an unreachable server must not hold the window longer than a login may take
    EXPECT_EQ(fake.loginTimeouts, (std::vector<std::intptr_t>{15, 15}));
}

TEST_F(EngineTest, DisconnectClosesOnceAndReleasesEveryComponent) {
    session.Disconnect();
    EXPECT_EQ(fake.disconnects, 0);
    session.Connect("srv", "sa", "x");
    c.StoredPrAdSvrRol.Prepare();
    c.Query1.AddLine("select 1");
    c.Query1.OpenRows();
    EXPECT_EQ(fake.LiveHandles(), 2u) << "the statement handle is freed after its batch";
    session.Disconnect();
    session.Disconnect();
    EXPECT_EQ(fake.disconnects, 1);
    EXPECT_EQ(fake.LiveHandles(), 1u);
    EXPECT_FALSE(c.Query1.HoldsRows());
    EXPECT_FALSE(c.StoredPrAdSvrRol.Prepared());
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
    EXPECT_EQ(ErrorOf([&] { session.RunBatch("create table A (x int)", true); }),
              "Tablo ya da görünüm zaten var.\r\nThere is already an object named 'A' in the "
              "database.\r\nCould not create constraint or index.");
    EXPECT_EQ(fake.moreResultsCalls, 5) << "every result was visited, then SQL_NO_DATA";
    EXPECT_TRUE(session.IsConnected());

    fake.moreResultsCalls = 0;  // a client-side failure (no server number) stops at once
    fake.answer = [](const std::string&) {
        return std::vector<FakeOdbc::Result>{
            {}, {{"08S01", 0, "[FreeTDS][SQL Server]Write to the server failed"}}, {}, {}};
    };
    EXPECT_THROW(session.RunBatch("select 1", false), EDBEngineError);
    EXPECT_EQ(fake.moreResultsCalls, 1);
}

TEST_F(EngineTest, ComponentsTakeTheirLinesFromTheEmbeddedFiles) {
    EXPECT_NE(c.QUserBul.BatchText().find("WHERE name=NULL\r\n"), std::string::npos) << "Uadi is typed";
    EXPECT_THROW((void)c.QCreateModulGun.BatchText(), EDatabaseError) << "Modul is not";
    const auto lines = ResourceLines("sql/QCreateModulGun.sql");
    ASSERT_EQ(lines.size(), 23u);  // the piece after the final LF is dropped, nothing is trimmed
    EXPECT_EQ(lines[20], "\t)  ON [PRIMARY] ");
    EXPECT_EQ(lines[21], "");
    EXPECT_THROW((void)ResourceLines("sql/NoSuchFile.sql"), resources::ResourceMissing);
}

}  // namespace
}  // namespace kurdb::db
