#include "CalendarDates.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quillon::dates {

namespace {

constexpr bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr int DaysInMonth(int year, int month)
{
    constexpr std::array<int, 12> lengths = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : lengths[month - 1];
}

// Days since 1 March of year 0 in the proleptic Gregorian calendar; counting from March puts
// the leap day at the end of each year.
constexpr long DaysFromCivil(long year, int month, int day)
{
    const long y = year - (month <= 2 ? 1 : 0);
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yearOfEra = y - era * 400;
    const long dayOfYear = (153L * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra;
}

constexpr long EpochDay = DaysFromCivil(1899, 12, 30);
constexpr long MinDay = DaysFromCivil(100, 1, 1) - EpochDay;
constexpr long MaxDay = DaysFromCivil(9999, 12, 31) - EpochDay;

constexpr std::array<const char*, 12> MonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

} // namespace

long DayNumber(double date)
{
    return static_cast<long>(std::trunc(date));
}

double TimeOfDay(double date)
{
    return std::fabs(date - std::trunc(date));
}

double MakeDate(long day, double timeOfDay)
{
    return day >= 0 ? static_cast<double>(day) + timeOfDay : static_cast<double>(day) - timeOfDay;
}

double AddDays(double date, long days)
{
    return MakeDate(DayNumber(date) + days, TimeOfDay(date));
}

long DaysBetween(double from, double to)
{
    return DayNumber(to) - DayNumber(from);
}

Civil CivilOf(long day)
{
    const long z = day + EpochDay;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long dayOfEra = z - era * 146097;
    const long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long mp = (5 * dayOfYear + 2) / 153;
    const int dayOfMonth = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return {static_cast<int>(year), month, dayOfMonth};
}

long DayOf(const Civil& civil)
{
    return DaysFromCivil(civil.year, civil.month, civil.day) - EpochDay;
}

int WeekdayMondayFirst(long day)
{
    // 30 December 1899 was a Saturday, day 6 counting from Monday.
    const long fromMonday = ((day + 5) % 7 + 7) % 7;
    return static_cast<int>(fromMonday) + 1;
}

bool IsValid(double date)
{
    return std::isfinite(date) && DayNumber(date) >= MinDay && DayNumber(date) <= MaxDay;
}

double FirstOfMonth(double date)
{
    return AddDays(date, 1 - CivilOf(DayNumber(date)).day);
}

std::optional<double> AddMonths(double date, int months)
{
    const Civil civil = CivilOf(DayNumber(date));
    const long monthIndex = static_cast<long>(civil.year) * 12 + (civil.month - 1) + months;
    const long year = monthIndex >= 0 ? monthIndex / 12 : (monthIndex - 11) / 12;
    const int month = static_cast<int>(monthIndex - year * 12) + 1;
    if (year < 100 || year > 9999)
        return std::nullopt;
    const int day = std::min(civil.day, DaysInMonth(static_cast<int>(year), month));
    return MakeDate(DayOf({static_cast<int>(year), month, day}), TimeOfDay(date));
}

const char* MonthName(int month)
{
    return month >= 1 && month <= 12 ? MonthNames[month - 1] : "";
}

std::string MonthAndYear(double date)
{
    const Civil civil = CivilOf(DayNumber(date));
    return std::string(MonthName(civil.month)) + ' ' + std::to_string(civil.year);
}

std::string TwoDigitDay(long day)
{
    const int dayOfMonth = CivilOf(day).day;
    return std::string(1, char('0' + dayOfMonth / 10)) + char('0' + dayOfMonth % 10);
}

} // namespace quillon::dates
