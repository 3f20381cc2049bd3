#include "ApplicationList.h"

#include "ConfigDatabase.h"
#include "engine/Connection.h"

#include <algorithm>

namespace mallow {

int CountFilesInList(std::string_view fileList)
{
    const auto nuls = std::count(fileList.begin(), fileList.end(), '\0');
    return nuls == 0 ? 1 : static_cast<int>(nuls);
}

std::string GetFileFromList(std::string_view fileList, int fileNumber)
{
    const auto first = fileList.find('\0');
    if (first == std::string_view::npos)
        return std::string(fileList);
    std::string folder(fileList.substr(0, first));
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/'))
        folder += folder.find('/') != std::string::npos && folder.find('\\') == std::string::npos
                      ? '/'
                      : '\\';
    // The k-th name lies between the k-th and the (k+1)-th NUL of the text with a NUL added.
    const std::string text = std::string(fileList) + '\0';
    size_t start = std::string::npos;
    size_t at = 0;
    for (int k = 0; k < fileNumber; ++k) {
        at = text.find('\0', at);
        if (at == std::string::npos)
            return folder;
        start = ++at;
    }
    const auto end = text.find('\0', start);
    return folder + text.substr(start, end - start);
}

namespace {

// Moves a clone of `apps` onto the application `appId`.
engine::Recordset ApplicationRow(const engine::Recordset& apps, long appId)
{
    engine::Recordset row = apps.Clone();
    row.MoveFirst();
    row.Find("[App ID] = " + std::to_string(appId));
    return row;
}

// Adds one row through `apps` with `fill`; a row that fails to fill or write is dropped, so
// that no later write of `apps` can carry it into the table.
template <typename Fill> long AddRow(engine::Recordset& apps, Fill&& fill)
{
    apps.AddNew();
    try {
        const long id = static_cast<long>(apps.Field("App ID").ToLong());
        fill();
        apps.Update();
        return id;
    } catch (...) {
        if (apps.EditPending())
            apps.CancelUpdate();
        throw;
    }
}

} // namespace

ApplicationDetails ReadApplicationDetails(const engine::Recordset& apps, long appId)
{
    const engine::Recordset row = ApplicationRow(apps, appId);
    ApplicationDetails details;
    details.app = row.Field("App").ToText();
    details.password = row.Field("Password").ToText();
    details.mdw = row.Field("MDW").ToText();
    details.userName = row.Field("UserName").ToText();
    details.userPassword = row.Field("UserPassword").ToText();
    const engine::Value off = row.Field("LogUsersOff");
    details.logUsersOff = off.IsNull() ? 0 : static_cast<int>(off.ToLong());
    return details;
}

void SaveApplicationDetails(const engine::Recordset& apps, long appId,
                            const ApplicationDetails& details)
{
    engine::Recordset row = ApplicationRow(apps, appId);
    row.SetField("Password", details.password);
    row.SetField("MDW", details.mdw);
    row.SetField("UserName", details.userName);
    row.SetField("UserPassword", details.userPassword);
    row.SetField("LogUsersOff", details.logUsersOff);
    row.Update();
}

long AddApplications(engine::Recordset& apps, std::string_view dialogAnswer)
{
    const int count = CountFilesInList(dialogAnswer);
    long lastId = 0;
    for (int k = 1; k <= count; ++k)
        lastId = AddRow(apps, [&] { apps.SetField("App", GetFileFromList(dialogAnswer, k)); });
    apps.Requery();
    return lastId;
}

long ImportApplications(engine::Recordset& apps, const std::string& path)
{
    engine::Connection source;
    source.Open(ConfigDatabase::ConnectionStringFor(path), "", "");
    auto rows = ConfigDatabase::OpenKeyset(source, "Select * from Apps;", engine::adCmdText);
    long imported = 0;
    if (rows->RecordCount() > 0) {
        for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
            AddRow(apps, [&] {
                for (const char* column : {"App", "Password", "MDW", "UserName", "UserPassword"})
                    apps.SetField(column, rows->Field(column));
            });
            ++imported;
        }
        apps.Requery();
    }
    rows->Close();
    source.Close();
    return imported;
}

} // namespace mallow
