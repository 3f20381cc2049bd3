#pragma once

#include "engine/Connection.h"
#include "engine/Recordset.h"

#include <memory>
#include <string>

namespace mallow {

/// Mallow's own database, Compact20.mdb in the program's state folder, with the shared connection and
/// the four long-lived row sets every part of the program reads and writes through. The five
/// objects always exist: until Open succeeds, and after Close, they are closed, and every use
/// of them raises the engine's error for a closed object.
class ConfigDatabase
{
public:
    ConfigDatabase() = default;
    ~ConfigDatabase();
    ConfigDatabase(const ConfigDatabase&) = delete;
    ConfigDatabase& operator=(const ConfigDatabase&) = delete;

    /// "<folder>\Compact20.mdb", with the folder's separator
    static std::string DatabasePath(const std::string& folder);
    /// The connection string of a database file; the path is quoted, so that any path works.
    static std::string ConnectionStringFor(const std::string& databasePath);

    /// Opens the connection, then the row sets on Apps, Schedule, Log and LogBackUp. Nothing is
    /// created or repaired: a missing or damaged file raises the engine's error. A row set that
    /// fails to open leaves the ones before it open; Close releases whatever is open.
    void Open(const std::string& folder);
    /// Closes Apps, Schedule, Log and LogBackup row sets in this order, then the connection,
    /// and releases them: closed objects take their places.
    void Close();
    bool IsOpen() const { return ConfigConnection->IsOpen(); }

    /// Each compaction appends to a freshly opened row set on Log; the old one is dropped.
    void ReplaceLogRecordset();

    /// Opens a row set the way the shared ones are: keyset cursor, optimistic locking.
    static std::unique_ptr<engine::Recordset> OpenKeyset(engine::Connection& connection,
                                                         const std::string& source, int options);

    std::string ConnectionString;
    std::unique_ptr<engine::Connection> ConfigConnection = std::make_unique<engine::Connection>();
    std::unique_ptr<engine::Recordset> AppsRecordset = std::make_unique<engine::Recordset>();
    std::unique_ptr<engine::Recordset> ScheduleRecordset = std::make_unique<engine::Recordset>();
    std::unique_ptr<engine::Recordset> LogRecordset = std::make_unique<engine::Recordset>();
    std::unique_ptr<engine::Recordset> LogBackupRecordset = std::make_unique<engine::Recordset>();
};

} // namespace mallow
