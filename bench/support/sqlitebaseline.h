#pragma once

// The sqlite3 engine as the benchmarks' baseline: RAII handles and the two set-up calls they share.

#include <QByteArray>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace condora::bench {

struct DbCloser
{
    void operator()(sqlite3 *db) const { sqlite3_close(db); }
};
struct StmtFinalizer
{
    void operator()(sqlite3_stmt *stmt) const { sqlite3_finalize(stmt); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;
using Stmt = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

/// Opens (or creates) the file; a benchmark cannot go on without it, so failure ends the program.
inline Db openDb(const QByteArray &path)
{
    sqlite3 *raw = nullptr;
    if (sqlite3_open(path.constData(), &raw) != SQLITE_OK) {
        std::fprintf(stderr, "cannot open %s\n", path.constData());
        std::exit(1);
    }
    return Db(raw);
}

/// Runs set-up SQL; failure ends the program.
inline void exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, error);
        std::exit(1);
    }
}

} // namespace condora::bench
