#pragma once

#include "fixtures/ChildProcess.h"
#include "fixtures/TempFolder.h"

#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace mallow::test {

/// Makes a database file at `path` from an SQL script, straight through SQLite.
void MakeDatabase(const std::string& path, const std::string& script);
/// Every file of a folder with its contents, to show that nothing was written.
std::map<std::string, std::string> FolderContents(const std::string& folder);

/// The number of the MallowError that `body` raises, or 0 when it raises none.
long ErrorNumberOf(const std::function<void()>& body);
/// The same, run in a child process without the power to write where permissions forbid it
/// (as an unprivileged user when the tests run as root). -1 when that cannot be arranged.
long ErrorNumberUnprivileged(const std::function<void()>& body);

/// Runs the mallowdb tool with `arguments`, its output discarded; its exit status.
int Mallowdb(const std::vector<std::string>& arguments);

/// A helper process holding a database open, talked to over pipes.
class LockHolder
{
public:
    explicit LockHolder(const std::string& databasePath);
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    /// The helper's first line ("open" or "error N"), waiting at most a few seconds.
    std::string FirstLine();
    /// Tells the helper to close the database and waits for it to end; its exit status.
    int Release();
    /// Kills the helper outright, as a crash would.
    void Kill();

private:
    ChildProcess child;
};

} // namespace mallow::test
