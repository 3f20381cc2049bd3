// The engine's walk over a large keyset recordset: open on 100,000 rows shaped like the compact
// log, then MoveNext through every row reading every field.
//
//   bench_engine make FILE [ROWS]   writes the table into a new database FILE
//   bench_engine walk FILE [--as-text]  one open and walk, for timing against other tools;
//                                       with --as-text every value is also turned into text
//   bench_engine [benchmark flags]  the same walk under Google Benchmark

#include "engine/Connection.h"
#include "engine/Recordset.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using mallow::engine::Connection;
using mallow::engine::Recordset;

constexpr const char* Fields[] = {"Event ID",    "App ID",     "Application", "Successful",
                                  "Size Before", "Size After", "TimeLogged",  "Comments"};

int MakeLog(const std::string& path, long rows)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK)
        return 1;
    const std::string sql =
        "CREATE TABLE Log (\"Event ID\" INTEGER PRIMARY KEY AUTOINCREMENT, \"App ID\" INTEGER, "
        "Application TEXT, Successful BOOLEAN, \"Size Before\" INTEGER, \"Size After\" INTEGER, "
        "TimeLogged DATETIME, Comments TEXT);"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        std::to_string(rows) +
        ") INSERT INTO Log (\"App ID\", Application, Successful, \"Size Before\", \"Size After\", "
        "TimeLogged, Comments) SELECT i % 40, '\\\\server\\data\\Sales\\Orders' || (i % 40) || "
        "'.mdb', i % 7 <> 0, 1048576 + i * 13, CASE WHEN i % 7 <> 0 THEN 524288 + i * 7 END, "
        "45000 + i / 97.0, CASE WHEN i % 7 = 0 THEN '3356 : The database is opened "
        "exclusively by user Admin on machine PC' || (i % 12) END FROM n;";
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK)
        std::fprintf(stderr, "bench_engine: %s\n", message ? message : "failed");
    sqlite3_free(message);
    sqlite3_close(db);
    return rc == SQLITE_OK ? 0 : 1;
}

// Opens a keyset recordset on the whole table and reads every field of every row.
std::size_t Walk(Connection& connection, bool asText = false)
{
    Recordset rs;
    rs.cursorType = mallow::engine::CursorType::Keyset;
    rs.lockType = mallow::engine::LockType::Optimistic;
    rs.Open("Log", connection, mallow::engine::adCmdTable);
    std::size_t touched = 0;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        for (const char* field : Fields) {
            const mallow::engine::Value value = rs.Field(field);
            touched +=
                asText ? value.ToText().size() : (value.IsNull() ? 0 : 1 + value.TextView().size());
        }
    }
    return touched;
}

std::string BenchDatabase()
{
    if (const char* given = std::getenv("MALLOW_BENCH_DB"))
        return given;
    static const std::string made = [] {
        const std::string path = (std::filesystem::temp_directory_path() /
                                  ("mallow-bench-" + std::to_string(getpid()) + ".mdb"))
                                     .string();
        std::filesystem::remove(path);
        if (MakeLog(path, 100000) != 0)
            std::exit(1);
        return path;
    }();
    return made;
}

void BM_OpenKeysetAndWalk100000Rows(benchmark::State& state)
{
    Connection connection;
    connection.OpenFile(BenchDatabase());
    for (auto _ : state)
        benchmark::DoNotOptimize(Walk(connection));
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_OpenKeysetAndWalk100000Rows)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "make" && (argc == 3 || argc == 4))
        return MakeLog(argv[2], argc == 4 ? std::atol(argv[3]) : 100000);
    if (command == "walk" && (argc == 3 || argc == 4)) {
        Connection connection;
        connection.OpenFile(argv[2]);
        std::printf("%zu\n", Walk(connection, argc == 4 && std::string(argv[3]) == "--as-text"));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!std::getenv("MALLOW_BENCH_DB"))
        std::filesystem::remove(BenchDatabase());
    return 0;
}
