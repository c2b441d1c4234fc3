// Markers of a statement text and the parameters derived from them: the scan rules, re-deriving
// on every line change with bound values carried over by name, and the text that is sent.
#include <gtest/gtest.h>

#include <functional>

#include "db/Errors.h"
#include "db/SqlTemplate.h"

namespace kurdb::db {
namespace {

struct MarkerCase {
    const char* title;
    std::string text;
    std::vector<std::string> names;
    std::vector<std::string> pieces;
    // The case's name in test listings (and so in CTest names), instead of its bytes.
    friend void PrintTo(const MarkerCase& c, std::ostream* os) { *os << c.title; }
};

class Markers : public testing::TestWithParam<MarkerCase> {};

TEST_P(Markers, SplitTheTextAtEachMarker) {
    const auto& c = GetParam();
    const ParsedSql parsed = ParseMarkers(c.text);
    EXPECT_EQ(parsed.names, c.names) << c.title;
    EXPECT_EQ(parsed.pieces, c.pieces) << c.title;
}

INSTANTIATE_TEST_SUITE_P(
    ScanRules, Markers,
    testing::Values(
        MarkerCase{"QFirmaDB", "select * from master..sysdatabases where name=:FirmaDB\r\n",
                   {"FirmaDB"}, {"select * from master..sysdatabases where name=", "\r\n"}},
        MarkerCase{"no marker", "use master\r\n", {}, {"use master\r\n"}},
        MarkerCase{"ended by blank, comma, semicolon, parenthesis, CR, LF and the end",
                   "(:a :b,:c;:d):e\r:f\n:g",
                   {"a", "b", "c", "d", "e", "f", "g"},
                   {"(", " ", ",", ";", ")", "\r", "\n", ""}},
        MarkerCase{"tab, =, <, ( and other characters belong to the name", ":a\tb=c<d(e f",
                   {"a\tb=c<d(e"}, {"", " f"}},
        MarkerCase{"a colon inside single quotes is text", "select ':x' , :y", {"y"},
                   {"select ':x' , ", ""}},
        MarkerCase{"double quotes and backquotes toggle too", "\":x\" `:y` :z", {"z"},
                   {"\":x\" `:y` ", ""}},
        MarkerCase{"'' inside a literal toggles twice", "'it''s' :x", {"x"}, {"'it''s' ", ""}},
        MarkerCase{"escaped colon outside quotes", "a::b", {}, {"a:b"}},
        MarkerCase{"escaped colon inside quotes stays doubled", "'a::b'", {}, {"'a::b'"}},
        MarkerCase{"three colons: one escaped, then a marker", ":::x", {"x"}, {":", ""}},
        MarkerCase{"quoted name loses its quotes", ":\"my name\" x", {"my name"}, {"", " x"}},
        MarkerCase{"quoted name, text after the closing quote", ":'ab'cd e", {"ab'cd"}, {"", " e"}},
        MarkerCase{"a quote inside a name keeps the end characters in", ":a'b c'd e",
                   {"a'b c'd"}, {"", " e"}},
        MarkerCase{"an unclosed quote in a name runs to the end", ":a'b c :d", {"a'b c :d"},
                   {"", ""}},
        MarkerCase{"the same name twice gives two parameters", ":x and :X", {"x", "X"},
                   {"", " and ", ""}},
        MarkerCase{"a lone colon is a marker without name", "a : b", {""}, {"a ", " b"}},
        MarkerCase{"colon at the end", "a:", {""}, {"a", ""}},
        MarkerCase{"QCreateModulGun line 2", "if not exists(select * from sysobjects where name=:Modul) --2",
                   {"Modul"}, {"if not exists(select * from sysobjects where name=", ") --2"}}));

TEST(SqlLiteral, DoublesQuotesAndKeepsEverythingElse) {
    EXPECT_EQ(SqlLiteral("FIRMADORVA"), "N'FIRMADORVA'");
    EXPECT_EQ(SqlLiteral(""), "N''");
    EXPECT_EQ(SqlLiteral("x'; DROP TABLE T; --"), "N'x''; DROP TABLE T; --'");
    EXPECT_EQ(SqlLiteral("YÖNETİCİ"), "N'YÖNETİCİ'");
}

std::string DatabaseErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EDatabaseError& e) {
        return e.Message();
    }
    return "(no EDatabaseError)";
}

const std::vector<std::string> kCreateFirmaDb{
    "use master", "", "if not exists(select * from sysdatabases where name=:FirmaDB)",
    "  CREATE DATABASE FirmaDB"};

TEST(TemplateLines, IndexedFromZeroJoinedWithCrLf) {
    SqlTemplate t("QCreateFirmaDB", nullptr, kCreateFirmaDb);
    EXPECT_EQ(t.Text(), "use master\r\n\r\nif not exists(select * from sysdatabases where "
                        "name=:FirmaDB)\r\n  CREATE DATABASE FirmaDB\r\n");
    for (int bad : {4, -1}) {
        try {
            t.SetLine(bad, "x");
            ADD_FAILURE() << bad;
        } catch (const EListError& e) {  // no component name in front
            EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(bad) + ")");
        }
        EXPECT_THROW((void)t.GetLine(bad), EListError);
    }
    EXPECT_EQ(t.GetLine(3), "  CREATE DATABASE FirmaDB");
}

