#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct sqlite3;

namespace condora::ado {

/// The columns of a statement as Qt's SQLite driver and our type mapping report them.
struct SqliteColumns
{
    QStringList names;
    QList<int> types; // DataTypeEnum numbers, from the declared types
};

/// Compiles `sql` on SQLite's own handle, runs it to its first row and reads its columns,
/// without Qt's driver (whose record of a wide result costs more than the statement itself).
/// The names are the ones Qt's driver gives (double quotes removed). Nothing when the
/// statement does not simply run: it does not compile, holds parameters or a second
/// statement, or its first step fails or is stopped; the caller then runs it through Qt's
/// driver, which reports the failure in its own words.
std::optional<SqliteColumns> sqliteColumns(sqlite3 *db, const QString &sql);

} // namespace condora::ado
