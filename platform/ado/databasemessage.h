#pragma once

#include <QSqlError>
#include <QString>

namespace condora::ado {

/// The database's own message from a Qt SQL error, without the driver's boilerplate:
/// SQLite's "no such column: x", PostgreSQL's primary message (no "ERROR:" prefix, no
/// LINE/caret lines), an ODBC driver's message without its "[vendor][driver]" tags.
/// Falls back to the driver text when the database said nothing.
QString databaseMessage(const QSqlError &error);

} // namespace condora::ado
