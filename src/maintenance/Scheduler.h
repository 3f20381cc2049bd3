#pragma once

#include "engine/Value.h"

#include <array>
#include <optional>

namespace mallow {

/// The weekly schedule's test, made at every tick of the one-minute timer: a pass starts when
/// the current minute is today's stored time, once in that minute.
class WeeklySchedule
{
public:
    /// The seven stored times, Monday to Sunday: Null or empty is no time; any other text is
    /// read as a time of day ("2:00 AM", "14:00"). Raises 13 when one is no time, whatever
    /// its day.
    static std::array<std::optional<double>, 7> ReadTimes(const std::array<engine::Value, 7>& columns);

    /// Whether a pass is due at `now` (an automation date): today's time, formatted "hh:nn",
    /// equals `now` formatted so, and no pass was started in this minute before. The day is
    /// taken by its number, not by its name, so any language of the system works.
    bool Due(const std::array<std::optional<double>, 7>& times, double now);

    /// The column of today among Monday (0) to Sunday (6).
    static int DayIndex(double now);

private:
    std::optional<double> lastStartMinute;
};

} // namespace mallow
