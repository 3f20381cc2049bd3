#include "tCalLogic.h"

#include "CalendarTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

namespace quillon {
namespace {

using test::Date;

/// Records what the logic asks of its window, and runs its repeat timer from a clock the test
/// sets: advancing the clock fires every tick that falls due at the requested interval.
class TestView : public tCalView
{
public:
    tCalLogic* logic = nullptr;
    std::vector<double> dates;
    std::vector<std::string> changedProperties;
    bool shapeVisible[2] = {false, false};
    int interval = 0;
    bool running = false;

    int clock = 0; ///< milliseconds
    int lastTick = 0;

    void ShowCells() override {}
    void ShowShape(int arrow, bool visible) override { shapeVisible[arrow] = visible; }
    void StartTimer(int intervalMs) override
    {
        interval = intervalMs;
        running = true;
        lastTick = clock;
    }
    void StopTimer() override { running = false; }
    void DateChanged(double dte) override { dates.push_back(dte); }
    void PropertyChanged(const char* name) override { changedProperties.push_back(name); }

    void AdvanceTo(int milliseconds)
    {
        while (running && lastTick + interval <= milliseconds) {
            lastTick += interval;
            clock = lastTick;
            logic->TimerTick();
        }
        clock = milliseconds;
    }
};

struct Calendar
{
    TestView view;
    tCalLogic logic{view};
    explicit Calendar(double now)
    {
        view.logic = &logic;
        logic.Initialize(now);
    }
    std::vector<std::string> Captions(int from, int to) const
    {
        std::vector<std::string> captions;
        for (int k = from; k <= to; ++k)
            captions.push_back(logic.CellCaption(k));
        return captions;
    }
    bool AllColoured(int from, int to, std::uint32_t colour) const
    {
        for (int k = from; k <= to; ++k)
            if (logic.CellColour(k) != colour)
                return false;
        return true;
    }
};

class MapBag : public PropertyBag
{
public:
    std::map<std::string, double> entries;
    std::vector<double> writtenDefaults;
    double ReadProperty(const char* name, double defaultValue) override
    {
        const auto found = entries.find(name);
        return found == entries.end() ? defaultValue : found->second;
    }
    void WriteProperty(const char* name, double value, double defaultValue) override
    {
        entries[name] = value;
        writtenDefaults.push_back(defaultValue);
    }
};

TEST(tCalLogic, StartsOnTheCurrentMonthWithNowSelectedAndReported)
{
    const double now = Date(2010, 2, 10, 14, 30);
    Calendar calendar(now);
    EXPECT_EQ(calendar.logic.MonthCaption(), "February 2010");
    EXPECT_EQ(calendar.logic.SelectedIndex(), 9);
    EXPECT_EQ(calendar.logic.CellColour(9), colours::Red);
    ASSERT_EQ(calendar.view.dates.size(), 1u);
    EXPECT_EQ(calendar.view.dates[0], now); // date and time of day
    // A new control's value is 30 December 1899, whatever it shows.
    EXPECT_EQ(calendar.logic.Value(), 0);
    EXPECT_TRUE(calendar.view.changedProperties.empty());
}

TEST(tCalLogic, February2010FillsFourWeeksAndTwoOfMarch)
{
    Calendar calendar(Date(2010, 2, 1));
    EXPECT_EQ(calendar.logic.CellCaption(0), "01");
    EXPECT_EQ(calendar.logic.FirstCell(), Date(2010, 2, 1));
    EXPECT_EQ(calendar.logic.CellCaption(27), "28");
    EXPECT_TRUE(calendar.AllColoured(1, 27, colours::Black));
    EXPECT_EQ(calendar.logic.CellColour(0), colours::Red); // the 1st is today here
    EXPECT_EQ(calendar.Captions(28, 41),
              (std::vector<std::string>{"01", "02", "03", "04", "05", "06", "07", "08", "09", "10",
                                        "11", "12", "13", "14"}));
    EXPECT_TRUE(calendar.AllColoured(28, 41, colours::LightGrey));
}

TEST(tCalLogic, AMonthStartingOnSundayBeginsWithSixDaysOfTheMonthBefore)
{
    Calendar calendar(Date(2010, 8, 20)); // 1 August 2010 was a Sunday
    EXPECT_EQ(calendar.logic.MonthCaption(), "August 2010");
    EXPECT_EQ(calendar.Captions(0, 6),
              (std::vector<std::string>{"26", "27", "28", "29", "30", "31", "01"}));
    EXPECT_TRUE(calendar.AllColoured(0, 5, colours::LightGrey));
    EXPECT_EQ(calendar.logic.CellColour(6), colours::Black);
    EXPECT_EQ(calendar.logic.FirstCell(), Date(2010, 7, 26));
}

TEST(tCalLogic, StepsKeepTheSelectedCellNotTheDay)
{
    // 31 January 2011 lies in the last row (cell 35); February's display starts on 31 January,
    // so the same cell there is 7 March, a grey day.
    Calendar calendar(Date(2011, 1, 5));
    ASSERT_TRUE(calendar.logic.SetValue(Date(2011, 1, 31, 9, 0)));
    EXPECT_EQ(calendar.logic.SelectedIndex(), 35);
    calendar.view.dates.clear();

    calendar.logic.ArrowPressed(1, true);
    EXPECT_EQ(calendar.logic.MonthCaption(), "February 2011");
    ASSERT_EQ(calendar.view.dates.size(), 1u);
    EXPECT_EQ(calendar.view.dates[0], Date(2011, 3, 7, 9, 0));
    EXPECT_EQ(calendar.logic.CellCaption(35), "07");
    EXPECT_EQ(calendar.logic.CellColour(35), colours::Red);
    EXPECT_EQ(calendar.logic.CellColour(34), colours::LightGrey);
    calendar.logic.ArrowReleased(1);

    calendar.logic.ArrowPressed(0, true); // and back: cell 35 of January is the 31st again
    EXPECT_EQ(calendar.view.dates.back(), Date(2011, 1, 31, 9, 0));
    EXPECT_EQ(calendar.logic.Value(), Date(2011, 1, 31, 9, 0)); // arrows leave Value alone
}

TEST(tCalLogic, ValueIsWrittenReportedAndReadBackWhileClicksLeaveIt)
{
    Calendar calendar(Date(2026, 12, 8, 10, 30));
    calendar.view.dates.clear();
    const double written = Date(2004, 3, 5, 6, 15);
    ASSERT_TRUE(calendar.logic.SetValue(written));
    EXPECT_EQ(calendar.view.dates, std::vector<double>{written});
    EXPECT_EQ(calendar.view.changedProperties, std::vector<std::string>{"Value"});
    EXPECT_EQ(calendar.logic.Value(), written);
    EXPECT_EQ(calendar.logic.MonthCaption(), "March 2004");

    // 1 March 2004 was a Monday: cell 3 is the 4th; the click reports it, Value stays.
    calendar.logic.CellPressed(3);
    EXPECT_EQ(calendar.view.dates.back(), Date(2004, 3, 4, 6, 15));
    EXPECT_EQ(calendar.logic.CellColour(3), colours::Red);
    EXPECT_EQ(calendar.logic.CellColour(4), colours::Black); // the earlier red cell is cleared
    EXPECT_EQ(calendar.logic.Value(), written);

    // A grey day of April is reported without moving the display.
    calendar.logic.CellPressed(41);
    EXPECT_EQ(calendar.view.dates.back(), Date(2004, 4, 11, 6, 15));
    EXPECT_EQ(calendar.logic.MonthCaption(), "March 2004");
    EXPECT_EQ(calendar.view.changedProperties.size(), 1u);
}

TEST(tCalLogic, RefusesValuesThatAreNoDatesAndStopsAtTheEndsOfTheRange)
{
    Calendar calendar(Date(2026, 12, 8));
    calendar.view.dates.clear();
    EXPECT_FALSE(calendar.logic.SetValue(std::nan("")));
    EXPECT_FALSE(calendar.logic.SetValue(Date(9999, 12, 31) + 1));
    EXPECT_FALSE(calendar.logic.SetValue(Date(100, 1, 1) - 1));
    EXPECT_TRUE(calendar.view.dates.empty());
    EXPECT_EQ(calendar.logic.Value(), 0);

    ASSERT_TRUE(calendar.logic.SetValue(Date(9999, 12, 31)));
    calendar.logic.ArrowPressed(1, true);
    EXPECT_EQ(calendar.logic.MonthCaption(), "December 9999");
    calendar.logic.ArrowReleased(1);
    ASSERT_TRUE(calendar.logic.SetValue(Date(100, 1, 1)));
    calendar.logic.ArrowPressed(0, true);
    EXPECT_EQ(calendar.logic.MonthCaption(), "January 100");

    // Before 30 December 1899 the fraction still counts forward: -1.25 is the 29th, 06:00.
    ASSERT_TRUE(calendar.logic.SetValue(-1.25));
    EXPECT_EQ(calendar.logic.MonthCaption(), "December 1899");
    EXPECT_EQ(calendar.logic.CellCaption(calendar.logic.SelectedIndex()), "29");
    EXPECT_EQ(calendar.logic.FirstCell(), -(Date(1899, 12, 30) - Date(1899, 11, 27)) - 0.25);
}

TEST(tCalLogic, TheLeftButtonRepeatsEvery200MillisecondsFromTheSecondTick)
{
    Calendar calendar(Date(2010, 2, 10));
    calendar.view.dates.clear();
    calendar.logic.ArrowPressed(1, true);
    EXPECT_TRUE(calendar.view.shapeVisible[1]);
    EXPECT_FALSE(calendar.view.shapeVisible[0]);
    EXPECT_EQ(calendar.view.interval, 200);
    EXPECT_EQ(calendar.view.dates.size(), 1u); // the press itself steps once
    calendar.view.AdvanceTo(399);
    EXPECT_EQ(calendar.view.dates.size(), 1u);
    calendar.view.AdvanceTo(400);
    EXPECT_EQ(calendar.view.dates.size(), 2u);
    calendar.view.AdvanceTo(600);
    EXPECT_EQ(calendar.view.dates.size(), 3u);
    EXPECT_EQ(calendar.logic.MonthCaption(), "May 2010");
    calendar.logic.ArrowReleased(1);
    EXPECT_FALSE(calendar.view.shapeVisible[1]);
    EXPECT_FALSE(calendar.view.running);
    calendar.view.AdvanceTo(5000);
    EXPECT_EQ(calendar.view.dates.size(), 3u);
    // Every step kept the cell of 10 February (cell 9): 10 March, then 7 April and 5 May.
    EXPECT_EQ(calendar.view.dates,
              (std::vector<double>{Date(2010, 3, 10), Date(2010, 4, 7), Date(2010, 5, 5)}));
}

TEST(tCalLogic, OtherButtonsRepeatEvery5MillisecondsAfterFiveTicks)
{
    Calendar calendar(Date(2010, 2, 10));
    calendar.view.dates.clear();
    calendar.logic.ArrowPressed(0, false);
    EXPECT_TRUE(calendar.view.shapeVisible[0]);
    EXPECT_EQ(calendar.view.interval, 5);
    EXPECT_EQ(calendar.logic.MonthCaption(), "January 2010");
    calendar.view.AdvanceTo(29);
    EXPECT_EQ(calendar.view.dates.size(), 1u);
    calendar.view.AdvanceTo(30);
    EXPECT_EQ(calendar.view.dates.size(), 2u);
    calendar.view.AdvanceTo(50);
    EXPECT_EQ(calendar.view.dates.size(), 6u);
    EXPECT_EQ(calendar.logic.MonthCaption(), "August 2009");
    calendar.logic.ArrowReleased(0);
    calendar.view.AdvanceTo(1000);
    EXPECT_EQ(calendar.view.dates.size(), 6u);

    // A new press starts counting again: the left button now waits its two ticks.
    calendar.logic.ArrowPressed(1, true);
    calendar.view.AdvanceTo(1000 + 200);
    EXPECT_EQ(calendar.view.dates.size(), 7u);
    calendar.view.AdvanceTo(1000 + 400);
    EXPECT_EQ(calendar.view.dates.size(), 8u);
}

TEST(tCalLogic, ThePropertyBagHoldsOnlyValueAndLoadingDoesNotMoveTheDisplay)
{
    Calendar calendar(Date(2026, 12, 8));
    MapBag bag;
    calendar.logic.WriteProperties(bag);
    EXPECT_EQ(bag.entries, (std::map<std::string, double>{{"Value", 0}}));
    EXPECT_EQ(bag.writtenDefaults, std::vector<double>{0});

    ASSERT_TRUE(calendar.logic.SetValue(Date(2004, 3, 5)));
    calendar.logic.WriteProperties(bag);
    EXPECT_EQ(bag.entries["Value"], Date(2004, 3, 5));

    Calendar loaded(Date(2026, 12, 8));
    loaded.view.dates.clear();
    ASSERT_TRUE(loaded.logic.ReadProperties(bag));
    EXPECT_EQ(loaded.logic.Value(), Date(2004, 3, 5));
    EXPECT_EQ(loaded.logic.MonthCaption(), "December 2026");
    EXPECT_EQ(loaded.logic.SelectedDate(), Date(2026, 12, 8));
    EXPECT_TRUE(loaded.view.dates.empty());
    EXPECT_TRUE(loaded.view.changedProperties.empty());

    MapBag empty;
    ASSERT_TRUE(loaded.logic.ReadProperties(empty));
    EXPECT_EQ(loaded.logic.Value(), 0);

    MapBag broken;
    broken.entries["Value"] = std::nan("");
    loaded.logic.SetValue(Date(2001, 1, 1));
    EXPECT_FALSE(loaded.logic.ReadProperties(broken));
    EXPECT_EQ(loaded.logic.Value(), Date(2001, 1, 1));
}

} // namespace
} // namespace quillon
