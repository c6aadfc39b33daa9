#pragma once

#include "condora_export.h"

#include <QString>

/// The library's own types and functions (the control itself is ::Condora).
namespace condora {

/// The kind of database behind a connection, which picks the SQL dialect of the composed
/// condition. Unknown: the kind could not be read (no "dbms name" property, or the properties
/// failed); the composer then writes the dialect of Other.
enum class DbKind { Unknown = 0, Oracle = 1, SqlServer = 2, Access = 3, Other = 99 };

/// The kind as the behaviour writes it: "1", "2", "3", "99", or empty for Unknown.
CONDORA_EXPORT QString dbKindText(DbKind kind);
/// The reverse of dbKindText(); any text it does not produce is Unknown.
CONDORA_EXPORT DbKind dbKindFromText(const QString &text);

} // namespace condora
