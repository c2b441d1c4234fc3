// Markers of a statement text and the parameters derived from them: the scan rules, re-deriving
// on every line change with bound values carried over by name, and the text that is sent.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "db/Errors.h"
#include "db/SqlTemplate.h"

namespace kurdb::db {
namespace {

struct MarkerCase {
    const char* title;
    std::string text;
    std::vector<std::string> names;
    std::vector<std::string> pieces;
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
    EXPECT_EQ(SqlLiteral("O'Brien"), "N'O''Brien'");
    EXPECT_EQ(SqlLiteral("x'; DROP TABLE T; --"), "N'x''; DROP TABLE T; --'");
    EXPECT_EQ(SqlLiteral("YÖNETİCİ"), "N'YÖNETİCİ'");
    EXPECT_EQ(SqlLiteral("''"), "N''''''");
}

std::vector<std::string> CreateFirmaDbLines() {
    return {"use master", "", "if not exists(select * from sysdatabases where name=:FirmaDB)",
            "  CREATE DATABASE FirmaDB"};
}

std::vector<std::string> ModulGunLines() {
    return {"use FirmaDB  --0", "", "if not exists(select * from sysobjects where name=:Modul) --2",
            "begin", "", "CREATE TABLE ", "[dbo].[GUNCELALVEN]  --6", "(",
            "\t[VERSION] [varchar] (10) NOT NULL ,", "\t[TARIH] [datetime] NULL ,",
            "\t[DATA] [image] NULL ", ") ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]", "", "ALTER TABLE ",
            "[dbo].[GUNCELALVEN]  --14", "WITH NOCHECK ADD CONSTRAINT ", "[PK_GUNCELALVEN]   --16",
            "PRIMARY KEY  NONCLUSTERED ", "\t(", "\t\t[VERSION]", "\t)  ON [PRIMARY] ", "", "end "};
}

TEST(TemplateLines, TextIsEveryLineFollowedByCrLf) {
    SqlTemplate t("QCreateFirmaDB", nullptr, CreateFirmaDbLines());
    EXPECT_EQ(t.LineCount(), 4);
    EXPECT_EQ(t.Text(),
              "use master\r\n\r\nif not exists(select * from sysdatabases where name=:FirmaDB)\r\n"
              "  CREATE DATABASE FirmaDB\r\n");
    EXPECT_EQ(t.GetLine(3), "  CREATE DATABASE FirmaDB");
    ASSERT_EQ(t.Params().size(), 1u);
    EXPECT_EQ(t.Params()[0].name, "FirmaDB");
    EXPECT_FALSE(t.Params()[0].typed);
}

TEST(TemplateLines, IndexOutsideTheLinesIsAListError) {
    SqlTemplate t("QCreateModulGun", nullptr, ModulGunLines());
    for (int bad : {23, 24, -1}) {
        try {
            t.SetLine(bad, "x");
            FAIL() << "SetLine(" << bad << ") did not fail";
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(bad) + ")");
        }
        EXPECT_THROW(t.GetLine(bad), EListError);
    }
    EXPECT_EQ(t.LineCount(), 23);
    EXPECT_EQ(t.GetLine(22), "end ");
}

TEST(TemplateParams, SetParamIgnoresLetterCase) {
    SqlTemplate t("QUserBul", nullptr,
                  {"use master", "", "SELECT count(*) as VAR", "FROM master..syslogins", "WHERE name=:Uadi"});
    t.SetParam("UAdi", "DURANIX");
    ASSERT_EQ(t.Params().size(), 1u);
    EXPECT_EQ(t.Params()[0].name, "Uadi");
    EXPECT_EQ(t.Params()[0].value, "DURANIX");
    EXPECT_TRUE(t.Params()[0].typed);
    EXPECT_EQ(t.BatchText(),
              "use master\r\n\r\nSELECT count(*) as VAR\r\nFROM master..syslogins\r\nWHERE name=N'DURANIX'\r\n");
}

TEST(TemplateParams, UnknownNameIsAComponentError) {
    SqlTemplate t("QFirmaDB", nullptr, {"select * from master..sysdatabases where name=:FirmaDB"});
    try {
        t.SetParam("Firma", "x");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "QFirmaDB: Parameter 'Firma' not found");
    }
}

TEST(TemplateParams, BoundValueSurvivesALineChangeWhileItsMarkerStays) {
    SqlTemplate t("QCreateFirmaDB", nullptr, CreateFirmaDbLines());
    t.SetParam("FirmaDB", "FIRMADORVA");
    t.SetLine(3, " CREATE DATABASE FIRMADORVA");
    EXPECT_EQ(t.BatchText(),
              "use master\r\n\r\nif not exists(select * from sysdatabases where name=N'FIRMADORVA')\r\n"
              " CREATE DATABASE FIRMADORVA\r\n");
}

