// The results view's log queries and pruning on a copy of the configuration database, with the
// log rows written straight through SQLite.

#include "reports/LogQueries.h"

#include "engine/Connection.h"
#include "engine/Recordset.h"
#include "fixtures/ConfigFixture.h"
#include "util/Dates.h"
#include "util/MallowError.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace mallow;

namespace {

double At(int year, int month, int day, int hour = 0, int minute = 0)
{
    return dates::ToAutomationDate({year, month, day, hour, minute, 0});
}

std::string Number(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

class LogQueries : public ::testing::Test
{
protected:
    void SetUp() override { connection.OpenFile(config.DatabasePath()); }

    void AddCompact(const std::string& app, double when, const std::string& comment = "ok")
    {
        config.Sql("INSERT INTO Log (Application, Successful, \"Size Before\", \"Size After\", "
                   "TimeLogged, Comments) VALUES ('" +
                   Quoted(app) + "', 1, 4096, 2048, " + Number(when) + ", '" + comment + "')");
    }
    void AddBackup(const std::string& app, double when)
    {
        config.Sql("INSERT INTO LogBackup (Application, Successful, TimeLogged, Comments) "
                   "VALUES ('" +
                   Quoted(app) + "', 0, " + Number(when) + ", NULL)");
    }
    static std::string Quoted(const std::string& text)
    {
        std::string result;
        for (char c : text)
            result += c == '\'' ? std::string("''") : std::string(1, c);
        return result;
    }

    /// The Comments (compact log) or Logged texts of the rows a query returns, in order.
    std::vector<std::string> Rows(LogKind kind, const std::string& combo, const std::string& begin,
                                  const std::string& end, const char* field = "Comments")
    {
        const LogQuery query = BuildLogQuery(kind, LogApplicationPattern(combo), begin, end);
        engine::Recordset rs;
        rs.cursorType = engine::CursorType::Static;
        rs.Open(query.sql, connection, engine::adCmdText, query.parameters);
        std::vector<std::string> rows;
        if (rs.Bof() && rs.Eof())
            return rows;
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
            rows.push_back(rs.Field(field).ToText());
        return rows;
    }
    long Count(const std::string& table)
    {
        return std::stol(config.Scalar("SELECT count(*) FROM " + table));
    }

    test::ConfigFixture config;
    engine::Connection connection;
};

using Texts = std::vector<std::string>;

TEST_F(LogQueries, BothEndsAreWholeDaysAndRowsComeNewestFirst)
{
    AddCompact("C:\\a.mdb", At(2026, 12, 6, 23, 59), "day before");
    AddCompact("C:\\a.mdb", At(2026, 12, 7, 0, 0), "first day, midnight");
    AddCompact("C:\\a.mdb", At(2026, 12, 8, 23, 59), "last day, 23:59");
    AddCompact("C:\\a.mdb", At(2026, 12, 8, 12, 0), "last day, noon");
    AddCompact("C:\\a.mdb", At(2026, 12, 9, 0, 0), "day after");
    AddCompact("C:\\a.mdb", At(2026, 12, 7, 9, 0), "first day, nine");

    EXPECT_EQ(
        Rows(LogKind::Compact, "", "12/7/2026", "12/08/2026"),
        (Texts{"last day, 23:59", "last day, noon", "first day, nine", "first day, midnight"}));
    EXPECT_EQ(Rows(LogKind::Compact, "", "12/8/2026", "12/8/2026"),
              (Texts{"last day, 23:59", "last day, noon"}));
    // An inverted range holds no day.
    EXPECT_EQ(Rows(LogKind::Compact, "", "12/9/2026", "12/6/2026"), Texts{});
    // Days are compared whole: a first day given with a time of day leaves that day out, a
    // last day given with one keeps all of it.
    EXPECT_EQ(Rows(LogKind::Compact, "", "12/7/2026 8:00", "12/8/2026 1:00 AM"),
              (Texts{"last day, 23:59", "last day, noon"}));
}

TEST_F(LogQueries, AllAnEmptyTextAndPercentShowEveryApplication)
{
    const double day = At(2026, 3, 1, 10);
    AddCompact("\\\\srv\\data\\sales.mdb", day, "sales");
    AddCompact("/srv/data/orders.mdb", day + 0.01, "orders");
    AddCompact("C:\\Data\\O'Brien's.mdb", day + 0.02, "apostrophe");
    const Texts every{"apostrophe", "orders", "sales"};
    for (const char* combo : {"All (Show All)", "", "%"})
        EXPECT_EQ(Rows(LogKind::Compact, combo, "3/1/2026", "3/1/2026"), every) << combo;

    EXPECT_EQ(LogApplicationPattern("All (Show All)"), "%");
    EXPECT_EQ(LogApplicationPattern(""), "%");
    EXPECT_EQ(Rows(LogKind::Compact, "/srv/data/orders.mdb", "3/1/2026", "3/1/2026"),
              Texts{"orders"});
    // The filter compares without regard to case, as the engine's Like does.
    EXPECT_EQ(Rows(LogKind::Compact, "\\\\SRV\\DATA\\SALES.MDB", "3/1/2026", "3/1/2026"),
              Texts{"sales"});
}

TEST_F(LogQueries, FilterTextsAreValuesNeverStatementText)
{
    const double day = At(2026, 3, 1, 10);
    AddCompact("C:\\Data\\O'Brien's.mdb", day, "apostrophe");
    AddCompact("C:\\Data\\sales_2024.mdb", day + 0.01, "underscore");
    AddCompact("C:\\Data\\salesX2024.mdb", day + 0.02, "X");

    EXPECT_EQ(Rows(LogKind::Compact, "C:\\Data\\O'Brien's.mdb", "3/1/2026", "3/1/2026"),
              Texts{"apostrophe"});
    // "_" and "%" in the filter stay wildcards.
    EXPECT_EQ(Rows(LogKind::Compact, "C:\\Data\\sales_2024.mdb", "3/1/2026", "3/1/2026"),
              (Texts{"X", "underscore"}));
    EXPECT_EQ(Rows(LogKind::Compact, "%brien%", "3/1/2026", "3/1/2026"), Texts{"apostrophe"});
    // A text written to change the statement is only a pattern that matches nothing.
    EXPECT_EQ(Rows(LogKind::Compact, "x') OR 1=1 OR ('", "3/1/2026", "3/1/2026"), Texts{});
    EXPECT_EQ(Count("Log"), 3);
}

TEST_F(LogQueries, ADateTextThatIsNoDateRaisesTheEngineError)
{
    AddCompact("C:\\a.mdb", At(2026, 3, 1));
    struct Case
    {
        const char* begin;
        const char* end;
        const char* bad;
    };
    for (const Case& c : {Case{"abc", "3/1/2026", "abc"}, Case{"3/1/2026", "", ""},
                          Case{"3/1/2026", "2/30/2026", "2/30/2026"},
                          Case{"3/1/2026#) OR (1=1", "3/1/2026", "3/1/2026#) OR (1=1"}}) {
        try {
            BuildLogQuery(LogKind::Compact, "%", c.begin, c.end);
            ADD_FAILURE() << "no error for " << c.begin << " - " << c.end;
        } catch (const MallowError& e) {
            EXPECT_EQ(e.Number(), 3075);
            EXPECT_EQ(e.Description(),
                      "Syntax error in date in query expression '#" + std::string(c.bad) + "#'.");
        }
    }
}

TEST_F(LogQueries, CellsShowShortPathsTrueOrFalseWholeDatesAndPlainNumbers)
{
    AddCompact("C:\\Data\\Sales\\Orders.mdb", At(2026, 5, 4, 9, 30));
    AddBackup("\\\\server\\share\\folder\\Orders.mdb", At(2026, 5, 4, 13, 5));
    for (const LogKind kind : {LogKind::Compact, LogKind::Backup}) {
        const LogQuery query = BuildLogQuery(kind, "%", "5/4/2026", "5/4/2026");
        engine::Recordset rs;
        rs.Open(query.sql, connection, engine::adCmdText, query.parameters);
        Texts cells;
        for (int c = 1; c < rs.FieldCount(); ++c)
            cells.push_back(LogCellText(kind, c, rs.FieldAt(c)));
        if (kind == LogKind::Compact)
            EXPECT_EQ(cells, (Texts{"C:\\Data\\ ... Orders.mdb", "True", "4096", "2048",
                                    "5/4/2026 9:30:00 AM", "ok"}));
        else
            EXPECT_EQ(cells, (Texts{"\\\\server\\share\\ ... Orders.mdb", "False",
                                    "5/4/2026 1:05:00 PM", ""}));
    }
    EXPECT_EQ(ShortLogApplication(LogKind::Compact, "/srv/data/sales/a.mdb"), "/srv/dat ... a.mdb");
    EXPECT_EQ(ShortLogApplication(LogKind::Compact, "a.mdb"), "a.mdb ... a.mdb");
    // Characters, not bytes: a letter beyond ASCII is never cut in half.
    EXPECT_EQ(ShortLogApplication(LogKind::Compact, "/dätä/ünï/x.mdb"), "/dätä/ün ... x.mdb");
}

TEST_F(LogQueries, PruningTakesADayAndKeepsThatDaysRowsInBothLogs)
{
    AddCompact("C:\\a.mdb", At(2026, 12, 7, 23, 59), "older");
    AddCompact("C:\\a.mdb", At(2026, 12, 8, 0, 0), "that day");
    AddBackup("C:\\a.mdb", At(2026, 12, 1));
    AddBackup("C:\\a.mdb", At(2026, 12, 8, 18));

    for (const char* noDate : {"abc", "", "12/32/2026", "1=1); DELETE FROM Log; --"})
        EXPECT_FALSE(RemoveLogDataBefore(connection, noDate)) << noDate;
    EXPECT_EQ(Count("Log"), 2);
    EXPECT_EQ(Count("LogBackup"), 2);

    EXPECT_TRUE(RemoveLogDataBefore(connection, "12/8/2026"));
    EXPECT_EQ(config.Scalar("SELECT group_concat(Comments) FROM Log"), "that day");
    EXPECT_EQ(Count("LogBackup"), 1);
    EXPECT_EQ(Count("Apps") + Count("Schedule"), 1) << "no other table is touched";
}

} // namespace

TEST(LogCellTexts, DatesTakeTheGeneralForm)
{
    // Midnight, noon, the last second, day 0, before day 0, rounding up to the next day, the
    // first and the last years.
    std::vector<double> samples = {0,           0.5,     0.75,          -0.25,
                                   -1.5,        1,       45999.999999,  46364.00001,
                                   2.5 / 86400, -657434, 2958465.99998, 36526.5};
    for (double day = -800; day < 60000; day += 7.377)
        samples.push_back(day);
    for (double date : samples) {
        std::string fast;
        AppendGeneralDate(date, fast);
        EXPECT_EQ(fast, dates::GeneralDate(date)) << Number(date);
    }
}
