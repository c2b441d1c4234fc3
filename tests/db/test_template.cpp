// Running a template on its connection: Execute, OpenRows and the held rows, and the checks
// of each step.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "db/Errors.h"
#include "db/SqlTemplate.h"

namespace kurdb::db {
namespace {

using test::FakeHost;
using test::Rows;

const std::vector<ColumnDef> kFirmaColumns{{"name", ColumnDef::Type::String, 255}};

SqlTemplate MakeQFirmaDB(FakeHost& host) {
    return SqlTemplate("QFirmaDB", &host, {"select * from master..sysdatabases where name=:FirmaDB"},
                       kFirmaColumns);
}

template <typename F>
std::string DatabaseErrorOf(F&& f) {
    try {
        f();
    } catch (const EDatabaseError& e) {
        return e.Message();
    }
    return "(no EDatabaseError)";
}

TEST(TemplateExecute, SendsOneBatchAndKeepsNoRows) {
    FakeHost host;
    SqlTemplate t("QCreateFirmaDB", &host, {"use master", "", "if not exists(select * from sysdatabases where name=:FirmaDB)", "  CREATE DATABASE FirmaDB"});
    t.SetParam("FirmaDB", "FIRMADORVA");
    t.Execute();
    ASSERT_EQ(host.batches.size(), 1u);
    EXPECT_FALSE(host.batches[0].keepRows);
    EXPECT_EQ(host.batches[0].sql,
              "use master\r\n\r\nif not exists(select * from sysdatabases where name=N'FIRMADORVA')\r\n"
              "  CREATE DATABASE FirmaDB\r\n");
    EXPECT_FALSE(t.HoldsRows());
}

TEST(TemplateExecute, ChecksComeInTheirOrderAndSendNothing) {
    FakeHost host;
    SqlTemplate q = MakeQFirmaDB(host);
    EXPECT_EQ(DatabaseErrorOf([&] { q.Execute(); }), "QFirmaDB: 'FirmaDB' parametresi için değer yok");
    q.SetParam("FirmaDB", "X");
    host.replies.push_back({Rows({"name"}, {})});
    q.OpenRows();
    EXPECT_EQ(DatabaseErrorOf([&] { q.Execute(); }),
              "QFirmaDB: Cannot perform this operation on an open dataset");
    q.CloseRows();
    q.ClearLines();
    EXPECT_EQ(DatabaseErrorOf([&] { q.Execute(); }), "QFirmaDB: Sql cümlesi mevcut değil");
    EXPECT_EQ(host.batches.size(), 1u) << "only the OpenRows reached the server";
}

TEST(TemplateExecute, NeedsAnOpenConnection) {
    FakeHost host;
    host.connected = false;
    SqlTemplate q("Query1", &host, {"select 1"});
    EXPECT_EQ(DatabaseErrorOf([&] { q.Execute(); }), "Query1: Veritabanı bağlantısı açık değil");
    SqlTemplate lonely("QTarso", nullptr, {"select 1"});
    EXPECT_EQ(DatabaseErrorOf([&] { lonely.Execute(); }), "QTarso: Veritabanı bağlantısı açık değil");
    EXPECT_TRUE(host.batches.empty());
}

TEST(TemplateRows, ExistingDatabaseReadsNotNull) {
    FakeHost host;
    host.replies.push_back({Rows({"name", "dbid"}, {{"FIRMADORVA", "7"}})});
    SqlTemplate q = MakeQFirmaDB(host);
    q.SetParam("FirmaDB", "FIRMADORVA");
    q.OpenRows();
    ASSERT_EQ(host.batches.size(), 1u);
    EXPECT_TRUE(host.batches[0].keepRows);
    EXPECT_TRUE(q.HoldsRows());
    EXPECT_FALSE(q.FieldIsNull("name"));
    EXPECT_FALSE(q.FieldIsNull("NAME"));
    EXPECT_EQ(q.FieldAsString("Name"), "FIRMADORVA");
    EXPECT_EQ(q.RowCount(), 1);
    EXPECT_EQ(DatabaseErrorOf([&] { (void)q.FieldAsString("dbid"); }),
              "QFirmaDB: Field 'dbid' not found")
        << "a column of the result that is not declared cannot be read";
}

TEST(TemplateRows, NoRowReadsAsNull) {
    FakeHost host;
    host.replies.push_back({Rows({"name"}, {})});
    SqlTemplate q = MakeQFirmaDB(host);
    q.SetParam("FirmaDB", "YOK");
    q.OpenRows();
    EXPECT_TRUE(q.FieldIsNull("name"));
    EXPECT_EQ(q.FieldAsString("name"), "");
    EXPECT_EQ(q.FieldAsInteger("name"), 0);
    EXPECT_EQ(q.RowCount(), 0);
}

TEST(TemplateRows, NullValueReadsAsNull) {
    FakeHost host;
    host.replies.push_back({Rows({"langid", "name"}, {{std::nullopt, std::nullopt}})});
    SqlTemplate q("QDilBul", &host, {"SELECT langid,name FROM syslanguages WHERE langid=22"},
                  {{"langid", ColumnDef::Type::Int16, 0}, {"name", ColumnDef::Type::String, 255}});
    q.OpenRows();
    EXPECT_EQ(q.RowCount(), 1);
    EXPECT_TRUE(q.FieldIsNull("langid"));
    EXPECT_EQ(q.FieldAsInteger("langid"), 0);
    EXPECT_EQ(q.FieldAsString("name"), "");
}

TEST(TemplateRows, TheFirstResultWithColumnsIsKept) {
    FakeHost host;  // "use master" gives no result with columns; the select does
    host.replies.push_back({Rows({"VAR"}, {{"2"}}), Rows({"other"}, {{"x"}})});
    SqlTemplate q("QUserBul", &host, {"use master", "", "SELECT count(*) as VAR", "FROM master..syslogins", "WHERE name=:Uadi"},
                  {{"VAR", ColumnDef::Type::Int32, 0}}, {"Uadi"});
    q.SetParam("Uadi", "DURANIX");
    q.OpenRows();
    EXPECT_EQ(q.FieldAsInteger("VAR"), 2);
    EXPECT_EQ(q.FieldAsString("var"), "2");
}

TEST(TemplateRows, OpenRowsDoesNotRunAgainWhileRowsAreHeld) {
    FakeHost host;
    host.replies.push_back({Rows({"name"}, {})});
    host.replies.push_back({Rows({"name"}, {{"FIRMADORVA"}})});
    SqlTemplate q = MakeQFirmaDB(host);
    q.SetParam("FirmaDB", "FIRMADORVA");
    q.OpenRows();
    q.SetParam("FirmaDB", "BASKA");
    q.OpenRows();
    EXPECT_EQ(host.batches.size(), 1u);
    EXPECT_TRUE(q.FieldIsNull("name")) << "the old rows stay";
    q.CloseRows();
    q.OpenRows();
    ASSERT_EQ(host.batches.size(), 2u);
    EXPECT_NE(host.batches[1].sql.find("N'BASKA'"), std::string::npos);
    EXPECT_FALSE(q.FieldIsNull("name"));
}

TEST(TemplateRows, ALineChangeReleasesTheRows) {
    FakeHost host;
    host.replies.push_back({Rows({"name"}, {{"A"}})});
    SqlTemplate q = MakeQFirmaDB(host);
    q.SetParam("FirmaDB", "A");
    q.OpenRows();
    q.SetLine(0, "select name from master..sysdatabases where name=:FirmaDB");
    EXPECT_FALSE(q.HoldsRows());
    EXPECT_EQ(q.Params()[0].value, "A");
}

TEST(TemplateRows, DisconnectReleasesRowsAndKeepsLinesAndValues) {
    FakeHost host;
    host.replies.push_back({Rows({"name"}, {{"A"}})});
    SqlTemplate q = MakeQFirmaDB(host);
    q.SetParam("FirmaDB", "A");
    q.OpenRows();
    host.ReleaseAll();
    EXPECT_FALSE(q.HoldsRows());
    EXPECT_EQ(q.LineCount(), 1);
    EXPECT_EQ(q.Params()[0].value, "A");
    EXPECT_EQ(DatabaseErrorOf([&] { (void)q.RowCount(); }),
              "QFirmaDB: Cannot perform this operation on a closed dataset");
    EXPECT_EQ(DatabaseErrorOf([&] { (void)q.FieldIsNull("name"); }),
              "QFirmaDB: Cannot perform this operation on a closed dataset");
}

TEST(TemplateRows, AResultWithoutADeclaredColumnFailsAndHoldsNothing) {
    FakeHost host;
    host.replies.push_back({Rows({"langid"}, {{"22"}})});
    SqlTemplate q("QDilBul", &host, {"SELECT langid FROM syslanguages WHERE langid=22"},
                  {{"langid", ColumnDef::Type::Int16, 0}, {"name", ColumnDef::Type::String, 255}});
    EXPECT_EQ(DatabaseErrorOf([&] { q.OpenRows(); }), "QDilBul: Field 'name' not found");
    EXPECT_FALSE(q.HoldsRows());
}

TEST(TemplateRows, AServerErrorLeavesLinesValuesAndNoRows) {
    FakeHost host;
    host.failAt = 0;
    SqlTemplate q = MakeQFirmaDB(host);
    q.SetParam("FirmaDB", "A");
    EXPECT_THROW(q.OpenRows(), EDBEngineError);
    EXPECT_FALSE(q.HoldsRows());
    EXPECT_EQ(q.Params()[0].value, "A");
    host.replies.push_back({Rows({"name"}, {{"A"}})});
    q.OpenRows();
    EXPECT_EQ(q.FieldAsString("name"), "A");
}

TEST(TemplateRows, IntegerReading) {
    FakeHost host;
    host.replies.push_back({Rows({"VAR", "name"}, {{"-2147483648", "abc"}})});
    SqlTemplate q("T", &host, {"select 1"},
                  {{"VAR", ColumnDef::Type::Int32, 0}, {"name", ColumnDef::Type::String, 10}});
    q.OpenRows();
    EXPECT_EQ(q.FieldAsInteger("VAR"), -2147483647 - 1);
    EXPECT_EQ(q.FieldAsString("VAR"), "-2147483648");
    try {
        (void)q.FieldAsInteger("name");
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
        SqlTemplate c("C", nullptr, {});
        EXPECT_EQ(host.members.size(), 2u);
    }
    EXPECT_TRUE(host.members.empty());
}

}  // namespace
}  // namespace kurdb::db
