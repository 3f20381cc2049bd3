#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mallow::dates {

/// Automation dates: days since 30 December 1899 as a double, the fraction being the time of
/// day. Before that day the integer part counts backwards and the fraction still runs forward
/// (-1.25 is 29 December 1899, 06:00).
struct DateTimeParts
{
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const DateTimeParts&) const = default;
};

/// Throws MallowError 5 for a date outside 1 January 100 to 31 December 9999 or a field out
/// of its range (month 13, 30 February, hour 24).
double ToAutomationDate(const DateTimeParts& parts);
/// Rounds to the nearest second.
DateTimeParts FromAutomationDate(double date);

double DateOnly(double date);       ///< the day, time of day dropped
double TimeOnly(double date);       ///< the time of day as a fraction of a day
double AddDays(double date, int days);
int Weekday(double date);           ///< 1 = Sunday ... 7 = Saturday
std::string WeekdayName(int weekday); ///< "Sunday" for 1
std::string MonthName(int month);     ///< "January" for 1

/// Formats a date with the codes the program uses, US English: d dd ddd dddd m mm mmm mmmm
/// yy yyyy h hh n nn s ss AMPM AM/PM am/pm, "c" for the general date; "mm" right after an hour
/// code means minutes. Other characters are copied; text in double quotes is literal.
/// Named formats: "General Date", "Short Date", "Long Date", "Short Time", "Long Time".
std::string Format(double date, std::string_view format);
/// "12/8/2026 1:05:03 AM"; only the date when there is no time, only the time when the day is 0.
std::string GeneralDate(double date);
/// "12/8/2026"
std::string ShortDate(double date);

/// Parses a time of day: "2:00 AM", "2 PM", "14:00", "14:00:30", "12:00 AM" (midnight).
/// Returns the fraction of a day, or nothing for text that is no time.
std::optional<double> ParseTime(std::string_view text);
/// Parses a date in month/day/year order with "/", "-" or "." between the parts ("3/5/2004",
/// "03-05-2004"), a two-digit year meaning 1930..2029, optionally followed by a time. Returns
/// nothing for text that is no date, never a guess: "02/30/2004" and "13/01/2004" are no date.
std::optional<double> ParseDate(std::string_view text);
/// Either a date (with optional time) or a bare time: what converting text to a date accepts.
std::optional<double> ParseDateTime(std::string_view text);

} // namespace mallow::dates
