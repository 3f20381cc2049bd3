#pragma once

#include "engine/Value.h"

#include <string>
#include <string_view>
#include <vector>

namespace mallow {

namespace engine {
class Connection;
}

/// The two logs of the configuration database the results view reads.
enum class LogKind { Compact, Backup };

/// A statement in the engine's dialect with the values of its `?` marks, in order.
struct LogQuery
{
    std::string sql;
    std::vector<engine::Value> parameters;
};

/// The application filter's text as the query's Like pattern: "%" (every application) for
/// "All (Show All)" and for an empty text; any other text as it stands, its "%" and "_"
/// still acting as wildcards.
std::string LogApplicationPattern(std::string_view comboText);

/// A day of the date filter as the engine reads a date: month/day/year, optionally with a time.
/// Raises 3075, naming the text, when it is no date.
double LogFilterDate(std::string_view text);

/// The query of one log for the applications matching `appPattern` and the days from `begin`
/// to `end` (both included, by the day of TimeLogged), newest first. The pattern and both
/// dates are parameters, never part of the statement's text. Raises 3075 for a date text that
/// is no date.
LogQuery BuildLogQuery(LogKind kind, const std::string& appPattern, std::string_view begin,
                       std::string_view end);

/// The width in twips the results grid gives column `column` of a log (0 for the hidden ID;
/// 1440 for a column beyond the log's own).
int LogColumnWidth(LogKind kind, int column);

/// How column 1 shows an application path: its first 8 characters (compact log) or 15
/// (back-up log), " ... ", and the file name after its last separator ("\" or "/").
std::string ShortLogApplication(LogKind kind, std::string_view path);

/// The text of one cell of the results grid: the shortened path in column 1, otherwise the
/// field's value as text (True/False, the general date form, plain numbers, "" for Null).
std::string LogCellText(LogKind kind, int column, const engine::Value& value);
/// LogCellText appended to `out`, without a copy of its own when the value is text.
void AppendLogCellText(LogKind kind, int column, const engine::Value& value, std::string& out);

/// The general date form of a date ("12/8/2026 1:05:03 AM"; the date alone at midnight, the
/// time alone on day 0) appended to `out`.
void AppendGeneralDate(double date, std::string& out);

/// Deletes the rows of both logs logged before the moment `dayText` names (for a bare day its
/// start, so that day's rows stay), Log first, then LogBackup. Returns false, deleting nothing,
/// when the text is no date. An engine error of the second statement leaves the first one's
/// deletions.
bool RemoveLogDataBefore(engine::Connection& connection, std::string_view dayText);

} // namespace mallow
