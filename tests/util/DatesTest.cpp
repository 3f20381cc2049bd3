#include "util/Dates.h"
#include "util/MallowError.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace mallow;
using namespace mallow::dates;

namespace {

double Date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return ToAutomationDate({year, month, day, hour, minute, second});
}

const double Sample = Date(2026, 12, 8, 13, 5, 9); // a Tuesday afternoon

} // namespace

TEST(DatesConversion, KnownSerialNumbers)
{
    EXPECT_EQ(Date(1899, 12, 30), 0.0);
    EXPECT_EQ(Date(1900, 1, 1), 2.0);
    EXPECT_EQ(Date(1900, 3, 1), 61.0); // 1900 has no 29 February
    EXPECT_EQ(Date(2004, 3, 5), 38051.0);
    EXPECT_EQ(Date(100, 1, 1), -657434.0);
    EXPECT_EQ(Date(9999, 12, 31), 2958465.0);
    // Before day 0 the integer part counts back and the fraction runs forward.
    EXPECT_EQ(Date(1899, 12, 29, 6), -1.25);
    EXPECT_EQ(FromAutomationDate(-1.25), (DateTimeParts{1899, 12, 29, 6, 0, 0}));
    EXPECT_EQ(FromAutomationDate(-0.25), (DateTimeParts{1899, 12, 30, 6, 0, 0}));
}

TEST(DatesConversion, RoundTripsAcrossTheWholeRange)
{
    // A prime step visits every weekday, month position and leap-year case over the range.
    for (long day = -657434; day <= 2958465; day += 997) {
        const long seconds = (day * 7919 % 86400 + 86400) % 86400;
        const double date = day >= 0 ? day + seconds / 86400.0 : day - seconds / 86400.0;
        const DateTimeParts parts = FromAutomationDate(date);
        ASSERT_EQ(ToAutomationDate(parts), date) << day;
        ASSERT_EQ(parts.hour * 3600 + parts.minute * 60 + parts.second, seconds) << day;
    }
    // Consecutive serials are consecutive calendar days, across day 0 and 1900.
    DateTimeParts previous = FromAutomationDate(-800);
    for (int day = -799; day <= 800; ++day) {
        const DateTimeParts parts = FromAutomationDate(day);
        const bool nextInMonth = parts.day == previous.day + 1 && parts.month == previous.month;
        const bool newMonth = parts.day == 1 && (parts.month == previous.month % 12 + 1);
        ASSERT_TRUE(nextInMonth || newMonth) << day;
        previous = parts;
    }
}

TEST(DatesConversion, LeapYears)
{
    EXPECT_EQ(Date(2000, 3, 1) - Date(2000, 2, 28), 2.0);
    EXPECT_EQ(Date(2004, 2, 29) + 1, Date(2004, 3, 1));
    EXPECT_THROW(Date(1900, 2, 29), MallowError);
    EXPECT_THROW(Date(2100, 2, 29), MallowError);
    EXPECT_EQ(Date(1601, 1, 1) - Date(1600, 1, 1), 366.0);
}

TEST(DatesConversion, RejectsFieldsOutOfRange)
{
    const std::vector<DateTimeParts> bad = {
        {99, 12, 31, 0, 0, 0},  {10000, 1, 1, 0, 0, 0}, {2004, 13, 1, 0, 0, 0},
        {2004, 0, 1, 0, 0, 0},  {2004, 2, 30, 0, 0, 0}, {2004, 4, 31, 0, 0, 0},
        {2004, 1, 0, 0, 0, 0},  {2004, 1, 1, 24, 0, 0}, {2004, 1, 1, 0, 60, 0},
        {2004, 1, 1, 0, 0, -1},
    };
    for (const DateTimeParts& parts : bad) {
        try {
            ToAutomationDate(parts);
            ADD_FAILURE() << parts.year << "-" << parts.month << "-" << parts.day;
        } catch (const MallowError& error) {
            EXPECT_EQ(error.Number(), 5);
            EXPECT_EQ(error.Source(), "Dates");
            EXPECT_EQ(error.Description(), "Invalid procedure call or argument");
        }
    }
}

TEST(DatesConversion, RoundsToTheNearestSecond)
{
    const double halfSecond = 0.5 / 86400;
    EXPECT_EQ(FromAutomationDate(Sample + 0.4 * halfSecond).second, 9);
    EXPECT_EQ(FromAutomationDate(Sample + 1.2 * halfSecond).second, 10);
    EXPECT_EQ(FromAutomationDate(Date(2026, 12, 8, 23, 59, 59) + 1.2 * halfSecond),
              (DateTimeParts{2026, 12, 9, 0, 0, 0}));
    // Just before midnight on a negative date rounds forward into the next day.
    EXPECT_EQ(FromAutomationDate(-1.9999999), (DateTimeParts{1899, 12, 30, 0, 0, 0}));
    EXPECT_EQ(FromAutomationDate(2958465.9999999), (DateTimeParts{9999, 12, 31, 23, 59, 59}));
    EXPECT_THROW(FromAutomationDate(2958466.0), MallowError);
    EXPECT_THROW(FromAutomationDate(-657435.0), MallowError);
}

