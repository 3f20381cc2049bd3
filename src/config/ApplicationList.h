#pragma once

#include "engine/Recordset.h"

#include <string>
#include <string_view>

namespace mallow {

/// How many files a file-open dialog's answer names: the number of NUL characters in it, or 1
/// when it holds none (a single full path).
int CountFilesInList(std::string_view fileList);
/// The full path of file number `fileNumber` (from 1) of a dialog's answer.
std::string GetFileFromList(std::string_view fileList, int fileNumber);

/// The security details of one application, as the Applications tab shows and saves them.
struct ApplicationDetails
{
    std::string app;
    std::string password;
    std::string mdw;
    std::string userName;
    std::string userPassword;
    int logUsersOff = 0; ///< the check box's value: 0, 1, or 2 for greyed
};

/// The details of the application `appId`, found from the first row of a clone of `apps`;
/// Null texts read as empty text. 3021 when there is no such application.
ApplicationDetails ReadApplicationDetails(const engine::Recordset& apps, long appId);
/// Writes the details (all but App) to the application `appId` in one update.
void SaveApplicationDetails(const engine::Recordset& apps, long appId,
                            const ApplicationDetails& details);

/// Adds one application per file of a file-open dialog's answer, in order, then requeries
/// `apps`. Returns the App ID of the last one. A file that fails to add is not left pending:
/// the error is raised and the files before it stay added.
long AddApplications(engine::Recordset& apps, std::string_view dialogAnswer);

/// Adds the applications of the Apps table of an older configuration database at `path`,
/// with their passwords, workgroup files and users, then requeries `apps`. Returns how many
/// were imported (0 when the table has none). A record that fails to import is cancelled and
/// its error raised; the records before it stay imported.
long ImportApplications(engine::Recordset& apps, const std::string& path);

} // namespace mallow
