#include "engine/JetSql.h"
#include "engine/JetError.h"

#include <gtest/gtest.h>

namespace mallow::engine {
namespace {

std::string T(const std::string& jet)
{
    return TranslateJetSql(jet).text;
}

TEST(JetSql, NamesTextAndConstants)
{
    EXPECT_EQ(T("SELECT Log.[Event ID] as ID FROM [Log]"),
              "SELECT Log.\"Event ID\" as ID FROM \"Log\"");
    EXPECT_EQ(T("SELECT \"it's \"\"x\"\"\""), "SELECT 'it''s \"x\"'");
    EXPECT_EQ(T("WHERE Successful = True OR x = false"), "WHERE Successful = 1 OR x = 0");
    EXPECT_EQ(T("SELECT a & 'b'"), "SELECT a || 'b'");
    // Inside literals nothing is translated.
    EXPECT_EQ(T("SELECT 'True #1# [x]'"), "SELECT 'True #1# [x]'");
    // Two minus signs subtract a negative number; they must not become a comment.
    EXPECT_EQ(T("SELECT 3--1"), "SELECT 3- -1");
}

TEST(JetSql, DateLiteralsBecomeAutomationDates)
{
    EXPECT_EQ(T("WHERE t < #12/08/2026#"), "WHERE t < 46364");
    EXPECT_EQ(T("WHERE t < #12/8/2026 1:30:00 PM#"), "WHERE t < 46364.5625");
    EXPECT_EQ(T("WHERE t < #2026-12-08#"), "WHERE t < 46364");
    try {
        T("WHERE t < #13/45/2026#");
        FAIL() << "no error";
    } catch (const MallowError& error) {
        EXPECT_EQ(error.Number(), jet::SyntaxError);
        EXPECT_EQ(error.Description(), "Syntax error in date in query expression '#13/45/2026#'.");
    }
}

TEST(JetSql, DeleteFormsAndStatementEnd)
{
    EXPECT_EQ(T("Delete Log.* From Log WHERE (((Log.TimeLogged)<#12/08/2026#));"),
              "DELETE FROM Log WHERE (((Log.TimeLogged)<46364))");
    EXPECT_EQ(T("delete [LogBackup].* from LogBackup"), "DELETE FROM LogBackup");
    EXPECT_EQ(T("Delete * From Log"), "DELETE FROM Log");
    EXPECT_EQ(T("DELETE FROM Log"), "DELETE FROM Log");
    EXPECT_EQ(T("Select * from Apps ORDER BY Apps.App;  "),
              "Select * from Apps ORDER BY Apps.App  ");
    EXPECT_THROW(T("SELECT 1; SELECT 2"), MallowError);
    EXPECT_THROW(T("SELECT 'open"), MallowError);
}

TEST(JetSql, ParametersStayMarks)
{
    const TranslatedSql sql = TranslateJetSql(
        "SELECT * From Log Where (Log.Application Like ?) AND (CDate(Format(Log.TimeLogged,"
        "'mm/dd/yyyy')) between #12/01/2026# and #12/08/2026#) Order by Log.TimeLogged DESC;");
    EXPECT_EQ(sql.parameterCount, 1);
    EXPECT_EQ(sql.text, "SELECT * From Log Where (Log.Application Like ?) AND (CDate(Format("
                        "Log.TimeLogged,'mm/dd/yyyy')) between 46357 and 46364) Order by "
                        "Log.TimeLogged DESC");
    EXPECT_EQ(sql.SourceOffset(sql.text.find("46357")),
              std::string("SELECT * From Log Where (Log.Application Like ?) AND (CDate(Format("
                          "Log.TimeLogged,'mm/dd/yyyy')) between ")
                  .size());
}

TEST(JetSql, ShapeOfASelect)
{
    EXPECT_TRUE(AnalyzeSelect("SELECT * FROM Apps ORDER BY App").singleTable);
    EXPECT_TRUE(
        AnalyzeSelect("SELECT a.App FROM \"Apps\" AS a WHERE (x IN (SELECT 1))").singleTable);
    EXPECT_EQ(AnalyzeSelect("SELECT ALL * FROM Apps").columnsAt, 10u);
    EXPECT_FALSE(AnalyzeSelect("SELECT DISTINCT App FROM Apps").singleTable);
    EXPECT_FALSE(AnalyzeSelect("SELECT * FROM Apps, Log").singleTable);
    EXPECT_FALSE(AnalyzeSelect("SELECT * FROM Apps JOIN Log ON 1").singleTable);
    EXPECT_FALSE(AnalyzeSelect("SELECT count(*) FROM Log GROUP BY App").singleTable);
    EXPECT_FALSE(AnalyzeSelect("SELECT * FROM (SELECT * FROM Log)").singleTable);
    EXPECT_FALSE(AnalyzeSelect("SELECT 1 UNION SELECT 2").singleTable);
}

TEST(JetSql, ClauseOfAnError)
{
    const std::string sql = "SELECT * FROM Apps WHERE App = = 'x' ORDER BY App";
    const ClauseText where = ClauseAt(sql, sql.find("= 'x'"));
    EXPECT_FALSE(where.isFrom);
    EXPECT_EQ(where.expression, "App = = 'x'");
    EXPECT_TRUE(ClauseAt("SELECT * FROM Apps Log Junk;", 22).isFrom);
}

} // namespace
} // namespace mallow::engine
