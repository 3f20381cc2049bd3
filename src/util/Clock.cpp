#include "Clock.h"

#include "Dates.h"

#include <chrono>
#include <ctime>

namespace mallow {

double SystemClock::Now() const
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    return dates::ToAutomationDate({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                    local.tm_hour, local.tm_min, local.tm_sec});
}

} // namespace mallow