TEST(TemplateParams, ModuleLinesReplacedAroundTheBoundModule) {
    SqlTemplate t("QCreateModulGun", nullptr, ModulGunLines());
    t.SetLine(0, "USE FIRMADORVA");
    t.SetParam("Modul", "GUNCELDORVA");
    t.SetLine(6, "[dbo].[GUNCELDORVA]");
    t.SetLine(14, "[dbo].[GUNCELDORVA]");
    t.SetLine(16, "[PK_GUNCELDORVA]");
    ASSERT_EQ(t.Params().size(), 1u);
    EXPECT_EQ(t.Params()[0].value, "GUNCELDORVA");
    const std::string sql = t.BatchText();
    EXPECT_EQ(sql.rfind("USE FIRMADORVA\r\n\r\nif not exists(select * from sysobjects where "
                        "name=N'GUNCELDORVA') --2\r\n",
                        0),
              0u);
    EXPECT_NE(sql.find("\r\n[dbo].[GUNCELDORVA]\r\n(\r\n\t[VERSION]"), std::string::npos);
    EXPECT_NE(sql.find("CONSTRAINT \r\n[PK_GUNCELDORVA]\r\nPRIMARY KEY"), std::string::npos);
    // the next module: the bound value is replaced, not added to
    t.SetParam("Modul", "DORVADATAGUN");
    EXPECT_NE(t.BatchText().find("name=N'DORVADATAGUN') --2"), std::string::npos);
}

TEST(TemplateParams, ValueIsGoneWithItsMarker) {
    SqlTemplate t("QCreateFirmaDB", nullptr, CreateFirmaDbLines());
    t.SetParam("FirmaDB", "FIRMADORVA");
    t.SetLine(2, "if 1=0");
    EXPECT_TRUE(t.Params().empty());
    t.SetLine(2, "if not exists(select * from sysdatabases where name=:FirmaDB)");
    ASSERT_EQ(t.Params().size(), 1u);
    EXPECT_FALSE(t.Params()[0].value.has_value());
    EXPECT_FALSE(t.Params()[0].typed);
}

TEST(TemplateParams, ValuesFollowTheirNamesWhenMarkersMove) {
    SqlTemplate t("Query1", nullptr, {"select :a, :b"});
    t.SetParam("a", "1");
    t.SetParam("b", "2");
    t.SetLine(0, "select :B, :c, :A");
    ASSERT_EQ(t.Params().size(), 3u);
    EXPECT_EQ(t.Params()[0].value, "2");
    EXPECT_FALSE(t.Params()[1].typed);
    EXPECT_EQ(t.Params()[2].value, "1");
    t.SetParam("c", "3");
    EXPECT_EQ(t.BatchText(), "select N'2', N'3', N'1'\r\n");
}

TEST(TemplateParams, AddLineAndClearLinesRederive) {
    SqlTemplate t("Query1", nullptr, {});
    t.AddLine("select :x");
    ASSERT_EQ(t.Params().size(), 1u);
    t.SetParam("x", "v");
    t.AddLine("where a = :x");
    ASSERT_EQ(t.Params().size(), 2u);
    EXPECT_EQ(t.Params()[0].value, "v");
    EXPECT_FALSE(t.Params()[1].typed) << "the second marker of a name starts unbound";
    t.ClearLines();
    EXPECT_EQ(t.LineCount(), 0);
    EXPECT_TRUE(t.Params().empty());
}

TEST(TemplateSend, UnboundParameterNamesItself) {
    SqlTemplate t("QCreateFirmaDB", nullptr, CreateFirmaDbLines());
    try {
        (void)t.BatchText();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "QCreateFirmaDB: 'FirmaDB' parametresi için değer yok");
    }
}

TEST(TemplateSend, TypedUnboundParameterIsSentAsNull) {
    SqlTemplate t("QUserBul", nullptr, {"WHERE name=:Uadi"}, {}, {"Uadi"});
    EXPECT_EQ(t.BatchText(), "WHERE name=NULL\r\n");
    t.SetLine(0, "WHERE name = :Uadi ");
    EXPECT_EQ(t.BatchText(), "WHERE name = NULL \r\n") << "the type survives a line change";
}

TEST(TemplateSend, WithoutLinesThereIsNoStatement) {
    SqlTemplate t("Query1", nullptr, {});
    try {
        (void)t.BatchText();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Query1: Sql cümlesi mevcut değil");
    }
    t.AddLine("");
    EXPECT_EQ(t.BatchText(), "\r\n") << "one empty line is two characters, enough to send";
}

TEST(TemplateSend, QuotedColonsAndEscapedColonsReachTheServer) {
    SqlTemplate t("Query1", nullptr, {"select ':a', \"b:c\", x::y, ':: '"});
    EXPECT_TRUE(t.Params().empty());
    EXPECT_EQ(t.BatchText(), "select ':a', \"b:c\", x:y, ':: '\r\n");
}

TEST(TemplateSend, HostileValueStaysOneLiteral) {
    SqlTemplate t("QFirmaDB", nullptr, {"select * from master..sysdatabases where name=:FirmaDB"});
    t.SetParam("FirmaDB", "x' or 1=1; drop database master; --");
    EXPECT_EQ(t.BatchText(),
              "select * from master..sysdatabases where name=N'x'' or 1=1; drop database master; --'\r\n");
}

}  // namespace
}  // namespace kurdb::db
