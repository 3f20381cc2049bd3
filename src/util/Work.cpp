#include "Work.h"

#include "MallowError.h"

#include <algorithm>
#include <cmath>

namespace mallow {

namespace {

thread_local WorkProgress* current = nullptr;

} // namespace

void WorkProgress::Phase(const std::string& name, bool canStop)
{
    {
        std::lock_guard lock(mutex);
        phase = name;
        done = 0;
        total = 0;
        stoppable = canStop;
        active = true;
        began = std::chrono::steady_clock::now();
    }
    if (OnReport)
        OnReport(name, 0);
}

void WorkProgress::Advance(std::uint64_t doneNow, std::uint64_t totalNow)
{
    std::string now;
    {
        std::lock_guard lock(mutex);
        done = doneNow;
        total = totalNow;
        if (OnReport)
            now = phase;
    }
    if (OnReport)
        OnReport(now, doneNow);
}

void WorkProgress::Finish()
{
    std::lock_guard lock(mutex);
    phase.clear();
    done = total = 0;
    stoppable = false;
    active = false;
}

WorkProgress::Snapshot WorkProgress::Read() const
{
    std::lock_guard lock(mutex);
    Snapshot snapshot;
    snapshot.phase = phase;
    snapshot.done = done;
    snapshot.total = total;
    snapshot.stoppable = stoppable;
    snapshot.active = active;
    if (active)
        snapshot.elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    return snapshot;
}

bool WorkProgress::RequestStop()
{
    std::lock_guard lock(mutex);
    if (!active || !stoppable)
        return false;
    stopRequested = true;
    return true;
}

WorkProgress* WorkProgress::Current()
{
    return current;
}

WorkProgress::Scope::Scope(WorkProgress* progress) : previous(current)
{
    current = progress;
}

WorkProgress::Scope::~Scope()
{
    current = previous;
}

std::string WorkProgress::TimeLeft(const Snapshot& snapshot)
{
    if (snapshot.total == 0 || snapshot.done == 0 || snapshot.done >= snapshot.total ||
        snapshot.elapsed < 1.0)
        return {};
    const double fraction =
        static_cast<double>(snapshot.done) / static_cast<double>(snapshot.total);
    if (fraction < 0.02)
        return {};
    const double left = snapshot.elapsed * (1 - fraction) / fraction;
    if (left < 60)
        return "about " + std::to_string(std::max(1L, std::lround(left))) + " s left";
    return "about " + std::to_string(std::lround(left / 60)) + " min left";
}

std::string WorkProgress::Text(const Snapshot& snapshot)
{
    std::string text = snapshot.phase;
    if (snapshot.total > 0) {
        const auto percent = static_cast<int>(100.0 * static_cast<double>(snapshot.done) /
                                              static_cast<double>(snapshot.total));
        text += " " + std::to_string(std::min(percent, 100)) + "%";
    }
    if (const std::string left = TimeLeft(snapshot); !left.empty())
        text += ", " + left;
    return text;
}

void ReportPhase(const std::string& name, bool stoppable)
{
    if (WorkProgress* progress = WorkProgress::Current())
        progress->Phase(name, stoppable);
}

void ReportProgress(std::uint64_t done, std::uint64_t total)
{
    if (WorkProgress* progress = WorkProgress::Current())
        progress->Advance(done, total);
}

bool StopRequested()
{
    const WorkProgress* progress = WorkProgress::Current();
    return progress && progress->StopRequested();
}

void RaiseStopped(const std::string& source)
{
    throw MallowError(err::UserInterrupt, source,
                      "Stopped by the user before anything was changed.");
}

void WorkRunner::Run(const std::function<void()>& work)
{
    const WorkProgress::Scope scope(&progress);
    work();
}

BusyScope::BusyScope(WorkRunner& runner) : runner(runner)
{
    if (runner.depth++ == 0 && runner.busyChanged)
        runner.busyChanged(true);
}

BusyScope::~BusyScope()
{
    if (--runner.depth == 0) {
        runner.progress.Finish();
        runner.progress.ClearStop();
        if (runner.busyChanged)
            runner.busyChanged(false);
    }
}

WorkRunner& InlineRunner()
{
    static WorkRunner runner;
    return runner;
}

} // namespace mallow
