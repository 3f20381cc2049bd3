#pragma once

#include <optional>
#include <string>

namespace quillon {

/// Automation dates, as the control's Value and events carry them: days since 30 December 1899
/// as a double, the fraction being the time of day. Before that day the whole part counts
/// backwards while the fraction still runs forward (-1.25 is 29 December 1899, 06:00). The
/// control keeps its own small date arithmetic so that it depends on nothing of its host.
namespace dates {

struct Civil
{
    int year;
    int month;
    int day;
};

/// The day of a date: its whole days since 30 December 1899, the time of day dropped.
long DayNumber(double date);
/// The time of day of a date as a fraction of a day, 0 <= fraction < 1.
double TimeOfDay(double date);
/// The date of day `day` at `timeOfDay`.
double MakeDate(long day, double timeOfDay);

double AddDays(double date, long days);
/// Whole days from the day of `from` to the day of `to`, times of day ignored.
long DaysBetween(double from, double to);

Civil CivilOf(long day);
long DayOf(const Civil& civil);

/// 1 for Monday ... 7 for Sunday.
int WeekdayMondayFirst(long day);

/// True for a finite date from 1 January 100 to 31 December 9999, the range of dates.
bool IsValid(double date);

/// The first day of the date's month, at the date's time of day.
double FirstOfMonth(double date);
/// The date `months` months later (earlier when negative), the day of the month kept where the
/// new month has it and cut to its last day otherwise; nothing when that leaves the range.
std::optional<double> AddMonths(double date, int months);

/// "January" for 1.
const char* MonthName(int month);
/// The month and year of a date, "February 2010".
std::string MonthAndYear(double date);
/// The day of the month of a day, two digits: "05".
std::string TwoDigitDay(long day);

} // namespace dates
} // namespace quillon
