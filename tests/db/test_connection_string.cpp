// Connection strings for each kind of driver: SQL Server's server-name forms, quoting of
// values that hold the separator characters, and the encryption keywords.
#include <gtest/gtest.h>

#include "db/ConnectionString.h"
#include "db/Errors.h"

namespace kurdb::db {
namespace {

struct ConnCase {
    const char* driver;
    std::string server, user, password;
    std::string expected;
    // The case's name in test listings (and so in CTest names), instead of its bytes.
    friend void PrintTo(const ConnCase& c, std::ostream* os) { *os << c.driver << " " << c.server; }
};

class ConnectionStrings : public testing::TestWithParam<ConnCase> {};

TEST_P(ConnectionStrings, AreBuiltForTheDriver) {
    const auto& c = GetParam();
    EXPECT_EQ(BuildConnectionString(c.driver, c.server, c.user, c.password), c.expected)
        << c.driver << " / " << c.server;
}

INSTANTIATE_TEST_SUITE_P(
    FreeTds, ConnectionStrings,
    testing::Values(
        ConnCase{"FreeTDS", "srv", "sa", "pw",
                 "DRIVER={FreeTDS};Server=srv;UID=sa;PWD=pw;Encryption=request;"},
        ConnCase{"FreeTDS", "srv,1433", "sa", "",
                 "DRIVER={FreeTDS};Server=srv;Port=1433;UID=sa;PWD=;Encryption=request;"},
        ConnCase{"FreeTDS", "(local)", "sa", "x",
                 "DRIVER={FreeTDS};Server=127.0.0.1;UID=sa;PWD=x;Encryption=request;"},
        ConnCase{"FreeTDS", ".", "sa", "x",
                 "DRIVER={FreeTDS};Server=127.0.0.1;UID=sa;PWD=x;Encryption=request;"},
        ConnCase{"FreeTDS", "(LOCAL)\\SQLEXPRESS", "sa", "x",
                 "DRIVER={FreeTDS};Server=127.0.0.1\\SQLEXPRESS;UID=sa;PWD=x;Encryption=request;"},
        ConnCase{"FreeTDS", "srv\\inst", "sa", "x",
                 "DRIVER={FreeTDS};Server=srv\\inst;UID=sa;PWD=x;Encryption=request;"},
        ConnCase{"FreeTDS", "srv\\inst,1500", "sa", "x",
                 "DRIVER={FreeTDS};Server=srv;Port=1500;UID=sa;PWD=x;Encryption=request;"},
        ConnCase{"FreeTDS", "tcp:10.0.0.5,1500", "sa", "x",
                 "DRIVER={FreeTDS};Server=10.0.0.5;Port=1500;UID=sa;PWD=x;Encryption=request;"},
        ConnCase{"FreeTDS", "srv,abc", "sa", "x",
                 "DRIVER={FreeTDS};Server=srv,abc;UID=sa;PWD=x;Encryption=request;"},
        ConnCase{"FreeTDS", "srv", "sa", "a;b",
                 "DRIVER={FreeTDS};Server=srv;UID=sa;PWD={a;b};Encryption=request;"},
        ConnCase{"FreeTDS", "srv", "sa", "a}b",
                 "DRIVER={FreeTDS};Server=srv;UID=sa;PWD=a}b;Encryption=request;"},
        ConnCase{"FreeTDS", "srv", "sa", "{x",
                 "DRIVER={FreeTDS};Server=srv;UID=sa;PWD={{x};Encryption=request;"},
        ConnCase{"FreeTDS", "srv", "sa", "a;b}",
                 "DRIVER={FreeTDS};Server=srv;UID=sa;PWD={a;b}};Encryption=request;"},
        ConnCase{"FreeTDS", "srv", "kullanıcı", " şifre ",
                 "DRIVER={FreeTDS};Server=srv;UID=kullanıcı;PWD= şifre ;Encryption=request;"}));

INSTANTIATE_TEST_SUITE_P(
    Microsoft, ConnectionStrings,
    testing::Values(
        ConnCase{"ODBC Driver 18 for SQL Server", "srv,1433", "sa", "p}w;",
                 "DRIVER={ODBC Driver 18 for SQL Server};Server={srv,1433};UID={sa};PWD={p}}w;};"
                 "Encrypt=yes;TrustServerCertificate=yes;"},
        ConnCase{"ODBC Driver 17 for SQL Server", "(local)", "sa", "",
                 "DRIVER={ODBC Driver 17 for SQL Server};Server={(local)};UID={sa};PWD={};"
                 "Encrypt=yes;TrustServerCertificate=yes;"},
        ConnCase{"SQL Server Native Client 11.0", ".\\SQLEXPRESS", "sa", "x",
                 "DRIVER={SQL Server Native Client 11.0};Server={.\\SQLEXPRESS};UID={sa};PWD={x};"
                 "Encrypt=yes;TrustServerCertificate=yes;"},
        ConnCase{"SQL Server", "srv\\inst", "sa", "{x}",
                 "DRIVER={SQL Server};Server={srv\\inst};UID={sa};PWD={{x}}};"}));

TEST(ConnectionStringsFreeTds, AValueHoldingBraceSemicolonCannotBePassed) {
    EXPECT_THROW(BuildConnectionString("FreeTDS", "srv", "sa", "a};b"), EDBEngineError);
}

TEST(ServerNames, AreTakenApartLikeSqlServerDoes) {
    const ServerName a = ParseServerName("host\\inst,1433");
    EXPECT_EQ(a.host, "host");
    EXPECT_EQ(a.instance, "inst");
    EXPECT_EQ(a.port, "1433");
    const ServerName b = ParseServerName("TCP:host");
    EXPECT_EQ(b.host, "host");
    EXPECT_TRUE(b.instance.empty());
    EXPECT_TRUE(b.port.empty());
    EXPECT_TRUE(IsFreeTdsDriver("freetds"));
    EXPECT_FALSE(IsFreeTdsDriver("SQL Server"));
}

}  // namespace
}  // namespace kurdb::db
