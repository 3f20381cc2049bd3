#pragma once

#include <chrono>

namespace quillon::test {

/// The automation date of a day and time, worked out with the standard library's calendar so
/// that the tests do not check the control's arithmetic with itself.
inline double Date(int year, unsigned month, unsigned day, int hour = 0, int minute = 0)
{
    using namespace std::chrono;
    const auto days = sys_days{std::chrono::year{year} / month / day} -
                      sys_days{std::chrono::year{1899} / 12 / 30};
    return static_cast<double>(days.count()) + (hour * 60 + minute) / 1440.0;
}

} // namespace quillon::test