TEST(DatesArithmetic, DayPartsWeekdaysAndNames)
{
    EXPECT_EQ(DateOnly(Sample), Date(2026, 12, 8));
    EXPECT_EQ(DateOnly(-1.25), -1.0);
    EXPECT_EQ(TimeOnly(-1.25), 0.25);
    EXPECT_EQ(TimeOnly(Sample), Date(1899, 12, 30, 13, 5, 9));
    // Adding days keeps the time of day on both sides of day 0.
    EXPECT_EQ(AddDays(0.25, -1), -1.25);
    EXPECT_EQ(AddDays(-1.25, 2), 1.25);
    EXPECT_EQ(AddDays(Date(2004, 2, 28, 6), 1), Date(2004, 2, 29, 6));
    EXPECT_THROW(AddDays(Date(9999, 12, 31), 1), MallowError);

    EXPECT_EQ(Weekday(Sample), 3);
    EXPECT_EQ(Weekday(0), 7);
    EXPECT_EQ(Weekday(Date(2010, 2, 1)), 2);
    for (int day = -20; day < 20; ++day)
        ASSERT_EQ(Weekday(day + 1), Weekday(day) % 7 + 1) << day;
    EXPECT_EQ(Weekday(-1.75), 6); // 29 December 1899, a Friday, in the evening
    EXPECT_EQ(WeekdayName(1), "Sunday");
    EXPECT_EQ(WeekdayName(7), "Saturday");
    EXPECT_EQ(MonthName(9), "September");
    EXPECT_THROW(WeekdayName(0), MallowError);
    EXPECT_THROW(MonthName(13), MallowError);
}

TEST(DatesFormat, FormatsTheProgramUses)
{
    EXPECT_EQ(Format(Sample, "mm/dd/yyyy hh:mm:ss AMPM"), "12/08/2026 01:05:09 PM");
    EXPECT_EQ(Format(Date(2026, 12, 8), "mm/dd/yyyy hh:mm:ss AMPM"), "12/08/2026 12:00:00 AM");
    EXPECT_EQ(Format(Date(2026, 12, 8, 12), "mm/dd/yyyy hh:mm:ss AMPM"), "12/08/2026 12:00:00 PM");
    EXPECT_EQ(Format(Date(2004, 3, 5), "mm-dd-yyyy"), "03-05-2004");
    EXPECT_EQ(Format(Sample, "mm/dd/yyyy"), "12/08/2026");
    EXPECT_EQ(Format(Sample, "dddd"), "Tuesday");
    EXPECT_EQ(Format(Sample, "hh:nn"), "13:05");
    EXPECT_EQ(Format(Date(2026, 12, 8, 0, 7), "hh:nn"), "00:07");
    EXPECT_EQ(Format(Sample, "mmmm yyyy"), "December 2026");
    EXPECT_EQ(Format(Date(2010, 3, 1), "dd"), "01");
    EXPECT_EQ(ShortDate(Sample), "12/8/2026");
}

TEST(DatesFormat, MinutesOrMonthAndTwelveHourClock)
{
    const double early = Date(2026, 3, 4, 9, 7, 2);
    EXPECT_EQ(Format(early, "h:m"), "9:7");
    EXPECT_EQ(Format(early, "hh mm"), "09 07");
    EXPECT_EQ(Format(early, "mm"), "03");
    EXPECT_EQ(Format(early, "hh:nn mm"), "09:07 03"); // the code before is a minute
    EXPECT_EQ(Format(early, "h mmm"), "9 Mar");
    EXPECT_EQ(Format(Sample, "h AM/PM"), "1 PM");
    EXPECT_EQ(Format(early, "h am/pm"), "9 am");
    EXPECT_EQ(Format(Sample, "hA/P"), "1P");
    EXPECT_EQ(Format(early, "h a/p"), "9 a");
    // A marker anywhere switches every hour to the 12-hour clock.
    EXPECT_EQ(Format(Date(2026, 3, 4, 0, 30), "AMPM hh"), "AM 12");
}

TEST(DatesFormat, RemainingCodesAndLiterals)
{
    const double date = Date(2024, 12, 31, 7, 8, 9);
    EXPECT_EQ(Format(date, "d ddd m mmm yy"), "31 Tue 12 Dec 24");
    EXPECT_EQ(Format(date, "y"), "366");
    EXPECT_EQ(Format(Date(2023, 12, 31), "y"), "365");
    EXPECT_EQ(Format(date, "h:n:s hh:nn:ss"), "7:8:9 07:08:09");
    EXPECT_EQ(Format(date, "DD/MM/YYYY"), "31/12/2024");
    EXPECT_EQ(Format(date, "\"day\" d \\d"), "day 31 d");
    EXPECT_EQ(Format(Date(905, 6, 1), "yyyy yy"), "0905 05");
    EXPECT_EQ(Format(date, "c"), "12/31/2024 7:08:09 AM");
    EXPECT_EQ(Format(date, "ddddd|dddddd"), "12/31/2024|Tuesday, December 31, 2024");
}

