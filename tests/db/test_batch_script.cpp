// The batch script runner: which lines separate batches, and what reaches the server in which
// order, through a recording connection.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "db/BatchScript.h"
#include "db/Errors.h"

namespace kurdb::db {
namespace {

using test::FakeHost;

struct SeparatorCase {
    std::string line;
    bool separates;
};

class Separator : public testing::TestWithParam<SeparatorCase> {};

TEST_P(Separator, IsGoAfterTrimmingCodesUpTo32) {
    EXPECT_EQ(IsSeparatorLine(GetParam().line), GetParam().separates) << "[" << GetParam().line << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Separator,
    testing::Values(SeparatorCase{"GO", true}, SeparatorCase{"  GO", true},
                    SeparatorCase{"\tGO   ", true}, SeparatorCase{"GO\r", true},
                    SeparatorCase{std::string("\x01GO\x1f\x20", 4), true},
                    SeparatorCase{std::string("\0GO", 3), true}, SeparatorCase{"go", false},
                    SeparatorCase{"Go", false}, SeparatorCase{"gO", false},
                    SeparatorCase{"GO;", false}, SeparatorCase{"GO 2", false},
                    SeparatorCase{"G O", false}, SeparatorCase{"GOTO", false},
                    SeparatorCase{"", false}, SeparatorCase{"   ", false},
                    SeparatorCase{"\xC2\xA0GO", false},  // a no-break space is not a control code
                    SeparatorCase{"-- GO", false}));

struct Runner : testing::Test {
    FakeHost host;
    SqlTemplate query1{"Query1", &host, {}};

    SqlTemplate Script(std::vector<std::string> lines) {
        return SqlTemplate("QTarso", nullptr, std::move(lines));
    }
};

TEST_F(Runner, EmptyScriptClearsQuery1AndSendsNothing) {
    query1.AddLine("left over");
    const SqlTemplate script = Script({});
    RunScript(script, query1);
    EXPECT_EQ(query1.LineCount(), 0);
    EXPECT_TRUE(host.batches.empty());
}

TEST_F(Runner, TwoBatchesOfOneLineEach) {
    const SqlTemplate script = Script({"CREATE TABLE A (X int)", "GO", "CREATE TABLE B (X int)", "GO"});
    RunScript(script, query1);
    EXPECT_EQ(host.Sql(), (std::vector<std::string>{"CREATE TABLE A (X int)\r\n", "CREATE TABLE B (X int)\r\n"}));
    EXPECT_EQ(query1.LineCount(), 0);
    EXPECT_EQ(script.LineCount(), 4) << "the script is only read";
}

TEST_F(Runner, SeparatorsWithBlanksTabsAndCrSeparate) {
    const SqlTemplate script = Script({"select 1", "  GO", "select 2", "\tGO  \r", "select 3", "GO"});
    RunScript(script, query1);
    EXPECT_EQ(host.batches.size(), 3u);
}

TEST_F(Runner, LowerCaseGoAndGoWithSemicolonStayInTheBatch) {
    const SqlTemplate script = Script({"select 1", "go", "GO;", "select 2", "GO"});
    RunScript(script, query1);
    EXPECT_EQ(host.Sql(), (std::vector<std::string>{"select 1\r\ngo\r\nGO;\r\nselect 2\r\n"}));
}

TEST_F(Runner, SeparatorWithoutCollectedLinesExecutesNothing) {
    const SqlTemplate script = Script({"GO", "select 1", "GO", "GO", "", "GO"});
    RunScript(script, query1);
    // the blank line between the last two separators is a batch line: counted, not judged
    EXPECT_EQ(host.Sql(), (std::vector<std::string>{"select 1\r\n", "\r\n"}));
}

TEST_F(Runner, IndentationAndTrailingBlanksArriveUnchanged) {
    const SqlTemplate script = Script({"if not exists (select 1)", "BEGIN", "CREATE TABLE [dbo].[T] (",
                                       "\t[A] [varchar] (15) NOT NULL ,", "\t[B] [int] NULL ",
                                       ") ON [PRIMARY]", "END", "GO"});
    RunScript(script, query1);
    ASSERT_EQ(host.batches.size(), 1u);
    EXPECT_EQ(host.batches[0].sql,
              "if not exists (select 1)\r\nBEGIN\r\nCREATE TABLE [dbo].[T] (\r\n\t[A] [varchar] (15) "
              "NOT NULL ,\r\n\t[B] [int] NULL \r\n) ON [PRIMARY]\r\nEND\r\n");
    EXPECT_FALSE(host.batches[0].keepRows);
}

TEST_F(Runner, ARejectedBatchStopsTheRun) {
    host.failAt = 1;
    const SqlTemplate script = Script({"CREATE TABLE A (X int)", "GO", "CREATE TABLE B (", "GO",
                                       "CREATE TABLE C (X int)", "GO"});
    try {
        RunScript(script, query1);
        FAIL() << "the error did not reach the caller";
    } catch (const EDBEngineError& e) {
        EXPECT_NE(e.Message().find("There is already an object named 'T'"), std::string::npos);
    }
    EXPECT_EQ(host.Sql(), (std::vector<std::string>{"CREATE TABLE A (X int)\r\n", "CREATE TABLE B (\r\n"}));
    EXPECT_EQ(query1.Lines(), (std::vector<std::string>{"CREATE TABLE B ("}))
        << "Query1 keeps the failing batch";
}

TEST_F(Runner, AFinalBatchWithoutSeparatorIsExecuted) {
    const SqlTemplate script = Script({"select 1", "GO", "select 2", "select 3"});
    RunScript(script, query1);
    EXPECT_EQ(host.Sql(), (std::vector<std::string>{"select 1\r\n", "select 2\r\nselect 3\r\n"}));
}

TEST_F(Runner, BlankLinesAfterTheLastSeparatorAreNotABatch) {
    const SqlTemplate script = Script({"select 1", "GO", "", "  \t"});
    RunScript(script, query1);
    EXPECT_EQ(host.Sql(), (std::vector<std::string>{"select 1\r\n"}));
    EXPECT_EQ(query1.LineCount(), 2) << "the lines after the last separator are left in Query1";
}

TEST_F(Runner, NothingCarriesOverIntoTheNextRun) {
    host.failAt = 0;
    EXPECT_THROW(RunScript(Script({"bad", "GO"}), query1), EDBEngineError);
    RunScript(Script({"good", "GO"}), query1);
    EXPECT_EQ(host.Sql(), (std::vector<std::string>{"bad\r\n", "good\r\n"}));
}

}  // namespace
}  // namespace kurdb::db
