#include "PassReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace mallow {

namespace {

std::string Number(double value)
{
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return std::to_string(static_cast<long long>(value));
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

std::string Labels(const DatabaseReport& database, const std::string& extra = "")
{
    std::string labels = "database=\"" + LabelValue(database.path) + "\",server=\"" +
                         LabelValue(database.server) + "\"";
    if (!extra.empty())
        labels += "," + extra;
    return "{" + labels + "}";
}

struct Metric
{
    std::string name;
    std::string help;
    std::vector<std::string> samples; ///< "{labels} value" or " value"
};

void Put(std::ostringstream& out, const Metric& metric)
{
    if (metric.samples.empty())
        return;
    out << "# HELP " << metric.name << " " << metric.help << "\n";
    out << "# TYPE " << metric.name << " gauge\n";
    for (const std::string& sample : metric.samples)
        out << metric.name << sample << "\n";
}

} // namespace

std::string LabelValue(const std::string& text)
{
    std::string escaped;
    for (const char c : text) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '"')
            escaped += "\\\"";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

std::string MetricsText(const std::vector<DatabaseReport>& databases, const PassSummary& pass)
{
    Metric compaction{"mallow_compaction_success",
                      "Whether the last pass compacted the database (1) or not (0).", {}};
    Metric backup{"mallow_backup_success",
                  "Whether the last pass backed the database up (1) or not (0).", {}};
    Metric size{"mallow_database_size_bytes",
                "The database's length before and after its last compaction.", {}};
    Metric disconnected{"mallow_users_disconnected",
                        "How many users' handles on the database the last pass closed.", {}};
    for (const DatabaseReport& database : databases) {
        compaction.samples.push_back(Labels(database) + " " + (database.compacted ? "1" : "0"));
        if (database.backupAsked)
            backup.samples.push_back(Labels(database) + " " +
                                     (database.backedUp.value_or(false) ? "1" : "0"));
        if (database.sizeBefore >= 0)
            size.samples.push_back(Labels(database, "when=\"before\"") + " " +
                                   std::to_string(database.sizeBefore));
        if (database.sizeAfter >= 0)
            size.samples.push_back(Labels(database, "when=\"after\"") + " " +
                                   std::to_string(database.sizeAfter));
        disconnected.samples.push_back(Labels(database) + " " +
                                       std::to_string(database.usersDisconnected));
    }
    int ok = 0;
    int failed = 0;
    for (const DatabaseReport& database : databases)
        (database.ok ? ok : failed) += 1;
    const int skipped = std::max(0, pass.count - static_cast<int>(databases.size()));

    std::ostringstream out;
    Put(out, compaction);
    Put(out, backup);
    Put(out, size);
    Put(out, disconnected);
    Put(out, {"mallow_pass_success",
              "Whether the last pass did all its work (1) or not (0).",
              {std::string(" ") + (pass.exitStatus == 0 ? "1" : "0")}});
    Put(out, {"mallow_pass_last_run_timestamp_seconds",
              "When the last pass ended, in seconds since 1970.",
              {" " + Number(pass.endedAt)}});
    Put(out, {"mallow_pass_duration_seconds", "How long the last pass took.",
              {" " + Number(pass.durationSeconds)}});
    Put(out, {"mallow_pass_databases",
              "The databases of the last pass by outcome: ok (compacted, and backed up when "
              "asked), failed, skipped (not reached).",
              {"{outcome=\"ok\"} " + std::to_string(ok),
               "{outcome=\"failed\"} " + std::to_string(failed),
               "{outcome=\"skipped\"} " + std::to_string(skipped)}});
    return out.str();
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string JsonLine(const DatabaseReport& database, bool dryRun)
{
    std::ostringstream out;
    const auto size = [](std::int64_t value) {
        return value < 0 ? std::string("null") : std::to_string(value);
    };
    out << "{\"position\":" << database.position << ",\"count\":" << database.count
        << ",\"database\":" << JsonString(database.path)
        << ",\"server\":" << JsonString(database.server);
    if (dryRun) {
        out << ",\"holders\":[";
        for (std::size_t i = 0; i < database.holders.size(); ++i)
            out << (i ? "," : "") << JsonString(database.holders[i]);
        out << "],\"would_warn\":" << (database.warned ? "true" : "false")
            << ",\"would_disconnect\":" << (database.disconnected ? "true" : "false")
            << ",\"would_compact\":" << (database.ok ? "true" : "false")
            << ",\"plan\":" << JsonString(database.plan) << "}";
        return out.str();
    }
    out << ",\"users_found\":" << (database.usersFound ? "true" : "false")
        << ",\"users_warned\":" << (database.warned ? "true" : "false")
        << ",\"users_disconnected\":" << database.usersDisconnected
        << ",\"compacted\":" << (database.compacted ? "true" : "false") << ",\"backed_up\":"
        << (database.backedUp ? (*database.backedUp ? "true" : "false") : "null")
        << ",\"size_before\":" << size(database.sizeBefore)
        << ",\"size_after\":" << size(database.sizeAfter)
        << ",\"ok\":" << (database.ok ? "true" : "false")
        << ",\"outcome\":" << JsonString(database.outcome)
        << ",\"backup_outcome\":" << JsonString(database.backupOutcome) << "}";
    return out.str();
}

std::string JsonLine(const PassSummary& pass)
{
    std::ostringstream out;
    out << "{\"summary\":true,\"dry_run\":" << (pass.dryRun ? "true" : "false")
        << ",\"databases\":" << pass.count << ",\"done\":" << pass.done;
    if (!pass.dryRun) {
        out << ",\"compacted\":" << pass.compacted << ",\"backup\":"
            << (pass.backUp ? "true" : "false") << ",\"backed_up\":" << pass.backedUp
            << ",\"stopped\":" << (pass.stopped ? "true" : "false")
            << ",\"duration_seconds\":" << Number(pass.durationSeconds)
            << ",\"ended_at\":" << Number(pass.endedAt);
    }
    if (!pass.error.empty())
        out << ",\"error\":" << JsonString(pass.error);
    out << ",\"exit_status\":" << pass.exitStatus << "}";
    return out.str();
}

} // namespace mallow
