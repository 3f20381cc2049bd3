#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mallow {

/// What the headless pass did, or in a dry run would do, to one database: the facts of its
/// line of output, its JSON object and its figures for monitoring.
struct DatabaseReport
{
    int position = 0;
    int count = 0;
    std::string path;
    /// "\\server" that holds it; "" for a database on no network path.
    std::string server;
    bool usersFound = false;
    bool warned = false;
    bool disconnected = false;
    bool compacted = false;
    /// Whether a back-up was asked for, and whether it was made (nothing when not tried).
    bool backupAsked = false;
    std::optional<bool> backedUp;
    std::int64_t sizeBefore = -1; ///< -1: not measured
    std::int64_t sizeAfter = -1;
    int usersDisconnected = 0;
    std::string outcome;
    std::string backupOutcome;
    /// Compacted, and backed up when asked (in a dry run: would be).
    bool ok = false;

    // A dry run's findings.
    /// Who holds it open on its server: "user on computer as Access user".
    std::vector<std::string> holders;
    /// What a pass would do: "would warn, disconnect and compact", "would not compact: ...".
    std::string plan;
};

struct PassSummary
{
    bool dryRun = false;
    bool backUp = false;
    int count = 0;
    int done = 0;
    int compacted = 0;
    int backedUp = 0;
    /// Stopped (SIGINT, SIGTERM) before the last database.
    bool stopped = false;
    /// Why no database was worked on at all (the configuration database could not be opened).
    std::string error;
    /// When the pass ended, in seconds since 1970, and how long it took.
    double endedAt = 0;
    double durationSeconds = 0;
    int exitStatus = 0;
};

/// The figures of a pass in the text format of the node exporter's text-file collector: per
/// database mallow_compaction_success, mallow_backup_success (when back-ups were asked for),
/// mallow_database_size_bytes{when="before"|"after"}, mallow_users_disconnected; for the pass
/// mallow_pass_success, mallow_pass_last_run_timestamp_seconds, mallow_pass_duration_seconds
/// and mallow_pass_databases{outcome="ok"|"failed"|"skipped"}. Every metric has its HELP and
/// TYPE lines and its samples together.
std::string MetricsText(const std::vector<DatabaseReport>& databases, const PassSummary& pass);
/// A label's value as the text format writes it: backslash, double quote and line feed escaped.
std::string LabelValue(const std::string& text);

/// One JSON object, on one line, for a database and for the summary.
std::string JsonLine(const DatabaseReport& database, bool dryRun);
std::string JsonLine(const PassSummary& pass);
/// A JSON string literal of a UTF-8 text.
std::string JsonString(const std::string& text);

} // namespace mallow
