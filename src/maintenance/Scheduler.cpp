#include "Scheduler.h"

#include "util/Dates.h"
#include "util/MallowError.h"

#include <cmath>

namespace mallow {

std::array<std::optional<double>, 7>
WeeklySchedule::ReadTimes(const std::array<engine::Value, 7>& columns)
{
    std::array<std::optional<double>, 7> times;
    for (std::size_t day = 0; day < columns.size(); ++day) {
        if (columns[day].IsNull())
            continue;
        const std::string text = columns[day].ToText();
        if (text.empty())
            continue;
        times[day] = dates::ParseTime(text);
        if (!times[day])
            RaiseRuntimeError(err::TypeMismatch, "Timer1_Timer");
    }
    return times;
}

int WeeklySchedule::DayIndex(double now)
{
    // Weekday counts Sunday as 1; the columns start on Monday.
    return (dates::Weekday(now) + 5) % 7;
}

bool WeeklySchedule::Due(const std::array<std::optional<double>, 7>& times, double now)
{
    const std::optional<double>& today = times[static_cast<std::size_t>(DayIndex(now))];
    if (!today || dates::Format(now, "hh:nn") != dates::Format(*today, "hh:nn"))
        return false;
    // The minute itself, as a whole number of minutes since the epoch of automation dates.
    const double minute = std::floor(now * 24 * 60 + 1e-6);
    if (lastStartMinute && *lastStartMinute == minute)
        return false;
    lastStartMinute = minute;
    return true;
}

} // namespace mallow
