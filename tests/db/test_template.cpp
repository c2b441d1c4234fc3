// Running a template on its connection: Execute, OpenRows and the held rows, and the checks
// of each step.
#include <gtest/gtest.h>

#include <functional>

#include "FakeHost.h"
#include "db/Errors.h"
#include "db/SqlTemplate.h"

namespace kurdb::db {
namespace {

using test::FakeHost;
using test::Rows;

std::string DatabaseErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EDatabaseError& e) {
        return e.Message();
    }
    return "(no EDatabaseError)";
}

struct QFirmaDB : testing::Test {
    FakeHost host;
    SqlTemplate q{"QFirmaDB", &host, {"select * from master..sysdatabases where name=:FirmaDB"},
                  {{"name", ColumnDef::Type::String, 255}}};
};

TEST_F(QFirmaDB, ExecuteChecksInOrderThenSendsOneBatchWithoutRows) {
    EXPECT_EQ(DatabaseErrorOf([&] { q.Execute(); }), "QFirmaDB: 'FirmaDB' parametresi için değer yok");
    q.SetParam("FirmaDB", "X");
    host.connected = false;
    EXPECT_EQ(DatabaseErrorOf([&] { q.Execute(); }), "QFirmaDB: Veritabanı bağlantısı açık değil");
    host.connected = true;
    q.Execute();
    ASSERT_EQ(host.batches.size(), 1u);
    EXPECT_EQ(host.batches[0].sql, "select * from master..sysdatabases where name=N'X'\r\n");
    EXPECT_FALSE(host.batches[0].keepRows);
    EXPECT_FALSE(q.HoldsRows());
    host.replies.push_back({Rows({"name"}, {})});
    q.OpenRows();
    EXPECT_EQ(DatabaseErrorOf([&] { q.Execute(); }),
              "QFirmaDB: Cannot perform this operation on an open dataset");
    EXPECT_EQ(host.batches.size(), 2u);
}

TEST_F(QFirmaDB, ExistingAndMissingDatabase) {
    host.replies.push_back({Rows({"NAME", "dbid"}, {{"FIRMADORVA", "7"}})});
    q.SetParam("FirmaDB", "FIRMADORVA");
    q.OpenRows();
    EXPECT_TRUE(host.batches[0].keepRows);
    EXPECT_FALSE(q.FieldIsNull("Name"));
    EXPECT_EQ(q.FieldAsString("name"), "FIRMADORVA");
    EXPECT_EQ(q.RowCount(), 1);
    EXPECT_EQ(DatabaseErrorOf([&] { (void)q.FieldAsString("dbid"); }), "QFirmaDB: Field 'dbid' not found")
        << "a column the template does not declare cannot be read";
    q.CloseRows();

    host.replies.push_back({Rows({"name"}, {})});
    q.OpenRows();
    EXPECT_TRUE(q.FieldIsNull("name"));
    EXPECT_EQ(q.FieldAsString("name"), "");
    EXPECT_EQ(q.FieldAsInteger("name"), 0);
    EXPECT_EQ(q.RowCount(), 0);
}

TEST_F(QFirmaDB, OpenRowsDoesNotRunAgainWhileRowsAreHeld) {
    host.replies.push_back({Rows({"name"}, {})});
    host.replies.push_back({Rows({"name"}, {{"BASKA"}})});
    q.SetParam("FirmaDB", "FIRMADORVA");
    q.OpenRows();
    q.SetParam("FirmaDB", "BASKA");
    q.OpenRows();
    EXPECT_EQ(host.batches.size(), 1u);
    EXPECT_TRUE(q.FieldIsNull("name")) << "the old rows stay";
    q.SetLine(0, "select name from master..sysdatabases where name=:FirmaDB");  // releases them
    EXPECT_FALSE(q.HoldsRows());
    q.OpenRows();
    ASSERT_EQ(host.batches.size(), 2u);
    EXPECT_EQ(host.batches[1].sql, "select name from master..sysdatabases where name=N'BASKA'\r\n");
    EXPECT_FALSE(q.FieldIsNull("name"));
}

TEST_F(QFirmaDB, DisconnectReleasesRowsAndKeepsLinesAndValues) {
    host.replies.push_back({Rows({"name"}, {{"A"}})});
    q.SetParam("FirmaDB", "A");
    q.OpenRows();
    host.ReleaseAll();
    EXPECT_FALSE(q.HoldsRows());
    EXPECT_EQ(q.Params()[0].value, "A");
    EXPECT_EQ(DatabaseErrorOf([&] { (void)q.RowCount(); }),
              "QFirmaDB: Cannot perform this operation on a closed dataset");
    EXPECT_EQ(DatabaseErrorOf([&] { (void)q.FieldIsNull("name"); }),
              "QFirmaDB: Cannot perform this operation on a closed dataset");
}

TEST_F(QFirmaDB, FailuresLeaveNoRowsAndTheBindingsAsTheyWere) {
    q.SetParam("FirmaDB", "A");
    host.replies.push_back({Rows({"dbid"}, {{"5"}})});
    EXPECT_EQ(DatabaseErrorOf([&] { q.OpenRows(); }), "QFirmaDB: Field 'name' not found");
    EXPECT_FALSE(q.HoldsRows());
    host.failAt = 1;
    EXPECT_THROW(q.OpenRows(), EDBEngineError);
    EXPECT_FALSE(q.HoldsRows());
    EXPECT_EQ(q.Params()[0].value, "A");
}

TEST(TemplateRows, FirstResultWithColumnsNullsAndIntegers) {
    FakeHost host;  // "use master" gives no result with columns; the select's is the first
    host.replies.push_back({Rows({"VAR", "n"}, {{"-2147483648", std::nullopt}, {"9", "x"}}),
                            Rows({"other"}, {{"x"}})});
    SqlTemplate q("QUserBul", &host, {"use master", "SELECT count(*) as VAR, null as n"},
                  {{"VAR", ColumnDef::Type::Int32, 0}, {"n", ColumnDef::Type::String, 10}});
    q.OpenRows();
    EXPECT_EQ(q.RowCount(), 2);
    EXPECT_EQ(q.FieldAsInteger("var"), -2147483647 - 1);
    EXPECT_TRUE(q.FieldIsNull("n"));
    EXPECT_EQ(q.FieldAsInteger("n"), 0);
    host.replies.push_back({Rows({"VAR", "n"}, {{"2147483648", "abc"}})});
    q.CloseRows();
    q.OpenRows();
    EXPECT_THROW((void)q.FieldAsInteger("VAR"), Exception) << "outside 32 bits";
    try {
        (void)q.FieldAsInteger("n");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
    }
}

TEST(TemplateRows, ComponentsRegisterWithTheirConnectionForTheirLifetime) {
    FakeHost host;
    {
        SqlTemplate a("A", &host, {});
        SqlTemplate b("B", &host, {});
        SqlTemplate lonely("QTarso", nullptr, {"select 1"});
        EXPECT_EQ(host.members.size(), 2u);
        EXPECT_EQ(DatabaseErrorOf([&] { lonely.Execute(); }), "QTarso: Veritabanı bağlantısı açık değil");
    }
    EXPECT_TRUE(host.members.empty());
}

}  // namespace
}  // namespace kurdb::db
