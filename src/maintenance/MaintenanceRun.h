#pragma once

#include "maintenance/Compact.h"
#include "multiuser/MultiUser.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace mallow {

/// What a maintenance pass needs of the window that runs it (or of the headless program).
class PassHost
{
public:
    virtual ~PassHost() = default;
    /// Lets the window handle what is pending (clicks, keys, the clock); may wait up to
    /// `waitMs` for something to happen.
    virtual void ProcessPendingEvents(int waitMs = 0) = 0;
    /// The delay before disconnecting, as its box holds it now.
    virtual std::string DelayText() = 0;
    /// Seconds on a clock that only moves forward (midnight means nothing to it).
    virtual double ElapsedSeconds() = 0;
    virtual void SetTimerEnabled(bool enabled) = 0;
    virtual void SetBusy(bool busy) = 0;
    virtual void ClearSummary() = 0;
    virtual void ResetStatusPanels() = 0;
};

/// What the pass did for one database, for the headless program's report.
struct PassRecord
{
    int position = 0;
    int count = 0;
    std::string path;
    bool usersFound = false;
    bool messaged = false;
    bool disconnected = false;
    bool compacted = false;
    std::optional<bool> backedUp; ///< nothing when no back-up was made
    std::string outcome;          ///< the compaction's outcome text
    std::string backupOutcome;
    /// The file's length before and after the compaction; -1 when it was not measured.
    std::int64_t sizeBefore = -1;
    std::int64_t sizeAfter = -1;
    /// How many users' handles on the database were closed.
    int usersDisconnected = 0;
};

/// The pass over every application: warn and disconnect users where asked, compact, back up.
/// Errors of a step are ignored and the pass goes on with the next step; nothing is shown.
class MaintenanceRun
{
public:
    MaintenanceRun(ConfigDatabase& config, Compact& compact, StatusPanels& status, PassHost& host,
                   multiuser::UserSupervision& users, bool& continueRun, std::string& lastResultText)
        : config(config), compact(compact), status(status), host(host), users(users),
          continueRun(continueRun), lastResultText(lastResultText)
    {
    }

    void RunMaintenance(bool backUp);

    /// Told after each database, with what was done to it.
    std::function<void(const PassRecord&)> OnDatabaseDone;

    /// The delay text as a number of seconds; text that is no number counts as 0.
    static long DelaySeconds(const std::string& text);

private:
    void WaitBeforeDisconnecting();

    ConfigDatabase& config;
    Compact& compact;
    StatusPanels& status;
    PassHost& host;
    multiuser::UserSupervision& users;
    bool& continueRun;
    std::string& lastResultText;
};

/// Keeps a second pass over the same configuration database from starting, in this process or
/// another (the window and the headless program alike): held on the folder of that database.
class PassLock
{
public:
    explicit PassLock(const std::string& folder);
    ~PassLock();
    PassLock(const PassLock&) = delete;
    PassLock& operator=(const PassLock&) = delete;
    /// False when another pass holds it.
    bool Held() const { return fd >= 0; }

private:
    int fd = -1;
};

} // namespace mallow
