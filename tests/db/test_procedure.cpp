// Procedure calls: every input by its "@" name in one batch, the return status into "Result",
// the checks of Prepare, and preparation dropped by Disconnect.
#include <gtest/gtest.h>

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

ProcedureCall AddLogin(FakeHost& host) {
    return ProcedureCall("StoredProcAdLog", &host, "dbo.sp_addlogin",
                         {Result(), Input("@loginame"), Input("@passwd"), Input("@defdb"),
                          Input("@deflanguage")});
}

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no error)";
}

TEST(ProcedureCallText, EveryInputByNameAndTheStatusSelected) {
    FakeHost host;
    ProcedureCall p = AddLogin(host);
    p.SetParam("@loginame", "DURANIX");
    p.SetParam("@passwd", "");
    p.SetParam("@DEFDB", "master");
    p.SetParam("@deflanguage", "Turkish");
    EXPECT_EQ(p.CallText(),
              "DECLARE @RETURN_VALUE int\r\nEXEC @RETURN_VALUE = dbo.sp_addlogin @loginame = "
              "N'DURANIX', @passwd = N'', @defdb = N'master', @deflanguage = N'Turkish'\r\n"
              "SELECT @RETURN_VALUE AS Result");
}

TEST(ProcedureCallText, UnboundInputIsNullAndQuotesAreDoubled) {
    FakeHost host;
    ProcedureCall p("StoredPrAdSvrRol", &host, "dbo.sp_addsrvrolemember",
                    {Result(), Input("@loginame"), Input("@rolename")});
    p.SetParam("@loginame", "O'Brien");
    EXPECT_EQ(p.CallText(),
              "DECLARE @RETURN_VALUE int\r\nEXEC @RETURN_VALUE = dbo.sp_addsrvrolemember "
              "@loginame = N'O''Brien', @rolename = NULL\r\nSELECT @RETURN_VALUE AS Result");
}

TEST(ProcedureCallText, TheTrailingBlankOfTheNameIsNotSent) {
    FakeHost host;
    ProcedureCall p("StoredProcDil", &host, "dbo.sp_defaultlanguage ",
                    {Result(), Input("@loginame"), Input("@language")});
    EXPECT_EQ(p.ProcedureName(), "dbo.sp_defaultlanguage ");
    p.SetParam("@loginame", "DURANIX");
    p.SetParam("@language", "Turkish");
    EXPECT_NE(p.CallText().find("EXEC @RETURN_VALUE = dbo.sp_defaultlanguage @loginame = N'DURANIX', "
                                "@language = N'Turkish'\r\n"),
              std::string::npos);
}

TEST(ProcedureExecute, ReturnStatusLandsInResult) {
    FakeHost host;
    host.replies.push_back({Rows({"own"}, {{"x"}}), Rows({"Result"}, {{"1"}})});
    ProcedureCall p = AddLogin(host);
    for (const char* n : {"@loginame", "@passwd", "@defdb", "@deflanguage"}) p.SetParam(n, "v");
    p.Execute();
    EXPECT_TRUE(p.Prepared());
    ASSERT_EQ(host.batches.size(), 1u);
    EXPECT_TRUE(host.batches[0].keepRows);
    EXPECT_EQ(p.ParamValue("result"), "1") << "a non-zero status raises nothing";
}

TEST(ProcedureExecute, EachCallSendsTheValuesBoundJustBefore) {
    FakeHost host;
    ProcedureCall p("StoredPrAdSvrRol", &host, "dbo.sp_addsrvrolemember",
                    {Result(), Input("@loginame"), Input("@rolename")});
    const std::vector<std::string> roles{"sysadmin", "diskadmin", "dbcreator", "securityadmin",
                                         "serveradmin", "setupadmin", "processadmin", "bulkadmin"};
    for (const auto& role : roles) {
        p.SetParam("@loginame", "DURANIX");
        p.SetParam("@rolename", role);
        p.Prepare();
        p.Execute();
    }
    ASSERT_EQ(host.batches.size(), roles.size());
    for (std::size_t i = 0; i < roles.size(); ++i)
        EXPECT_NE(host.batches[i].sql.find("@rolename = N'" + roles[i] + "'\r\n"), std::string::npos)
            << roles[i];
}

TEST(ProcedureExecute, ServerErrorPropagates) {
    FakeHost host;
    host.failAt = 0;
    ProcedureCall p = AddLogin(host);
    EXPECT_THROW(p.Execute(), EDBEngineError);
}

TEST(ProcedurePrepare, ChecksEveryParameter) {
    FakeHost host;
    ProcedureCall noType("P1", &host, "dbo.p", {Result(), {"@a", DataType::Unknown, Direction::Input, {}}});
    EXPECT_EQ(ErrorOf([&] { noType.Prepare(); }), "P1: '@a' parametresi için değer yok");
    ProcedureCall noDirection("P2", &host, "dbo.p", {Result(), {"@b", DataType::String, Direction::Unknown, {}}});
    EXPECT_EQ(ErrorOf([&] { noDirection.Execute(); }), "P2: No parameter type for parameter '@b'");
    EXPECT_FALSE(noDirection.Prepared());
    EXPECT_TRUE(host.batches.empty());
}

TEST(ProcedurePrepare, NeedsAnOpenConnectionAndIsDroppedByDisconnect) {
    FakeHost host;
    ProcedureCall p = AddLogin(host);
    host.connected = false;
    EXPECT_EQ(ErrorOf([&] { p.Prepare(); }), "StoredProcAdLog: Veritabanı bağlantısı açık değil");
    host.connected = true;
    p.Prepare();
    EXPECT_TRUE(p.Prepared());
    p.Prepare();  // nothing when prepared already
    EXPECT_TRUE(host.batches.empty());
    host.ReleaseAll();
    EXPECT_FALSE(p.Prepared());
}

TEST(ProcedureParams, UnknownNameIsAComponentError) {
    FakeHost host;
    ProcedureCall p = AddLogin(host);
    EXPECT_EQ(ErrorOf([&] { p.SetParam("loginame", "x"); }),
              "StoredProcAdLog: Parameter 'loginame' not found");
    EXPECT_EQ(ErrorOf([&] { (void)p.ParamValue("@yok"); }),
              "StoredProcAdLog: Parameter '@yok' not found");
}

TEST(ProcedureParams, AnEmptyListComesFromTheServersDescription) {
    FakeHost host;
    host.replies.push_back({Rows({"PROCEDURE_NAME", "COLUMN_NAME", "COLUMN_TYPE"},
                                 {{"sp_x;1", "@RETURN_VALUE", "5"},
                                  {"sp_x;1", "@a", "1"},
                                  {"sp_x;1", "@b", "2"}})});
    ProcedureCall p("P", &host, "dbo.sp_x", {});
    p.Prepare();
    ASSERT_EQ(host.batches.size(), 1u);
    EXPECT_EQ(host.batches[0].sql,
              "EXEC sp_sproc_columns @procedure_name = N'sp_x', @procedure_owner = N'dbo'");
    ASSERT_EQ(p.Params().size(), 3u);
    EXPECT_EQ(p.Params()[0].name, "Result");
    EXPECT_EQ(p.Params()[0].direction, Direction::Result);
    EXPECT_EQ(p.Params()[1].name, "@a");
    EXPECT_EQ(p.Params()[2].name, "@b");
    p.SetParam("@b", "2");
    EXPECT_NE(p.CallText().find("dbo.sp_x @a = NULL, @b = N'2'\r\n"), std::string::npos);
}

}  // namespace
}  // namespace kurdb::db
