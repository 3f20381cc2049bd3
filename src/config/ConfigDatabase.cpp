#include "ConfigDatabase.h"

#include "util/Paths.h"

namespace mallow {

using engine::Recordset;

ConfigDatabase::~ConfigDatabase()
{
    try {
        Close();
    } catch (...) {
        // Closing at destruction is best effort: the handles are released either way.
    }
}

std::string ConfigDatabase::DatabasePath(const std::string& folder)
{
    // Written with the folder's own separator, so messages show the path as the system does.
    return folder + SeparatorOf(folder) + "Compact20.mdb";
}

std::string ConfigDatabase::ConnectionStringFor(const std::string& databasePath)
{
    return std::string("Provider=Microsoft.Jet.OLEDB.4.0;") +
           "Persist Security Info=False;Data Source=" +
           engine::Connection::QuotedValue(databasePath);
}

std::unique_ptr<Recordset> ConfigDatabase::OpenKeyset(engine::Connection& connection,
                                                      const std::string& source, int options)
{
    auto rs = std::make_unique<Recordset>();
    rs->cursorType = engine::CursorType::Keyset;
    rs->lockType = engine::LockType::Optimistic;
    rs->Open(source, connection, options);
    return rs;
}

void ConfigDatabase::Open(const std::string& folder)
{
    Close();
    ConnectionString = ConnectionStringFor(DatabasePath(folder));
    // The folder is shared by a group of administrators: a link put in the database's place
    // would have everyone's Mallow write into the file it leads to.
    ConfigConnection->FollowLinks = false;
    ConfigConnection->Open(ConnectionString, "", "");
    AppsRecordset = OpenKeyset(*ConfigConnection, "Select * from Apps ORDER BY Apps.App;",
                               engine::adCmdText);
    ScheduleRecordset = OpenKeyset(*ConfigConnection, "Schedule", engine::adCmdTable);
    LogRecordset = OpenKeyset(*ConfigConnection, "Log", engine::adCmdTable);
    LogBackupRecordset = OpenKeyset(*ConfigConnection, "LogBackUp", engine::adCmdTable);
}

void ConfigDatabase::Close()
{
    for (auto* rs : {&AppsRecordset, &ScheduleRecordset, &LogRecordset, &LogBackupRecordset}) {
        if ((*rs)->IsOpen()) {
            // A change nobody saved (a browsed folder, say) is not written on the way out.
            if ((*rs)->EditPending())
                (*rs)->CancelUpdate();
            (*rs)->Close();
        }
        *rs = std::make_unique<Recordset>();
    }
    if (ConfigConnection->IsOpen())
        ConfigConnection->Close();
    ConfigConnection = std::make_unique<engine::Connection>();
}

void ConfigDatabase::ReplaceLogRecordset()
{
    LogRecordset = OpenKeyset(*ConfigConnection, "Log", engine::adCmdTable);
}

} // namespace mallow
