// The components declared with the window: their names, lines, parameters, columns and the
// procedures' fixed parameter lists, all on the one connection.
#include <gtest/gtest.h>

#include "FakeOdbc.h"
#include "db/Components.h"
#include "resources/Resources.h"

namespace kurdb::db {
namespace {

using test::FakeOdbc;

struct ComponentsTest : testing::Test {
    FakeOdbc fake;
    FakeOdbc::Scope scope{fake};
    Components c{std::make_unique<OdbcEngine>(FakeOdbc::Table())};
};

std::vector<std::string> Names(const SqlTemplate& t) {
    std::vector<std::string> out;
    for (const auto& p : t.Params()) out.push_back(p.name);
    return out;
}

std::vector<std::string> Names(const ProcedureCall& p) {
    std::vector<std::string> out;
    for (const auto& x : p.Params()) out.push_back(x.name);
    return out;
}

TEST_F(ComponentsTest, TheConnection) {
    EXPECT_EQ(c.dbFirma.Name(), "dbFirma");
    EXPECT_EQ(c.dbFirma.ConnectionName(), "Ruvedaruzizu_zud");
    EXPECT_FALSE(c.dbFirma.IsConnected());
    EXPECT_TRUE(c.dbFirma.Params().empty());
}

TEST_F(ComponentsTest, TemplatesHoldTheirDefinedLines) {
    EXPECT_EQ(c.QFirmaDB.Lines(),
              (std::vector<std::string>{"select * from master..sysdatabases where name=:FirmaDB"}));
    EXPECT_EQ(c.QCreateFirmaDB.LineCount(), 4);
    EXPECT_EQ(c.QCreateFirmaDB.GetLine(3), "  CREATE DATABASE FirmaDB");
    EXPECT_EQ(c.QCreateFirmalar.LineCount(), 41);
    EXPECT_EQ(c.QCreateFirmalar.GetLine(6), "\t[FIRMA_ADI] [varchar] (18) NULL ,");
    EXPECT_EQ(c.QCreateFirmalar.GetLine(33), "                [FIRMA_NO] [char] (1) NULL                 ");
    EXPECT_EQ(c.QCreateFirmalar.GetLine(40), "end ");
    EXPECT_EQ(c.QCreateModulGun.LineCount(), 23);
    EXPECT_EQ(c.QCreateModulGun.GetLine(0), "use FirmaDB  --0");
    EXPECT_EQ(c.QCreateModulGun.GetLine(16), "[PK_GUNCELALVEN]   --16");
    EXPECT_EQ(c.QCreateModulGun.GetLine(19), "\t\t[VERSION]");
    EXPECT_EQ(c.QUserBul.Lines(), (std::vector<std::string>{"use master", "", "SELECT count(*) as VAR",
                                                           "FROM master..syslogins", "WHERE name=:Uadi"}));
    EXPECT_EQ(c.QDilBul.Lines(),
              (std::vector<std::string>{"SELECT langid,name FROM syslanguages WHERE langid=22"}));
    EXPECT_EQ(c.Query1.LineCount(), 0);
}

TEST_F(ComponentsTest, ParametersComeFromTheMarkers) {
    EXPECT_EQ(Names(c.QFirmaDB), (std::vector<std::string>{"FirmaDB"}));
    EXPECT_EQ(Names(c.QCreateFirmaDB), (std::vector<std::string>{"FirmaDB"}));
    EXPECT_TRUE(c.QCreateFirmalar.Params().empty());
    EXPECT_EQ(Names(c.QCreateModulGun), (std::vector<std::string>{"Modul"}));
    EXPECT_EQ(Names(c.QUserBul), (std::vector<std::string>{"Uadi"}));
    EXPECT_TRUE(c.QDilBul.Params().empty());
    EXPECT_TRUE(c.QTarso.Params().empty()) << "the extended schema script holds no colon";
}

TEST_F(ComponentsTest, OnlyUadiIsTypedByTheDefinition) {
    EXPECT_NE(c.QUserBul.BatchText().find("WHERE name=NULL\r\n"), std::string::npos);
    for (SqlTemplate* t : {&c.QFirmaDB, &c.QCreateFirmaDB, &c.QCreateModulGun})
        EXPECT_THROW((void)t->BatchText(), EDatabaseError) << t->Name();
}

TEST_F(ComponentsTest, DeclaredColumns) {
    fake.answer = [](const std::string&) {
        return std::vector<FakeOdbc::Result>{FakeOdbc::Result{{"langid", "name"}, {{"22", "Turkish"}}, {}}};
    };
    c.dbFirma.Connect("srv", "sa", "x");
    c.QDilBul.OpenRows();
    EXPECT_EQ(c.QDilBul.RowCount(), 1);
    EXPECT_EQ(c.QDilBul.FieldAsInteger("langid"), 22);
    EXPECT_EQ(c.QDilBul.FieldAsString("name"), "Turkish");
    EXPECT_THROW(c.QFirmaDB.OpenRows(), EDatabaseError) << "QFirmaDB is still unbound";
    c.QFirmaDB.SetParam("FirmaDB", "X");
    fake.answer = [](const std::string&) {
        return std::vector<FakeOdbc::Result>{FakeOdbc::Result{{"dbid"}, {{"5"}}, {}}};
    };
    try {
        c.QFirmaDB.OpenRows();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "QFirmaDB: Field 'name' not found");
    }
}

TEST_F(ComponentsTest, ProceduresWithTheirFixedLists) {
    EXPECT_EQ(c.StoredProcAdLog.ProcedureName(), "dbo.sp_addlogin");
    EXPECT_EQ(Names(c.StoredProcAdLog),
              (std::vector<std::string>{"Result", "@loginame", "@passwd", "@defdb", "@deflanguage"}));
    EXPECT_EQ(c.StoredProcDil.ProcedureName(), "dbo.sp_defaultlanguage ");
    EXPECT_EQ(Names(c.StoredProcDil), (std::vector<std::string>{"Result", "@loginame", "@language"}));
    EXPECT_EQ(c.StoredPrAdSvrRol.ProcedureName(), "dbo.sp_addsrvrolemember");
    EXPECT_EQ(Names(c.StoredPrAdSvrRol), (std::vector<std::string>{"Result", "@loginame", "@rolename"}));
    for (ProcedureCall* p : {&c.StoredProcAdLog, &c.StoredProcDil, &c.StoredPrAdSvrRol}) {
        EXPECT_EQ(p->Params()[0].direction, ProcParam::Direction::Result);
        EXPECT_EQ(p->Params()[0].type, ProcParam::DataType::Int32);
        for (std::size_t i = 1; i < p->Params().size(); ++i) {
            EXPECT_EQ(p->Params()[i].direction, ProcParam::Direction::Input);
            EXPECT_EQ(p->Params()[i].type, ProcParam::DataType::String);
        }
    }
}

TEST_F(ComponentsTest, QTarsoOnlyHoldsLinesAndRunsThroughQuery1) {
    EXPECT_THROW(c.QTarso.Execute(), EDatabaseError);
    int separators = 0;
    for (const auto& line : c.QTarso.Lines()) separators += IsSeparatorLine(line) ? 1 : 0;
    EXPECT_EQ(separators, 11);
    ASSERT_GT(c.QTarso.LineCount(), 0);
    EXPECT_TRUE(IsSeparatorLine(c.QTarso.GetLine(c.QTarso.LineCount() - 1)));

    c.dbFirma.Connect("srv", "sa", "x");
    c.RunScript(c.QTarso);
    EXPECT_EQ(fake.batches.size(), 11u);
    EXPECT_EQ(c.Query1.LineCount(), 0);
    for (const auto& batch : fake.batches)
        EXPECT_NE(batch.find("if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].["),
                  std::string::npos)
            << batch.substr(0, 80);
}

TEST(ResourceLines, FollowTheSplitConvention) {
    // every line of the file, the piece after the final LF dropped, nothing trimmed
    const auto lines = ResourceLines("sql/QCreateModulGun.sql");
    ASSERT_EQ(lines.size(), 23u);
    EXPECT_EQ(lines[20], "\t)  ON [PRIMARY] ");
    EXPECT_EQ(lines[21], "");
    EXPECT_THROW((void)ResourceLines("sql/NoSuchFile.sql"), resources::ResourceMissing);
}

}  // namespace
}  // namespace kurdb::db
