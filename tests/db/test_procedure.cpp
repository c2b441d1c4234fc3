// Procedure calls: every input by its "@" name in one batch, the return status into "Result",
// the checks of Prepare, and preparation dropped by Disconnect.
#include <gtest/gtest.h>

#include <functional>

#include "FakeHost.h"
#include "db/Errors.h"
#include "db/ProcedureCall.h"

namespace kurdb::db {
namespace {

using test::FakeHost;
using test::Rows;
using DataType = ProcParam::DataType;
using Direction = ProcParam::Direction;

ProcParam Result() { return {"Result", DataType::Int32, Direction::Result, {}}; }
ProcParam Input(std::string n) { return {std::move(n), DataType::String, Direction::Input, {}}; }

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no error)";
}

TEST(ProcedureCall, EveryInputByNameAndTheStatusIntoResult) {
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
    host.replies.push_back({Rows({"own"}, {{"x"}}), Rows({"Result"}, {{"1"}})});
    p.Execute();
    EXPECT_TRUE(p.Prepared());
    EXPECT_TRUE(host.batches[0].keepRows);
    EXPECT_EQ(p.ParamValue("result"), "1") << "the last result with Result; non-zero raises nothing";
    EXPECT_EQ(ErrorOf([&] { p.SetParam("loginame", "x"); }),
              "StoredProcAdLog: Parameter 'loginame' not found");
}

TEST(ProcedureCall, TheTrailingBlankOfTheNameIsNotSent) {
    FakeHost host;
    ProcedureCall p("StoredProcDil", &host, "dbo.sp_defaultlanguage ",
                    {Result(), Input("@loginame"), Input("@language")});
    p.SetParam("@loginame", "DURANIX");
    p.SetParam("@language", "Turkish");
    EXPECT_NE(p.CallText().find("= dbo.sp_defaultlanguage @loginame = N'DURANIX', @language = N'Turkish'\r\n"),
              std::string::npos);
}

TEST(ProcedureCall, EachCallSendsTheValuesBoundJustBefore) {
    FakeHost host;
    ProcedureCall p("StoredPrAdSvrRol", &host, "dbo.sp_addsrvrolemember",
                    {Result(), Input("@loginame"), Input("@rolename")});
    const std::vector<std::string> roles{"sysadmin", "diskadmin", "bulkadmin"};
    for (const auto& role : roles) {
        p.SetParam("@loginame", "DURANIX");
        p.SetParam("@rolename", role);
        p.Prepare();
        p.Execute();
    }
    ASSERT_EQ(host.batches.size(), roles.size());
    for (std::size_t i = 0; i < roles.size(); ++i)
        EXPECT_NE(host.batches[i].sql.find("@rolename = N'" + roles[i] + "'\r\n"), std::string::npos);
    host.failAt = 3;
    EXPECT_THROW(p.Execute(), EDBEngineError);
}

TEST(ProcedureCall, PrepareChecksAndDisconnectDropsThePreparation) {
    FakeHost host;
    ProcedureCall noType("P1", &host, "dbo.p", {Result(), {"@a", DataType::Unknown, Direction::Input, {}}});
    EXPECT_EQ(ErrorOf([&] { noType.Prepare(); }), "P1: '@a' parametresi için değer yok");
    ProcedureCall noDirection("P2", &host, "dbo.p", {Result(), {"@b", DataType::String, Direction::Unknown, {}}});
    EXPECT_EQ(ErrorOf([&] { noDirection.Execute(); }), "P2: No parameter type for parameter '@b'");
    ProcedureCall p("P3", &host, "dbo.p", {Result()});
    host.connected = false;
    EXPECT_EQ(ErrorOf([&] { p.Prepare(); }), "P3: Veritabanı bağlantısı açık değil");
    host.connected = true;
    p.Prepare();
    EXPECT_TRUE(p.Prepared());
    host.ReleaseAll();
    EXPECT_FALSE(p.Prepared());
    EXPECT_TRUE(host.batches.empty());
}

TEST(ProcedureCall, AnEmptyListComesFromTheServersDescription) {
    FakeHost host;
    host.replies.push_back({Rows({"COLUMN_NAME", "COLUMN_TYPE"},
                                 {{"@RETURN_VALUE", "5"}, {"@a", "1"}, {"@b", "2"}})});
    ProcedureCall p("P", &host, "dbo.sp_x", {});
    p.Prepare();
    EXPECT_EQ(host.batches[0].sql,
              "EXEC sp_sproc_columns @procedure_name = N'sp_x', @procedure_owner = N'dbo'");
    p.SetParam("@b", "2");
    EXPECT_EQ(p.CallText(), "DECLARE @RETURN_VALUE int\r\nEXEC @RETURN_VALUE = dbo.sp_x @a = NULL, "
                            "@b = N'2'\r\nSELECT @RETURN_VALUE AS Result");
    EXPECT_EQ(p.Params()[0].direction, Direction::Result);
}

}  // namespace
}  // namespace kurdb::db
