#include "LongPaths.h"

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>
#include <mutex>
#include <string>
#include <unordered_map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mallow::engine {

namespace {

sqlite3_vfs* systemVfs = nullptr;
sqlite3_vfs longPathVfs;

std::mutex foldersMutex;
std::unordered_map<std::string, int> folders;

// A descriptor of `folder`, kept for the life of the process: SQLite opens a database's journal
// by the short name whenever it writes, for as long as the database is open. A folder replaced
// under the same path gets a new descriptor; the old one stays for databases opened through it.
int FolderHandle(const std::string& folder)
{
    const std::lock_guard lock(foldersMutex);
    struct stat now = {};
    if (stat(folder.c_str(), &now) != 0)
        return -1;
    if (const auto found = folders.find(folder); found != folders.end()) {
        struct stat held = {};
        if (fstat(found->second, &held) == 0 && held.st_dev == now.st_dev &&
            held.st_ino == now.st_ino)
            return found->second;
    }
    const int fd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        folders[folder] = fd;
    return fd;
}

int FullPathname(sqlite3_vfs* vfs, const char* path, int size, char* out)
{
    const int rc = systemVfs->xFullPathname(vfs, path, size, out);
    if ((rc & 0xFF) == SQLITE_OK)
        return rc;
    // Too long for SQLite, as given or once its links are followed: name the file through a
    // descriptor of its folder instead.
    std::string full = path;
    if (full.empty())
        return rc;
    if (full.front() != '/') {
        std::error_code ec;
        const std::string here = std::filesystem::current_path(ec).string();
        if (ec)
            return rc;
        full = here + "/" + full;
    }
    const auto slash = full.rfind('/');
    const std::string name = full.substr(slash + 1);
    if (name.empty())
        return rc;
    const int fd = FolderHandle(slash == 0 ? "/" : full.substr(0, slash));
    if (fd < 0)
        return rc;
    const std::string alias = "/proc/self/fd/" + std::to_string(fd) + "/" + name;
    if (alias.size() + 1 > static_cast<std::size_t>(size))
        return rc;
    std::memcpy(out, alias.c_str(), alias.size() + 1);
    return SQLITE_OK;
}

// How long a file that is busy on its file system is tried again before its removal fails.
constexpr auto BusyDeleteWait = std::chrono::seconds(2);

int Delete(sqlite3_vfs* vfs, const char* path, int syncFolder)
{
    // On a network mount served through FUSE (smbnetfs) a file's close reaches the server after
    // close() has returned; removing the file at once (a rollback journal at the end of every
    // commit) then meets the server's sharing violation, EBUSY. The file is free a moment later.
    const auto deadline = std::chrono::steady_clock::now() + BusyDeleteWait;
    for (;;) {
        errno = 0;
        const int rc = systemVfs->xDelete(vfs, path, syncFolder);
        if (rc != SQLITE_IOERR_DELETE || errno != EBUSY ||
            std::chrono::steady_clock::now() >= deadline)
            return rc;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

void EnableLongPaths()
{
    static std::once_flag once;
    std::call_once(once, [] {
        systemVfs = sqlite3_vfs_find(nullptr);
        if (!systemVfs)
            return;
        longPathVfs = *systemVfs;
        longPathVfs.pNext = nullptr;
        longPathVfs.zName = "mallow-long-paths";
        longPathVfs.xFullPathname = FullPathname;
        longPathVfs.xDelete = Delete;
        sqlite3_vfs_register(&longPathVfs, 1);
    });
}

namespace {

// Every database of the process, whoever opens it, is reached the same way.
[[maybe_unused]] const bool installedAtStart = (EnableLongPaths(), true);

} // namespace

} // namespace mallow::engine
