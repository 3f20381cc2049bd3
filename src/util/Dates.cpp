#include "Dates.h"

#include "MallowError.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <vector>

namespace mallow::dates {

namespace {

constexpr long SecondsPerDay = 86400;
constexpr int MinYear = 100;
constexpr int MaxYear = 9999;

constexpr std::array<const char*, 7> WeekdayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                     "Thursday", "Friday", "Saturday"};
constexpr std::array<const char*, 12> MonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

[[noreturn]] void InvalidArgument()
{
    throw MallowError(5, "Dates", "Invalid procedure call or argument");
}

constexpr bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr int DaysInMonth(int year, int month)
{
    constexpr std::array<int, 12> lengths = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : lengths[month - 1];
}

// Days since 1 March of year 0, proleptic Gregorian: counting years from March puts the leap
// day at the end of each year. Only positive years reach here.
constexpr long DaysFromCivil(int year, int month, int day)
{
    const int y = year - (month <= 2 ? 1 : 0);
    const long era = y / 400;
    const long yearOfEra = y - era * 400;
    const long dayOfYear = (153L * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra;
}

constexpr long EpochDay = DaysFromCivil(1899, 12, 30);
constexpr long MinDay = DaysFromCivil(MinYear, 1, 1) - EpochDay;
constexpr long MaxDay = DaysFromCivil(MaxYear, 12, 31) - EpochDay;

struct Civil
{
    int year;
    int month;
    int day;
};

Civil CivilFromDays(long serial)
{
    const long z = serial + EpochDay;
    const long era = z / 146097;
    const long dayOfEra = z - era * 146097;
    const long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long shiftedMonth = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

// A date as a day number and the whole seconds into that day: the form every calculation
// here works on, so that only Decode and Encode know how dates before day 0 are written.
struct Moment
{
    long day;
    long seconds;
};

Moment Decode(double date)
{
    if (!std::isfinite(date) || date <= static_cast<double>(MinDay - 1) ||
        date >= static_cast<double>(MaxDay + 1))
        InvalidArgument();
    const double whole = std::trunc(date);
    Moment moment{static_cast<long>(whole), std::lround(std::fabs(date - whole) * SecondsPerDay)};
    if (moment.seconds >= SecondsPerDay) {
        // Rounded up to the next midnight; the fraction runs forward on both sides of day 0.
        moment.seconds -= SecondsPerDay;
        ++moment.day;
        if (moment.day > MaxDay)
            moment = {MaxDay, SecondsPerDay - 1};
    }
    return moment;
}

double Encode(Moment moment)
{
    if (moment.day < MinDay || moment.day > MaxDay)
        InvalidArgument();
    const double fraction = static_cast<double>(moment.seconds) / SecondsPerDay;
    // Before day 0 the integer part counts backwards, the time of day still forwards.
    return moment.day >= 0 ? moment.day + fraction : moment.day - fraction;
}

std::string Padded(long value, int width)
{
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, width - digits.size(), '0');
    return digits;
}

char Lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != Lower(prefix[i]))
            return false;
    }
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

// ---- Formatting ------------------------------------------------------------------------

enum class Code {
    Literal,
    Day,
    Day2,
    DayAbbrev,
    DayName,
    ShortDate,
    LongDate,
    DayOfYear,
    Month,
    Month2,
    MonthAbbrev,
    MonthName,
    Year2,
    Year4,
    Hour,
    Hour2,
    Minute,
    Minute2,
    Second,
    Second2,
    AmPmDesignator, // AMPM: the designator of the locale, "AM" or "PM"
    AmPmText,       // AM/PM, am/pm, A/P, a/p: the written letters, in their case
    General
};

struct Token
{
    Code code;
    std::string text;
};

bool IsBlankChar(char c)
{
    return c == ' ' || c == '\t';
}

std::size_t RunLength(std::string_view format, std::size_t at)
{
    const char letter = Lower(format[at]);
    std::size_t end = at;
    while (end < format.size() && Lower(format[end]) == letter)
        ++end;
    return end - at;
}

