#pragma once

namespace mallow {

/// The source of the current date and time as an automation date. Everything that stamps or
/// compares dates asks the clock it was handed, so tests can run at fixed times.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual double Now() const = 0;
};

/// The local time of this machine.
class SystemClock : public Clock
{
public:
    double Now() const override;
};

/// A clock that stands still until it is set.
class FixedClock : public Clock
{
public:
    explicit FixedClock(double now) : now(now) {}
    double Now() const override { return now; }
    void Set(double value) { now = value; }

private:
    double now;
};

} // namespace mallow
