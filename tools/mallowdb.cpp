// mallowdb: makes and prepares the database files that Mallow's engine opens.
//
//   mallowdb create FILE [SCRIPT]   a new database, optionally running an SQL script into it

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace {

int Usage()
{
    std::cerr << "usage: mallowdb create FILE [SCRIPT]\n";
    return 2;
}

int Create(const std::string& file, const std::string& script)
{
    struct stat st{};
    if (stat(file.c_str(), &st) == 0) {
        std::cerr << "mallowdb: " << file << " already exists\n";
        return 1;
    }
    std::string sql;
    if (!script.empty()) {
        std::ifstream in(script);
        if (!in) {
            std::cerr << "mallowdb: cannot read " << script << "\n";
            return 1;
        }
        std::ostringstream text;
        text << in.rdbuf();
        sql = text.str();
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::cerr << "mallowdb: " << sqlite3_errmsg(db) << "\n";
        sqlite3_close(db);
        return 1;
    }
    char* message = nullptr;
    // A database always has a schema page, so an empty one is still recognised as a database.
    const std::string all = "PRAGMA user_version = 1;\n" + sql;
    const int rc = sqlite3_exec(db, all.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        std::cerr << "mallowdb: " << (message ? message : "failed") << "\n";
        sqlite3_free(message);
        sqlite3_close(db);
        std::remove(file.c_str());
        return 1;
    }
    sqlite3_close(db);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    const std::string command = argv[1];
    if (command == "create" && argc <= 4)
        return Create(argv[2], argc == 4 ? argv[3] : "");
    return Usage();
}