std::vector<Token> Tokenize(std::string_view format)
{
    std::vector<Token> tokens;
    auto literal = [&tokens](std::string_view text) {
        if (!tokens.empty() && tokens.back().code == Code::Literal)
            tokens.back().text.append(text);
        else
            tokens.push_back({Code::Literal, std::string(text)});
    };
    // "m" and "mm" mean minutes when the code before them, literals aside, was an hour.
    bool afterHour = false;
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        const char lc = Lower(c);
        if (c == '"') {
            const std::size_t close = format.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? format.size() : close;
            literal(format.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        if (c == '\\') {
            if (i + 1 < format.size())
                literal(format.substr(i + 1, 1));
            i += 2;
            continue;
        }
        if (lc == 'a') {
            const std::string_view rest = format.substr(i);
            const std::size_t length = StartsWithNoCase(rest, "am/pm") ? 5
                                       : StartsWithNoCase(rest, "a/p") ? 3
                                                                       : 0;
            if (length > 0) {
                tokens.push_back({Code::AmPmText, std::string(rest.substr(0, length))});
                i += length;
                afterHour = false;
                continue;
            }
            if (StartsWithNoCase(rest, "ampm")) {
                tokens.push_back({Code::AmPmDesignator, {}});
                i += 4;
                afterHour = false;
                continue;
            }
        }
        if (lc == 'c') {
            tokens.push_back({Code::General, {}});
            ++i;
            afterHour = false;
            continue;
        }
        if (lc != 'd' && lc != 'm' && lc != 'y' && lc != 'h' && lc != 'n' && lc != 's') {
            literal(format.substr(i, 1));
            ++i;
            continue;
        }
        const std::size_t run = RunLength(format, i);
        std::size_t used = 0;
        Code code = Code::Literal;
        switch (lc) {
        case 'd': {
            constexpr std::array<Code, 6> codes = {Code::Day,     Code::Day2,      Code::DayAbbrev,
                                                   Code::DayName, Code::ShortDate, Code::LongDate};
            used = std::min<std::size_t>(run, codes.size());
            code = codes[used - 1];
            break;
        }
        case 'm': {
            constexpr std::array<Code, 4> codes = {Code::Month, Code::Month2, Code::MonthAbbrev,
                                                   Code::MonthName};
            used = std::min<std::size_t>(run, codes.size());
            code = codes[used - 1];
            if (afterHour && used <= 2)
                code = used == 1 ? Code::Minute : Code::Minute2;
            break;
        }
        case 'y':
            used = run >= 4 ? 4 : run >= 2 ? 2 : 1;
            code = used == 4 ? Code::Year4 : used == 2 ? Code::Year2 : Code::DayOfYear;
            break;
        case 'h':
            used = std::min<std::size_t>(run, 2);
            code = used == 1 ? Code::Hour : Code::Hour2;
            break;
        case 'n':
            used = std::min<std::size_t>(run, 2);
            code = used == 1 ? Code::Minute : Code::Minute2;
            break;
        default: // 's'
            used = std::min<std::size_t>(run, 2);
            code = used == 1 ? Code::Second : Code::Second2;
            break;
        }
        tokens.push_back({code, {}});
        afterHour = code == Code::Hour || code == Code::Hour2;
        i += used;
    }
    return tokens;
}

std::string FormatTokens(double date, const std::vector<Token>& tokens)
{
    const Moment moment = Decode(date);
    const Civil civil = CivilFromDays(moment.day);
    const long hour = moment.seconds / 3600;
    const long minute = moment.seconds / 60 % 60;
    const long second = moment.seconds % 60;
    bool twelveHour = false;
    for (const Token& token : tokens)
        twelveHour |= token.code == Code::AmPmDesignator || token.code == Code::AmPmText;
    const long shownHour = twelveHour ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
    const bool pm = hour >= 12;
    const int weekday = Weekday(date);

    std::string out;
    for (const Token& token : tokens) {
        switch (token.code) {
        case Code::Literal:
            out += token.text;
            break;
        case Code::Day:
            out += std::to_string(civil.day);
            break;
        case Code::Day2:
            out += Padded(civil.day, 2);
            break;
        case Code::DayAbbrev:
            out += WeekdayName(weekday).substr(0, 3);
            break;
        case Code::DayName:
            out += WeekdayName(weekday);
            break;
        case Code::ShortDate:
            out += ShortDate(date);
            break;
        case Code::LongDate:
            out += Format(date, "Long Date");
            break;
        case Code::DayOfYear:
            out += std::to_string(moment.day - (DaysFromCivil(civil.year, 1, 1) - EpochDay) + 1);
            break;
        case Code::Month:
            out += std::to_string(civil.month);
            break;
        case Code::Month2:
            out += Padded(civil.month, 2);
            break;
        case Code::MonthAbbrev:
            out += MonthName(civil.month).substr(0, 3);
            break;
        case Code::MonthName:
            out += MonthName(civil.month);
            break;
        case Code::Year2:
            out += Padded(civil.year % 100, 2);
            break;
        case Code::Year4:
            out += Padded(civil.year, 4);
            break;
        case Code::Hour:
            out += std::to_string(shownHour);
            break;
        case Code::Hour2:
            out += Padded(shownHour, 2);
            break;
        case Code::Minute:
            out += std::to_string(minute);
            break;
        case Code::Minute2:
            out += Padded(minute, 2);
            break;
        case Code::Second:
            out += std::to_string(second);
            break;
        case Code::Second2:
            out += Padded(second, 2);
            break;
        case Code::AmPmDesignator:
            out += pm ? "PM" : "AM";
            break;
        case Code::AmPmText:
            // "AM/PM" keeps the two letters on the chosen side, "A/P" the one letter.
            if (token.text.size() == 5)
                out += pm ? token.text.substr(3, 2) : token.text.substr(0, 2);
            else
                out += pm ? token.text.substr(2, 1) : token.text.substr(0, 1);
            break;
        case Code::General:
            out += GeneralDate(date);
            break;
        }
    }
    return out;
}

struct NamedFormat
{
    std::string_view name;
    std::string_view codes;
};

constexpr std::array<NamedFormat, 6> NamedFormats = {{
    {"Long Date", "dddd, mmmm dd, yyyy"},
    {"Medium Date", "dd-mmm-yy"},
    {"Short Date", "m/d/yyyy"},
    {"Long Time", "h:nn:ss AMPM"},
    {"Medium Time", "hh:nn AMPM"},
    {"Short Time", "hh:nn"},
}};

// ---- Parsing ---------------------------------------------------------------------------

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlankChar(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlankChar(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads the digits at the front of text, at most maxDigits of them; a longer run is no
// number at all, so "002:00" is refused rather than read as something else.
std::optional<int> TakeNumber(std::string_view& text, std::size_t maxDigits,
                              std::size_t* digitCount = nullptr)
{
    std::size_t count = 0;
    while (count < text.size() && IsDigit(text[count]))
        ++count;
    if (count == 0 || count > maxDigits)
        return std::nullopt;
    int value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value = value * 10 + (text[i] - '0');
    text.remove_prefix(count);
    if (digitCount)
        *digitCount = count;
    return value;
}

bool TakeChar(std::string_view& text, char c)
{
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
}

// Seconds into the day of a time that fills all of the (trimmed) text.
std::optional<long> ParseSecondsOfDay(std::string_view text)
{
    const auto hour = TakeNumber(text, 2);
    if (!hour)
        return std::nullopt;
    int minute = 0;
    int second = 0;
    bool hasColon = false;
    if (TakeChar(text, ':')) {
        hasColon = true;
        const auto minutes = TakeNumber(text, 2);
        if (!minutes)
            return std::nullopt;
        minute = *minutes;
        if (TakeChar(text, ':')) {
            const auto seconds = TakeNumber(text, 2);
            if (!seconds)
                return std::nullopt;
            second = *seconds;
        }
    }
    text = Trimmed(text);
    std::optional<bool> pm;
    if (EqualsNoCase(text, "am") || EqualsNoCase(text, "a"))
        pm = false;
    else if (EqualsNoCase(text, "pm") || EqualsNoCase(text, "p"))
        pm = true;
    else if (!text.empty())
        return std::nullopt;
    // A bare number is no time: "14" could as well be a day or a count.
    if (!hasColon && !pm)
        return std::nullopt;
    if (minute > 59 || second > 59)
        return std::nullopt;
    int hour24 = *hour;
    if (pm) {
        if (*hour < 1 || *hour > 12)
            return std::nullopt;
        hour24 = *hour % 12 + (*pm ? 12 : 0);
    } else if (*hour > 23) {
        return std::nullopt;
    }
    return hour24 * 3600L + minute * 60L + second;
}

} // namespace

double ToAutomationDate(const DateTimeParts& parts)
{
    if (parts.year < MinYear || parts.year > MaxYear || parts.month < 1 || parts.month > 12 ||
        parts.day < 1 || parts.day > DaysInMonth(parts.year, parts.month) || parts.hour < 0 ||
        parts.hour > 23 || parts.minute < 0 || parts.minute > 59 || parts.second < 0 ||
        parts.second > 59)
        InvalidArgument();
    const long day = DaysFromCivil(parts.year, parts.month, parts.day) - EpochDay;
    return Encode({day, parts.hour * 3600L + parts.minute * 60L + parts.second});
}

DateTimeParts FromAutomationDate(double date)
{
    const Moment moment = Decode(date);
    const Civil civil = CivilFromDays(moment.day);
    return {civil.year,
            civil.month,
            civil.day,
            static_cast<int>(moment.seconds / 3600),
            static_cast<int>(moment.seconds / 60 % 60),
            static_cast<int>(moment.seconds % 60)};
}

double DateOnly(double date)
{
    return Encode({Decode(date).day, 0});
}

double TimeOnly(double date)
{
    return static_cast<double>(Decode(date).seconds) / SecondsPerDay;
}

double AddDays(double date, int days)
{
    const Moment moment = Decode(date);
    return Encode({moment.day + days, moment.seconds});
}

int Weekday(double date)
{
    // Day 0, 30 December 1899, was a Saturday.
    const long day = Decode(date).day;
    return static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;
}

std::string WeekdayName(int weekday)
{
    if (weekday < 1 || weekday > 7)
        InvalidArgument();
    return WeekdayNames[weekday - 1];
}

std::string MonthName(int month)
{
    if (month < 1 || month > 12)
        InvalidArgument();
    return MonthNames[month - 1];
}

std::string Format(double date, std::string_view format)
{
    if (format.empty() || EqualsNoCase(format, "General Date"))
        return GeneralDate(date);
    for (const NamedFormat& named : NamedFormats) {
        if (EqualsNoCase(format, named.name))
            return FormatTokens(date, Tokenize(named.codes));
    }
    return FormatTokens(date, Tokenize(format));
}

std::string GeneralDate(double date)
{
    const Moment moment = Decode(date);
    if (moment.day == 0)
        return Format(date, "Long Time");
    if (moment.seconds == 0)
        return ShortDate(date);
    return ShortDate(date) + ' ' + Format(date, "Long Time");
}

std::string ShortDate(double date)
{
    return Format(date, "Short Date");
}

std::optional<double> ParseTime(std::string_view text)
{
    const auto seconds = ParseSecondsOfDay(Trimmed(text));
    if (!seconds)
        return std::nullopt;
    return static_cast<double>(*seconds) / SecondsPerDay;
}

std::optional<double> ParseDate(std::string_view text)
{
    text = Trimmed(text);
    const auto month = TakeNumber(text, 2);
    if (!month || text.empty())
        return std::nullopt;
    const char separator = text.front();
    if (separator != '/' && separator != '-' && separator != '.')
        return std::nullopt;
    text.remove_prefix(1);
    const auto day = TakeNumber(text, 2);
    if (!day || !TakeChar(text, separator))
        return std::nullopt;
    std::size_t yearDigits = 0;
    auto year = TakeNumber(text, 4, &yearDigits);
    if (!year)
        return std::nullopt;
    if (yearDigits <= 2)
        *year += *year < 30 ? 2000 : 1900;
    if (*year < MinYear || *year > MaxYear || *month < 1 || *month > 12 || *day < 1 ||
        *day > DaysInMonth(*year, *month))
        return std::nullopt;

    long seconds = 0;
    if (!text.empty()) {
        // A time may follow, set off by at least one blank.
        if (!IsBlankChar(text.front()))
            return std::nullopt;
        const auto time = ParseSecondsOfDay(Trimmed(text));
        if (!time)
            return std::nullopt;
        seconds = *time;
    }
    return Encode({DaysFromCivil(*year, *month, *day) - EpochDay, seconds});
}

std::optional<double> ParseDateTime(std::string_view text)
{
    if (const auto date = ParseDate(text))
        return date;
    return ParseTime(text);
}

} // namespace mallow::dates