TEST(DatesFormat, NamedFormatsAndGeneralDate)
{
    EXPECT_EQ(Format(Sample, "General Date"), "12/8/2026 1:05:09 PM");
    EXPECT_EQ(Format(Sample, "short date"), "12/8/2026");
    EXPECT_EQ(Format(Sample, "Long Date"), "Tuesday, December 08, 2026");
    EXPECT_EQ(Format(Sample, "Short Time"), "13:05");
    EXPECT_EQ(Format(Sample, "Long Time"), "1:05:09 PM");
    EXPECT_EQ(GeneralDate(Date(2026, 12, 8, 13, 5, 3)), "12/8/2026 1:05:03 PM");
    EXPECT_EQ(GeneralDate(Date(2026, 12, 8)), "12/8/2026");
    EXPECT_EQ(GeneralDate(Date(1899, 12, 30, 13, 5, 3)), "1:05:03 PM");
    EXPECT_EQ(GeneralDate(0), "12:00:00 AM");
    EXPECT_EQ(GeneralDate(-1.25), "12/29/1899 6:00:00 AM");
}

TEST(DatesParse, Times)
{
    const auto at = [](int h, int m, int s = 0) { return Date(1899, 12, 30, h, m, s); };
    EXPECT_EQ(ParseTime("2:00 AM"), at(2, 0));
    EXPECT_EQ(ParseTime("2:00AM"), at(2, 0));
    EXPECT_EQ(ParseTime("2 PM"), at(14, 0));
    EXPECT_EQ(ParseTime("  14:00 "), at(14, 0));
    EXPECT_EQ(ParseTime("14:00:30"), at(14, 0, 30));
    EXPECT_EQ(ParseTime("12:00 AM"), 0.0);
    EXPECT_EQ(ParseTime("12:30 pm"), at(12, 30));
    EXPECT_EQ(ParseTime("11:59:59 p"), at(23, 59, 59));
    EXPECT_EQ(ParseTime("7:5 a"), at(7, 5));
    for (const char* text :
         {"25:00", "24:00", "2:61", "2:00:60", "abc", "", "   ", "14", "2:", ":30", "0:30 AM",
          "13:00 PM", "2:00 XM", "002:00", "2:00 AMX", "2 : 00", "-1:00"})
        EXPECT_EQ(ParseTime(text), std::nullopt) << '"' << text << '"';
}

TEST(DatesParse, Dates)
{
    EXPECT_EQ(ParseDate("3/5/2004"), Date(2004, 3, 5));
    EXPECT_EQ(ParseDate("03-05-2004"), Date(2004, 3, 5));
    EXPECT_EQ(ParseDate("3.5.2004"), Date(2004, 3, 5));
    EXPECT_EQ(ParseDate("3/5/04"), Date(2004, 3, 5));
    EXPECT_EQ(ParseDate("3/5/29"), Date(2029, 3, 5));
    EXPECT_EQ(ParseDate("3/5/30"), Date(1930, 3, 5));
    EXPECT_EQ(ParseDate("3/5/0"), Date(2000, 3, 5));
    EXPECT_EQ(ParseDate("02/29/2000"), Date(2000, 2, 29));
    EXPECT_EQ(ParseDate(" 12/08/2026 1:05:09 PM "), Sample);
    EXPECT_EQ(ParseDate("12/8/2026   13:05:09"), Sample);
    for (const char* text : {"02/30/2004", "13/01/2004", "00/10/2004", "02/29/1900", "1/0/2004",
                             "3/5", "3/5/", "3/5-2004", "3/5/20045", "3/5/0099", "3 5 2004",
                             "3/5/2004x", "3/5/2004 25:00", "3/5/20042:00", "abc", ""})
        EXPECT_EQ(ParseDate(text), std::nullopt) << '"' << text << '"';
}

TEST(DatesParse, DateTimeAcceptsABareTime)
{
    EXPECT_EQ(ParseDateTime("3/5/2004 2:00 AM"), Date(2004, 3, 5, 2));
    EXPECT_EQ(ParseDateTime("2:00 AM"), Date(1899, 12, 30, 2));
    EXPECT_EQ(ParseDateTime("abc"), std::nullopt);
    EXPECT_EQ(ParseDateTime("14"), std::nullopt);
}

TEST(DatesParse, FormattedTextParsesBack)
{
    // Back-up stamps, filter dates, outcome time stamps and grid texts all come back exactly.
    for (long day = -657434; day <= 2958465; day += 7103) {
        const double date = AddDays(Date(1899, 12, 30, 17, 42, 31), static_cast<int>(day));
        ASSERT_EQ(ParseDate(Format(date, "mm-dd-yyyy")), DateOnly(date)) << day;
        ASSERT_EQ(ParseDate(Format(date, "mm/dd/yyyy")), DateOnly(date)) << day;
        ASSERT_EQ(ParseDate(Format(date, "mm/dd/yyyy hh:mm:ss AMPM")), date) << day;
        ASSERT_EQ(ParseDateTime(GeneralDate(date)), date) << day;
    }
}
