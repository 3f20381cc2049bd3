#include "ScheduleSettings.h"

namespace mallow {

int CheckValueOf(const engine::Value& stored)
{
    if (stored.IsNull())
        return 0;
    const auto value = stored.ToLong();
    return value == 1 || value == 2 ? static_cast<int>(value) : 0;
}

ScheduleSettings ReadScheduleSettings(const engine::Recordset& schedule)
{
    engine::Recordset row = schedule.Clone();
    row.MoveFirst();
    ScheduleSettings settings;
    for (std::size_t i = 0; i < WeekdayColumns.size(); ++i)
        settings.times[i] = row.Field(WeekdayColumns[i]).ToText();
    settings.backup = row.Field("Backup").ToText();
    settings.message = row.Field("DisconnectMessage").ToText();
    const engine::Value days = row.Field("BUDays");
    settings.keepDays = days.IsNull() ? "1" : days.ToText();
    settings.delay = row.Field("DelayBeforeDisconnect").ToText();
    settings.enabled = CheckValueOf(row.Field("Enabled"));
    settings.backUpAlso = CheckValueOf(row.Field("BUEnabled"));
    settings.sendDisconnectMessage = CheckValueOf(row.Field("SendDisconnectMsg"));
    const auto isOne = [](const engine::Value& v) { return !v.IsNull() && v.ToLong() == 1; };
    settings.runAtStartup = isOne(row.Field("RunAtStartup"));
    settings.minimizeAtStartup = isOne(row.Field("MinimizeAtStartup"));
    return settings;
}

void SaveScheduleSettings(const engine::Recordset& schedule, const ScheduleSettings& settings)
{
    engine::Recordset row = schedule.Clone();
    row.MoveFirst();
    try {
        for (std::size_t i = 0; i < WeekdayColumns.size(); ++i)
            row.SetField(WeekdayColumns[i], settings.times[i]);
        row.SetField("Backup", settings.backup);
        row.SetField("Enabled", settings.enabled);
        row.SetField("BUEnabled", settings.backUpAlso);
        row.SetField("BUDays", settings.keepDays);
        row.SetField("SendDisconnectMsg", settings.sendDisconnectMessage);
        row.SetField("DelayBeforeDisconnect", settings.delay);
        row.SetField("DisconnectMessage", settings.message);
        row.Update();
    } catch (...) {
        // Nothing of a failed save reaches the file: the row is written by Update alone.
        row.CancelUpdate();
        throw;
    }
}

} // namespace mallow
