// The components declared with the window: their names, lines from the embedded files,
// parameters and the procedures' fixed lists, all registered on the one connection.
#include <gtest/gtest.h>

#include "FakeOdbc.h"
#include "db/Components.h"
#include "resources/Resources.h"

namespace kurdb::db {
namespace {

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

struct ComponentsTest : testing::Test {
    test::FakeOdbc fake;
    test::FakeOdbc::Scope scope{fake};
    Components c{std::make_unique<OdbcEngine>(test::FakeOdbc::Table())};
};

TEST_F(ComponentsTest, TemplatesWithTheirLinesAndMarkers) {
    EXPECT_EQ(c.dbFirma.Name(), "dbFirma");
    EXPECT_EQ(c.dbFirma.ConnectionName(), "Ruvedaruzizu_zud");
    EXPECT_EQ(c.QFirmaDB.Lines(), (std::vector<std::string>{"select * from master..sysdatabases where name=:FirmaDB"}));
    EXPECT_EQ(c.QCreateFirmaDB.LineCount(), 4);
    EXPECT_EQ(c.QCreateFirmalar.LineCount(), 41);
    EXPECT_EQ(c.QCreateFirmalar.GetLine(33), "                [FIRMA_NO] [char] (1) NULL                 ");
    EXPECT_EQ(c.QCreateModulGun.LineCount(), 23);
    EXPECT_EQ(c.QCreateModulGun.GetLine(19), "\t\t[VERSION]");
    EXPECT_EQ(c.QUserBul.Lines(), (std::vector<std::string>{"use master", "", "SELECT count(*) as VAR",
                                                           "FROM master..syslogins", "WHERE name=:Uadi"}));
    EXPECT_EQ(c.QDilBul.Lines(), (std::vector<std::string>{"SELECT langid,name FROM syslanguages WHERE langid=22"}));
    EXPECT_EQ(c.Query1.LineCount(), 0);

    EXPECT_EQ(Names(c.QFirmaDB), (std::vector<std::string>{"FirmaDB"}));
    EXPECT_EQ(Names(c.QCreateFirmaDB), (std::vector<std::string>{"FirmaDB"}));
    EXPECT_TRUE(c.QCreateFirmalar.Params().empty());
    EXPECT_EQ(Names(c.QCreateModulGun), (std::vector<std::string>{"Modul"}));
    EXPECT_TRUE(c.QTarso.Params().empty()) << "the extended schema script holds no colon";
    // only Uadi is typed by the definition: unbound it is sent as NULL, the others fail
    EXPECT_NE(c.QUserBul.BatchText().find("WHERE name=NULL\r\n"), std::string::npos);
    for (SqlTemplate* t : {&c.QFirmaDB, &c.QCreateFirmaDB, &c.QCreateModulGun})
        EXPECT_THROW((void)t->BatchText(), EDatabaseError) << t->Name();
}

TEST_F(ComponentsTest, ProceduresWithTheirFixedLists) {
    EXPECT_EQ(c.StoredProcAdLog.ProcedureName(), "dbo.sp_addlogin");
    EXPECT_EQ(Names(c.StoredProcAdLog),
              (std::vector<std::string>{"Result", "@loginame", "@passwd", "@defdb", "@deflanguage"}));
    EXPECT_EQ(c.StoredProcDil.ProcedureName(), "dbo.sp_defaultlanguage ");
    EXPECT_EQ(Names(c.StoredProcDil), (std::vector<std::string>{"Result", "@loginame", "@language"}));
    EXPECT_EQ(c.StoredPrAdSvrRol.ProcedureName(), "dbo.sp_addsrvrolemember");
    EXPECT_EQ(Names(c.StoredPrAdSvrRol), (std::vector<std::string>{"Result", "@loginame", "@rolename"}));
}

TEST_F(ComponentsTest, DisconnectReachesEveryComponent) {
    c.dbFirma.Connect("srv", "sa", "x");
    c.StoredPrAdSvrRol.Prepare();
    c.Query1.AddLine("select 1");
    c.Query1.OpenRows();
    EXPECT_TRUE(c.Query1.HoldsRows());
    c.dbFirma.Disconnect();
    EXPECT_FALSE(c.Query1.HoldsRows());
    EXPECT_FALSE(c.StoredPrAdSvrRol.Prepared());
}

TEST_F(ComponentsTest, QTarsoOnlyHoldsLinesAndRunsThroughQuery1) {
    EXPECT_THROW(c.QTarso.Execute(), EDatabaseError);
    c.dbFirma.Connect("srv", "sa", "x");
    c.RunScript(c.QTarso);
    EXPECT_EQ(fake.batches.size(), 11u);
    EXPECT_EQ(c.Query1.LineCount(), 0) << "the script ends with its separator line";
}

TEST(ResourceLines, FollowTheSplitConvention) {
    const auto lines = ResourceLines("sql/QCreateModulGun.sql");
    ASSERT_EQ(lines.size(), 23u);  // the piece after the final LF is dropped, nothing is trimmed
    EXPECT_EQ(lines[20], "\t)  ON [PRIMARY] ");
    EXPECT_EQ(lines[21], "");
    EXPECT_THROW((void)ResourceLines("sql/NoSuchFile.sql"), resources::ResourceMissing);
}

}  // namespace
}  // namespace kurdb::db
