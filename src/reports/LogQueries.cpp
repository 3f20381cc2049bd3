#include "LogQueries.h"

#include "engine/Connection.h"
#include "engine/JetError.h"
#include "util/Dates.h"

#include <charconv>
#include <cmath>

namespace mallow {

namespace {

constexpr std::string_view AllApplications = "All (Show All)";

// The select lists and tables of the two logs; the filter and the order are the same for both.
// A row's day lies between the two days exactly when its time lies from the start of the first
// day to the start of the day after the last: so the log's index on TimeLogged finds the rows,
// in order, and no row's time is turned into text and back to find its day.
constexpr std::string_view CompactLogSelect =
    "SELECT Log.[Event ID] as ID,Log.Application as App,"
    "Log.Successful,Log.[Size Before],Log.[Size After],Log.TimeLogged as Logged,Log.Comments "
    " From Log Where (Log.Application Like ?) AND "
    "(Log.TimeLogged >= ? AND Log.TimeLogged < ?) "
    "Order by Log.TimeLogged DESC;";
constexpr std::string_view BackupLogSelect =
    "SELECT LogBackup.[Event ID] as ID,LogBackup.Application as App, "
    "LogBackup.Successful,LogBackup.TimeLogged as Logged,LogBackup.Comments "
    " From LogBackup Where (LogBackup.Application Like ?) AND "
    "(LogBackup.TimeLogged >= ? AND LogBackup.TimeLogged < ?) "
    "Order by LogBackup.TimeLogged DESC;";

constexpr int CompactLogWidths[] = {0, 2000, 1000, 1000, 1000, 1600, 1800};
constexpr int BackupLogWidths[] = {0, 3000, 1000, 2000, 2500};
constexpr int OtherColumnWidth = 1440;

// The first `count` characters of UTF-8 text; a character's bytes are never split.
std::string_view LeftChars(std::string_view text, int count)
{
    std::size_t end = 0;
    for (int chars = 0; end < text.size() && chars < count; ++chars) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            ++end;
    }
    return text.substr(0, end);
}

} // namespace

std::string LogApplicationPattern(std::string_view comboText)
{
    if (comboText.empty() || comboText == AllApplications)
        return "%";
    return std::string(comboText);
}

double LogFilterDate(std::string_view text)
{
    const std::optional<double> date = dates::ParseDateTime(text);
    if (!date)
        engine::RaiseJetText(engine::jet::SyntaxError,
                             "Syntax error in date in query expression '#" + std::string(text) +
                                 "#'.");
    return *date;
}

LogQuery BuildLogQuery(LogKind kind, const std::string& appPattern, std::string_view begin,
                       std::string_view end)
{
    // A day given with a time of day counts from the next whole day, as comparing whole days
    // with it does.
    const double from = std::ceil(LogFilterDate(begin));
    const double before = std::floor(LogFilterDate(end)) + 1;
    return {std::string(kind == LogKind::Compact ? CompactLogSelect : BackupLogSelect),
            {engine::Value(appPattern), engine::Value::Date(from), engine::Value::Date(before)}};
}

int LogColumnWidth(LogKind kind, int column)
{
    if (column < 0)
        return OtherColumnWidth;
    const auto index = static_cast<std::size_t>(column);
    if (kind == LogKind::Compact)
        return index < std::size(CompactLogWidths) ? CompactLogWidths[index] : OtherColumnWidth;
    return index < std::size(BackupLogWidths) ? BackupLogWidths[index] : OtherColumnWidth;
}

namespace {

void AppendNumber(long value, int width, std::string& out)
{
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    for (auto shown = end - digits; shown < width; ++shown)
        out += '0';
    out.append(digits, end);
}

} // namespace

void AppendGeneralDate(double date, std::string& out)
{
    const dates::DateTimeParts parts = dates::FromAutomationDate(date);
    const bool timeOnly = parts.year == 1899 && parts.month == 12 && parts.day == 30;
    const bool dateOnly = parts.hour == 0 && parts.minute == 0 && parts.second == 0;
    if (!timeOnly) {
        AppendNumber(parts.month, 1, out);
        out += '/';
        AppendNumber(parts.day, 1, out);
        out += '/';
        AppendNumber(parts.year, 4, out);
        if (dateOnly)
            return;
        out += ' ';
    }
    AppendNumber(parts.hour % 12 == 0 ? 12 : parts.hour % 12, 1, out);
    out += ':';
    AppendNumber(parts.minute, 2, out);
    out += ':';
    AppendNumber(parts.second, 2, out);
    out += parts.hour >= 12 ? " PM" : " AM";
}

namespace {

void AppendShortApplication(LogKind kind, std::string_view path, std::string& out)
{
    const auto at = path.find_last_of("\\/");
    const std::string_view fileName = at == std::string_view::npos ? path : path.substr(at + 1);
    out += LeftChars(path, kind == LogKind::Compact ? 8 : 15);
    out += " ... ";
    out += fileName;
}

} // namespace

std::string ShortLogApplication(LogKind kind, std::string_view path)
{
    std::string text;
    AppendShortApplication(kind, path, text);
    return text;
}

void AppendLogCellText(LogKind kind, int column, const engine::Value& value, std::string& out)
{
    // Dates are the most of a log's cells: they are written here directly, in the general form.
    if (value.GetType() == engine::Value::Type::Date && column != 1) {
        AppendGeneralDate(value.ToDouble(), out);
    } else if (value.GetType() != engine::Value::Type::Text) {
        if (column == 1 && !value.IsNull())
            AppendShortApplication(kind, value.ToText(), out);
        else
            out += value.ToText();
    } else if (column == 1) {
        AppendShortApplication(kind, value.TextView(), out);
    } else {
        out += value.TextView();
    }
}

std::string LogCellText(LogKind kind, int column, const engine::Value& value)
{
    std::string text;
    AppendLogCellText(kind, column, value, text);
    return text;
}

bool RemoveLogDataBefore(engine::Connection& connection, std::string_view dayText)
{
    const std::optional<double> day = dates::ParseDateTime(dayText);
    if (!day)
        return false;
    const std::vector<engine::Value> before{engine::Value::Date(*day)};
    connection.Execute("Delete Log.* From Log WHERE (((Log.TimeLogged)<?));", before);
    connection.Execute("Delete LogBackup.* From LogBackup WHERE (((LogBackup.TimeLogged)<?));",
                       before);
    return true;
}

} // namespace mallow
