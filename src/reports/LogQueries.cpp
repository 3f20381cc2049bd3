#include "LogQueries.h"

#include "engine/Connection.h"
#include "engine/JetError.h"
#include "util/Dates.h"

namespace mallow {

namespace {

constexpr std::string_view AllApplications = "All (Show All)";

// The select lists and tables of the two logs; the filter and the order are the same for both.
constexpr std::string_view CompactLogSelect =
    "SELECT Log.[Event ID] as ID,Log.Application as App,"
    "Log.Successful,Log.[Size Before],Log.[Size After],Log.TimeLogged as Logged,Log.Comments "
    " From Log Where (Log.Application Like ?) AND "
    "(CDate(Format(Log.TimeLogged,'mm/dd/yyyy')) between ? and ?) "
    "Order by Log.TimeLogged DESC;";
constexpr std::string_view BackupLogSelect =
    "SELECT LogBackup.[Event ID] as ID,LogBackup.Application as App, "
    "LogBackup.Successful,LogBackup.TimeLogged as Logged,LogBackup.Comments "
    " From LogBackup Where (LogBackup.Application Like ?) AND "
    "(CDate(Format(LogBackup.TimeLogged,'mm/dd/yyyy')) between ? and ?) "
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
    const double first = LogFilterDate(begin);
    const double last = LogFilterDate(end);
    return {std::string(kind == LogKind::Compact ? CompactLogSelect : BackupLogSelect),
            {engine::Value(appPattern), engine::Value::Date(first), engine::Value::Date(last)}};
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

std::string ShortLogApplication(LogKind kind, std::string_view path)
{
    const auto at = path.find_last_of("\\/");
    const std::string_view fileName = at == std::string_view::npos ? path : path.substr(at + 1);
    std::string text(LeftChars(path, kind == LogKind::Compact ? 8 : 15));
    text += " ... ";
    text += fileName;
    return text;
}

std::string LogCellText(LogKind kind, int column, const engine::Value& value)
{
    if (column == 1 && !value.IsNull())
        return ShortLogApplication(kind, value.ToText());
    return value.ToText();
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
