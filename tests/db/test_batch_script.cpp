// The batch script runner: which lines separate batches, and what reaches the server in which
// order, through a recording connection.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "db/BatchScript.h"
#include "db/Errors.h"

namespace kurdb::db {
namespace {

TEST(SeparatorLine, IsGoAfterTrimmingCodesUpTo32) {
    for (const std::string& line : std::vector<std::string>{"GO", "  GO", "\tGO   ", "GO\r", std::string("\0\x01GO\x1f ", 6)})
        EXPECT_TRUE(IsSeparatorLine(line)) << "[" << line << "]";
    for (const std::string& line : std::vector<std::string>{"go", "Go", "GO;", "GO 2", "G O", "GOTO", "", "   ", "-- GO",
                                   "\xC2\xA0GO" /* no-break space */})
        EXPECT_FALSE(IsSeparatorLine(line)) << "[" << line << "]";
}

struct RunCase {
    const char* title;
    std::vector<std::string> script;
    std::vector<std::string> sent;    // the batches, in order
    std::vector<std::string> query1;  // what Query1 holds afterwards
    std::optional<std::size_t> failAt = std::nullopt;
    // The case's name in test listings (and so in CTest names), instead of its bytes.
    friend void PrintTo(const RunCase& c, std::ostream* os) { *os << c.title; }
};

class RunScriptCases : public testing::TestWithParam<RunCase> {};

TEST_P(RunScriptCases, SendTheBatchesInOrder) {
    const RunCase& c = GetParam();
    test::FakeHost host;
    host.failAt = c.failAt;
    SqlTemplate query1("Query1", &host, {"left over from an earlier run"});
    const SqlTemplate script("QTarso", nullptr, c.script);
    if (c.failAt) {
        try {
            RunScript(script, query1);
            ADD_FAILURE() << c.title << ": the error did not reach the caller";
        } catch (const EDBEngineError& e) {
            EXPECT_NE(e.Message().find("There is already an object named 'T'"), std::string::npos);
        }
    } else {
        RunScript(script, query1);
    }
    EXPECT_EQ(host.Sql(), c.sent) << c.title;
    EXPECT_EQ(query1.Lines(), c.query1) << c.title;
    EXPECT_EQ(script.Lines(), c.script) << "the script is only read";
    for (const auto& b : host.batches) EXPECT_FALSE(b.keepRows);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, RunScriptCases,
    testing::Values(
        RunCase{"empty script: Query1 cleared, nothing sent", {}, {}, {}},
        RunCase{"two batches of one line each",
                {"CREATE TABLE A (X int)", "GO", "CREATE TABLE B (X int)", "GO"},
                {"CREATE TABLE A (X int)\r\n", "CREATE TABLE B (X int)\r\n"}, {}},
        RunCase{"separators with blanks, tabs and CR",
                {"select 1", "  GO", "select 2", "\tGO  \r", "select 3", "GO"},
                {"select 1\r\n", "select 2\r\n", "select 3\r\n"}, {}},
        RunCase{"go and GO; are batch lines", {"select 1", "go", "GO;", "select 2", "GO"},
                {"select 1\r\ngo\r\nGO;\r\nselect 2\r\n"}, {}},
        RunCase{"a separator without collected lines sends nothing; a blank line is counted",
                {"GO", "select 1", "GO", "GO", "", "GO"}, {"select 1\r\n", "\r\n"}, {}},
        RunCase{"indentation and trailing blanks arrive unchanged",
                {"BEGIN", "\t[A] [varchar] (15) NOT NULL ,", "\t[B] [int] NULL ", "END", "GO"},
                {"BEGIN\r\n\t[A] [varchar] (15) NOT NULL ,\r\n\t[B] [int] NULL \r\nEND\r\n"}, {}},
        RunCase{"a rejected second batch stops the run; Query1 keeps it",
                {"CREATE TABLE A (X int)", "GO", "CREATE TABLE B (", "GO", "CREATE TABLE C (X int)", "GO"},
                {"CREATE TABLE A (X int)\r\n", "CREATE TABLE B (\r\n"}, {"CREATE TABLE B ("}, 1},
        RunCase{"a last batch without separator is not lost", {"select 1", "GO", "select 2", "select 3"},
                {"select 1\r\n", "select 2\r\nselect 3\r\n"}, {"select 2", "select 3"}},
        RunCase{"blank lines after the last separator are no batch", {"select 1", "GO", "", "  \t"},
                {"select 1\r\n"}, {"", "  \t"}}));

}  // namespace
}  // namespace kurdb::db
