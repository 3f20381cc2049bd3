#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace mallow {

/// How far the long work of one database has come, written by the work and read by whoever
/// shows it (another thread); and the user's request to stop it. The work that runs on a
/// thread finds the object of its thread with Current().
class WorkProgress
{
public:
    struct Snapshot
    {
        std::string phase;       ///< "Compacting", "Checking", "Writing back", "Backing up"
        std::uint64_t done = 0;  ///< pages or bytes done
        std::uint64_t total = 0; ///< 0 while unknown
        bool stoppable = false;  ///< a stop would still leave the database as it was
        bool active = false;     ///< some work is under way
        /// Seconds since the phase began.
        double elapsed = 0;
    };

    /// Told of every report, on the thread of the work, after it is recorded (for tests that
    /// act at an exact point of the work).
    std::function<void(const std::string& phase, std::uint64_t done)> OnReport;

    /// Begins a phase (done and total start at 0; a new phase is measured from now).
    void Phase(const std::string& name, bool stoppable);
    void Advance(std::uint64_t done, std::uint64_t total);
    /// The work has no phase any more.
    void Finish();
    Snapshot Read() const;

    /// Asks the work to stop at its next point where that leaves the database as it was;
    /// false when it is past that point (or there is no work).
    bool RequestStop();
    /// Whether a stop was asked for while the work could still stop.
    bool StopRequested() const { return stopRequested.load(); }
    /// Forgets a request, for the next piece of work.
    void ClearStop() { stopRequested = false; }

    /// The progress of the work on this thread; null when nobody watches it.
    static WorkProgress* Current();
    /// Makes `progress` the current one of this thread for the scope's life.
    class Scope
    {
    public:
        explicit Scope(WorkProgress* progress);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        WorkProgress* previous;
    };

    /// A remaining time as text, once the phase has gone on long enough to tell: "about 40 s
    /// left", "about 3 min left"; "" before that.
    static std::string TimeLeft(const Snapshot& snapshot);
    /// "Compacting 42%, about 40 s left" (the phase alone while its size is unknown).
    static std::string Text(const Snapshot& snapshot);

private:
    mutable std::mutex mutex;
    std::string phase;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    bool stoppable = false;
    bool active = false;
    std::chrono::steady_clock::time_point began;
    std::atomic<bool> stopRequested{false};
};

/// Reports progress to the current WorkProgress, if any: `Phase` and `Advance` as there.
void ReportPhase(const std::string& name, bool stoppable);
void ReportProgress(std::uint64_t done, std::uint64_t total);
/// Whether the user asked the current work to stop.
bool StopRequested();
/// Raises error 18 saying that the user stopped the work of `what` and nothing was changed.
[[noreturn]] void RaiseStopped(const std::string& source);

/// Where long work runs. The window runs it on a thread of its own and goes on handling its
/// events until the work is done; the program without a window runs it as it comes. Either
/// way Run returns when the work has ended, raising what the work raised.
class WorkRunner
{
public:
    virtual ~WorkRunner() = default;
    virtual void Run(const std::function<void()>& work);

    /// The progress the work reports to.
    WorkProgress progress;
    /// Told true when a command's work begins and false when it has ended (BusyScope).
    std::function<void(bool)> busyChanged;
    /// Whether a command's work is under way.
    bool Busy() const { return depth > 0; }

private:
    friend class BusyScope;
    int depth = 0;
};

/// One command's work, from its first step to its last: while any lives, the runner is busy.
class BusyScope
{
public:
    explicit BusyScope(WorkRunner& runner);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    WorkRunner& runner;
};

/// The runner that runs work where it is called.
WorkRunner& InlineRunner();

} // namespace mallow
