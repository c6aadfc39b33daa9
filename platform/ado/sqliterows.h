#pragma once

#include <QSqlError>

struct sqlite3_stmt;
class QSqlQuery;

namespace condora::ado {

class RowStore;

// Reading rows of Qt's SQLite driver straight from its statement handle. The driver turns
// every value into a QVariant (text through UTF-16); the row store keeps UTF-8, so reading the
// handle ourselves saves both conversions and every allocation per value.

/// The statement handle under `query` when it runs on Qt's SQLite driver; null otherwise and
/// once the driver has finalised the statement (a closed connection).
sqlite3_stmt *sqliteStatement(const QSqlQuery &query);

/// Appends the statement's current row to `store` with the values Qt's driver reads for it:
/// an integer as qlonglong, a real as double, text as QString, a blob as QByteArray, NULL.
void appendSqliteRow(sqlite3_stmt *statement, RowStore &store);

/// A text of Qt's SQLite driver, in the language Qt's own translations give it.
QString sqliteDriverText(const char *text);

/// The error Qt's SQLite driver records when a step ends with `result` (neither a row nor
/// the end); also resets the statement, as the driver does.
QSqlError sqliteStepError(sqlite3_stmt *statement, int result);

} // namespace condora::ado
