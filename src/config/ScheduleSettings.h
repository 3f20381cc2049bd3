#pragma once

#include "engine/Recordset.h"

#include <array>
#include <string>

namespace mallow {

/// The columns of the weekday start times, Monday to Sunday.
inline constexpr std::array<const char*, 7> WeekdayColumns = {
    "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

/// The schedule row as the Schedule tab shows and saves it: the texts as typed, the check boxes
/// as the values they store (0 unchecked, 1 checked, 2 greyed).
struct ScheduleSettings
{
    std::array<std::string, 7> times; ///< Monday ... Sunday
    std::string backup;
    int enabled = 0;
    int backUpAlso = 0;
    std::string keepDays;
    int sendDisconnectMessage = 0;
    std::string delay;
    std::string message;
    /// Read only: the option menus save these columns themselves.
    bool runAtStartup = false;
    bool minimizeAtStartup = false;
};

/// The check-box value a stored column stands for: 1 checked, 2 greyed, anything else (Null
/// included) unchecked.
int CheckValueOf(const engine::Value& stored);

/// Reads the first schedule row through a clone of `schedule`. Null texts read as empty text,
/// a Null BUDays as "1", Null check values as unchecked; the start-up options are set only
/// by a stored 1.
ScheduleSettings ReadScheduleSettings(const engine::Recordset& schedule);

/// Writes every setting but the start-up options to the first schedule row in one update,
/// through a clone of `schedule`, the engine converting the texts of the number columns. A
/// value the engine refuses raises its error, and nothing is written.
void SaveScheduleSettings(const engine::Recordset& schedule, const ScheduleSettings& settings);

} // namespace mallow
