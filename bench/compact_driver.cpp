// Drives one compaction for bench_compact.sh, and times the parts of it that the tool it is
// compared with leaves out: the integrity check and the flush to disk of the copy.
//
//   compact_driver inplace FILE              compacts FILE where it lies (as Mallow does)
//   compact_driver compact SOURCE DESTINATION
//   compact_driver check FILE     PRAGMA integrity_check on FILE
//   compact_driver sync FILE      fsync of FILE and of its folder

#include "engine/DBEngine.h"
#include "util/MallowError.h"

#include <sqlite3.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

int Check(const char* path)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path, &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    bool ok = sqlite3_prepare_v2(db, "PRAGMA integrity_check(1)", -1, &stmt, nullptr) ==
                  SQLITE_OK &&
              sqlite3_step(stmt) == SQLITE_ROW &&
              std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))) == "ok";
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return ok ? 0 : 1;
}

int Sync(const std::string& path)
{
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    int rc = 0;
    for (const auto& [name, flags] : {std::pair{path, O_RDONLY},
                                      std::pair{folder, O_RDONLY | O_DIRECTORY}}) {
        const int fd = open(name.c_str(), flags);
        if (fd < 0 || fsync(fd) != 0)
            rc = 1;
        if (fd >= 0)
            close(fd);
    }
    return rc;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "inplace" && argc == 3) {
            mallow::engine::Engine().CompactDatabaseInPlace(argv[2]);
            return 0;
        }
        if (command == "compact" && argc == 4) {
            mallow::engine::Engine().CompactDatabase(argv[2], argv[3]);
            return 0;
        }
        if (command == "check" && argc == 3)
            return Check(argv[2]);
        if (command == "sync" && argc == 3)
            return Sync(argv[2]);
    } catch (const mallow::MallowError& error) {
        std::fprintf(stderr, "%ld : %s\n", error.Number(), error.Description().c_str());
        return 1;
    }
    std::fprintf(stderr, "usage: compact_driver inplace FILE | compact SOURCE DESTINATION | "
                         "check FILE | sync FILE\n");
    return 2;
}