TEST(TemplateParams, BindingByNameIgnoresCaseAndFailsForUnknownNames) {
    SqlTemplate t("QUserBul", nullptr, {"use master", "", "SELECT count(*) as VAR",
                                        "FROM master..syslogins", "WHERE name=:Uadi"});
    t.SetParam("UAdi", "DURANIX");
    EXPECT_EQ(t.BatchText(),
              "use master\r\n\r\nSELECT count(*) as VAR\r\nFROM master..syslogins\r\nWHERE "
              "name=N'DURANIX'\r\n");
    EXPECT_EQ(DatabaseErrorOf([&] { t.SetParam("Uad", "x"); }), "QUserBul: Parameter 'Uad' not found");
}

TEST(TemplateParams, RederivedOnEveryLineChangeKeepingValuesByName) {
    SqlTemplate t("QCreateFirmaDB", nullptr, kCreateFirmaDb);
    t.SetParam("FirmaDB", "FIRMADORVA");
    t.SetLine(3, " CREATE DATABASE FIRMADORVA");  // the bound value survives while its marker stays
    EXPECT_EQ(t.BatchText(), "use master\r\n\r\nif not exists(select * from sysdatabases where "
                             "name=N'FIRMADORVA')\r\n CREATE DATABASE FIRMADORVA\r\n");
    t.SetLine(2, "if 1=0");  // and is gone with its marker
    EXPECT_TRUE(t.Params().empty());
    t.SetLine(2, "if not exists(select * from sysdatabases where name=:FirmaDB)");
    EXPECT_EQ(DatabaseErrorOf([&] { (void)t.BatchText(); }),
              "QCreateFirmaDB: 'FirmaDB' parametresi için değer yok");

    SqlTemplate q("Query1", nullptr, {"select :a, :b"});
    q.SetParam("a", "1");
    q.SetParam("b", "2");
    q.SetLine(0, "select :B, :c, :A");  // values follow their names, a new marker starts unbound
    q.AddLine("where x = :a");          // a second marker of a name has no old counterpart
    ASSERT_EQ(q.Params().size(), 4u);
    EXPECT_FALSE(q.Params()[1].typed);
    EXPECT_FALSE(q.Params()[3].typed);
    q.SetParam("c", "3");
    EXPECT_EQ(DatabaseErrorOf([&] { (void)q.BatchText(); }), "Query1: 'a' parametresi için değer yok");
    q.SetLine(1, "");  // the unbound second "a" does not overwrite the bound first one
    EXPECT_EQ(q.BatchText(), "select N'2', N'3', N'1'\r\n\r\n");
    q.ClearLines();
    EXPECT_TRUE(q.Params().empty());
    EXPECT_EQ(DatabaseErrorOf([&] { (void)q.BatchText(); }), "Query1: Sql cümlesi mevcut değil");
}

TEST(TemplateParams, ModuleLinesReplacedAroundTheBoundModule) {
    SqlTemplate t("QCreateModulGun", nullptr,
                  {"use FirmaDB  --0", "", "if not exists(select * from sysobjects where name=:Modul) --2",
                   "begin", "", "CREATE TABLE ", "[dbo].[GUNCELALVEN]  --6", "(", ")"});
    t.SetLine(0, "USE FIRMADORVA");
    t.SetParam("Modul", "GUNCELDORVA");
    t.SetLine(6, "[dbo].[GUNCELDORVA]");
    EXPECT_EQ(t.BatchText(), "USE FIRMADORVA\r\n\r\nif not exists(select * from sysobjects where "
                             "name=N'GUNCELDORVA') --2\r\nbegin\r\n\r\nCREATE TABLE \r\n"
                             "[dbo].[GUNCELDORVA]\r\n(\r\n)\r\n");
}

TEST(TemplateParams, TypedUnboundParameterIsSentAsNull) {
    SqlTemplate t("QUserBul", nullptr, {"WHERE name=:Uadi"}, {}, {"Uadi"});
    EXPECT_EQ(t.BatchText(), "WHERE name=NULL\r\n");
    t.SetLine(0, "WHERE name = :Uadi ");
    EXPECT_EQ(t.BatchText(), "WHERE name = NULL \r\n") << "the type survives a line change";
}

TEST(TemplateParams, QuotedAndEscapedColonsReachTheServer) {
    SqlTemplate t("Query1", nullptr, {"select ':a', \"b:c\", x::y, ':: '"});
    EXPECT_TRUE(t.Params().empty());
    EXPECT_EQ(t.BatchText(), "select ':a', \"b:c\", x:y, ':: '\r\n");
}

}  // namespace
}  // namespace kurdb::db
