// The statement components on a recording connection: the marker scan, parameters re-derived
// on every line change, the text sent, held rows, procedure calls and batch scripts.
#include <gtest/gtest.h>

#include "tests/support/ErrorOf.h"

#include <deque>
#include <functional>

#include "db/BatchScript.h"
#include "db/Errors.h"
#include "db/ProcedureCall.h"

namespace kurdb::db {
namespace {

// Records every batch, answers from a queue of replies (none left: an empty reply), and can
// reject a chosen batch (0-based) the way the server would.
struct FakeHost : IStatementConnection {
    bool connected = true;
    struct Batch {
        std::string sql;
        bool keepRows;
    };
    std::vector<Batch> batches;
    std::deque<std::vector<ResultSet>> replies;
    std::optional<std::size_t> failAt;
    std::vector<ISessionMember*> members;

    bool IsConnected() const override { return connected; }
    std::vector<ResultSet> RunBatch(const std::string& sql, bool keepRows) override {
        batches.push_back({sql, keepRows});
        if (failAt == batches.size() - 1)
            throw EDBEngineError(
                {{"42S01", 2714, "[FreeTDS][SQL Server]There is already an object named 'T'."}}, -1);
        if (replies.empty()) return {};
        auto reply = std::move(replies.front());
        replies.pop_front();
        return keepRows ? reply : std::vector<ResultSet>{};
    }
    void Attach(ISessionMember& m) override { members.push_back(&m); }
    void Detach(ISessionMember& m) override { std::erase(members, &m); }
};

using test::ErrorOf;

struct MarkerCase {
    const char* title;
    std::string text;
    std::vector<std::string> names, pieces;
    friend void PrintTo(const MarkerCase& c, std::ostream* os) { *os << c.title; }
};

class Markers : public testing::TestWithParam<MarkerCase> {};

TEST_P(Markers, SplitTheTextAtEachMarker) {
    const ParsedSql parsed = ParseMarkers(GetParam().text);
    EXPECT_EQ(parsed.names, GetParam().names);
    EXPECT_EQ(parsed.pieces, GetParam().pieces);
}

INSTANTIATE_TEST_SUITE_P(
    ScanRules, Markers,
    testing::Values(
        MarkerCase{"ended by blank, comma, semicolon, parenthesis, CR, LF and the end",
                   "(:a :b,:c;:d):e\r:f\n:g",
                   {"a", "b", "c", "d", "e", "f", "g"},
                   {"(", " ", ",", ";", ")", "\r", "\n", ""}},
        MarkerCase{"tab, =, <, ( belong to the name", ":a\tb=c<d(e f", {"a\tb=c<d(e"}, {"", " f"}},
        MarkerCase{"each of ' \" ` toggles one shared flag",
                   "':x' \":y\" `:z` '\" :w",
                   {"w"},
                   {"':x' \":y\" `:z` '\" ", ""}},
        MarkerCase{
            "escaped colons, doubled only outside quotes", "a::b ':: ' :::x", {"x"}, {"a:b ':: ' :", ""}},
        MarkerCase{"quoted names lose their first and last quote",
                   ":\"my name\" x :'ab'cd e",
                   {"my name", "ab'cd"},
                   {"", " x ", " e"}},
        MarkerCase{"a quote inside a name keeps end characters in, unclosed to the end",
                   ":a'b c'd e :f'g h :i",
                   {"a'b c'd", "f'g h :i"},
                   {"", " e ", ""}},
        MarkerCase{"the same name twice gives two parameters", ":x and :X", {"x", "X"}, {"", " and ", ""}},
        MarkerCase{"a lone colon is a marker without name", "a : b:", {"", ""}, {"a ", " b", ""}}));

TEST(SqlLiteral, DoublesQuotes) {
    EXPECT_EQ(SqlLiteral(""), "N''");
    EXPECT_EQ(SqlLiteral("x'; DROP TABLE T; --''"), "N'x''; DROP TABLE T; --'''''");
}

TEST(TemplateParams, RederivedOnEveryLineChangeKeepingValuesByName) {
    SqlTemplate t("QCreateFirmaDB", nullptr,
                  {"use master", "if not exists(select * from sysdatabases where name=:FirmaDB)",
                   "  CREATE DATABASE X"});
    EXPECT_EQ(ErrorOf([&] { t.SetLine(3, "x"); }), "List index out of bounds (3)");
    EXPECT_EQ(ErrorOf([&] { t.SetParam("Firma", "x"); }), "QCreateFirmaDB: Parameter 'Firma' not found");
    t.SetParam("firmadb", "FIRMADORVA");
    t.SetLine(2, " CREATE DATABASE FIRMADORVA");
    EXPECT_EQ(t.BatchText(),
              "use master\r\nif not exists(select * from sysdatabases where "
              "name=N'FIRMADORVA')\r\n CREATE DATABASE FIRMADORVA\r\n");
    t.SetLine(1, "if 1=0");  // the value goes with its marker
    t.SetLine(1, "if not exists(select * from sysdatabases where name=:FirmaDB)");
    EXPECT_EQ(ErrorOf([&] { (void)t.BatchText(); }), "QCreateFirmaDB: 'FirmaDB' parametresi için değer yok");

    SqlTemplate q("Query1", nullptr, {"select :a, :b"});
    q.SetParam("a", "1");
    q.SetParam("b", "2");
    q.SetLine(0, "select :B, :c, :A");  // values follow their names, a new marker starts unbound
    q.AddLine("where x = :a");          // a second marker of a name has no old counterpart
    q.SetParam("c", "3");
    EXPECT_EQ(ErrorOf([&] { (void)q.BatchText(); }), "Query1: 'a' parametresi için değer yok");
    q.SetLine(1, "");  // the unbound second "a" does not overwrite the bound first one
    EXPECT_EQ(q.BatchText(), "select N'2', N'3', N'1'\r\n\r\n");
    q.ClearLines();
    EXPECT_EQ(ErrorOf([&] { (void)q.BatchText(); }), "Query1: Sql cümlesi mevcut değil");

    SqlTemplate typed("QUserBul", nullptr, {"WHERE name=:Uadi"}, {}, {"Uadi"});
    typed.SetLine(0, "WHERE name = :Uadi ");  // typed by the definition: NULL while unbound
    EXPECT_EQ(typed.BatchText(), "WHERE name = NULL \r\n");
}

TEST(TemplateRows, ExecuteThenExistingAndMissingDatabase) {
    FakeHost host;
    SqlTemplate q("QFirmaDB", &host, {"select * from master..sysdatabases where name=:FirmaDB"},
                  {{"name", ColumnDef::Type::String, 255}});
    q.SetParam("FirmaDB", "X");
    host.connected = false;
    EXPECT_EQ(ErrorOf([&] { q.Execute(); }), "QFirmaDB: Veritabanı bağlantısı açık değil");
    host.connected = true;
    q.Execute();
    EXPECT_EQ(host.batches[0].sql, "select * from master..sysdatabases where name=N'X'\r\n");
    EXPECT_FALSE(host.batches[0].keepRows);
    EXPECT_EQ(ErrorOf([&] { (void)q.RowCount(); }),
              "QFirmaDB: Cannot perform this operation on a closed dataset");
    host.replies = {{{{"dbid"}, {{"5"}}}}, {{{"NAME", "dbid"}, {{"X", "7"}}}}, {{{"name"}, {}}}};
    EXPECT_EQ(ErrorOf([&] { q.OpenRows(); }), "QFirmaDB: Field 'name' not found");
    q.OpenRows();
    EXPECT_TRUE(host.batches[2].keepRows);
    EXPECT_EQ(q.FieldAsString("Name"), "X");
    EXPECT_THROW((void)q.FieldAsString("dbid"), EDatabaseError) << "not declared";
    EXPECT_EQ(ErrorOf([&] { q.Execute(); }), "QFirmaDB: Cannot perform this operation on an open dataset");
    q.CloseRows();
    q.OpenRows();
    EXPECT_TRUE(q.FieldIsNull("name"));
    EXPECT_EQ(q.RowCount(), 0);
    host.failAt = 4;
    q.CloseRows();
    EXPECT_THROW(q.OpenRows(), EDBEngineError);
    EXPECT_FALSE(q.HoldsRows());
}

TEST(TemplateRows, OpenRowsDoesNotRunAgainWhileRowsAreHeld) {
    FakeHost host;
    SqlTemplate q("QFirmaDB", &host, {"select * from master..sysdatabases where name=:FirmaDB"},
                  {{"name", ColumnDef::Type::String, 255}});
    host.replies = {{{{"name"}, {}}}, {{{"name"}, {{"BASKA"}}}}};
    q.SetParam("FirmaDB", "FIRMADORVA");
    q.OpenRows();
    q.SetParam("FirmaDB", "BASKA");
    q.OpenRows();
    EXPECT_EQ(host.batches.size(), 1u);
    EXPECT_TRUE(q.FieldIsNull("name")) << "the old rows stay";
    q.SetLine(0, "select name from master..sysdatabases where name=:FirmaDB");  // releases them
    q.OpenRows();
    ASSERT_EQ(host.batches.size(), 2u);
    EXPECT_EQ(host.batches[1].sql, "select name from master..sysdatabases where name=N'BASKA'\r\n");
    EXPECT_EQ(q.FieldAsString("name"), "BASKA");
}

TEST(TemplateRows, FirstResultWithColumnsNullsAndIntegers) {
    FakeHost host;
    host.replies = {{{{"VAR", "n"}, {{"-2147483648", std::nullopt}, {"9", "x"}}}, {{"other"}, {{"x"}}}},
                    {{{"VAR", "n"}, {{"2147483648", "abc"}}}}};
    SqlTemplate q("QUserBul", &host, {"SELECT count(*) as VAR, null as n"},
                  {{"VAR", ColumnDef::Type::Int32, 0}, {"n", ColumnDef::Type::String, 10}});
    q.OpenRows();
    EXPECT_EQ(q.RowCount(), 2);
    EXPECT_EQ(q.FieldAsInteger("var"), -2147483647 - 1);
    EXPECT_EQ(q.FieldAsInteger("n"), 0);
    q.CloseRows();
    q.OpenRows();
    EXPECT_THROW((void)q.FieldAsInteger("VAR"), Exception) << "outside 32 bits";
    EXPECT_EQ(ErrorOf([&] { (void)q.FieldAsInteger("n"); }), "'abc' is not a valid integer value");
}

TEST(TemplateRows, ComponentsRegisterWithTheirConnectionForTheirLifetime) {
    FakeHost host;
    {
        SqlTemplate a("A", &host, {}), b("B", &host, {});
        SqlTemplate lonely("QTarso", nullptr, {"select 1"});
        EXPECT_EQ(host.members.size(), 2u);
        EXPECT_THROW(lonely.Execute(), EDatabaseError);
    }
    EXPECT_TRUE(host.members.empty());
}

using DataType = ProcParam::DataType;
using Direction = ProcParam::Direction;

ProcParam Result() {
    return {"Result", DataType::Int32, Direction::Result, {}};
}
ProcParam Input(std::string n) {
    return {std::move(n), DataType::String, Direction::Input, {}};
}

TEST(ProcedureCall, EveryInputByNameTheStatusIntoResult) {
    FakeHost host;
    ProcedureCall p("StoredProcAdLog", &host, "dbo.sp_addlogin",
                    {Result(), Input("@loginame"), Input("@passwd"), Input("@defdb"), Input("@deflanguage")});
    p.SetParam("@loginame", "O'Brien");
    p.SetParam("@DEFDB", "master");
    p.SetParam("@deflanguage", "Turkish");
    EXPECT_EQ(p.CallText(),
              "DECLARE @RETURN_VALUE int\r\nEXEC @RETURN_VALUE = dbo.sp_addlogin @loginame = "
              "N'O''Brien', @passwd = NULL, @defdb = N'master', @deflanguage = N'Turkish'\r\n"
              "SELECT @RETURN_VALUE AS Result");
    host.replies.push_back({{{"own"}, {{"x"}}}, {{"Result"}, {{"1"}}}});
    p.Execute();
    EXPECT_TRUE(host.batches[0].keepRows);
    EXPECT_EQ(p.ParamValue("result"), "1") << "the last result with Result; non-zero raises nothing";
    EXPECT_THROW(p.SetParam("loginame", "x"), EDatabaseError);

    p.SetParam("@passwd", "gizli");  // each call sends the values bound just before it
    host.failAt = 1;
    EXPECT_THROW(p.Execute(), EDBEngineError);
    EXPECT_NE(host.batches[1].sql.find("@passwd = N'gizli'"), std::string::npos);

    ProcedureCall dil("StoredProcDil", &host, "dbo.sp_defaultlanguage ", {Result(), Input("@loginame")});
    EXPECT_NE(dil.CallText().find("= dbo.sp_defaultlanguage @loginame = NULL\r\n"), std::string::npos);
    ProcedureCall bad("P2", &host, "dbo.p", {Result(), {"@b", DataType::String, Direction::Unknown, {}}});
    EXPECT_EQ(ErrorOf([&] { bad.Execute(); }), "P2: No parameter type for parameter '@b'");
    EXPECT_EQ(host.batches.size(), 2u);
}

TEST(ProcedureCall, AnEmptyListComesFromTheServersDescription) {
    FakeHost host;
    host.replies.push_back(
        {{{"COLUMN_NAME", "COLUMN_TYPE"}, {{"@RETURN_VALUE", "5"}, {"@a", "1"}, {"@b", "2"}}}});
    ProcedureCall p("P", &host, "dbo.sp_x", {});
    p.Prepare();
    EXPECT_EQ(host.batches[0].sql,
              "EXEC sp_sproc_columns @procedure_name = N'sp_x', @procedure_owner = N'dbo'");
    p.SetParam("@b", "2");
    EXPECT_EQ(p.CallText(),
              "DECLARE @RETURN_VALUE int\r\nEXEC @RETURN_VALUE = dbo.sp_x @a = NULL, "
              "@b = N'2'\r\nSELECT @RETURN_VALUE AS Result");
    EXPECT_EQ(p.Params()[0].direction, Direction::Result);
}

TEST(SeparatorLine, IsGoAfterTrimmingCodesUpTo32) {
    for (const std::string& line :
         std::vector<std::string>{"GO", "\tGO  \r", std::string("\0\x01GO\x1f ", 6)})
        EXPECT_TRUE(IsSeparatorLine(line)) << "[" << line << "]";
    for (const std::string line : {"go", "GO;", "GO 2", "GOTO", "", "-- GO", "\xC2\xA0GO"})
        EXPECT_FALSE(IsSeparatorLine(line)) << "[" << line << "]";
}

struct RunCase {
    const char* title;
    std::vector<std::string> script, sent, query1;  // sent: the batches in order; query1: left in it
    std::optional<std::size_t> failAt = std::nullopt;
    friend void PrintTo(const RunCase& c, std::ostream* os) { *os << c.title; }
};

class RunScriptCases : public testing::TestWithParam<RunCase> {};

TEST_P(RunScriptCases, SendTheBatchesInOrder) {
    const RunCase& c = GetParam();
    FakeHost host;
    host.failAt = c.failAt;
    SqlTemplate query1("Query1", &host, {"left over from an earlier run"});
    const SqlTemplate script("QTarso", nullptr, c.script);
    if (c.failAt)
        EXPECT_THROW(RunScript(script, query1), EDBEngineError);
    else
        RunScript(script, query1);
    std::vector<std::string> sent;
    for (const auto& b : host.batches) sent.push_back(b.sql + (b.keepRows ? " (rows kept)" : ""));
    EXPECT_EQ(sent, c.sent);
    EXPECT_EQ(query1.Lines(), c.query1);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, RunScriptCases,
    testing::Values(RunCase{"empty script: Query1 cleared, nothing sent", {}, {}, {}},
                    RunCase{"separators with blanks and tabs; lines arrive unchanged",
                            {"\t[A] int NULL ", "  GO", "select 2", "\tGO  \r", "select 3", "GO"},
                            {"\t[A] int NULL \r\n", "select 2\r\n", "select 3\r\n"},
                            {}},
                    RunCase{"go and GO; are batch lines",
                            {"select 1", "go", "GO;", "GO"},
                            {"select 1\r\ngo\r\nGO;\r\n"},
                            {}},
                    RunCase{"two separators in a row send nothing between them; a blank line is a batch line",
                            {"GO", "select 1", "GO", "GO", "", "GO"},
                            {"select 1\r\n", "\r\n"},
                            {}},
                    RunCase{"a rejected second batch stops the run; Query1 keeps it",
                            {"A", "GO", "B", "GO", "C", "GO"},
                            {"A\r\n", "B\r\n"},
                            {"B"},
                            1},
                    RunCase{"a last batch without separator is not lost",
                            {"select 1", "GO", "select 2", "select 3"},
                            {"select 1\r\n", "select 2\r\nselect 3\r\n"},
                            {"select 2", "select 3"}},
                    RunCase{"blank lines after the last separator are no batch",
                            {"select 1", "GO", "", "  \t"},
                            {"select 1\r\n"},
                            {"", "  \t"}}));

}  // namespace
}  // namespace kurdb::db
